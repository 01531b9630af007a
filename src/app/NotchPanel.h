#pragma once

#include <QRasterWindow>

#include <functional>

class QMouseEvent;
class QWheelEvent;

namespace korvo {

/// The borderless, transparent 700 × 320 window the island is drawn in. It only forwards what
/// happens to it; the controller decides.
class NotchPanel final : public QRasterWindow {
public:
    NotchPanel();

    /// Paints `dirty` (window coordinates); pixels outside it are kept from the last frame.
    std::function<void(QPainter&, const QRegion& dirty)> onPaint;
    std::function<void(QMouseEvent*)> onMouse;  // press, release, move
    std::function<void()> onLeave;
    std::function<void(QWheelEvent*)> onScroll;

    /// A plain window has no accessible root; the panel's is what the island's accessibility
    /// layer makes of it, so screen readers find it among the application's windows.
    QAccessibleInterface* accessibleRoot() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;
};

}  // namespace korvo
