#pragma once

#include "core/NotchGeometry.h"
#include "core/ScrollAdapter.h"

#include <QPointF>
#include <QPolygonF>
#include <QRegion>

#include <cstddef>
#include <functional>
#include <vector>

class QPainter;
class QWindow;

namespace korvo {

/// The pointer over the panel. Positions are in points, relative to the panel's top-left.
struct PanelPointer {
    enum class Kind { enter, leave, motion, press, release };
    Kind kind = Kind::motion;
    QPointF position;
    /// Where a menu opened at the pointer belongs: the desktop's coordinates where the window
    /// system has them (X11), else the position on the output.
    QPointF screenPosition;
    Qt::MouseButton button = Qt::NoButton;  // press and release
};

/// One scroll over the panel, in the window system's own words.
struct PanelScroll {
    QPointF position;
    WheelInput wheel;
};

/// What the island's window needs of the desktop: a fixed 700 × 320 point surface at the top
/// centre of an output, frames drawn when the controller asks and the desktop is ready for them,
/// pointer input only inside the island's outline, and the pointer and scroll events there.
/// The controller drives every frame: the surface never paints on its own; it only says when
/// a frame may be drawn (`onFrame`) or when everything must be drawn again (`onExposed`).
/// Main thread only.
class PanelSurface {
public:
    virtual ~PanelSurface() = default;

    /// The outputs the panel can sit on, in the desktop's order.
    virtual std::vector<ScreenInfo> outputs() const = 0;
    /// The index in `outputs()` of the main output (the first when the desktop has no notion of
    /// one).
    virtual std::size_t mainOutput() const = 0;
    /// Puts the panel at the top centre of that output, flush with its top edge.
    virtual void placeAtTopCentre(std::size_t output) = 0;
    /// Maps the panel without taking focus.
    virtual void show() = 0;
    /// Unmaps it: nothing drawn, no input, until `show`.
    virtual void hide() = 0;
    /// The Qt window that stands for the panel, for the accessibility layer; null where the panel
    /// is not a Qt window.
    virtual QWindow* qtWindow() { return nullptr; }
    /// Device pixels per point of the frames drawn now.
    virtual double scale() const = 0;

    /// Asks for one `onFrame` call, as soon as a frame can be drawn: at once when nothing holds
    /// frames back, otherwise when the desktop says it wants the next one or has a buffer free
    /// again. Several requests before then give one call. Never asked while a frame is drawn.
    virtual void requestFrame() = 0;
    /// Draws a frame: `dirty` (points) is cleared to transparent and `paint` draws into it,
    /// clipped to it; pixels elsewhere keep the last frame's. A surface that cannot take a frame
    /// now (off the screen, no buffer free) does not call `paint`: its pixels are then behind,
    /// and the controller draws everything in the next frame.
    virtual void drawFrame(const QRegion& dirty, const std::function<void(QPainter&)>& paint) = 0;

    /// Only this outline (points) takes pointer input; clicks and scrolls elsewhere reach the
    /// windows below.
    virtual void setInputRegion(const QPolygonF& outline) = 0;

    std::function<void()> onFrame;
    std::function<void()> onExposed;
    std::function<void(const PanelPointer&)> onPointer;
    std::function<void(const PanelScroll&)> onScroll;
    /// Outputs came, went or changed: the controller places the panel again.
    std::function<void()> onOutputsChanged;
};

}  // namespace korvo
