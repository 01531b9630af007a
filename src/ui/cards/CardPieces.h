#pragma once

#include "ui/kit/Interaction.h"
#include "ui/kit/View.h"
#include "ui/style/PresentationContext.h"

#include <QColor>
#include <QString>

#include <functional>

namespace korvo {

/// The fill of tiles and rows, by the user's island style.
ui::Fill elementFill(const PresentationContext& ctx);

/// The entrance of rows and tiles that come one after another: `view` fades in, rises and
/// sharpens, starting `index` × 0.055 s after it first appears. `key` names the element.
ui::View cascade(const ui::ViewContext& ctx, const QString& key, int index, const ui::View& view);

/// The thin capsule slider: 14 high, as wide as offered, a 3-high track, the fill in `tint` up
/// to `value` (0…1) and a knob that grows while dragged. A press jumps to the point; dragging
/// reports each new value through `onChange`, and `onEditingChanged` tells when an edit starts
/// (true) and ends (false). The slider takes the pointer 6 points beyond its edges. `id` names it.
ui::View islandSlider(const ui::ViewContext& ctx, const QString& id, double value, QColor tint,
                      std::function<void(double)> onChange,
                      std::function<void(bool)> onEditingChanged);

}  // namespace korvo
