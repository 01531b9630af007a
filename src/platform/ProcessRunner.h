#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace korvo {

/// Starts helper programs and collects what they print. Blocking: callers use it off the main
/// thread only. Thread-safe.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;

    /// Everything `program` wrote to its standard output once it exited, whatever its exit
    /// status; nothing when it could not be started or did not finish within `timeout` seconds
    /// (it is killed then). Standard error is discarded unread.
    virtual std::optional<QByteArray> run(const QString& program, const QStringList& arguments,
                                          double timeout) = 0;
};

}  // namespace korvo
