#pragma once

#include <optional>
#include <utility>

namespace korvo {

/// One scroll event over the island, as the window system reports it.
struct WheelInput {
    /// The inertial tail after the fingers left the touchpad.
    bool hasMomentumPhase = false;
    /// Touchpad pixel deltas; false for a wheel mouse, whose deltas count notches.
    bool hasPreciseDeltas = false;
    double dx = 0;
    double dy = 0;
    /// The user's "natural scrolling" preference flipped the deltas.
    bool invertedFromDevice = false;
};

/// The (dx, dy) the view model's gesture thresholds are written for, or none for an event it
/// must not see. Wheel notches are scaled ×10 so one notch weighs about a touchpad stroke, and
/// the signs are made independent of the scrolling-direction preference.
std::optional<std::pair<double, double>> adaptScroll(const WheelInput& event);

}  // namespace korvo
