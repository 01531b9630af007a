#pragma once

#include "ui/kit/Node.h"

#include <QPainterPath>

namespace korvo::ui {

/// The outline of a shape filling `rect`. Continuous corners blend into the straight edges
/// instead of meeting them at a visible seam.
QPainterPath shapePath(const Outline& style, const QRectF& rect);

}  // namespace korvo::ui
