#include "DebugLog.h"

#include <QByteArray>
#include <QFile>
#include <QTimeZone>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <optional>

namespace korvo {

namespace {

int openExisting(const QByteArray& path) {
    return ::open(path.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
}

int createNew(const QByteArray& path) {
    return ::open(path.constData(),
                  O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
}

// The file's size when it is a regular file of ours, else nothing.
std::optional<qint64> ownedRegularFileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
        return static_cast<qint64>(st.st_size);
    }
    return std::nullopt;
}

void writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        data += n;
        left -= n;
    }
}

}  // namespace

DebugLog::DebugLog(QString path, std::function<QDateTime()> clock, qint64 maxBytes)
    : m_path(std::move(path)), m_clock(std::move(clock)), m_maxBytes(maxBytes) {}

QString DebugLog::formatLine(const QDateTime& when, const QString& message) {
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" +0000 ") + message;
}

void DebugLog::write(const QString& message) const {
    if (m_path.isEmpty()) {
        return;
    }
    const QDateTime now = m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
    const QByteArray line = (formatLine(now, message) + QLatin1Char('\n')).toUtf8();
    const QByteArray path = QFile::encodeName(m_path);

    int fd = openExisting(path);
    if (fd < 0 && errno == ENOENT) {
        fd = createNew(path);
        if (fd < 0 && errno == EEXIST) {
            fd = openExisting(path);  // another writer created it in between
        }
    }
    if (fd < 0) {
        return;  // a symlink (ELOOP), no permission, no /tmp: stay silent
    }
    const std::optional<qint64> size = ownedRegularFileSize(fd);
    if (!size) {
        ::close(fd);
        return;
    }
    if (*size > 0 && *size + line.size() > m_maxBytes) {
        // Renaming replaces whatever holds the old name, a planted link included, without
        // following it; where that is refused, the log starts over in place instead.
        const QByteArray old = path + ".1";
        if (::rename(path.constData(), old.constData()) == 0) {
            ::close(fd);
            fd = createNew(path);  // exclusive: a file planted in between is left alone
            if (fd < 0) {
                return;
            }
        } else if (::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return;
        }
    }
    writeAll(fd, line);
    ::close(fd);
}

}  // namespace korvo
