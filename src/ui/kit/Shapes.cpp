#include "Shapes.h"

#include <algorithm>

namespace korvo::ui {

namespace {

// Circular arcs drawn as cubics use 0.5523; continuous corners start the bend earlier
// (1.28 × radius from the corner) and keep the control points nearer the corner.
constexpr double kContinuousReach = 1.28;
constexpr double kContinuousControl = 0.64;
constexpr double kCircularControl = 0.5523;

// How far from its corner a rounded corner starts to bend.
double cornerReach(const QRectF& r, double radius, bool continuous) {
    const double limit = std::min(r.width(), r.height()) / 2.0;
    const double want = continuous ? radius * kContinuousReach : radius;
    return std::clamp(want, 0.0, limit);
}

QPainterPath roundedPath(const QRectF& r, CornerRadii radii, bool continuous) {
    auto reach = [&](double radius) { return cornerReach(r, radius, continuous); };
    const double k = continuous ? kContinuousControl : kCircularControl;
    const double tl = reach(radii.topLeft);
    const double tr = reach(radii.topRight);
    const double br = reach(radii.bottomRight);
    const double bl = reach(radii.bottomLeft);

    QPainterPath p;
    p.moveTo(r.left() + tl, r.top());
    p.lineTo(r.right() - tr, r.top());
    if (tr > 0) {
        p.cubicTo(r.right() - tr * (1 - k), r.top(), r.right(), r.top() + tr * (1 - k), r.right(),
                  r.top() + tr);
    }
    p.lineTo(r.right(), r.bottom() - br);
    if (br > 0) {
        p.cubicTo(r.right(), r.bottom() - br * (1 - k), r.right() - br * (1 - k), r.bottom(),
                  r.right() - br, r.bottom());
    }
    p.lineTo(r.left() + bl, r.bottom());
    if (bl > 0) {
        p.cubicTo(r.left() + bl * (1 - k), r.bottom(), r.left(), r.bottom() - bl * (1 - k),
                  r.left(), r.bottom() - bl);
    }
    p.lineTo(r.left(), r.top() + tl);
    if (tl > 0) {
        p.cubicTo(r.left(), r.top() + tl * (1 - k), r.left() + tl * (1 - k), r.top(), r.left() + tl,
                  r.top());
    }
    p.closeSubpath();
    return p;
}

}  // namespace

QPainterPath shapePath(const Outline& style, const QRectF& rect) {
    QPainterPath p;
    if (rect.isEmpty()) {
        return p;
    }
    switch (style.type) {
        case Outline::Type::rectangle:
            p.addRect(rect);
            return p;
        case Outline::Type::roundedRectangle:
            return roundedPath(rect, style.radii, style.continuous);
        case Outline::Type::capsule: {
            const double r = std::min(rect.width(), rect.height()) / 2.0;
            p.addRoundedRect(rect, r, r);
            return p;
        }
        case Outline::Type::circle: {
            const double d = std::min(rect.width(), rect.height());
            p.addEllipse(QRectF(rect.center().x() - d / 2, rect.center().y() - d / 2, d, d));
            return p;
        }
        case Outline::Type::polyline:
        case Outline::Type::area: {
            if (style.points.size() < 2) {
                return p;
            }
            auto at = [&](QPointF u) {
                return QPointF(rect.left() + u.x() * rect.width(),
                               rect.top() + u.y() * rect.height());
            };
            const bool area = style.type == Outline::Type::area;
            if (area) {
                p.moveTo(at({style.points.front().x(), 1}));
                p.lineTo(at(style.points.front()));
            } else {
                p.moveTo(at(style.points.front()));
            }
            for (std::size_t i = 1; i < style.points.size(); ++i) {
                p.lineTo(at(style.points[i]));
            }
            if (area) {
                p.lineTo(at({style.points.back().x(), 1}));
                p.closeSubpath();
            }
            return p;
        }
    }
    return p;
}

bool shapeCovers(const Outline& style, const QRectF& rect, const QRectF& area) {
    if (!rect.contains(area)) {
        return false;
    }
    CornerRadii radii;
    bool continuous = style.continuous;
    switch (style.type) {
        case Outline::Type::rectangle:
            return true;
        case Outline::Type::roundedRectangle:
            radii = style.radii;
            break;
        case Outline::Type::capsule:
            radii = CornerRadii::all(std::min(rect.width(), rect.height()) / 2.0);
            continuous = false;
            break;
        case Outline::Type::circle:
        case Outline::Type::polyline:
        case Outline::Type::area:
            return false;
    }
    // The outline leaves its rectangle only inside the squares where the corners bend.
    auto clear = [&](double radius, bool right, bool bottom) {
        const double d = cornerReach(rect, radius, continuous);
        const QRectF corner(right ? rect.right() - d : rect.left(),
                            bottom ? rect.bottom() - d : rect.top(), d, d);
        return d <= 0 || !corner.intersects(area);
    };
    return clear(radii.topLeft, false, false) && clear(radii.topRight, true, false) &&
           clear(radii.bottomRight, true, true) && clear(radii.bottomLeft, false, true);
}

}  // namespace korvo::ui
