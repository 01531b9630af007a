#pragma once

#include "platform/ProcessRunner.h"

namespace korvo {

/// Runs helper programs with QProcess, each in the calling thread. Thread-safe.
class QProcessRunner final : public ProcessRunner {
public:
    std::optional<QByteArray> run(const QString& program, const QStringList& arguments,
                                  double timeout) override;
};

}  // namespace korvo
