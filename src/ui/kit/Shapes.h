#pragma once

#include "ui/kit/Node.h"

#include <QPainterPath>

namespace korvo::ui {

/// The outline of a shape filling `rect`. Continuous corners blend into the straight edges
/// instead of meeting them at a visible seam.
QPainterPath shapePath(const Outline& style, const QRectF& rect);

/// Whether the shape filling `rect` covers all of `area`, found without making its outline:
/// true only where it surely does (away from rounded corners); false when unsure.
bool shapeCovers(const Outline& style, const QRectF& rect, const QRectF& area);

}  // namespace korvo::ui
