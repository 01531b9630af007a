#pragma once

#include "core/Cancellable.h"
#include "core/MainLoop.h"

#include <QByteArray>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace korvo::wayland {

/// How a transfer through a pipe ended.
enum class PipeEnd {
    complete,  // the peer closed its end after sending everything
    capped,    // more came than wanted: the pipe was closed on the peer, the rest never read
    timedOut,  // the peer went quiet before closing
    failed,    // the pipe broke
};

/// Reads what a peer writes into a pipe without ever blocking the main thread: whatever is there
/// whenever the pipe is readable, up to a cap, within a time limit. `done` is called once, last
/// thing, with what was read (at most `cap` bytes); the pipe is closed by then.
class PipeReader {
public:
    using Done = std::function<void(QByteArray data, PipeEnd end)>;

    /// Takes `fd` (made non-blocking here). The time limit runs on `loop` from now.
    PipeReader(MainLoop& loop, int fd, qsizetype cap, double timeoutSeconds, Done done);
    ~PipeReader();
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    /// Reads when the Qt event loop says the pipe is readable.
    void watch();
    /// Reads what is in the pipe now.
    void readAvailable();
    bool finished() const { return m_fd < 0; }

private:
    void finish(PipeEnd end);

    int m_fd;
    qsizetype m_cap;
    Done m_done;
    QByteArray m_data;
    TaskHandle m_timeout;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

/// Writes `data` into a pipe a peer reads, without ever blocking the main thread, within a
/// time limit; then closes it. A peer that closes its end early only ends the transfer.
class PipeWriter {
public:
    PipeWriter(MainLoop& loop, int fd, QByteArray data, double timeoutSeconds);
    ~PipeWriter();
    PipeWriter(const PipeWriter&) = delete;
    PipeWriter& operator=(const PipeWriter&) = delete;

    /// Writes what the pipe takes now; from then on whenever it takes more.
    void writeAvailable();
    bool finished() const { return m_fd < 0; }
    qsizetype written() const { return m_written; }

private:
    void finish();

    int m_fd;
    QByteArray m_data;
    qsizetype m_written = 0;
    TaskHandle m_timeout;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

/// The longest prefix of `bytes` that does not end inside a UTF-8 sequence (a cap may cut one).
QByteArray completeUtf8Prefix(const QByteArray& bytes);

}  // namespace korvo::wayland
