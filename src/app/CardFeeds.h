#pragma once

#include "ui/island/Presentations.h"

namespace korvo {

struct AppContext;

/// What the island's cards read, taken from the running services: the calendar's upcoming
/// events, the clipboard history, the statistics, the media controls and low-power mode.
IslandServices islandServicesFor(AppContext& context);

}  // namespace korvo
