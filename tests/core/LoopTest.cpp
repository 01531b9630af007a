#include "Spin.h"
#include "core/Published.h"
#include "core/QtMainLoop.h"
#include "core/VirtualLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>

using namespace korvo;

TEST(VirtualLoop, RunsTasksByDueTimeThenPostOrder) {
    VirtualLoop loop;
    std::vector<int> order;
    auto h1 = loop.postDelayed(2.0, [&] { order.push_back(3); });
    auto h2 = loop.postDelayed(1.0, [&] { order.push_back(1); });
    auto h3 = loop.postDelayed(1.0, [&] { order.push_back(2); });
    loop.post([&] { order.push_back(0); });
    loop.runUntilIdle();
    EXPECT_EQ(order, std::vector<int>{0});
    loop.advance(0.999);
    EXPECT_EQ(order, std::vector<int>{0});
    loop.advance(0.001);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    loop.advance(5);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_DOUBLE_EQ(loop.monotonicNow(), 6.0);
}

TEST(VirtualLoop, ClockReadsTheDueTimeInsideTasksAndWallClockFollows) {
    VirtualLoop loop;
    const QDateTime wall0 = loop.wallNow();
    double seen = -1;
    QDateTime seenWall;
    auto h = loop.postDelayed(0.1 + 0.2, [&] {
        seen = loop.monotonicNow();
        seenWall = loop.wallNow();
    });
    loop.advance(0.1);
    loop.advance(0.2);  // lands exactly on 0.3 despite binary fractions
    EXPECT_DOUBLE_EQ(seen, 0.3);
    EXPECT_EQ(wall0.msecsTo(seenWall), 300);
}

TEST(VirtualLoop, HandlesCancelOnDestructionAndExplicitly) {
    VirtualLoop loop;
    int fired = 0;
    {
        auto h = loop.postDelayed(1.0, [&] { ++fired; });
    }
    auto kept = loop.postDelayed(1.0, [&] { ++fired; });
    auto cancelled = loop.postDelayed(1.0, [&] { fired += 100; });
    cancelled.cancel();
    EXPECT_FALSE(cancelled.isActive());
    loop.advance(2);
    EXPECT_EQ(fired, 1);
}

TEST(VirtualLoop, RepeatingTimerFiresEachIntervalAndMayCancelItself) {
    VirtualLoop loop;
    int ticks = 0;
    TaskHandle handle;
    handle = loop.scheduleRepeating(0.5, 0.1, [&] {
        if (++ticks == 4) {
            handle.cancel();
        }
    });
    loop.advance(1.2);
    EXPECT_EQ(ticks, 2);
    loop.advance(10);
    EXPECT_EQ(ticks, 4);
}

TEST(VirtualLoop, BackgroundWorkRunsOffTheMainThreadOnceDrainedAndPostsBack) {
    VirtualLoop loop;
    std::vector<std::string> order;
    bool wasMain = true;
    loop.runInBackground(Qos::utility, [&] {
        wasMain = loop.isMainThread();
        order.push_back("background");
        loop.post([&] {
            EXPECT_TRUE(loop.isMainThread());
            order.push_back("result");
        });
    });
    loop.post([&] { order.push_back("main"); });
    loop.runUntilIdle();
    EXPECT_FALSE(wasMain);
    EXPECT_EQ(order, (std::vector<std::string>{"main", "background", "result"}));
}

TEST(Published, NotifiesOnEveryAssignmentAndEmitsCurrentValueFirst) {
    Published<int> value(7);
    std::vector<int> seen;
    auto sub = value.subscribe([&](int v) { seen.push_back(v); });
    value.set(7);  // equal values still notify
    value.set(8);
    EXPECT_EQ(seen, (std::vector<int>{7, 7, 8}));
    sub.cancel();
    value.set(9);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(value.get(), 9);
}

TEST(Published, SubscriberThatUnsubscribesAnotherDuringDeliveryIsSafe) {
    Published<int> value;
    int a = 0;
    int b = 0;
    Subscription subB;
    auto subA = value.subscribe([&](int) {
        ++a;
        subB.cancel();
    });
    subB = value.subscribe([&](int) { ++b; });
    value.set(1);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);  // only the initial value; removed before the second delivery
}

TEST(QtMainLoop, PostsFromAThreadArriveOnTheMainThreadInOrder) {
    QtMainLoop loop;
    std::vector<int> seen;
    std::atomic<bool> allOnMain{true};
    loop.runInBackground(Qos::utility, [&] {
        for (int i = 0; i < 100; ++i) {
            loop.post([&, i] {
                allOnMain = allOnMain && loop.isMainThread();
                seen.push_back(i);
            });
        }
    });
    test::spinUntil([&] { return seen.size() == 100; });
    ASSERT_EQ(seen.size(), 100u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_TRUE(allOnMain);
}

TEST(QtMainLoop, DelayedTasksFireUnlessTheirHandleIsGone) {
    QtMainLoop loop;
    int fired = 0;
    int dropped = 0;
    auto kept = loop.postDelayed(0.01, [&] { ++fired; });
    {
        auto gone = loop.postDelayed(0.005, [&] { ++dropped; });
    }
    int ticks = 0;
    auto repeating = loop.scheduleRepeating(0.005, 0, [&] { ++ticks; });
    test::spinUntil([&] { return fired == 1 && ticks >= 3; });
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(dropped, 0);
    EXPECT_GE(ticks, 3);
    EXPECT_GT(loop.monotonicNow(), 0.0);
}

// Polls with room to move share one wake-up: the half-second and the one-second task fire in
// the same beat, a precise task keeps its own timer, and a cancelled task leaves the beat.
TEST(QtMainLoop, RepeatingPollsWithToleranceShareTheBeat) {
    QtMainLoop loop;
    std::vector<double> halves, wholes;
    auto half = loop.scheduleRepeating(0.5, 0.2, [&] { halves.push_back(loop.monotonicNow()); });
    auto whole = loop.scheduleRepeating(1.0, 0.25, [&] { wholes.push_back(loop.monotonicNow()); });
    auto precise = loop.scheduleRepeating(0.5, 0, [] {});
    int dropped = 0;
    {
        auto gone = loop.scheduleRepeating(0.5, 0.2, [&] { ++dropped; });
        EXPECT_EQ(loop.beatTaskCount(), 3);
    }
    EXPECT_EQ(loop.beatTaskCount(), 2);
    test::spinUntil([&] { return !wholes.empty(); });
    ASSERT_EQ(wholes.size(), 1u);
    ASSERT_GE(halves.size(), 1u);
    EXPECT_TRUE(std::any_of(halves.begin(), halves.end(),
                            [&](double t) { return std::abs(t - wholes.front()) < 0.002; }));
    EXPECT_EQ(dropped, 0);
    half = TaskHandle();
    whole = TaskHandle();
    EXPECT_EQ(loop.beatTaskCount(), 0);
}
