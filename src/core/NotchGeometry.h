#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace korvo {

/// The panel never changes size; every presentation is drawn inside it from its top centre.
inline constexpr double kPanelWidth = 700;
inline constexpr double kPanelHeight = 320;

/// The pill used where the screen has no camera notch.
inline constexpr double kFallbackNotchWidth = 180;
inline constexpr double kFallbackNotchHeight = 32;

/// The notch the compact island wraps around, in points.
struct NotchGeometry {
    double width = kFallbackNotchWidth;
    double height = kFallbackNotchHeight;
    bool hasPhysicalNotch = false;

    bool operator==(const NotchGeometry&) const = default;
};

/// What the island needs to know about one screen. Coordinates are Qt's: the origin is the
/// top-left of the virtual desktop and y grows downwards, so the screen's top edge is
/// `frame.top()`.
struct ScreenInfo {
    QRectF frame;
    /// Height of the strip at the top that content should avoid (the notch); 0 on plain screens.
    double safeAreaTopInset = 0;
    /// The usable strips left and right of the camera housing, where the screen reports them.
    std::optional<QRectF> auxiliaryTopLeftArea;
    std::optional<QRectF> auxiliaryTopRightArea;
    /// The output's connector name ("DP-1", "HDMI-A-2"), as the desktop calls it; may be empty.
    QString name;
};

/// The notch of `screen`: the gap between the two strips beside the camera, as tall as the
/// safe-area inset; the 180 × 32 pill when the screen lacks the inset or either strip.
NotchGeometry measureNotch(const ScreenInfo& screen);

/// The screen the island belongs to: the first one, in the given order, with a notch inset;
/// otherwise the main screen (the first screen when `mainIndex` is out of range). None when
/// there are no screens at all.
std::optional<std::size_t> chooseNotchScreen(const std::vector<ScreenInfo>& screens,
                                             std::size_t mainIndex);

/// Top-left corner of the panel on `screen`: horizontally centred, its top edge flush with the
/// screen's top edge (in y-down coordinates the top edge itself, rather than max-y − height).
QPointF panelOrigin(const ScreenInfo& screen);

}  // namespace korvo
