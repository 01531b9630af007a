#include "core/PointerDisplayFollower.h"
#include "core/VirtualLoop.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {

// The pointer is read every half second, as the real source does on the loop's beat.
class FollowerTest : public ::testing::Test {
protected:
    FollowerTest() {
        sub = follower.observe([this] { ++changes; });
    }
    /// Reports `display` at every read for `seconds`, starting now.
    void stayOn(const QString& display, double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += 0.5) {
            follower.report(display);
            loop.advance(0.5);
        }
    }
    QString settled() const { return follower.display().value_or(QStringLiteral("-")); }

    VirtualLoop loop;
    PointerDisplayFollower follower{loop};
    int changes = 0;
    Subscription sub;
};

}  // namespace

TEST_F(FollowerTest, FirstReportCountsAtOnceAndAMoveAfterOneSecondThere) {
    EXPECT_EQ(settled(), "-");
    follower.report("A");
    EXPECT_EQ(settled(), "A");
    EXPECT_EQ(changes, 1);

    follower.report("B");
    loop.advance(0.999);
    EXPECT_EQ(settled(), "A");
    loop.advance(0.001);
    EXPECT_EQ(settled(), "B");
    EXPECT_EQ(changes, 2);
    // More reads of the same display change nothing.
    stayOn("B", 3);
    EXPECT_EQ(changes, 2);
}

TEST_F(FollowerTest, ABriefVisitOrAPassageLeavesTheIslandWhereItIs) {
    follower.report("A");
    stayOn("B", 0.5);
    stayOn("A", 3);
    EXPECT_EQ(settled(), "A");
    EXPECT_EQ(changes, 1);

    // Crossing B on the way to C: the wait starts again on C.
    stayOn("B", 0.5);
    follower.report("C");
    loop.advance(0.9);
    EXPECT_EQ(settled(), "A");
    loop.advance(0.1);
    EXPECT_EQ(settled(), "C");
    EXPECT_EQ(changes, 2);  // never B
}

TEST_F(FollowerTest, TheWaitCountsFromTheFirstReadThereNotTheLatest) {
    follower.report("A");
    follower.report("B");
    loop.advance(0.5);
    follower.report("B");
    loop.advance(0.5);
    EXPECT_EQ(settled(), "B");
}

TEST_F(FollowerTest, ForgettingTakesTheNextReportAtOnceAndCancelsAPendingMove) {
    follower.report("A");
    follower.report("B");
    loop.advance(0.5);
    follower.forget();
    EXPECT_EQ(settled(), "-");
    loop.advance(2);
    EXPECT_EQ(settled(), "-");  // the pending move to B died with what was known
    follower.report("C");
    EXPECT_EQ(settled(), "C");
}
