#include "core/EngineScene.h"

#include <gtest/gtest.h>

#include <thread>

using namespace korvo;

namespace {

QString describe(const IslandEvent& e) {
    if (const auto* s = std::get_if<ActivityStarted>(&e)) {
        return QStringLiteral("started ") + s->activity.id;
    }
    if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
        return QStringLiteral("updated ") + u->activity.id;
    }
    if (const auto* x = std::get_if<ActivityEnded>(&e)) {
        return QStringLiteral("ended ") + x->id;
    }
    return QStringLiteral("toast ") + std::get<TransientNotification>(e).title;
}

}  // namespace

TEST(EventBus, PostOnTheMainThreadArrivesBeforePostReturns) {
    VirtualLoop loop;
    EventBus bus(loop);
    QStringList seen;
    auto sub = bus.subscribe([&](const IslandEvent& e) { seen << describe(e); });
    bus.post(ActivityStarted{test::activity(QStringLiteral("a"))});
    EXPECT_EQ(seen, QStringList{QStringLiteral("started a")});
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST(EventBus, BackgroundPostsHopToTheMainThreadInPostingOrder) {
    VirtualLoop loop;
    EventBus bus(loop);
    QStringList seen;
    bool onMain = true;
    auto sub = bus.subscribe([&](const IslandEvent& e) {
        onMain = onMain && loop.isMainThread();
        seen << describe(e);
    });
    std::thread worker([&] {
        bus.post(ActivityStarted{test::activity(QStringLiteral("x"))});
        bus.post(ActivityUpdated{test::activity(QStringLiteral("x"))});
        bus.post(ActivityEnded{QStringLiteral("x")});
    });
    worker.join();
    EXPECT_TRUE(seen.isEmpty());  // not delivered until the main queue runs
    // A main-thread post overtakes the background posts still waiting in the queue.
    bus.post(TransientNotification::make(QStringLiteral("bolt.fill"), QStringLiteral("now"),
                                         std::nullopt, 2, ActivityPriority::normal));
    loop.runUntilIdle();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("toast now"), QStringLiteral("started x"),
                                 QStringLiteral("updated x"), QStringLiteral("ended x")}));
    EXPECT_TRUE(onMain);
}

TEST(EventBus, BackgroundPostFromVirtualBackgroundWorkAlsoHops) {
    VirtualLoop loop;
    EventBus bus(loop);
    int delivered = 0;
    bool wasDeliveredInsideWork = false;
    auto sub = bus.subscribe([&](const IslandEvent&) { ++delivered; });
    loop.runInBackground(Qos::utility, [&] {
        bus.post(ActivityEnded{QStringLiteral("a")});
        wasDeliveredInsideWork = delivered > 0;
    });
    loop.runUntilIdle();
    EXPECT_FALSE(wasDeliveredInsideWork);
    EXPECT_EQ(delivered, 1);
}

TEST(TransientNotification, EqualTextsAreDistinctToasts) {
    auto a = TransientNotification::make(QStringLiteral("bolt.fill"), QStringLiteral("Charging"),
                                         QStringLiteral("80%"), 2.5, ActivityPriority::normal);
    auto b = TransientNotification::make(QStringLiteral("bolt.fill"), QStringLiteral("Charging"),
                                         QStringLiteral("80%"), 2.5, ActivityPriority::normal);
    EXPECT_NE(a.id, b.id);
    EXPECT_FALSE(a.id.isNull());
    EXPECT_FALSE(a.action);
}
