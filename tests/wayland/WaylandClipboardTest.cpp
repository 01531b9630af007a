// The data-control clipboard on a real compositor: copies by other clients are read without
// keyboard focus, huge ones only up to the cap, a sender that hangs never holds up the main loop,
// and a re-copy offers the text with the transient marker.
#include "Spin.h"
#include "SwaySession.h"
#include "core/QtMainLoop.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandPasteboard.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace korvo;
using korvo::test::spinUntil;

namespace korvo::test {
SwaySession& sway();
}

namespace {

using korvo::test::sway;

// Runs a clipboard tool while this process keeps serving its own selections.
QByteArray tool(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.setProcessEnvironment(sway().clientEnvironment());
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    spinUntil([&] { return p.state() == QProcess::NotRunning; }, 20000);
    return p.readAllStandardOutput();
}

class WaylandClipboard : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(connection);
        connection->attachToEventLoop();
        pasteboard = std::make_unique<WaylandPasteboard>(*connection, loop);
        ASSERT_TRUE(pasteboard->isAvailable());
    }
    // Copies with wl-copy and waits for the pasteboard to have taken this copy in: its type is
    // there (a text's change is counted once it has been read). Another client letting go of
    // an older selection meanwhile also counts as a change, so the count alone is not enough.
    void copy(const QStringList& args, const QByteArray& input = {},
              const QString& type = QStringLiteral("text/plain")) {
        const auto before = pasteboard->changeCount();
        tool(QStringLiteral("wl-copy"), args, input);
        ASSERT_TRUE(spinUntil([&] {
            const auto types = pasteboard->types();
            return pasteboard->changeCount() > before && types && types->contains(type);
        }));
    }

    std::unique_ptr<wayland::Connection> connection =
        wayland::Connection::connect(QFile::encodeName(sway().socket()));
    QtMainLoop loop;
    std::unique_ptr<WaylandPasteboard> pasteboard;
};

}  // namespace

TEST_F(WaylandClipboard, WhatWasThereAtStartIsNoChange) {
    tool(QStringLiteral("wl-copy"), {QStringLiteral("before start")});
    WaylandPasteboard fresh(*connection, loop);
    QCoreApplication::processEvents();
    EXPECT_EQ(fresh.changeCount(), 0);
    EXPECT_FALSE(fresh.string());
}

TEST_F(WaylandClipboard, TextIsReadWithoutFocusAndHugeTextsOnlyUpToTheCap) {
    copy({QStringLiteral("héllo wörld")});
    EXPECT_EQ(pasteboard->string(), QStringLiteral("héllo wörld"));
    EXPECT_TRUE(pasteboard->types()->contains(QStringLiteral("text/plain")));
    EXPECT_EQ(pasteboard->lastTransferEnd(), wayland::PipeEnd::complete);
    EXPECT_FALSE(pasteboard->stringIsCut());

    // 3 MiB of text: reading stops at the cap and the pipe is closed on the sender.
    const QByteArray huge(3 * 1024 * 1024, 'x');
    copy({}, huge);
    EXPECT_EQ(pasteboard->lastTransferEnd(), wayland::PipeEnd::capped);
    EXPECT_EQ(pasteboard->lastBytesRead(), WaylandPasteboard::kMaxReadBytes);
    ASSERT_TRUE(pasteboard->string());
    EXPECT_LT(pasteboard->string()->size(), huge.size());
    EXPECT_TRUE(pasteboard->stringIsCut());

    // An image alone: its types, no text, nothing read.
    copy({QStringLiteral("--type"), QStringLiteral("image/png")}, QByteArray("\x89PNG....", 8),
         QStringLiteral("image/png"));
    EXPECT_FALSE(pasteboard->string());
    EXPECT_TRUE(pasteboard->canReadImage());
}

