#include "ui/kit/Animator.h"

#include <gtest/gtest.h>

using namespace korvo;
using namespace korvo::ui;

namespace {
struct Clocked {
    double t = 0;
    Animator animator{[this] { return t; }};
    double frame(double at, const std::function<double(Animator&)>& ask) {
        t = at;
        animator.beginFrame();
        const double v = ask(animator);
        animator.endFrame();
        return v;
    }
};
}  // namespace

TEST(Animator, FirstValueIsTheTargetThenSpringsFollowChanges) {
    Clocked c;
    auto ask = [](double target) {
        return [target](Animator& a) { return a.spring("w", target, springs::compact); };
    };
    EXPECT_EQ(c.frame(0, ask(180)), 180);
    EXPECT_TRUE(c.animator.isSettled());
    EXPECT_EQ(c.frame(0, ask(276)), 180);  // the move starts now
    EXPECT_FALSE(c.animator.isSettled());
    const double mid = c.frame(0.1, ask(276));
    EXPECT_GT(mid, 180);
    EXPECT_LT(mid, 276);
    // Underdamped: passes the target before settling on it.
    double peak = 0;
    for (double t = 0.1; t < 0.6; t += 0.01) {
        peak = std::max(peak, c.frame(t, ask(276)));
    }
    EXPECT_GT(peak, 276);
    EXPECT_NEAR(c.frame(2.0, ask(276)), 276, 0.01);
    EXPECT_TRUE(c.animator.isSettled());
}

TEST(Animator, RetargetingMidFlightKeepsPositionContinuous) {
    Clocked c;
    c.frame(0, [](Animator& a) { return a.spring("h", 0, springs::expanded); });
    c.frame(0, [](Animator& a) { return a.spring("h", 100, springs::expanded); });
    const double before =
        c.frame(0.15, [](Animator& a) { return a.spring("h", 100, springs::expanded); });
    const double after =
        c.frame(0.15, [](Animator& a) { return a.spring("h", 0, springs::hidden); });
    EXPECT_NEAR(before, after, 1e-9);
}

TEST(Animator, TimedCurvesHonourDelayAndDuration) {
    Clocked c;
    auto ask = [](double target) {
        return [target](Animator& a) { return a.timed("o", target, 0.18, 0.14, Curve::easeOut); };
    };
    c.frame(0, ask(0));
    EXPECT_EQ(c.frame(1, ask(1)), 0);
    EXPECT_EQ(c.frame(1.13, ask(1)), 0);  // still waiting out the delay
    EXPECT_GT(c.frame(1.2, ask(1)), 0.5);
    EXPECT_FALSE(c.animator.isSettled());
    EXPECT_EQ(c.frame(1.33, ask(1)), 1);
    EXPECT_TRUE(c.animator.isSettled());
}

TEST(Animator, RepeatingSwingsBackAndForthAndKeepsTheAnimatorAwake) {
    Clocked c;
    auto ask = [](Animator& a) { return a.repeating("bar", 4, 14, 0.4, 0.13, Curve::linear); };
    EXPECT_EQ(c.frame(0, ask), 4);
    EXPECT_EQ(c.frame(0.13, ask), 4);
    EXPECT_NEAR(c.frame(0.33, ask), 9, 1e-9);
    EXPECT_NEAR(c.frame(0.53, ask), 14, 1e-9);
    EXPECT_NEAR(c.frame(0.73, ask), 9, 1e-9);  // reversing
    EXPECT_FALSE(c.animator.isSettled());
    // Once the bars are gone, nothing keeps it awake.
    c.frame(1.0, [](Animator&) { return 0.0; });
    EXPECT_TRUE(c.animator.isSettled());
}

TEST(Animator, KeyedContentCrossFadesAndOldContentIsDropped) {
    Clocked c;
    const Transition in{0.18, 0.14, Curve::easeOut, true, {}};
    const Transition out{0.07, 0, Curve::easeIn, true, {}};
    auto node = std::make_shared<Node>();
    auto layers = [&](const QString& key) {
        std::vector<Animator::Layer> out2;
        c.frame(c.t, [&](Animator& a) {
            out2 = a.transition("content", key, node, in, out);
            return 0.0;
        });
        return out2;
    };
    EXPECT_EQ(layers("compact").size(), 1u);
    EXPECT_EQ(layers("compact")[0].opacity, 1);
    auto l = layers("expanded");
    ASSERT_EQ(l.size(), 2u);
    EXPECT_TRUE(l[0].leaving);
    EXPECT_EQ(l[0].key, "compact");
    EXPECT_EQ(l[1].opacity, 0);
    c.t = 0.1;
    l = layers("expanded");
    EXPECT_EQ(l.size(), 1u);  // the old content finished leaving after 0.07 s
    EXPECT_EQ(l[0].opacity, 0);
    c.t = 0.32;
    EXPECT_EQ(layers("expanded")[0].opacity, 1);
    EXPECT_TRUE(c.animator.isSettled());
}

TEST(Animator, PulsesLastTheirDurationFromTheClickAndKeepFramesComing) {
    Clocked c;
    c.frame(0, [](Animator&) { return 0.0; });
    c.t = 0.5;  // a click between frames
    c.animator.pulse("b", 0.12);
    EXPECT_TRUE(c.frame(0.6, [](Animator& a) { return double(a.isPulsing("b")); }));
    EXPECT_FALSE(c.animator.isSettled());
    EXPECT_FALSE(c.frame(0.62, [](Animator& a) { return double(a.isPulsing("b")); }));
    EXPECT_TRUE(c.animator.isSettled());
}
