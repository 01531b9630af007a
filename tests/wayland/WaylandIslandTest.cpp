// The island as a layer surface on a real compositor (headless sway): where it sits and what it
// draws, the input region, the pointer and both kinds of scroll, frames only while something
// moves, outputs that come and outputs that go.
#include "ClickCatcher.h"
#include "Spin.h"
#include "SwaySession.h"
#include "app/NotchWindowController.h"
#include "core/EngineScene.h"
#include "core/QtMainLoop.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandPanelSurface.h"
#include "settings/SettingsStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;
using korvo::test::spinFor;
using korvo::test::spinUntil;

namespace korvo::test {
SwaySession& sway();
}

namespace {

using korvo::test::sway;

void swaymsg(const QStringList& args) {
    ASSERT_EQ(sway().swaymsg(args).code, 0) << args.join(' ').toStdString();
    spinFor(60);  // the compositor's events reach us
}
void cursorTo(int x, int y) {
    swaymsg({"seat", "seat0", "cursor", "set", QString::number(x), QString::number(y)});
}
void click(int x, int y) {
    cursorTo(x, y);
    swaymsg({"seat", "seat0", "cursor", "press", "button1"});
    swaymsg({"seat", "seat0", "cursor", "release", "button1"});
}

// The rectangle of pixels that differ from the screenshot's background (its bottom-left pixel)
// in the upper half of the screen, where the island hangs (the pointer is kept in the lower half:
// the compositor draws it into the picture).
QRect drawnBounds(const QImage& shot) {
    const QRgb background = shot.pixel(0, shot.height() - 1);
    QRect bounds;
    for (int y = 0; y < shot.height() / 2; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        for (int x = 0; x < shot.width(); ++x) {
            if (line[x] != background) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

// The island on the compositor behind `socket`, shown, in this process.
struct Island {
    explicit Island(const QString& socket)
        : connection(wayland::Connection::connect(QFile::encodeName(socket))),
          bus(loop),
          log(QString()),
          engine(loop, bus, log),
          settings(dir.filePath("korvo.conf")) {
        if (!connection || !connection->layerShell()) {
            return;
        }
        connection->attachToEventLoop();
        surface = std::make_unique<WaylandPanelSurface>(*connection);
        window = std::make_unique<NotchWindowController>(loop, engine, settings, log, *surface);
    }
    // Shown once the first frame is on the screen.
    bool show() {
        engine.start();
        window->reanchor();
        window->show();
        return spinUntil([&] { return window->framesDrawn() > 0; });
    }

    QTemporaryDir dir;
    std::unique_ptr<wayland::Connection> connection;
    QtMainLoop loop;
    EventBus bus;
    DebugLog log;
    ActivityEngine engine;
    SettingsStore settings;
    std::unique_ptr<WaylandPanelSurface> surface;
    std::unique_ptr<NotchWindowController> window;
};

class SwayIsland : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(island.window);
        ASSERT_TRUE(island.show());
        cursorTo(720, 800);  // away from the island
    }

    void startActivity() {
        island.bus.post(ActivityStarted{test::buildJob(island.loop.wallNow())});
        ASSERT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
        spinFor(600);  // let the grow animation settle
    }
    IslandState state() { return window->viewModel().state.get(); }

    Island island{sway().socket()};
    std::unique_ptr<NotchWindowController>& window = island.window;
    std::unique_ptr<WaylandPanelSurface>& surface = island.surface;
    SettingsStore& settings = island.settings;
};

}  // namespace

TEST_F(SwayIsland, IdleIslandHangsAtTheTopCentreAndNothingElseIsDrawn) {
    spinFor(300);
    const QImage shot = sway().grim(QStringLiteral("HEADLESS-1"));
    ASSERT_EQ(shot.size(), QSize(test::SwaySession::kWidth, test::SwaySession::kHeight));
    const NotchGeometry notch = window->viewModel().notchGeometry.get();
    EXPECT_FALSE(notch.hasPhysicalNotch);
    // Idle, the island is exactly the notch-sized pill, flush with the top, centred, black.
    const QRect drawn = drawnBounds(shot);
    EXPECT_EQ(drawn.size(), QSize(qRound(notch.width), qRound(notch.height)));
    EXPECT_EQ(drawn.top(), 0);
    EXPECT_EQ(drawn.left() + drawn.width() / 2, test::SwaySession::kWidth / 2);
    EXPECT_EQ(QColor(shot.pixel(drawn.center())), QColor(Qt::black));
    EXPECT_EQ(surface->outputName(), QStringLiteral("HEADLESS-1"));
    EXPECT_EQ(surface->scale(), 1.0);
}

TEST_F(SwayIsland, HoverExpandsAndLeavingCollapses) {
    startActivity();
    const QRect compact = drawnBounds(sway().grim(QStringLiteral("HEADLESS-1")));
    cursorTo(720, 16);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::expanded; }));
    spinFor(700);
    // The screen shows the card: taller and wider than the compact island.
    const QRect expanded = drawnBounds(sway().grim(QStringLiteral("HEADLESS-1")));
    EXPECT_GT(expanded.height(), compact.height() + 40);
    EXPECT_GT(expanded.width(), compact.width());
    cursorTo(720, 600);
    EXPECT_TRUE(spinUntil([&] { return !window->viewModel().isHovering.get(); }));
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
}

