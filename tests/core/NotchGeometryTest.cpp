#include "core/NotchGeometry.h"
#include "core/ScrollAdapter.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {

// A 1512 × 982 laptop panel whose camera housing leaves 650 pt of menu bar on each side.
ScreenInfo notched(QRectF frame = {0, 0, 1512, 982}) {
    return ScreenInfo{frame, 38, QRectF(0, 0, 650, 38), QRectF(862, 0, 650, 38), {}};
}

ScreenInfo plain(QRectF frame) {
    return ScreenInfo{frame, 0, std::nullopt, std::nullopt, {}};
}

const NotchGeometry kFallback{180, 32, false};

}  // namespace

TEST(NotchGeometry, MeasuresTheGapBetweenTheMenuBarStrips) {
    EXPECT_EQ(measureNotch(notched()), (NotchGeometry{212, 38, true}));
}

TEST(NotchGeometry, FallsBackToAPillWithoutTheInsetOrEitherStrip) {
    EXPECT_EQ(measureNotch(plain({0, 0, 1920, 1080})), kFallback);

    ScreenInfo noLeft = notched();
    noLeft.auxiliaryTopLeftArea.reset();
    EXPECT_EQ(measureNotch(noLeft), kFallback);

    ScreenInfo noRight = notched();
    noRight.auxiliaryTopRightArea.reset();
    EXPECT_EQ(measureNotch(noRight), kFallback);

    ScreenInfo stripsWithoutInset = notched();
    stripsWithoutInset.safeAreaTopInset = 0;
    EXPECT_EQ(measureNotch(stripsWithoutInset), kFallback);
}

TEST(NotchGeometry, ChoosesTheFirstNotchedScreenElseTheMainOne) {
    const auto external = plain({0, 0, 2560, 1440});
    const auto laptop = notched({2560, 0, 1512, 982});
    EXPECT_EQ(chooseNotchScreen({external, laptop, laptop}, 0), 1u);  // even though 0 is main
    EXPECT_EQ(chooseNotchScreen({external, external}, 1), 1u);
    EXPECT_EQ(chooseNotchScreen({external, external}, 7), 0u);  // no main screen: the first
    EXPECT_EQ(chooseNotchScreen({}, 0), std::nullopt);
}

TEST(NotchGeometry, PanelHangsCentredFromTheScreensTopEdge) {
    EXPECT_EQ(panelOrigin(plain({0, 0, 1920, 1080})), QPointF(610, 0));
    // A screen right of and above the primary one, as multi-monitor desktops place them.
    EXPECT_EQ(panelOrigin(notched({1920, -200, 1512, 982})), QPointF(2326, -200));
}

TEST(ScrollAdapter, MomentumNeverReachesTheViewModel) {
    EXPECT_EQ(adaptScroll({true, true, 3, 40, false}), std::nullopt);
    EXPECT_EQ(adaptScroll({true, false, 0, 1, true}), std::nullopt);
}

TEST(ScrollAdapter, WheelNotchesWeighTenAndSignsIgnoreTheDirectionPreference) {
    using Deltas = std::optional<std::pair<double, double>>;
    EXPECT_EQ(adaptScroll({false, false, 0, 1.0, false}), (Deltas{{0, -10}}));
    EXPECT_EQ(adaptScroll({false, false, -0.5, 1.0, true}), (Deltas{{-5, 10}}));
    EXPECT_EQ(adaptScroll({false, true, 3.5, -12, false}), (Deltas{{-3.5, 12}}));
    EXPECT_EQ(adaptScroll({false, true, 3.5, -12, true}), (Deltas{{3.5, -12}}));
}
