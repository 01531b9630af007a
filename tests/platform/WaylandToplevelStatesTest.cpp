// What the full-screen watch makes of foreign-toplevel events: the state arrays, changes that
// count only once a toplevel's `done` comes, and the outputs of the active full-screen window.
#include "platform/linux/wayland/WaylandFullScreenWatch.h"

#include <gtest/gtest.h>

using namespace korvo::wayland;

namespace {

// The protocol's numbers: maximized 0, minimized 1, activated 2, fullscreen 3.
ToplevelState read(const std::vector<std::uint32_t>& states, std::size_t bytes) {
    return readToplevelState(states.data(), bytes);
}

const ToplevelState kActiveFullScreen{true, true};
// Two toplevels, told apart by address as their handles are.
int a = 0;
int b = 0;

}  // namespace

TEST(ToplevelState, ReadsActivatedAndFullScreenAndSkipsEverythingElse) {
    EXPECT_EQ(read({2, 3}, 8), kActiveFullScreen);
    EXPECT_EQ(read({0, 1, 9}, 12), ToplevelState{});
    EXPECT_EQ(read({3}, 4), (ToplevelState{false, true}));
    // A piece shorter than a state is not read as one.
    EXPECT_EQ(read({3, 2}, 7), (ToplevelState{false, true}));
    EXPECT_EQ(readToplevelState(nullptr, 0), ToplevelState{});
}

TEST(ToplevelStates, ChangesCountOnlyOnceTheToplevelIsDone) {
    ToplevelStates t;
    t.state(&a, kActiveFullScreen);
    t.outputEntered(&a, 7);
    EXPECT_FALSE(t.activeFullScreenOutputs());
    t.done(&a);
    EXPECT_EQ(t.activeFullScreenOutputs(), std::vector<std::uint32_t>{7});
    // Leaving full screen and the output together: until done, the old state stands.
    t.state(&a, ToplevelState{true, false});
    t.outputLeft(&a, 7);
    EXPECT_EQ(t.activeFullScreenOutputs(), std::vector<std::uint32_t>{7});
    t.done(&a);
    EXPECT_FALSE(t.activeFullScreenOutputs());
}

TEST(ToplevelStates, OnlyActivatedFullScreenToplevelsCountWithAllTheirOutputs) {
    ToplevelStates t;
    // Full screen but in the background, on output 2.
    t.state(&b, ToplevelState{false, true});
    t.outputEntered(&b, 2);
    t.done(&b);
    EXPECT_FALSE(t.activeFullScreenOutputs());
    // Active and full screen across outputs 1 and 3.
    t.state(&a, kActiveFullScreen);
    t.outputEntered(&a, 3);
    t.outputEntered(&a, 1);
    t.done(&a);
    EXPECT_EQ(t.activeFullScreenOutputs(), (std::vector<std::uint32_t>{1, 3}));
    // Focus passes to the other: each says so in its own done.
    t.state(&a, ToplevelState{false, true});
    t.done(&a);
    t.state(&b, kActiveFullScreen);
    t.done(&b);
    EXPECT_EQ(t.activeFullScreenOutputs(), std::vector<std::uint32_t>{2});
    // A full-screen window that is active but on no output known covers nothing, yet is there.
    t.outputLeft(&b, 2);
    t.done(&b);
    EXPECT_EQ(t.activeFullScreenOutputs(), std::vector<std::uint32_t>{});
    // Closed, it is gone with what it had pending.
    t.outputEntered(&b, 2);
    t.closed(&b);
    EXPECT_FALSE(t.activeFullScreenOutputs());
    t.state(&a, kActiveFullScreen);
    t.done(&a);
    t.clear();
    EXPECT_FALSE(t.activeFullScreenOutputs());
}
