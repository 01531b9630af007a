#include "core/EngineScene.h"
#include "fakes/FakeFullScreenWatch.h"
#include "fakes/PlainPreferences.h"
#include "services/screens/FullScreenGuard.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {

DisplayDescription display(const QString& name, QRect native) {
    DisplayDescription d;
    d.name = name;
    d.geometry = native;
    d.nativeGeometry = native;
    return d;
}

const DisplayDescription kLeft = display("LEFT", {0, 0, 1920, 1080});
const DisplayDescription kRight = display("RIGHT", {1920, 0, 1920, 1080});

class FullScreenGuardTest : public test::EngineScene {
protected:
    void make(FullScreenGuard::Surface surface = FullScreenGuard::Surface::aboveFullScreen) {
        guard = std::make_unique<FullScreenGuard>(settings, watch, engine, surface);
        guard->setDisplay(kLeft);
        sub = guard->hideIsland.subscribe([this](bool) { ++hideChanges; });
        hideChanges = 0;
    }
    bool hidden() const { return guard->hideIsland.get(); }

    test::PlainFullScreenPreferences settings;
    FakeFullScreenWatch watch;
    std::unique_ptr<FullScreenGuard> guard;
    Subscription sub;
    int hideChanges = 0;
};

}  // namespace

TEST(CoversDisplay, MostOfTheDisplayByFrameOrByNameWhereThereIsNoFrame) {
    EXPECT_TRUE(coversDisplay({kLeft.nativeGeometry, {}}, kLeft));
    EXPECT_FALSE(coversDisplay({kLeft.nativeGeometry, {}}, kRight));
    // Spanning both displays covers both.
    EXPECT_TRUE(coversDisplay({QRect(0, 0, 3840, 1080), {}}, kRight));
    // Exactly half is not most; a little more is.
    EXPECT_FALSE(coversDisplay({QRect(960, 0, 1920, 1080), {}}, kLeft));
    EXPECT_TRUE(coversDisplay({QRect(958, 0, 1920, 1080), {}}, kLeft));
    // A scaled display is compared in the window system's pixels.
    DisplayDescription scaled = display("HI", {0, 0, 1920, 1080});
    scaled.geometry = QRect(0, 0, 960, 540);
    EXPECT_TRUE(coversDisplay({QRect(0, 0, 1920, 1080), {}}, scaled));
    // Where the protocol names displays instead.
    EXPECT_TRUE(coversDisplay({QRect(), {"RIGHT"}}, kRight));
    EXPECT_FALSE(coversDisplay({QRect(), {"RIGHT"}}, kLeft));
    EXPECT_FALSE(coversDisplay({QRect(), {}}, kLeft));
}

TEST_F(FullScreenGuardTest, FullScreenOnTheIslandsDisplayHidesItAndHoldsToasts) {
    make();
    watch.fullScreen(kRight.nativeGeometry);
    EXPECT_FALSE(hidden());  // another display
    EXPECT_FALSE(engine.toastsHeld());

    watch.fullScreen(kLeft.nativeGeometry);
    EXPECT_TRUE(hidden());
    EXPECT_TRUE(engine.toastsHeld());

    watch.leave();
    EXPECT_FALSE(hidden());
    EXPECT_FALSE(engine.toastsHeld());
    EXPECT_EQ(hideChanges, 2);
}

TEST_F(FullScreenGuardTest, TheIslandMovingOffOrOntoACoveredDisplayCounts) {
    make();
    watch.fullScreen(kLeft.nativeGeometry);
    ASSERT_TRUE(hidden());
    guard->setDisplay(kRight);
    EXPECT_FALSE(hidden());
    EXPECT_FALSE(engine.toastsHeld());
    guard->setDisplay(kLeft);
    EXPECT_TRUE(hidden());
    guard->setDisplay(std::nullopt);  // no display at all: nothing to step aside from
    EXPECT_FALSE(hidden());
}

TEST_F(FullScreenGuardTest, WithThePreferenceOffTheIslandStaysAndToastsAreNotHeld) {
    settings.set(settings.hide, false, "hideInFullScreen");
    make();
    watch.fullScreen(kLeft.nativeGeometry);
    EXPECT_FALSE(hidden());
    EXPECT_FALSE(engine.toastsHeld());

    // Switched on while covered, and off again.
    settings.set(settings.hide, true, "hideInFullScreen");
    EXPECT_TRUE(hidden());
    EXPECT_TRUE(engine.toastsHeld());
    settings.set(settings.hide, false, "hideInFullScreen");
    EXPECT_FALSE(hidden());
    EXPECT_FALSE(engine.toastsHeld());
}

TEST_F(FullScreenGuardTest, ASurfaceBeneathFullScreenWindowsHidesNothingButHoldsToasts) {
    settings.set(settings.hide, false, "hideInFullScreen");
    make(FullScreenGuard::Surface::beneathFullScreen);
    watch.set(FullScreenWindow{QRect(), {"LEFT"}});
    EXPECT_FALSE(hidden());
    EXPECT_TRUE(guard->covered());
    EXPECT_TRUE(engine.toastsHeld());  // the compositor covers the island whatever we prefer
    watch.leave();
    EXPECT_FALSE(engine.toastsHeld());
}

TEST_F(FullScreenGuardTest, AGuardThatGoesAwayLeavesNoToastsHeld) {
    make();
    watch.fullScreen(kLeft.nativeGeometry);
    toast("t", 1);
    guard.reset();
    EXPECT_FALSE(engine.toastsHeld());
    loop.advance(1);
    EXPECT_TRUE(engine.toastQueue.get().empty());
    watch.leave();  // no one listens any more
}
