// The window controller against a panel surface in memory, on the virtual clock: frames only when
// the surface can take them, paced on the main loop for as long as something moves, only the
// moving pieces rebuilt between whole frames, the input region on the island's outline, pointer
// and scroll routing, and placement on the outputs the surface reports.
#include "app/NotchWindowController.h"
#include "core/EngineScene.h"
#include "fakes/FakePanelSurface.h"
#include "ui/kit/Layout.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest()
        : bus(loop), log(QString()), engine(loop, bus, log), settings(dir.filePath("korvo.conf")) {
        engine.start();
        window = std::make_unique<NotchWindowController>(loop, engine, settings, log, surface);
    }

    void showWindow() {
        window->reanchor();
        window->show();
        loop.runUntilIdle();
    }
    void startActivity() {
        bus.post(ActivityStarted{test::buildJob(loop.wallNow())});
        loop.advance(2);  // grown and settled
        ASSERT_EQ(state(), IslandState::compact);
    }
    // A track playing, as the now-playing service reports it once a second.
    void play(double elapsed, bool playing = true, SharedImage artwork = {}) {
        bus.post(ActivityUpdated{test::nowPlaying(loop.wallNow(), elapsed, playing, artwork)});
    }
    // The bars' rectangle on screen in the latest frame.
    QRectF barsRect() const {
        const auto tree = window->currentTree();
        const ui::Node* bars = tree ? ui::findById(*tree, QStringLiteral("compact.bars")) : nullptr;
        return bars ? bars->frame : QRectF();
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
    showWindow();
    EXPECT_TRUE(surface.shown);
    ASSERT_GT(surface.frameRequests, 0);
    // Changes pile up while the desktop is not ready: nothing is drawn.
    window->viewModel().notchGeometry.set({200, 40, false});
    window->viewModel().notchGeometry.set({180, 32, false});
    loop.advance(1);
    EXPECT_EQ(surface.framesDrawn, 0);
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
    EXPECT_EQ(qAlpha(surface.image.pixel(island.center().toPoint())), 255);
    EXPECT_EQ(qAlpha(surface.image.pixel(5, 300)), 0);  // beside the island: transparent
}

TEST_F(ControllerTest, ExposureRedrawsEverythingButTheSameOutlineIsNotSentAgain) {
    showWindow();
    ASSERT_EQ(surface.framesDrawn, 1);
    surface.onExposed();
    loop.advance(0.1);
    ASSERT_EQ(surface.framesDrawn, 2);
    EXPECT_EQ(surface.lastDirty, QRegion(0, 0, 700, 320));
    EXPECT_EQ(surface.inputRegions.size(), 1u);
    // A new outline is sent once it is drawn.
    startActivity();
    EXPECT_GT(surface.inputRegions.back().boundingRect().width(),
              surface.inputRegions.front().boundingRect().width());
}

TEST_F(ControllerTest, PlayingBarsKeepTheirFramesForAMinuteThroughReadingsThatChangeNothing) {
    showWindow();
    play(0);
    loop.advance(2);
    ASSERT_TRUE(barsRect().isValid());
    // Once a second a new reading arrives (the track's time moved on), as from the player: its
    // frame must not take the place of the bars' own, nor stop them.
    const int before = surface.framesDrawn;
    for (int second = 1; second <= 60; ++second) {
        const int drawn = surface.framesDrawn;
        play(second);
        loop.advance(1);
        EXPECT_GT(surface.framesDrawn, drawn + 5) << "second " << second;
        // Neither the reading nor the bars repaint anything beyond the bars.
        EXPECT_TRUE(barsRect().adjusted(-2, -2, 2, 2).contains(window->lastRepaint()))
            << "second " << second;
    }
    // One frame for every step of the bars' pace, no more and no fewer.
    EXPECT_NEAR(surface.framesDrawn - before, 60 / NotchWindowController::kPieceInterval, 1);
}

