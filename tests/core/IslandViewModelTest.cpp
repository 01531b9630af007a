#include "core/IslandViewModel.h"

#include "core/EngineScene.h"
#include "fakes/PlainPreferences.h"

using namespace korvo;
using S = IslandState;

namespace {

Activity make(const QString& id, int minute, Activity::Kind kind = Activity::Kind::custom) {
    return test::activity(id, SystemStatsPayload{}, kind, minute);
}

class ViewModelTest : public test::EngineScene {
protected:
    ViewModelTest() {
        vm = std::make_unique<IslandViewModel>(loop, engine, settings, log, NotchGeometry{});
        sub = vm->state.subscribe([this](S s) { seen.push_back(s); });
        loop.runUntilIdle();
    }

    /// Moves virtual time to `t` seconds after the test began.
    void at(double t) { loop.advance(t - loop.monotonicNow()); }
    void scrollAt(double t, double dx, double dy) {
        at(t);
        vm->scroll(dx, dy);
        loop.runUntilIdle();
    }
    S state() const { return vm->state.get(); }

    test::PlainIslandPreferences settings;
    std::unique_ptr<IslandViewModel> vm;
    std::vector<S> seen;
    Subscription sub;
};

}  // namespace

TEST_F(ViewModelTest, FollowsFocusOneTurnLaterAndAnimatesWithTheTargetsSpring) {
    start(make("a", 0));
    EXPECT_EQ(state(), S::compact);
    IslandViewModel late(loop, engine, settings, log, NotchGeometry{});
    EXPECT_EQ(late.state.get(), S::hidden);  // even the first value arrives a turn later
    loop.runUntilIdle();
    EXPECT_EQ(late.state.get(), S::compact);

    start(make("b", 5));  // no change, no notification
    EXPECT_EQ(seen, (std::vector<S>{S::hidden, S::compact}));
    vm->toggleExpanded();
    post(ActivityEnded{"b"});  // focus moves to a; the open card stays open
    EXPECT_EQ(focusedId(), "a");
    EXPECT_EQ(state(), S::expanded);
    post(ActivityEnded{"a"});
    EXPECT_EQ(state(), S::hidden);
    EXPECT_EQ(vm->animationSpring(), springs::hidden);  // the target's spring
}

TEST_F(ViewModelTest, ToastWhileHiddenOpensMediumThenFallsBackToWhatIsFocused) {
    toast("Charging", 2);
    EXPECT_EQ(state(), S::medium);
    at(1.99);
    EXPECT_EQ(state(), S::medium);
    at(2);
    EXPECT_EQ(state(), S::hidden);

    toast("Copied", 2);
    start(make("a", 0));  // compact is below medium: the toast keeps the island
    EXPECT_EQ(state(), S::medium);
    at(4);
    EXPECT_EQ(state(), S::compact);
}

TEST_F(ViewModelTest, ToastOverAnOpenCardKeepsItOpenUntilTheToastEnds) {
    start(make("a", 0));
    vm->toggleExpanded();
    toast("Copied", 2);
    at(1.9);
    EXPECT_EQ(state(), S::expanded);
    at(2);
    EXPECT_EQ(state(), S::compact);
}

TEST_F(ViewModelTest, EachNewHeadOfTheQueueRestartsTheCollapseWithItsFullDuration) {
    start(make("a", 0));
    toast("first", 2);  // collapse due at 2
    at(1);
    toast("second", 3);  // "first" still heads: due at 3
    at(4.9);             // "first" expired at 2, so "second" headed: due at 5
    EXPECT_EQ(state(), S::medium);
    at(5);
    EXPECT_EQ(state(), S::compact);
}

TEST_F(ViewModelTest, HoverExpandsOutlivesCollapsesAndLeavingClosesHalfASecondLater) {
    start(make("a", 0));
    toast("Copied", 1);
    vm->hoverChanged(true);
    EXPECT_EQ(state(), S::expanded);
    at(5);  // the toast's collapse fired under the pointer and is not re-armed
    EXPECT_EQ(state(), S::expanded);
    vm->hoverChanged(false);
    at(5.49);
    EXPECT_EQ(state(), S::expanded);
    at(5.5);
    EXPECT_EQ(state(), S::compact);
}

TEST_F(ViewModelTest, HoverWithoutFocusDoesNotExpandAndFocusLossUnderThePointerKeepsTheCard) {
    toast("Screenshot", 2);
    vm->hoverChanged(true);
    EXPECT_EQ(state(), S::medium);
    vm->hoverChanged(false);
    at(0.5);
    EXPECT_EQ(state(), S::hidden);

    start(make("a", 0));
    vm->hoverChanged(true);
    post(ActivityEnded{"a"});
    EXPECT_EQ(state(), S::expanded);
    vm->hoverChanged(false);
    at(1);
    EXPECT_EQ(state(), S::hidden);
}

TEST_F(ViewModelTest, WithHoverToExpandOffOnlyTheFlagFollowsThePointer) {
    start(make("a", 0));
    settings.hover = false;
    vm->hoverChanged(true);
    EXPECT_TRUE(vm->isHovering.get());
    EXPECT_EQ(state(), S::compact);
    vm->toggleExpanded();
    vm->hoverChanged(false);
    EXPECT_FALSE(vm->isHovering.get());
    at(60);  // a clicked card stays open
    EXPECT_EQ(state(), S::expanded);

    settings.hover = true;  // read at every event
    vm->hoverChanged(true);
    settings.hover = false;
    vm->hoverChanged(false);
    at(70);
    EXPECT_EQ(state(), S::expanded);
}

