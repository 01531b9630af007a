// Wayland scroll frames become the island's scroll the way a desktop wheel event does: wheels in
// notches, touchpads in precise points, one direction convention for both.
#include "core/ScrollAdapter.h"
#include "platform/linux/wayland/WaylandScroll.h"

#include <gtest/gtest.h>

using namespace korvo;
using korvo::wayland::AxisFrame;
using korvo::wayland::wheelInputFrom;

namespace {

AxisFrame wheelNotch(int notches, bool value120) {
    AxisFrame f;
    f.source = AxisFrame::Source::wheel;
    f.value[0] = 15.0 * notches;
    f.hasValue = true;
    if (value120) {
        f.value120[0] = 120.0 * notches;
        f.hasValue120 = true;
    } else {
        f.discrete[0] = notches;
        f.hasDiscrete = true;
    }
    return f;
}

AxisFrame finger(double dy, double dx = 0) {
    AxisFrame f;
    f.source = AxisFrame::Source::finger;
    f.value[0] = dy;
    f.value[1] = dx;
    f.hasValue = true;
    return f;
}

}  // namespace

TEST(WaylandScroll, AWheelNotchWeighsWhatItWeighsOnX11) {
    // One notch towards the user is a positive axis value on Wayland; on X11 it reaches the view
    // model as +10 through the adapter. Both Wayland notch counts must agree with that.
    for (const bool value120 : {false, true}) {
        const auto in = wheelInputFrom(wheelNotch(1, value120));
        ASSERT_TRUE(in);
        EXPECT_FALSE(in->hasPreciseDeltas);
        const auto adapted = adaptScroll(*in);
        ASSERT_TRUE(adapted);
        EXPECT_DOUBLE_EQ(adapted->second, 10);
        EXPECT_DOUBLE_EQ(adapted->first, 0);
    }
    // A high-resolution wheel's half notch is half the weight.
    AxisFrame half = wheelNotch(1, true);
    half.value120[0] = 60;
    EXPECT_DOUBLE_EQ(adaptScroll(*wheelInputFrom(half))->second, 5);
    // A wheel that gives no notch count: its points, at the usual 15 a notch.
    AxisFrame bare;
    bare.source = AxisFrame::Source::wheel;
    bare.value[0] = -30;
    bare.hasValue = true;
    EXPECT_DOUBLE_EQ(adaptScroll(*wheelInputFrom(bare))->second, -20);
}

TEST(WaylandScroll, TouchpadStrokesArePreciseAndKeepTheirSize) {
    const auto in = wheelInputFrom(finger(12.5, -3));
    ASSERT_TRUE(in);
    EXPECT_TRUE(in->hasPreciseDeltas);
    EXPECT_FALSE(in->hasMomentumPhase);
    const auto adapted = adaptScroll(*in);
    EXPECT_DOUBLE_EQ(adapted->second, 12.5);  // unscaled, same direction as a wheel
    EXPECT_DOUBLE_EQ(adapted->first, -3);
    AxisFrame knob = finger(4);
    knob.source = AxisFrame::Source::continuous;
    EXPECT_TRUE(wheelInputFrom(knob)->hasPreciseDeltas);
    // Natural scrolling reported by the compositor flips the direction back, as on X11.
    AxisFrame natural = finger(8);
    natural.inverted = true;
    EXPECT_DOUBLE_EQ(adaptScroll(*wheelInputFrom(natural))->second, -8);
}

TEST(WaylandScroll, FramesThatMoveNothingAreNoScroll) {
    // Fingers lifted: a frame with only the source and an axis stop.
    AxisFrame lifted;
    lifted.source = AxisFrame::Source::finger;
    EXPECT_FALSE(wheelInputFrom(lifted));
    EXPECT_FALSE(wheelInputFrom(finger(0)));
    // A tilt wheel's notch sideways is a notch, not points.
    AxisFrame tilt;
    tilt.source = AxisFrame::Source::wheelTilt;
    tilt.discrete[1] = 1;
    tilt.hasDiscrete = true;
    const auto in = wheelInputFrom(tilt);
    ASSERT_TRUE(in);
    EXPECT_FALSE(in->hasPreciseDeltas);
    EXPECT_DOUBLE_EQ(in->dx, -1);
    // No source announced (an old pointer) but a notch count: a wheel.
    AxisFrame old;
    old.discrete[0] = -2;
    old.hasDiscrete = true;
    EXPECT_FALSE(wheelInputFrom(old)->hasPreciseDeltas);
}
