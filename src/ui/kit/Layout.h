#pragma once

#include "ui/kit/Node.h"

#include <QFont>

namespace korvo::ui {

/// A size offered to a child: a missing dimension asks for the child's ideal size.
struct Proposal {
    std::optional<double> width;
    std::optional<double> height;
};

/// The Qt font for a kit font at a scale factor (1 = as given). Sizes are pixels = points.
QFont qtFont(const Font& font, double scale = 1.0);
/// The width of one line of `text` in a font made by `qtFont`. Trees are rebuilt every frame
/// with mostly the same texts, so widths are remembered (per thread, a bounded number).
double textAdvance(const QString& text, const QFont& font);

/// Propose-then-place layout. `layout` measures the root with `size` and places it at the
/// origin; afterwards every node's `frame` holds its rectangle in root coordinates.
void layout(Node& root, QSizeF size);
QSizeF measure(Node& node, Proposal proposal);
void place(Node& node, const QRectF& rect);

/// The font scale a text node uses after its minimum scale factor came into play.
double textScale(const Node& node, double availableWidth);

/// Finds the first node (depth first) wrapped by an `id(...)` with this identity.
const Node* findById(const Node& root, const QString& identity);

/// Positions a child of `size` inside `rect` by `alignment`.
QRectF aligned(QSizeF size, const QRectF& rect, Alignment alignment);

}  // namespace korvo::ui
