#pragma once

#include "platform/PanelSurface.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

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
    bool ready = true;                  // false: frames wait for `frameCallback()`
    bool takesFrames = true;            // false: frames are dropped as by a window off the screen
    std::function<void()> duringPaint;  // runs inside the next frame's paint, once
    int frameRequests = 0;
    int framesDrawn = 0;
    QRegion lastDirty;
    std::vector<QPolygonF> inputRegions;
    QImage image{700, 320, QImage::Format_ARGB32_Premultiplied};

    std::vector<ScreenInfo> outputs() const override { return screens; }
    std::size_t mainOutput() const override { return main; }
    void placeAtTopCentre(std::size_t output) override { placedOn = output; }
    // Like a window: requests wait while it is off the screen.
    void show() override {
        shown = true;
        if (ready && std::exchange(m_wanted, false)) {
            onFrame();
        }
    }
    void hide() override { shown = false; }
    double scale() const override { return 1; }
    void requestFrame() override {
        ++frameRequests;
        EXPECT_FALSE(m_drawing) << "a frame asked for while one is drawn";
        if (ready && shown) {
            m_wanted = false;
            onFrame();
        } else {
            m_wanted = true;
        }
    }
    void drawFrame(const QRegion& dirty, const std::function<void(QPainter&)>& paint) override {
        if (!shown || !takesFrames) {
            return;
        }
        ++framesDrawn;
        lastDirty = dirty;
        m_drawing = true;
        QPainter p(&image);
        p.setClipRegion(dirty);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(image.rect(), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paint(p);
        if (auto during = std::exchange(duringPaint, {})) {
            during();
        }
        m_drawing = false;
        ready = ready && !holdsFrames;
    }
    void setInputRegion(const QPolygonF& outline) override { inputRegions.push_back(outline); }

    /// Like a compositor: after each frame the next waits for `frameCallback()`.
    bool holdsFrames = false;
    /// The desktop is ready for the next frame.
    void frameCallback() {
        ready = true;
        if (shown && std::exchange(m_wanted, false) && onFrame) {
            onFrame();
        }
    }
    bool frameOwed() const { return m_wanted; }
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
    bool m_drawing = false;
};

}  // namespace korvo
