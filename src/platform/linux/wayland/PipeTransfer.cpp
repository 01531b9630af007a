#include "PipeTransfer.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>

namespace korvo::wayland {

namespace {

constexpr qsizetype kChunk = 64 * 1024;

void makeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

}  // namespace

PipeReader::PipeReader(MainLoop& loop, int fd, qsizetype cap, double timeoutSeconds, Done done)
    : m_fd(fd), m_cap(cap), m_done(std::move(done)) {
    if (m_fd < 0) {
        return;
    }
    makeNonBlocking(m_fd);
    m_timeout = loop.postDelayed(timeoutSeconds, [this] { finish(PipeEnd::timedOut); });
}

PipeReader::~PipeReader() {
    m_notifier.reset();
    if (m_fd >= 0) {
        close(m_fd);
    }
}

void PipeReader::watch() {
    if (m_fd < 0) {
        finish(PipeEnd::failed);
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { readAvailable(); });
}

void PipeReader::readAvailable() {
    if (m_fd < 0) {
        if (m_done) {
            finish(PipeEnd::failed);
        }
        return;
    }
    for (;;) {
        // One byte beyond the cap tells a text of exactly the cap from a longer one.
        const qsizetype room = m_cap + 1 - m_data.size();
        const qsizetype old = m_data.size();
        m_data.resize(old + std::min(kChunk, room));
        const ssize_t n =
            read(m_fd, m_data.data() + old, static_cast<std::size_t>(m_data.size() - old));
        m_data.resize(old + std::max<ssize_t>(0, n));
        if (n > 0) {
            if (m_data.size() > m_cap) {
                m_data.truncate(m_cap);
                finish(PipeEnd::capped);
                return;
            }
            continue;
        }
        if (n == 0) {
            finish(PipeEnd::complete);
            return;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            finish(PipeEnd::failed);
        }
        return;  // nothing more for now
    }
}

void PipeReader::finish(PipeEnd end) {
    m_timeout.cancel();
    m_notifier.reset();
    if (m_fd >= 0) {
        close(m_fd);  // a peer still writing gets a broken pipe and stops
        m_fd = -1;
    }
    if (auto done = std::exchange(m_done, {})) {
        done(std::exchange(m_data, {}), end);
    }
}

PipeWriter::PipeWriter(MainLoop& loop, int fd, QByteArray data, double timeoutSeconds)
    : m_fd(fd), m_data(std::move(data)) {
    if (m_fd < 0) {
        return;
    }
    makeNonBlocking(m_fd);
    m_timeout = loop.postDelayed(timeoutSeconds, [this] { finish(); });
}

PipeWriter::~PipeWriter() {
    m_notifier.reset();
    if (m_fd >= 0) {
        close(m_fd);
    }
}

void PipeWriter::writeAvailable() {
    while (m_fd >= 0 && m_written < m_data.size()) {
        const ssize_t n = write(m_fd, m_data.constData() + m_written,
                                static_cast<std::size_t>(m_data.size() - m_written));
        if (n > 0) {
            m_written += n;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!m_notifier) {
                m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
                QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                                 [this] { writeAvailable(); });
            }
            return;
        }
        break;  // the reader left
    }
    finish();
}

void PipeWriter::finish() {
    m_timeout.cancel();
    m_notifier.reset();
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

QByteArray completeUtf8Prefix(const QByteArray& bytes) {
    // Step back over at most three continuation bytes to the lead byte of the last sequence.
    qsizetype lead = bytes.size() - 1;
    int continuation = 0;
    while (lead >= 0 && continuation < 3 &&
           (static_cast<unsigned char>(bytes[lead]) & 0xC0) == 0x80) {
        --lead;
        ++continuation;
    }
    if (lead < 0) {
        return bytes;
    }
    const auto c = static_cast<unsigned char>(bytes[lead]);
    const int length = c < 0x80             ? 1
                       : (c & 0xE0) == 0xC0 ? 2
                       : (c & 0xF0) == 0xE0 ? 3
                       : (c & 0xF8) == 0xF0 ? 4
                                            : 1;
    return continuation + 1 < length ? bytes.left(lead) : bytes;
}

}  // namespace korvo::wayland
