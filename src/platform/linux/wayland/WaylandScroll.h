#pragma once

#include "core/ScrollAdapter.h"

#include <cstdint>
#include <optional>

namespace korvo::wayland {

/// What one wl_pointer frame said about scrolling. Axis 0 is vertical, 1 horizontal; values are
/// the compositor's: positive scrolls down or right.
struct AxisFrame {
    enum class Source { unknown, wheel, finger, continuous, wheelTilt };
    Source source = Source::unknown;
    double value[2] = {0, 0};     // surface points (a notch is typically 15)
    double value120[2] = {0, 0};  // fractions of a notch × 120 (wl_pointer 8)
    int discrete[2] = {0, 0};     // whole notches (wl_pointer 5 to 7)
    bool hasValue = false;
    bool hasValue120 = false;
    bool hasDiscrete = false;
    /// Set where the compositor says the deltas run against the fingers (natural scrolling).
    bool inverted = false;

    bool empty() const { return !hasValue && !hasValue120 && !hasDiscrete; }
};

/// The scroll as the island's scroll rules take it (the signs of a desktop wheel event: positive
/// away from the user), or none when the frame moved nothing (a finger lifted, an axis stop).
/// Wheels give notches, touchpads and other continuous sources precise points. The compositor
/// sends no momentum: kinetic scrolling on Wayland is the client's, and the island adds none.
std::optional<WheelInput> wheelInputFrom(const AxisFrame& frame);

}  // namespace korvo::wayland
