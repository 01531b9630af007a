#pragma once

#include "platform/PanelSurface.h"

#include <QImage>
#include <QPainter>

#include <optional>
#include <vector>

namespace korvo {

/// A panel surface in memory: frames are drawn into an image when the test lets the "desktop"
/// take them, and the test sends the pointer and scroll events a window system would.
/// An output with nothing but its place on the desktop.
inline ScreenInfo screenAt(QRectF frame) {
    ScreenInfo s;
    s.frame = frame;
    return s;
}

class FakePanelSurface final : public PanelSurface {
public:
    std::vector<ScreenInfo> screens{screenAt(QRectF(0, 0, 1440, 900))};
    std::size_t main = 0;
    std::optional<std::size_t> placedOn;
    bool shown = false;
    bool ready = true;  // false: frames wait for `frameCallback()`
    int frameRequests = 0;
    int framesDrawn = 0;
    QRegion lastDirty;
    std::vector<QPolygonF> inputRegions;
    QImage image{700, 320, QImage::Format_ARGB32_Premultiplied};

    std::vector<ScreenInfo> outputs() const override { return screens; }
    std::size_t mainOutput() const override { return main; }
    void placeAtTopCentre(std::size_t output) override { placedOn = output; }
    void show() override { shown = true; }
    void hide() override { shown = false; }
    double scale() const override { return 1; }
    void requestFrame() override {
        ++frameRequests;
        if (ready) {
            m_wanted = false;
            onFrame();
        } else {
            m_wanted = true;
        }
    }
    void drawFrame(const QRegion& dirty, const std::function<void(QPainter&)>& paint) override {
        ++framesDrawn;
        lastDirty = dirty;
        QPainter p(&image);
        p.setClipRegion(dirty);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(image.rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paint(p);
    }
    void setInputRegion(const QPolygonF& outline) override { inputRegions.push_back(outline); }

    /// The desktop is ready for the next frame.
    void frameCallback() {
        ready = true;
        if (std::exchange(m_wanted, false) && onFrame) {
            onFrame();
        }
    }
    void pointer(PanelPointer::Kind kind, QPointF at, Qt::MouseButton button = Qt::NoButton) {
        onPointer({kind, at, at + QPointF(370, 0), button});
    }
    void click(QPointF at) {
        pointer(PanelPointer::Kind::press, at, Qt::LeftButton);
        pointer(PanelPointer::Kind::release, at, Qt::LeftButton);
    }
    void wheel(QPointF at, double notches, bool momentum = false) {
        WheelInput in;
        in.dy = notches;
        in.hasMomentumPhase = momentum;
        onScroll({at, in});
    }

private:
    bool m_wanted = false;
};

}  // namespace korvo
