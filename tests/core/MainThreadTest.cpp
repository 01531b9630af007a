#include "core/MainThread.h"

#include "core/PointerDisplayFollower.h"
#include "core/Published.h"
#include "core/VirtualLoop.h"

#include <gtest/gtest.h>

#include <thread>
#include <type_traits>

using namespace korvo;

TEST(MainThreadCheck, SilentOnTheMainThreadAndForWorkPostedBackToIt) {
    VirtualLoop loop;
    PointerDisplayFollower follower(loop);
    Published<int> value{0};
    std::vector<int> seen;
    auto sub = value.subscribe([&](int v) { seen.push_back(v); });
    follower.report(QStringLiteral("HDMI-1"));
    // Work done elsewhere hands its result back with `post`, as every backend does.
    std::thread worker([&] { loop.post([&] { value.set(7); }); });
    worker.join();
    loop.runInBackground(Qos::utility,
                         [&] { loop.post([&] { follower.report(QStringLiteral("DP-2")); }); });
    loop.runUntilIdle();
    loop.advance(PointerDisplayFollower::kSettle);
    EXPECT_EQ(seen, (std::vector<int>{0, 7}));
    EXPECT_EQ(follower.display(), QStringLiteral("DP-2"));
}

#if KORVO_THREAD_CHECKS

TEST(MainThreadCheckDeathTest, BackgroundWorkCallingAMainThreadObjectAbortsNamingTheEntryPoint) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            VirtualLoop loop;
            PointerDisplayFollower follower(loop);
            // The virtual loop runs background work on the test's own thread; it still counts
            // as off the main thread.
            loop.runInBackground(Qos::utility, [&] { follower.report(QStringLiteral("HDMI-1")); });
            loop.runUntilIdle();
        },
        "PointerDisplayFollower::report.* called off the main thread");
}

TEST(MainThreadCheckDeathTest, AnotherThreadTouchingAPublishedValueAborts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            Published<int> value{0};
            std::thread([&] { value.set(1); }).join();
        },
        "Signal.*::send.* called off the main thread");
}

#else

TEST(MainThreadCheck, ReleaseBuildsCarryNoChecker) {
    // The checks run in debug and sanitizer builds; here the checker must cost nothing.
    static_assert(std::is_empty_v<MainThreadChecker>);
    static_assert(sizeof(Signal<int>) == sizeof(std::shared_ptr<int>));
    GTEST_SKIP() << "main-thread checks are off in this build (on in debug and sanitizer builds)";
}

#endif
