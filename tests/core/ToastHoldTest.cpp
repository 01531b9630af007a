// Toasts wait while the island is out of sight and get their full time once it is back.
#include "core/EngineScene.h"
#include "core/IslandViewModel.h"
#include "fakes/PlainPreferences.h"

using namespace korvo;
using ToastHoldTest = korvo::test::EngineScene;

TEST_F(ToastHoldTest, AToastArrivingWhileHeldWaitsAndThenLastsItsFullDuration) {
    engine.holdToasts(true);
    toast("Charging", 2);
    loop.advance(60);
    EXPECT_EQ(toastTitles(), QStringList{"Charging"});

    engine.holdToasts(false);
    loop.advance(1.999);
    EXPECT_EQ(toastTitles(), QStringList{"Charging"});
    loop.advance(0.001);
    EXPECT_TRUE(toastTitles().isEmpty());
}

TEST_F(ToastHoldTest, AToastCaughtHalfwayStartsAgainFromTheBeginning) {
    toast("Copied", 4);
    loop.advance(3);
    engine.holdToasts(true);
    loop.advance(10);
    engine.holdToasts(false);
    loop.advance(3.5);
    EXPECT_EQ(toastTitles(), QStringList{"Copied"});  // not the 1 s it had left
    loop.advance(0.5);
    EXPECT_TRUE(toastTitles().isEmpty());
}

TEST_F(ToastHoldTest, HeldToastsKeepTheirPriorityOrderAndEachItsOwnDuration) {
    engine.holdToasts(true);
    toast("low", 1, ActivityPriority::low);
    toast("high", 3, ActivityPriority::high);
    toast("normal", 2);
    EXPECT_EQ(toastTitles(), (QStringList{"high", "normal", "low"}));
    engine.holdToasts(false);
    loop.advance(1);
    EXPECT_EQ(toastTitles(), (QStringList{"high", "normal"}));
    loop.advance(1);
    EXPECT_EQ(toastTitles(), QStringList{"high"});
    loop.advance(1);
    EXPECT_TRUE(toastTitles().isEmpty());
}

TEST_F(ToastHoldTest, RepeatedHoldsAndReleasesChangeNothingMore) {
    toast("t", 2);
    loop.advance(1.5);
    int published = 0;
    auto sub = engine.toastQueue.subscribe([&](const auto&) { ++published; });
    published = 0;
    engine.holdToasts(false);  // not held: no second expiry, no new lease of life
    EXPECT_EQ(published, 0);
    loop.advance(0.5);
    EXPECT_TRUE(toastTitles().isEmpty());

    toast("u", 2);
    engine.holdToasts(true);
    engine.holdToasts(true);
    loop.advance(5);
    engine.holdToasts(false);
    engine.holdToasts(false);
    loop.advance(1.999);
    EXPECT_EQ(toastTitles(), QStringList{"u"});
    loop.advance(0.001);
    EXPECT_TRUE(toastTitles().isEmpty());
}

TEST_F(ToastHoldTest, TheIslandShowsAWaitingToastWhenItReturns) {
    test::PlainIslandPreferences settings;
    IslandViewModel vm(loop, engine, settings, log, NotchGeometry{});
    loop.runUntilIdle();
    engine.holdToasts(true);
    toast("Screenshot", 2);
    loop.advance(10);  // meanwhile the island, out of sight, has gone back to rest
    ASSERT_EQ(vm.state.get(), IslandState::hidden);

    engine.holdToasts(false);
    loop.runUntilIdle();
    EXPECT_EQ(vm.state.get(), IslandState::medium);
    loop.advance(2);
    EXPECT_EQ(vm.state.get(), IslandState::hidden);
}
