// Clipboard transfers through pipes: everything a sender writes, no more than the cap (and the
// pipe closed on a sender that goes on), nothing from a sender that hangs, and never a blocked
// main thread. Driven by hand on the virtual clock: the pipe is read when the test says so.
#include "core/VirtualLoop.h"
#include "platform/linux/wayland/PipeTransfer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <csignal>
#include <thread>

using namespace korvo;
using korvo::wayland::completeUtf8Prefix;
using korvo::wayland::PipeEnd;
using korvo::wayland::PipeReader;
using korvo::wayland::PipeWriter;

namespace {

struct Result {
    bool done = false;
    QByteArray data;
    PipeEnd end = PipeEnd::failed;
};

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~Pipe() {
        if (write >= 0) {
            close(write);
        }
    }
    void closeWrite() {
        close(write);
        write = -1;
    }
};

}  // namespace

TEST(PipeTransfer, ReadsWhatComesInPiecesUntilTheSenderCloses) {
    VirtualLoop loop;
    Pipe p;
    Result r;
    PipeReader in(loop, p.read, 100, 3.0, [&r](QByteArray d, PipeEnd e) { r = {true, d, e}; });
    ASSERT_EQ(write(p.write, "hello ", 6), 6);
    in.readAvailable();
    EXPECT_FALSE(r.done);  // nothing blocks while the sender thinks
    ASSERT_EQ(write(p.write, "world", 5), 5);
    in.readAvailable();
    p.closeWrite();
    in.readAvailable();
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.end, PipeEnd::complete);
    EXPECT_EQ(r.data, "hello world");
    // Exactly the cap is whole, not cut.
    Pipe q;
    Result exact;
    PipeReader full(loop, q.read, 4, 3.0, [&exact](QByteArray d, PipeEnd e) {
        exact = {true, d, e};
    });
    ASSERT_EQ(write(q.write, "abcd", 4), 4);
    q.closeWrite();
    full.readAvailable();
    EXPECT_EQ(exact.end, PipeEnd::complete);
    EXPECT_EQ(exact.data, "abcd");
}

TEST(PipeTransfer, BeyondTheCapThePipeIsClosedOnTheSender) {
    std::signal(SIGPIPE, SIG_IGN);
    VirtualLoop loop;
    Pipe p;
    Result r;
    constexpr qsizetype kCap = 200 * 1024;
    PipeReader in(loop, p.read, kCap, 3.0, [&r](QByteArray d, PipeEnd e) { r = {true, d, e}; });
    // A sender with 4 MiB to give, blocking on the pipe as senders do.
    qsizetype sent = 0;
    int lastError = 0;
    const int fd = p.write;
    std::thread sender([&sent, &lastError, fd] {
        const QByteArray chunk(64 * 1024, 'x');
        while (sent < 4 * 1024 * 1024) {
            const ssize_t n = write(fd, chunk.constData(), static_cast<std::size_t>(chunk.size()));
            if (n < 0) {
                lastError = errno;
                return;
            }
            sent += n;
        }
    });
    while (!r.done) {
        in.readAvailable();
    }
    sender.join();
    EXPECT_EQ(r.end, PipeEnd::capped);
    EXPECT_EQ(r.data.size(), kCap);
    // The sender was cut off: the rest was never read.
    EXPECT_EQ(lastError, EPIPE);
    EXPECT_LT(sent, 4 * 1024 * 1024);
}

TEST(PipeTransfer, ASenderThatHangsTimesOutAndABrokenPipeFails) {
    VirtualLoop loop;
    Pipe p;
    Result r;
    PipeReader in(loop, p.read, 100, 3.0, [&r](QByteArray d, PipeEnd e) { r = {true, d, e}; });
    ASSERT_EQ(write(p.write, "par", 3), 3);
    in.readAvailable();
    loop.advance(2.9);
    EXPECT_FALSE(r.done);
    loop.advance(0.2);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.end, PipeEnd::timedOut);
    EXPECT_TRUE(in.finished());
    // Once over, a late readable pipe changes nothing.
    in.readAvailable();
    EXPECT_EQ(r.end, PipeEnd::timedOut);

    Result bad;
    PipeReader broken(loop, -1, 100, 3.0, [&bad](QByteArray d, PipeEnd e) { bad = {true, d, e}; });
    broken.watch();
    EXPECT_TRUE(bad.done);
    EXPECT_EQ(bad.end, PipeEnd::failed);
}

TEST(PipeTransfer, AWriterGivesEverythingToASlowReaderAndStopsWhenItLeaves) {
    std::signal(SIGPIPE, SIG_IGN);
    VirtualLoop loop;
    {
        Pipe p;
        const QByteArray text(300 * 1024, 'y');  // more than a pipe holds at once
        PipeWriter out(loop, p.write, text, 3.0);
        p.write = -1;  // the writer owns it now
        QByteArray got;
        char buf[65536];
        out.writeAvailable();
        EXPECT_FALSE(out.finished());  // the pipe is full; the main thread did not wait
        for (;;) {
            const ssize_t n = read(p.read, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            got.append(buf, n);
            out.writeAvailable();
        }
        EXPECT_TRUE(out.finished());
        EXPECT_EQ(got, text);
        close(p.read);
    }
    {
        Pipe p;
        PipeWriter out(loop, p.write, QByteArray(300 * 1024, 'z'), 3.0);
        p.write = -1;
        close(p.read);  // the reader left
        out.writeAvailable();
        EXPECT_TRUE(out.finished());
        EXPECT_EQ(out.written(), 0);
    }
}

TEST(PipeTransfer, ACapNeverLeavesHalfACharacter) {
    const QByteArray text = QStringLiteral("aé€😀").toUtf8();  // 1, 2, 3 and 4 bytes
    EXPECT_EQ(completeUtf8Prefix(text), text);
    EXPECT_EQ(completeUtf8Prefix(text.left(2)), "a");  // inside é
    EXPECT_EQ(completeUtf8Prefix(text.left(3)), text.left(3));
    EXPECT_EQ(completeUtf8Prefix(text.left(5)), text.left(3));  // inside €
    EXPECT_EQ(completeUtf8Prefix(text.left(9)), text.left(6));  // inside the emoji
    EXPECT_EQ(completeUtf8Prefix(QByteArray()), QByteArray());
}