TEST_F(ViewModelTest, ClicksToggleCompactAndExpandedAndOnlyRealTransitionsAreLogged) {
    vm->toggleExpanded();
    EXPECT_EQ(state(), S::hidden);
    toast("Copied", 2);
    for (S expected : {S::expanded, S::compact, S::expanded}) {
        vm->toggleExpanded();
        EXPECT_EQ(state(), expected);
    }
    vm->state.set(S::hud);
    vm->toggleExpanded();
    EXPECT_EQ(state(), S::hud);

    EXPECT_EQ(logged("viewmodel: "), (QStringList{"viewmodel: toast sink 'Copied', state=hidden",
                                                  "viewmodel: transition hidden -> medium",
                                                  "viewmodel: transition medium -> expanded",
                                                  "viewmodel: transition expanded -> compact",
                                                  "viewmodel: transition compact -> expanded"}));
}

TEST_F(ViewModelTest, SmallScrollsAddUpOnlyInQuickSuccession) {
    start(make("a", 0));
    scrollAt(0, 0, -10);
    scrollAt(0.2, 0, -10);
    scrollAt(0.55, 0, -10);  // the pause cleared the first two
    EXPECT_EQ(state(), S::compact);
    scrollAt(1.0, 0, 10);
    scrollAt(1.2, 0, 10);
    EXPECT_EQ(state(), S::compact);
    scrollAt(1.4, 1, 10);
    EXPECT_EQ(state(), S::expanded);
}

TEST_F(ViewModelTest, AFiredGestureSwallowsEverythingForFourTenthsOfASecond) {
    start(make("a", 0));
    scrollAt(0, 0, 30);
    scrollAt(0.2, 0, -40);   // the tail of the same swipe
    scrollAt(0.4, 0, -40);   // exactly 0.4 s later: still too soon
    scrollAt(0.45, 0, -10);  // the swallowed deltas did not add up
    EXPECT_EQ(state(), S::expanded);
    scrollAt(0.55, 0, -15);
    EXPECT_EQ(state(), S::compact);
}

TEST_F(ViewModelTest, VerticalGesturesOpenRegardlessOfFocusAndCloseToWhatIsFocused) {
    scrollAt(0, 0, 25);
    EXPECT_EQ(state(), S::expanded);
    scrollAt(1, 0, -25);
    EXPECT_EQ(state(), S::hidden);

    start(make("a", 0));
    start(make("b", 5));
    scrollAt(2, 25, 25);  // a tie counts as vertical
    EXPECT_EQ(state(), S::expanded);
    EXPECT_EQ(focusedId(), "b");
}

TEST_F(ViewModelTest, HorizontalSwipesTurnTheCarouselAndFlagItPerSwipe) {
    start(make("a", 0));
    start(make("b", 5));
    scrollAt(0, 30, 5);
    EXPECT_EQ(focusedId(), "a");  // forwards, wrapping past the end
    EXPECT_EQ(vm->slideEdge.get(), IslandViewModel::Edge::leading);
    EXPECT_TRUE(vm->isCarouselSwipe());

    scrollAt(0.45, -30, 0);
    EXPECT_EQ(focusedId(), "b");
    EXPECT_EQ(vm->slideEdge.get(), IslandViewModel::Edge::trailing);
    at(0.5);  // the first swipe's timer clears the flag regardless of the second
    EXPECT_FALSE(vm->isCarouselSwipe());
    EXPECT_EQ(state(), S::compact);
}

TEST_F(ViewModelTest, ASwipeWithASingleActivityChangesNothing) {
    start(make("a", 0));
    scrollAt(0, -30, 0);
    EXPECT_EQ(focusedId(), "a");
    EXPECT_EQ(vm->slideEdge.get(), IslandViewModel::Edge::trailing);
    EXPECT_FALSE(vm->isCarouselSwipe());
}

TEST_F(ViewModelTest, TheOpenClipboardCardKeepsVerticalScrollingForItsList) {
    start(make("other", 0));
    start(make("clip", 5, Activity::Kind::clipboard));
    scrollAt(0, 0, 30);  // not open yet: vertical gestures still work
    EXPECT_EQ(state(), S::expanded);

    scrollAt(1, 15, 0);
    scrollAt(1.2, 1, -40);  // ignored, and the pending reset is left alone
    scrollAt(1.35, 15, 0);  // so the first 15 was reset at 1.3
    EXPECT_EQ(state(), S::expanded);
    EXPECT_EQ(focusedId(), "clip");
    scrollAt(1.45, 15, 5);  // horizontal still turns the carousel
    EXPECT_EQ(focusedId(), "other");
    scrollAt(2.5, 0, -30);  // another card: vertical works again
    EXPECT_EQ(state(), S::compact);
}

TEST_F(ViewModelTest, ADestroyedViewModelIsNeverCalledBack) {
    start(make("a", 0));
    start(make("b", 5));
    toast("Copied", 1);
    vm->scroll(30, 0);  // carousel flag, scroll reset, focus delivery pending
    bus.post(ActivityEnded{"a"});
    vm.reset();
    at(2);
    EXPECT_EQ(seen, (std::vector<S>{S::hidden, S::compact, S::medium}));
}
