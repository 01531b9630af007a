#include "app/ControlProtocol.h"

#include <gtest/gtest.h>

using namespace korvo::control;

TEST(ActivityLimit, RefusesTheStartBeyondTheCapUntilOneEnds) {
    ActivityLimit limit;
    for (int i = 0; i < ActivityLimit::kMaxLiveActivities; ++i) {
        ASSERT_TRUE(limit.admit(QStringLiteral("job-%1").arg(i)));
    }
    EXPECT_FALSE(limit.admit(QStringLiteral("one-too-many")));
    // What is live may still be restarted or updated.
    EXPECT_TRUE(limit.admit(QStringLiteral("job-7")));
    EXPECT_EQ(limit.live(), ActivityLimit::kMaxLiveActivities);

    limit.release(QStringLiteral("job-7"));
    EXPECT_TRUE(limit.admit(QStringLiteral("one-too-many")));
    EXPECT_FALSE(limit.admit(QStringLiteral("job-7")));

    // Ending what was never started makes no room.
    limit.release(QStringLiteral("never-started"));
    EXPECT_FALSE(limit.admit(QStringLiteral("another")));
    EXPECT_TRUE(ActivityLimit::refusal().contains(QStringLiteral("activity end")));
}
