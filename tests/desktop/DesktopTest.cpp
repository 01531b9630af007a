// The island on a real X server (Xvfb) with a private session bus: placement, input shape,
// pointer and wheel, focus, repaint discipline, the control interface and the hand-over.
#include "Spin.h"
#include "app/ControlService.h"
#include "app/NotchWindowController.h"
#include "core/EngineScene.h"
#include "core/QtMainLoop.h"
#include "platform/linux/X11PanelSurface.h"
#include "settings/SettingsStore.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QProcess>
#include <QRasterWindow>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;
using korvo::test::spinFor;
using korvo::test::spinUntil;

namespace {

// xdotool drives the real pointer of the X server.
void xdotool(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    ASSERT_TRUE(p.waitForFinished(5000));
    // Let the X server's events reach us.
    spinFor(60);
}

void moveTo(int x, int y) {
    xdotool({"mousemove", QString::number(x), QString::number(y)});
}
void click(int x, int y, int button = 1) {
    moveTo(x, y);
    xdotool({"click", QString::number(button)});
}

// A plain window under the panel that counts the clicks it receives.
class Beneath : public QRasterWindow {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    void paintEvent(QPaintEvent*) override {}
};

class Desktop : public ::testing::Test {
protected:
    Desktop()
        : bus(loop),
          log(QString()),
          engine(loop, bus, log),
          settings(dir.filePath("korvo.conf")),
          window(loop, engine, settings, log, surface),
          control(loop, bus, engine, window) {
        engine.start();
        window.reanchor();
        window.show();
        spinUntil([&] { return surface.window().isExposed(); });
    }

    void startActivity() {
        bus.post(ActivityStarted{test::buildJob(loop.wallNow())});
        ASSERT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
        spinFor(600);  // let the grow animation settle
    }
    IslandState state() { return window.viewModel().state.get(); }

    QTemporaryDir dir;
    QtMainLoop loop;
    EventBus bus;
    DebugLog log;
    ActivityEngine engine;
    SettingsStore settings;
    X11PanelSurface surface;
    NotchWindowController window;
    ControlService control;
};

}  // namespace

TEST_F(Desktop, PanelSitsAtTheTopCentreOfTheScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    ASSERT_EQ(screen.size(), QSize(1440, 900));
    EXPECT_TRUE(spinUntil([&] { return surface.window().position() == QPoint(370, 0); }));
    EXPECT_EQ(surface.window().size(), QSize(700, 320));
    EXPECT_EQ(window.viewModel().notchGeometry.get(), (NotchGeometry{180, 32, false}));
}

TEST_F(Desktop, ClickInsideTogglesAndClickOnTheTransparentPartReachesTheWindowBelow) {
    Beneath below;
    below.setGeometry(370, 0, 700, 320);
    below.show();
    spinUntil([&] { return below.isExposed(); });
    surface.window().raise();
    settings.setHoverToExpand(false);  // only the clicks change the state here
    startActivity();

    click(720, 16);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::expanded; }));
    EXPECT_EQ(below.presses, 0);
    spinFor(700);
    click(720, 16);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
    spinFor(700);

    click(380, 300);  // a corner of the panel, far from the island
    EXPECT_TRUE(spinUntil([&] { return below.presses == 1; }));
    EXPECT_EQ(state(), IslandState::compact);
    EXPECT_FALSE(surface.window().isActive());
    EXPECT_NE(QGuiApplication::focusWindow(), &surface.window());
}

TEST_F(Desktop, HoverExpandsAndLeavingCollapsesHalfASecondLater) {
    startActivity();
    moveTo(720, 300);
    moveTo(720, 16);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::expanded; }));
    spinFor(700);
    moveTo(720, 600);
    EXPECT_TRUE(spinUntil([&] { return !window.viewModel().isHovering.get(); }));
    spinFor(250);
    EXPECT_EQ(state(), IslandState::expanded);  // not yet
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::compact; }, 1500));
}

TEST_F(Desktop, WheelNotchesOpenAndCloseTheCard) {
    settings.setHoverToExpand(false);
    startActivity();
    moveTo(720, 16);
    // Three notches towards the user within 0.3 s: 3 × 10 passes the threshold.
    xdotool({"click", "--repeat", "3", "--delay", "30", "5"});
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::expanded; }));
    spinFor(600);  // past the debounce
    xdotool({"click", "--repeat", "3", "--delay", "30", "4"});
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
}

TEST_F(Desktop, NothingIsDrawnOnceSettled) {
    startActivity();
    spinFor(300);
    const auto frames = window.framesDrawn();
    spinFor(700);
    EXPECT_EQ(window.framesDrawn(), frames);
    // A change draws again.
    window.viewModel().expand();
    EXPECT_TRUE(spinUntil([&] { return window.framesDrawn() > frames; }));
}

