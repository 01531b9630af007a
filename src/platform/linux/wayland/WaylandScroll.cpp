#include "WaylandScroll.h"

namespace korvo::wayland {

namespace {
// What compositors send per wheel notch when they give no notch count.
constexpr double kPointsPerNotch = 15;
}  // namespace

std::optional<WheelInput> wheelInputFrom(const AxisFrame& frame) {
    if (frame.empty()) {
        return std::nullopt;
    }
    const bool wheel =
        frame.source == AxisFrame::Source::wheel || frame.source == AxisFrame::Source::wheelTilt ||
        (frame.source == AxisFrame::Source::unknown && (frame.hasValue120 || frame.hasDiscrete));
    double v = 0;
    double h = 0;
    if (!wheel) {
        v = frame.value[0];
        h = frame.value[1];
    } else if (frame.hasValue120) {
        v = frame.value120[0] / 120.0;
        h = frame.value120[1] / 120.0;
    } else if (frame.hasDiscrete) {
        v = frame.discrete[0];
        h = frame.discrete[1];
    } else {
        v = frame.value[0] / kPointsPerNotch;
        h = frame.value[1] / kPointsPerNotch;
    }
    if (v == 0 && h == 0) {
        return std::nullopt;
    }
    WheelInput in;
    in.hasPreciseDeltas = !wheel;
    in.dx = -h;
    in.dy = -v;
    in.invertedFromDevice = frame.inverted;
    return in;
}

}  // namespace korvo::wayland
