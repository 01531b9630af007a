#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace korvo {

/// Appends "yyyy-MM-dd HH:mm:ss +0000 message" lines to a debug log in the temporary folder.
/// Failures are silent. The file is opened without following symlinks and written only when it
/// is a regular file owned by the current user, so a link planted in the shared /tmp by someone
/// else is never written through. A log that would grow past `kMaxBytes` is moved aside to
/// "<path>.1" (replacing the one before) and started afresh, so it never fills the disk.
class DebugLog {
public:
    static constexpr const char* kDefaultPath = "/tmp/korvobay-debug.log";
    static constexpr const char* kClipboardPath = "/tmp/korvobay-clipboard.log";
    static constexpr qint64 kMaxBytes = 1024 * 1024;

    /// An empty path disables the log (tests that do not look at it).
    explicit DebugLog(QString path = QString::fromLatin1(kDefaultPath),
                      std::function<QDateTime()> clock = {}, qint64 maxBytes = kMaxBytes);

    void write(const QString& message) const;
    void operator()(const QString& message) const { write(message); }

    const QString& path() const { return m_path; }

    /// The line written for `message` at `when` (without the line feed).
    static QString formatLine(const QDateTime& when, const QString& message);

private:
    QString m_path;
    std::function<QDateTime()> m_clock;
    qint64 m_maxBytes;
};

}  // namespace korvo