TEST_F(Desktop, PlayingBarsRepaintOnlyTheirOwnRectangle) {
    bus.post(ActivityStarted{test::nowPlaying(loop.wallNow(), 0)});
    ASSERT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
    spinFor(800);  // the island has grown; only the bars still move
    const auto frames = window.framesDrawn();
    EXPECT_TRUE(spinUntil([&] { return window.framesDrawn() > frames + 5; }, 5000));
    const QRect r = window.lastRepaint();
    EXPECT_LE(r.width(), 24);
    EXPECT_LE(r.height(), 24);
    EXPECT_GT(r.left(), 350);  // the trailing side of the compact island
}

namespace {

struct ToolRun {
    int code = -1;
    QString out;
    QString err;
};

// Runs a tool while this process keeps serving the bus.
ToolRun run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    spinUntil([&] { return p.state() == QProcess::NotRunning; }, 10000);
    ToolRun r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString korvoctl() {
    return QStringLiteral(KORVO_BINARY_DIR "/tools/korvoctl");
}

}  // namespace

TEST_F(Desktop, KorvoctlDrivesTheIslandAndRefusesBadRequests) {
    ASSERT_TRUE(control.registerOnSessionBus());

    ToolRun r =
        run(korvoctl(), {"activity", "start", "dl", "--kind", "download", "--icon",
                         "arrow.down.circle.fill", "--title", "Downloading", "--progress", "0.4"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    r = run(korvoctl(), {"toast", "--icon", "bell.fill", "--title", "Hello", "--subtitle", "World",
                         "--priority", "high"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    spinFor(50);

    r = run(korvoctl(), {"state"});
    ASSERT_EQ(r.code, 0);
    const QJsonObject reported = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(reported["focused"].toString(), "dl");
    EXPECT_EQ(reported["state"].toString(), "medium");
    EXPECT_EQ(reported["toasts"].toArray().at(0).toObject()["priority"].toString(), "high");
    const QJsonObject payload =
        reported["activities"].toArray().at(0).toObject()["payload"].toObject();
    EXPECT_EQ(payload["progress"].toDouble(), 0.4);

    EXPECT_EQ(run(korvoctl(), {"expand"}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::expanded; }));
    EXPECT_EQ(run(korvoctl(), {"collapse"}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
    EXPECT_EQ(run(korvoctl(), {"toggle"}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::expanded; }));
    spinFor(400);

    r = run(korvoctl(), {"tree"});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains("\"Hello — World\"")) << r.out.toStdString();

    const QString png = dir.filePath("shot.png");
    r = run(korvoctl(), {"snapshot", png, "--scale", "1"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    QImage shot(png);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(700, 320));
    EXPECT_EQ(QColor(shot.pixel(200, 60)), QColor(Qt::black));

    EXPECT_EQ(run(korvoctl(), {"activity", "end", "dl"}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return engine.activities.get().empty(); }));

    // Bad requests: a clear message, status 2, nothing posted.
    const auto before = engine.toastQueue.get().size();
    for (const QStringList& bad :
         {QStringList{"toast", "--title", "no icon"},
          QStringList{"toast", "--icon", "bell.fill", "--title", "x", "--duration", "-1"},
          QStringList{"toast", "--icon", "bell.fill", "--title", "x", "--priority", "urgent"},
          QStringList{"activity", "start", "a", "--kind", "song", "--icon", "x", "--title", "t"},
          QStringList{"activity", "start", "a", "--kind", "timer", "--icon", "x", "--title", "t",
                      "--progress", "2"},
          QStringList{"activity", "end"}, QStringList{"snapshot"}, QStringList{"fly"},
          QStringList{"state", "extra"}, QStringList{"toast", "--colour", "red"}}) {
        r = run(korvoctl(), bad);
        EXPECT_EQ(r.code, 2) << bad.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    spinFor(50);
    EXPECT_EQ(engine.toastQueue.get().size(), before);
    EXPECT_TRUE(engine.activities.get().empty());
}

TEST_F(Desktop, ASecondKorvoHandsOverToTheRunningOne) {
    ASSERT_TRUE(control.registerOnSessionBus());
    const ToolRun r = run(QStringLiteral(KORVO_BINARY_DIR "/src/app/korvo"), {});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("already running"));
    EXPECT_TRUE(spinUntil([&] {
        const auto& q = engine.toastQueue.get();
        return !q.empty() && q.front().title == "Korvo is running";
    }));
}
