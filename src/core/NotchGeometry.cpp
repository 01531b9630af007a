#include "NotchGeometry.h"

namespace korvo {

NotchGeometry measureNotch(const ScreenInfo& screen) {
    const double top = screen.safeAreaTopInset;
    if (top > 0 && screen.auxiliaryTopLeftArea && screen.auxiliaryTopRightArea) {
        const double width = screen.frame.width() - screen.auxiliaryTopLeftArea->width() -
                             screen.auxiliaryTopRightArea->width();
        return NotchGeometry{width, top, true};
    }
    return NotchGeometry{kFallbackNotchWidth, kFallbackNotchHeight, false};
}

std::optional<std::size_t> chooseNotchScreen(const std::vector<ScreenInfo>& screens,
                                             std::size_t mainIndex) {
    if (screens.empty()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < screens.size(); ++i) {
        if (screens[i].safeAreaTopInset > 0) {
            return i;
        }
    }
    return mainIndex < screens.size() ? mainIndex : 0;
}

QPointF panelOrigin(const ScreenInfo& screen) {
    const double midX = screen.frame.left() + screen.frame.width() / 2.0;
    return {midX - kPanelWidth / 2.0, screen.frame.top()};
}

}  // namespace korvo