TEST_F(ControllerTest, ABarFrameBuildsOnlyTheBarsAndAVisibleChangeRepaintsTheIsland) {
    const double tick = NotchWindowController::kPieceInterval;
    showWindow();
    play(0);
    loop.advance(2);
    // A reading that changes nothing visible still builds the whole tree once, to compare.
    play(1);
    loop.advance(tick);
    const std::uint64_t whole = window->nodesBuilt();
    EXPECT_TRUE(barsRect().adjusted(-2, -2, 2, 2).contains(window->lastRepaint()));
    loop.advance(0.5);
    ASSERT_GT(window->nodesBuilt(), 0u);
    EXPECT_LT(window->nodesBuilt() * 5, whole);
    // Pausing takes the bars away: the island is repainted, and then nothing moves.
    play(2, false);
    loop.advance(0.5);
    EXPECT_FALSE(barsRect().isValid());
    EXPECT_GT(window->lastRepaint().width(), 200);
    const int settled = surface.framesDrawn;
    loop.advance(5);
    EXPECT_EQ(surface.framesDrawn, settled);
    // New artwork while the bars move shows, so it repaints the island too.
    play(3);
    loop.advance(1);
    ASSERT_TRUE(barsRect().isValid());
    auto cover = std::make_shared<QImage>(32, 32, QImage::Format_ARGB32_Premultiplied);
    cover->fill(Qt::red);
    play(4, true, cover);
    loop.runUntilIdle();
    loop.advance(tick);
    EXPECT_GT(window->lastRepaint().width(), 200);
}

TEST_F(ControllerTest, ASurfaceThatHoldsFramesBackStillGetsEveryFrameItGrants) {
    showWindow();
    play(0);
    loop.advance(2);
    surface.holdsFrames = true;
    loop.advance(0.2);  // a frame, then the surface holds the next back
    const int held = surface.framesDrawn;
    loop.advance(1);
    EXPECT_EQ(surface.framesDrawn, held);
    EXPECT_TRUE(surface.frameOwed());
    // Each late grant gets a frame, and the bars have moved between them.
    QImage last = surface.image;
    for (int i = 1; i <= 10; ++i) {
        loop.advance(0.3);
        surface.frameCallback();
        EXPECT_EQ(surface.framesDrawn, held + i);
        EXPECT_NE(surface.image, last);
        last = surface.image;
    }
}

TEST_F(ControllerTest, HiddenAsksForNoFramesAndShownDrawsAgain) {
    showWindow();
    play(0);
    loop.advance(2);
    window->hide();
    const int drawn = surface.framesDrawn;
    const int asked = surface.frameRequests;
    play(1);
    loop.advance(5);
    EXPECT_EQ(surface.framesDrawn, drawn);
    EXPECT_EQ(surface.frameRequests, asked);
    EXPECT_EQ(loop.pendingCount(), 0u);  // nothing left to wake the process for frames
    window->show();
    loop.advance(1);
    EXPECT_GT(surface.framesDrawn, drawn + 5);
    // Back to the bars alone after the whole panel.
    EXPECT_TRUE(barsRect().adjusted(-2, -2, 2, 2).contains(window->lastRepaint()));
}

TEST_F(ControllerTest, AFrameTheSurfaceDroppedIsMadeUpForWithAWholeOne) {
    showWindow();
    play(0);
    loop.advance(2);
    surface.takesFrames = false;  // off the screen for a moment
    loop.advance(0.3);
    surface.takesFrames = true;
    const int before = surface.framesDrawn;
    loop.advance(NotchWindowController::kPieceInterval);
    ASSERT_EQ(surface.framesDrawn, before + 1);
    EXPECT_EQ(surface.lastDirty, QRegion(0, 0, 700, 320));  // its pixels were behind
    loop.advance(NotchWindowController::kPieceInterval);
    EXPECT_TRUE(barsRect().adjusted(-2, -2, 2, 2).contains(window->lastRepaint()));
}

TEST_F(ControllerTest, AChangeThatArrivesWhileAFrameIsDrawnIsDrawnNext) {
    showWindow();
    play(0);
    loop.advance(2);
    settings.setHoverToExpand(false);
    surface.duringPaint = [&] { window->viewModel().expand(); };
    loop.advance(0.1);
    ASSERT_FALSE(surface.duringPaint);
    EXPECT_EQ(state(), IslandState::expanded);
    loop.advance(2);
    // The card is drawn: the island grew far past the compact pill.
    EXPECT_GT(surface.inputRegions.back().boundingRect().height(), 100);
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
    showWindow();
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
    loop.advance(2);
    // A press that ends elsewhere is no click.
    surface.pointer(PanelPointer::Kind::press, onIsland, Qt::LeftButton);
    loop.advance(0.1);
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
    showWindow();
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
