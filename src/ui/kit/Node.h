#pragma once

#include <QColor>
#include <QImage>
#include <QMarginsF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace korvo::ui {

inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

enum class HAlign { leading, center, trailing };
enum class VAlign { top, center, bottom };

struct Alignment {
    HAlign h = HAlign::center;
    VAlign v = VAlign::center;

    static constexpr Alignment center() { return {HAlign::center, VAlign::center}; }
    static constexpr Alignment top() { return {HAlign::center, VAlign::top}; }
    static constexpr Alignment bottom() { return {HAlign::center, VAlign::bottom}; }
    static constexpr Alignment leading() { return {HAlign::leading, VAlign::center}; }
    static constexpr Alignment trailing() { return {HAlign::trailing, VAlign::center}; }
    static constexpr Alignment topLeading() { return {HAlign::leading, VAlign::top}; }
};

/// A solid colour, or a linear gradient from `color` at the top to `end` at the bottom.
struct Fill {
    QColor color = Qt::transparent;
    std::optional<QColor> end;

    static Fill solid(QColor c) { return Fill{c, std::nullopt}; }
    static Fill verticalGradient(QColor top, QColor bottom) { return Fill{top, bottom}; }
    bool isVisible() const { return color.alpha() > 0 || (end && end->alpha() > 0); }
};

struct CornerRadii {
    double topLeft = 0;
    double topRight = 0;
    double bottomRight = 0;
    double bottomLeft = 0;

    static CornerRadii all(double r) { return {r, r, r, r}; }
    static CornerRadii bottom(double r) { return {0, 0, r, r}; }
};

struct Outline {
    enum class Type { rectangle, roundedRectangle, capsule, circle, polyline, area };
    Type type = Type::rectangle;
    CornerRadii radii;
    bool continuous = true;
    // Polyline and area: the points in the unit square of the frame (0,0 top left, 1,1 bottom
    // right). An area closes down to the bottom edge under its first and last points.
    std::vector<QPointF> points{};

    static Outline rect() { return {}; }
    static Outline rounded(CornerRadii r, bool continuous = true) {
        return {Type::roundedRectangle, r, continuous};
    }
    static Outline rounded(double r) { return rounded(CornerRadii::all(r)); }
    static Outline capsule() { return {Type::capsule, {}, true}; }
    static Outline circle() { return {Type::circle, {}, true}; }
    static Outline polyline(std::vector<QPointF> unitPoints) {
        return {Type::polyline, {}, true, std::move(unitPoints)};
    }
    static Outline area(std::vector<QPointF> unitPoints) {
        return {Type::area, {}, true, std::move(unitPoints)};
    }
};

enum class Weight { regular = 400, medium = 500, semibold = 600, bold = 700, heavy = 800 };

struct Font {
    double size = 13;  // points (= logical pixels)
    Weight weight = Weight::regular;
    bool monospacedDigits = false;
};

enum class DragPhase { began, moved, ended };

/// What a node is to a screen reader (see Accessibility.h). `automatic` lets the rules decide:
/// texts are read, clickable nodes are buttons, draggable ones sliders, the rest is silent.
enum class AccessibleRole { automatic, hidden, group, text, image, button, slider, alert };

struct AccessibleInfo {
    AccessibleRole role = AccessibleRole::automatic;
    QString name{};
    QString description{};
    // Sliders: the value in the slider's own unit (seconds, percent), its range and the step of
    // one increase or decrease, the value as it is read out, and how a reader sets it.
    double value = 0;
    double minimum = 0;
    double maximum = 0;
    double step = 0;
    QString valueText{};
    std::function<void(double)> setValue{};
};

struct Node;
using NodePtr = std::shared_ptr<Node>;

/// One element of a view tree. Trees are rebuilt from state for every frame and never mutated
/// once built, apart from the layout results that the layout pass writes into them and the
/// moving pieces built again in place between frames (Reuse.h).
struct Node {
    enum class Kind {
        empty,
        hstack,
        vstack,
        zstack,
        spacer,
        text,
        symbol,
        image,
        shape,
        frame,
        padding,
        background,
        overlay,
        clip,
        opacity,
        offset,
        scale,
        shadow,
        blur,
        interactive,
    };

    Kind kind = Kind::empty;
    std::vector<NodePtr> children;  // stacks: all; wrappers: [child] or [child, secondary]

    // Stacks and overlays.
    double spacing = 8;
    Alignment alignment;

    // Spacer.
    double minLength = 0;

    // Text and symbol.
    QString text;  // the string, or the symbol name
    Font font;
    QColor color = Qt::white;
    std::optional<int> lineLimit;
    double minimumScaleFactor = 1;
    HAlign textAlignment = HAlign::leading;

    // Image.
    std::shared_ptr<const QImage> image;

    // Shape (also the clip shape). A positive line width strokes the outline instead of
    // filling it.
    Outline shape;
    Fill fill;
    double lineWidth = 0;

    // Frame.
    std::optional<double> width, height, minWidth, maxWidth, minHeight, maxHeight;
    std::optional<double> widthFraction;  // of the offered width: fills, meters

    // Padding.
    QMarginsF insets;

    // Opacity, offset, scale, shadow, blur.
    double opacity = 1;
    QPointF offset;
    double scale = 1;
    double turn = 0;  // scale nodes: radians about the vertical axis, seen in perspective
    double radius = 0;
    QColor shadowColor = Qt::transparent;
    bool compositeGroup = false;

    // Interaction.
    QString id;
    std::function<void(bool)> onHover;
    std::function<void()> onClick;
    std::function<void(QPointF, DragPhase)> onDrag;  // point in the node's own frame
    std::function<void(double dx, double dy)> onScroll;

    // A piece that moves on its own (`piece` in View.h): builds the content of this node again.
    std::function<NodePtr()> rebuild;

    // What screen readers are told; none for most nodes.
    std::shared_ptr<const AccessibleInfo> accessible;

    // Written by layout: the frame in the root's coordinates (before offsets and scales).
    QRectF frame;
    // Memo of measurements made during one layout pass.
    struct Measured {
        std::optional<double> w, h;
        QSizeF size;
    };
    std::vector<Measured> measured;

    const NodePtr& child() const { return children.front(); }
};

}  // namespace korvo::ui