TEST_F(SwayIsland, ClicksOnTheIslandToggleItAndClicksBesideItReachTheWindowBelow) {
    test::ClickCatcher below(QFile::encodeName(sway().socket()));
    ASSERT_TRUE(spinUntil([&] { return below.shown; }));
    spinFor(100);                      // mapped and tiled under the island
    settings.setHoverToExpand(false);  // only the clicks change the state here
    startActivity();

    click(720, 16);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::expanded; }));
    spinFor(700);
    click(720, 16);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
    spinFor(700);
    EXPECT_EQ(below.presses, 0);

    click(380, 300);  // inside the panel's rectangle, far from the island
    EXPECT_TRUE(spinUntil([&] { return below.presses == 1; }));
    EXPECT_EQ(state(), IslandState::compact);
}

TEST_F(SwayIsland, WheelNotchesAndTouchpadStrokesBothOpenAndCloseTheCard) {
    settings.setHoverToExpand(false);
    startActivity();
    cursorTo(720, 16);
    // Wheel notches towards the user: three notches pass the gesture's threshold.
    for (int i = 0; i < 3; ++i) {
        swaymsg({"seat", "seat0", "cursor", "press", "button5"});
    }
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::expanded; }));
    spinFor(600);  // past the debounce
    for (int i = 0; i < 3; ++i) {
        swaymsg({"seat", "seat0", "cursor", "press", "button4"});
    }
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
    spinFor(600);
    // Two fingers: one stroke of precise points, the same direction as the wheel above.
    sway().fingerScroll(40);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::expanded; }));
    spinFor(600);
    sway().fingerScroll(-40);
    EXPECT_TRUE(spinUntil([&] { return state() == IslandState::compact; }));
}

TEST_F(SwayIsland, ASettledIslandDrawsNoFramesAndReusesItsBuffers) {
    startActivity();
    spinFor(300);
    const auto frames = window->framesDrawn();
    spinFor(700);
    EXPECT_EQ(window->framesDrawn(), frames);
    window->viewModel().expand();
    spinFor(150);
    EXPECT_GT(window->framesDrawn(), frames);
    spinFor(1200);
    const auto settled = window->framesDrawn();
    spinFor(500);
    EXPECT_EQ(window->framesDrawn(), settled);
    // Dozens of frames went through a few buffers, not one each.
    EXPECT_GT(settled, frames + 10);
    EXPECT_LE(surface->buffersCreated(), 3);
}

