#include "ScrollAdapter.h"

namespace korvo {

std::optional<std::pair<double, double>> adaptScroll(const WheelInput& event) {
    if (event.hasMomentumPhase) {
        // Inertia would keep firing gestures long after the user stopped.
        return std::nullopt;
    }
    double dx = event.dx;
    double dy = event.dy;
    if (!event.hasPreciseDeltas) {
        dx *= 10;
        dy *= 10;
    }
    if (!event.invertedFromDevice) {
        dx = -dx;
        dy = -dy;
    }
    return std::pair{dx, dy};
}

}  // namespace korvo
