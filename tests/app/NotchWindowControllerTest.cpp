// The window controller against a panel surface in memory: frames only when the surface can take
// them, the input region on the island's outline, pointer and scroll routing, and placement on
// the outputs the surface reports.
#include "app/NotchWindowController.h"
#include "core/VirtualLoop.h"
#include "fakes/FakePanelSurface.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

// The controller paces frames with Qt timers of at most a few tens of milliseconds; turning the
// event loop until a condition holds needs no sleep, and the bound is far beyond that pace.
bool turnUntil(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > 5000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest()
        : bus(loop), log(QString()), engine(loop, bus, log), settings(dir.filePath("korvo.conf")) {
        engine.start();
        window = std::make_unique<NotchWindowController>(loop, engine, settings, log, surface);
    }

    void startActivity() {
        Activity a;
        a.id = QStringLiteral("job");
        a.kind = Activity::Kind::build;
        a.startedAt = loop.wallNow();
        a.payload = GenericPayload{QStringLiteral("star.fill"), QStringLiteral("Build"), {}, 0.5};
        bus.post(ActivityStarted{a});
        loop.runUntilIdle();
        ASSERT_EQ(state(), IslandState::compact);
        // A frame of the compact island records where its regions are.
        const int before = surface.framesDrawn;
        ASSERT_TRUE(turnUntil([&] { return surface.framesDrawn > before; }));
    }
    IslandState state() { return window->viewModel().state.get(); }

    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus;
    DebugLog log;
    ActivityEngine engine;
    SettingsStore settings;
    FakePanelSurface surface;
    std::unique_ptr<NotchWindowController> window;
};

}  // namespace

TEST_F(ControllerTest, FramesWaitForTheSurfaceAndManyRequestsGiveOneFrame) {
    surface.ready = false;
    window->reanchor();
    window->show();
    EXPECT_TRUE(surface.shown);
    ASSERT_TRUE(turnUntil([&] { return surface.frameRequests > 0; }));
    // Changes pile up while the desktop is not ready: nothing is drawn.
    window->viewModel().notchGeometry.set({200, 40, false});
    window->viewModel().notchGeometry.set({180, 32, false});
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(surface.framesDrawn, 0);
    EXPECT_EQ(window->framesDrawn(), 0u);
    surface.frameCallback();
    EXPECT_EQ(surface.framesDrawn, 1);
    EXPECT_EQ(window->framesDrawn(), 1u);
    // The first frame draws the whole panel, then the island's outline takes the input.
    EXPECT_EQ(surface.lastDirty, QRegion(0, 0, 700, 320));
    ASSERT_EQ(surface.inputRegions.size(), 1u);
    const QRectF island = surface.inputRegions.back().boundingRect();
    EXPECT_DOUBLE_EQ(island.top(), 0);
    EXPECT_DOUBLE_EQ(island.center().x(), 350);
    EXPECT_LT(island.width(), 700);
    EXPECT_FALSE(surface.image.isNull());
    EXPECT_EQ(qAlpha(surface.image.pixel(island.center().toPoint())), 255);
    EXPECT_EQ(qAlpha(surface.image.pixel(5, 300)), 0);  // beside the island: transparent
}

TEST_F(ControllerTest, ExposureRedrawsEverythingButTheSameOutlineIsNotSentAgain) {
    window->reanchor();
    window->show();
    ASSERT_TRUE(turnUntil([&] { return surface.framesDrawn == 1; }));
    surface.lastDirty = QRegion();
    surface.onExposed();
    ASSERT_TRUE(turnUntil([&] { return surface.framesDrawn == 2; }));
    EXPECT_FALSE(surface.lastDirty.isEmpty());
    EXPECT_EQ(surface.inputRegions.size(), 1u);
    // A new outline is sent once it is drawn.
    startActivity();
    ASSERT_TRUE(turnUntil([&] { return surface.inputRegions.size() > 1; }));
    EXPECT_GT(surface.inputRegions.back().boundingRect().width(),
              surface.inputRegions.front().boundingRect().width());
}

TEST_F(ControllerTest, PlacedOnTheMainOutputAndAgainWhenOutputsChange) {
    surface.screens = {screenAt(QRectF(0, 0, 1920, 1080)), screenAt(QRectF(1920, 0, 1440, 900))};
    surface.main = 1;
    window->reanchor();
    EXPECT_EQ(surface.placedOn, 1u);
    EXPECT_EQ(window->viewModel().notchGeometry.get(), NotchGeometry{});
    // The main output went; the surface says so and the panel moves.
    surface.screens.pop_back();
    surface.main = 0;
    surface.onOutputsChanged();
    EXPECT_EQ(surface.placedOn, 0u);
    // No output at all: the panel stays where it was.
    surface.screens.clear();
    surface.placedOn.reset();
    surface.onOutputsChanged();
    EXPECT_FALSE(surface.placedOn);
}

TEST_F(ControllerTest, PointerOverTheIslandHoversClicksAndOpensTheMenu) {
    window->reanchor();
    window->show();
    startActivity();
    const QPointF onIsland(350, 10);
    settings.setHoverToExpand(false);
    surface.pointer(PanelPointer::Kind::enter, onIsland);
    EXPECT_TRUE(window->viewModel().isHovering.get());
    surface.pointer(PanelPointer::Kind::motion, QPointF(20, 300));  // off the island
    EXPECT_FALSE(window->viewModel().isHovering.get());
    surface.pointer(PanelPointer::Kind::motion, onIsland);
    surface.pointer(PanelPointer::Kind::leave, onIsland);
    EXPECT_FALSE(window->viewModel().isHovering.get());

    surface.click(onIsland);
    EXPECT_EQ(state(), IslandState::expanded);
    // A press that ends elsewhere is no click.
    surface.pointer(PanelPointer::Kind::press, onIsland, Qt::LeftButton);
    surface.pointer(PanelPointer::Kind::release, QPointF(20, 300), Qt::LeftButton);
    EXPECT_EQ(state(), IslandState::expanded);
    // Other buttons do not click; the right one opens the menu where the pointer is.
    surface.pointer(PanelPointer::Kind::press, onIsland, Qt::MiddleButton);
    surface.pointer(PanelPointer::Kind::release, onIsland, Qt::MiddleButton);
    EXPECT_EQ(state(), IslandState::expanded);
    std::optional<QPoint> menuAt;
    window->onContextMenu = [&](QPoint at) { menuAt = at; };
    surface.pointer(PanelPointer::Kind::press, onIsland, Qt::RightButton);
    EXPECT_EQ(menuAt, QPoint(720, 10));
    EXPECT_EQ(state(), IslandState::expanded);
}

TEST_F(ControllerTest, WheelNotchesDriveTheIslandAndMomentumDoesNot) {
    window->reanchor();
    window->show();
    settings.setHoverToExpand(false);
    startActivity();
    const QPointF onIsland(350, 10);
    for (int i = 0; i < 3; ++i) {
        surface.wheel(onIsland, -1, true);  // an inertial tail
    }
    EXPECT_EQ(state(), IslandState::compact);
    for (int i = 0; i < 3; ++i) {
        surface.wheel(onIsland, -1);  // three notches towards the user
    }
    EXPECT_EQ(state(), IslandState::expanded);
}

TEST_F(ControllerTest, AGoneControllerIsNeverCalledBack) {
    window.reset();
    EXPECT_FALSE(surface.onFrame);
    EXPECT_FALSE(surface.onExposed);
    EXPECT_FALSE(surface.onPointer);
    EXPECT_FALSE(surface.onScroll);
    EXPECT_FALSE(surface.onOutputsChanged);
}