TEST_F(WaylandClipboard, AReCopyOffersTheTextWithTheTransientMarkerAndIsNotReadBack) {
    const QString plain = QString::fromLatin1(Pasteboard::kPlainText);
    const QString transient = QString::fromLatin1(Pasteboard::kTransientType);
    pasteboard->declareTypes({plain, transient});
    pasteboard->setString(QStringLiteral("again"), plain);
    pasteboard->setString(QString(), transient);
    const auto afterSet = pasteboard->changeCount();

    EXPECT_EQ(tool(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline")}), "again");
    const QByteArray types = tool(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")});
    EXPECT_TRUE(types.contains("org.nspasteboard.TransientType")) << types.toStdString();
    EXPECT_TRUE(types.contains("text/plain;charset=utf-8")) << types.toStdString();
    // The compositor tells us of our own selection; it is marked and never read back.
    ASSERT_TRUE(spinUntil([&] { return pasteboard->changeCount() > afterSet; }));
    EXPECT_TRUE(pasteboard->types()->contains(transient));
    EXPECT_FALSE(pasteboard->string());
}

namespace {

// A sender that offers text and then never writes nor closes the pipe it is handed.
struct HangingSource {
    static void send(void* data, zwlr_data_control_source_v1*, const char*, std::int32_t fd) {
        static_cast<HangingSource*>(data)->held.push_back(fd);
    }
    static void cancelled(void*, zwlr_data_control_source_v1*) {}
    // The device tells of selections too; this sender only lets them go at the end.
    static void offer(void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* o) {
        static_cast<HangingSource*>(data)->offers.push_back(o);
    }
    static void selection(void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {}
    static void finished(void*, zwlr_data_control_device_v1*) {}

    explicit HangingSource(wayland::Connection& c) {
        static const zwlr_data_control_source_v1_listener listener = {send, cancelled};
        static const zwlr_data_control_device_v1_listener deviceListener = {offer, selection,
                                                                            finished, selection};
        device = zwlr_data_control_manager_v1_get_data_device(c.dataControl(), c.seat());
        zwlr_data_control_device_v1_add_listener(device, &deviceListener, this);
        source = zwlr_data_control_manager_v1_create_data_source(c.dataControl());
        zwlr_data_control_source_v1_add_listener(source, &listener, this);
        zwlr_data_control_source_v1_offer(source, "text/plain;charset=utf-8");
        zwlr_data_control_device_v1_set_selection(device, source);
        c.flush();
    }
    ~HangingSource() {
        for (int fd : held) {
            close(fd);
        }
        for (auto* o : offers) {
            zwlr_data_control_offer_v1_destroy(o);
        }
        zwlr_data_control_source_v1_destroy(source);
        zwlr_data_control_device_v1_destroy(device);
    }
    zwlr_data_control_device_v1* device = nullptr;
    zwlr_data_control_source_v1* source = nullptr;
    std::vector<int> held;
    std::vector<zwlr_data_control_offer_v1*> offers;
};

}  // namespace

TEST_F(WaylandClipboard, ASenderThatHangsGivesNothingAndNeverHoldsUpTheMainLoop) {
    auto other = wayland::Connection::connect(QFile::encodeName(sway().socket()));
    ASSERT_TRUE(other);
    other->attachToEventLoop();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    const auto before = pasteboard->changeCount();
    HangingSource hanging(*other);
    ASSERT_TRUE(spinUntil([&] { return !hanging.held.empty(); }));
    // The read gives up after its time limit (bounded here at ten times that).
    ASSERT_TRUE(spinUntil([&] { return pasteboard->changeCount() > before; },
                          static_cast<int>(WaylandPasteboard::kTransferTimeout * 10000)));
    EXPECT_EQ(pasteboard->lastTransferEnd(), wayland::PipeEnd::timedOut);
    EXPECT_FALSE(pasteboard->string());
    // The main loop kept turning while the sender hung: a blocked read would have stopped it.
    EXPECT_GT(ticks, 20);
    other->roundtrip();  // the offers still on their way are taken and let go
}
