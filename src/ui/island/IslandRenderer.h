#pragma once

#include "ui/island/IslandRootView.h"

#include <QImage>

namespace korvo {

/// Builds the panel content once and paints it at `scale` (a 700 × 320 point canvas).
/// With an immediate animator this is the settled look of the current state.
QImage renderPanel(IslandRootView& view, ui::Animator& animator, double scale);

}  // namespace korvo