TEST_F(SwayIsland, AnOutputThatComesLeavesTheIslandOnTheFirstOutput) {
    int placed = 0;
    surface->onOutputsChanged = [&] {
        ++placed;
        window->reanchor();
    };
    swaymsg({"create_output"});
    ASSERT_TRUE(spinUntil([&] { return surface->outputs().size() == 2; }));
    EXPECT_GE(placed, 1);
    spinFor(300);
    EXPECT_EQ(surface->outputName(), QStringLiteral("HEADLESS-1"));
    const QImage first = sway().grim(QStringLiteral("HEADLESS-1"));
    EXPECT_EQ(drawnBounds(first).top(), 0);
    EXPECT_EQ(drawnBounds(first).left() + drawnBounds(first).width() / 2,
              test::SwaySession::kWidth / 2);
    // One island: the new output shows nothing of it.
    const QImage second =
        sway().grim(surface->outputs().size() > 1 ? QStringLiteral("HEADLESS-2") : QString());
    ASSERT_FALSE(second.isNull());
    EXPECT_TRUE(drawnBounds(second).isEmpty());
}

TEST(SwayIslandScaled, OnAScaleTwoOutputTheIslandIsDrawnWithTwiceThePixels) {
    test::SwaySession hidpi(2);
    ASSERT_TRUE(hidpi.running());
    ASSERT_EQ(hidpi.swaymsg({"seat", "seat0", "cursor", "set", "720", "800"}).code, 0);
    Island island(hidpi.socket());
    ASSERT_TRUE(island.window);
    ASSERT_TRUE(island.show());
    WaylandPanelSurface& surface = *island.surface;
    NotchWindowController& window = *island.window;
    spinFor(300);
    EXPECT_EQ(surface.scale(), 2.0);
    // The output is 1440 × 900 points; the screenshot has its pixels.
    const QImage shot = hidpi.grim(QStringLiteral("HEADLESS-1"));
    ASSERT_EQ(shot.size(), QSize(2 * test::SwaySession::kWidth, 2 * test::SwaySession::kHeight));
    const NotchGeometry notch = window.viewModel().notchGeometry.get();
    const QRect drawn = drawnBounds(shot);
    EXPECT_EQ(drawn.size(), QSize(qRound(2 * notch.width), qRound(2 * notch.height)));
    EXPECT_EQ(drawn.left() + drawn.width() / 2, test::SwaySession::kWidth);
}

TEST(SwayIslandNested, WhenItsOutputGoesTheIslandMovesToTheNextOneAndStaysThere) {
    // A sway nested in the session's: its outputs are windows there, and closing one removes it.
    test::SwaySession nested(1, sway().socket());
    ASSERT_TRUE(nested.running());
    ASSERT_EQ(nested.swaymsg({"create_output"}).code, 0);
    Island island(nested.socket());
    ASSERT_TRUE(island.window);
    WaylandPanelSurface& surface = *island.surface;
    NotchWindowController& window = *island.window;
    ASSERT_TRUE(spinUntil([&] { return surface.outputs().size() == 2; }));
    ASSERT_TRUE(island.show());
    EXPECT_EQ(surface.outputName(), QStringLiteral("WL-1"));

    const auto before = window.framesDrawn();
    ASSERT_EQ(sway().swaymsg({"[title=\"wlroots - WL-1\"]", "kill"}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return surface.outputName() == QStringLiteral("WL-2"); }));
    EXPECT_TRUE(spinUntil([&] { return window.framesDrawn() > before; }));  // drawn anew there
    spinFor(300);
    const QImage shot = nested.grim(QStringLiteral("WL-2"));
    ASSERT_FALSE(shot.isNull());
    const QRect drawn = drawnBounds(shot);
    const NotchGeometry notch = window.viewModel().notchGeometry.get();
    EXPECT_EQ(drawn.top(), 0);
    EXPECT_EQ(drawn.size(), QSize(qRound(notch.width), qRound(notch.height)));
    EXPECT_NEAR(drawn.center().x(), shot.width() / 2, 1);

    // An output that comes later leaves it where it is.
    ASSERT_EQ(nested.swaymsg({"create_output"}).code, 0);
    ASSERT_TRUE(spinUntil([&] { return surface.outputs().size() == 2; }));
    spinFor(200);
    EXPECT_EQ(surface.outputName(), QStringLiteral("WL-2"));
}
