#include "core/Spring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace korvo;

TEST(Spring, StepResponseStartsAtRestAndReachesTheTarget) {
    for (const Spring& s : {springs::hidden, springs::expanded, springs::micro, Spring{0.4, 1.0, 0},
                            Spring{0.4, 1.5, 0}}) {
        EXPECT_NEAR(s.stepResponse(0), 0.0, 1e-12);
        EXPECT_NEAR(s.stepResponse(5), 1.0, 1e-4);
        // Velocity from the closed form matches a numerical derivative.
        const double t = 0.1;
        const double h = 1e-6;
        const double numeric =
            (s.evolve(1, 0, t + h).displacement - s.evolve(1, 0, t - h).displacement) / (2 * h);
        EXPECT_NEAR(s.evolve(1, 0, t).velocity, numeric, 1e-4);
    }
}

TEST(Spring, ThemeSpringsOvershootAndSettleAsTheirDampingSays) {
    // Overshoot of an underdamped spring is exp(-πζ/√(1-ζ²)).
    auto expected = [](double z) { return std::exp(-std::numbers::pi * z / std::sqrt(1 - z * z)); };
    EXPECT_NEAR(springs::micro.overshoot(), expected(0.6), 1e-3);      // ≈ 9.5 %
    EXPECT_NEAR(springs::carousel.overshoot(), expected(0.82), 1e-3);  // ≈ 1.1 %
    EXPECT_NEAR(springs::cascade.overshoot(), expected(0.78), 1e-3);   // ≈ 2.0 %
    EXPECT_EQ(Spring({0.4, 1.0, 0}).overshoot(), 0.0);

    // Snappier and stiffer springs settle sooner; all within a second.
    EXPECT_LT(springs::micro.settlingTime(), springs::cascade.settlingTime());
    for (const Spring& s : {springs::micro, springs::carousel, springs::cascade}) {
        EXPECT_GT(s.settlingTime(), 0.1);
        EXPECT_LT(s.settlingTime(), 1.0);
    }
}

TEST(Spring, SettledTestNeedsBothPositionAndSpeed) {
    EXPECT_TRUE(Spring::isSettled({0.1, 1.0}));
    EXPECT_FALSE(Spring::isSettled({0.1, 100.0}));  // passing through the target fast
    EXPECT_FALSE(Spring::isSettled({3.0, 0.0}));
    EXPECT_TRUE(Spring::isSettled({0.002, 0.0}, 0.01));
    EXPECT_FALSE(Spring::isSettled({0.01, 0.0}, 0.01));
}
