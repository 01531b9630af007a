#pragma once

#include "ui/kit/Node.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace korvo::ui {

/// A handle on a node with chainable modifiers, each of which wraps the node in a new one:
///   text("Hi", {11, Weight::bold}).padding(4).background(capsule(white))
class View {
public:
    View();                                          // an empty view
    View(NodePtr node) : m_node(std::move(node)) {}  // NOLINT(google-explicit-constructor)

    NodePtr node() const { return m_node; }
    operator NodePtr() const { return m_node; }  // NOLINT(google-explicit-constructor)

    View frame(std::optional<double> width, std::optional<double> height,
               Alignment alignment = Alignment::center()) const;
    View flexibleFrame(std::optional<double> minWidth, std::optional<double> maxWidth,
                       std::optional<double> minHeight, std::optional<double> maxHeight,
                       Alignment alignment = Alignment::center()) const;
    View maxWidth(double w = kInfinity, Alignment a = Alignment::center()) const {
        return flexibleFrame(std::nullopt, w, std::nullopt, std::nullopt, a);
    }
    View maxHeight(double h = kInfinity, Alignment a = Alignment::center()) const {
        return flexibleFrame(std::nullopt, std::nullopt, std::nullopt, h, a);
    }
    /// Takes `fraction` (0…1) of the width it is offered: the filled part of a meter.
    View relativeWidth(double fraction, Alignment alignment = Alignment::leading()) const;
    View padding(double all) const { return padding(all, all, all, all); }
    View padding(double left, double top, double right, double bottom) const;
    View paddingH(double h) const { return padding(h, 0, h, 0); }
    View paddingV(double v) const { return padding(0, v, 0, v); }
    View background(const View& behind, Alignment a = Alignment::center()) const;
    View overlay(const View& above, Alignment a = Alignment::center()) const;
    View clip(Outline shape) const;
    View opacity(double alpha) const;
    View offset(double dx, double dy) const;
    View scale(double s) const;
    /// Turns the view about its vertical centre line by `radians`, in perspective.
    View turn(double radians) const;
    View shadow(QColor color, double radius, double dx, double dy) const;
    View blur(double radius) const;
    View compositingGroup() const;
    View lineLimit(int lines) const;          // text only: modifies in place of a copy
    View minimumScaleFactor(double f) const;  // text only
    View textAlign(HAlign a) const;           // text only
    View foreground(QColor c) const;          // text and symbol only
    /// Names the view: the window tracks hover and press by these names, and tests find nodes
    /// by them. Views with `onHover` need one.
    View id(const QString& identity) const;
    View onHover(std::function<void(bool)> fn) const;
    View onClick(std::function<void()> fn) const;
    View onDrag(std::function<void(QPointF, DragPhase)> fn) const;
    View onScroll(std::function<void(double, double)> fn) const;
    /// What a screen reader is told about the view (Accessibility.h). With a role, the view is
    /// one thing to the reader; with the automatic role, `name` goes to the first text, symbol
    /// or control inside it.
    View accessibility(AccessibleInfo info) const;
    View accessibilityLabel(const QString& name,
                            AccessibleRole role = AccessibleRole::automatic) const;
    /// Screen readers skip the view and everything in it.
    View accessibilityHidden() const;

private:
    View wrap(Node::Kind kind) const;
    View interactive() const;
    View copyLeaf() const;
    NodePtr m_node;
};

using Views = std::vector<View>;

View empty();
/// A small piece that moves on its own, such as the equalizer bars: `body` builds it and is
/// kept, so that between builds of the whole tree the window can build the piece alone again
/// at the animator's time, lay it out where it was and repaint just its rectangle (Reuse.h).
/// What moves inside must leave the piece's size alone. Named like `View::id`.
View piece(const QString& identity, std::function<View()> body);
/// Nodes made on this thread so far: how much a frame builds.
std::uint64_t nodesMade();
View hstack(double spacing, VAlign alignment, Views children);
View vstack(double spacing, HAlign alignment, Views children);
View zstack(Alignment alignment, Views children);
View spacer(double minLength = 0);
View text(const QString& string, Font font, QColor color = Qt::white);
/// A symbol by name, sized like a glyph of the given font.
View symbol(const QString& name, Font font, QColor color = Qt::white);
/// An image scaled to fill whatever frame it is given (cropped to keep its aspect).
View image(std::shared_ptr<const QImage> img);
View shape(Outline style, Fill fill);
inline View rectangle(Fill f) {
    return shape(Outline::rect(), f);
}
inline View roundedRectangle(double r, Fill f) {
    return shape(Outline::rounded(r), f);
}
inline View capsule(Fill f) {
    return shape(Outline::capsule(), f);
}
inline View circle(Fill f) {
    return shape(Outline::circle(), f);
}
/// The outline drawn as a line of `width` points instead of filled.
View stroke(Outline style, Fill fill, double width);

/// White (or any colour) at an opacity: the views' usual way to name a dimmed colour.
/// Springs may overshoot past 0 or 1; the colour takes the nearest valid opacity.
inline QColor withAlpha(QColor c, double alpha) {
    c.setAlphaF(static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
    return c;
}

}  // namespace korvo::ui
