#pragma once

#include "platform/SystemLog.h"

namespace korvo {

class Syslog final : public SystemLog {
public:
    void error(const QString& line) override;
    void info(const QString& line) override;
};

}  // namespace korvo
