#pragma once

#include <QString>

namespace korvo {

/// The system log, for the rare failure a user or administrator should be able to find.
class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void error(const QString& line) = 0;
    /// A routine line, such as a service starting.
    virtual void info(const QString& line) { (void)line; }
};

}  // namespace korvo
