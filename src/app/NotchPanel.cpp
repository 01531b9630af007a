#include "NotchPanel.h"

#include "core/NotchGeometry.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QSurfaceFormat>
#include <QWheelEvent>

namespace korvo {

NotchPanel::NotchPanel() {
    QSurfaceFormat format;
    format.setAlphaBufferSize(8);  // a transparent panel: only the island is drawn
    setFormat(format);
    resize(static_cast<int>(kPanelWidth), static_cast<int>(kPanelHeight));
    setTitle(QStringLiteral("Korvo"));
}

QAccessibleInterface* NotchPanel::accessibleRoot() const {
    return QAccessible::queryAccessibleInterface(const_cast<NotchPanel*>(this));
}

void NotchPanel::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setClipRegion(event->region());
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& r : event->region()) {
        p.fillRect(r, Qt::transparent);
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (onPaint) {
        onPaint(p, event->region());
    }
}

void NotchPanel::mousePressEvent(QMouseEvent* event) {
    if (onMouse) {
        onMouse(event);
    }
}

void NotchPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (onMouse) {
        onMouse(event);
    }
}

void NotchPanel::mouseMoveEvent(QMouseEvent* event) {
    if (onMouse) {
        onMouse(event);
    }
}

void NotchPanel::wheelEvent(QWheelEvent* event) {
    if (onScroll) {
        onScroll(event);
    }
}

bool NotchPanel::event(QEvent* event) {
    if (event->type() == QEvent::Leave && onLeave) {
        onLeave();
    }
    return QRasterWindow::event(event);
}

}  // namespace korvo
