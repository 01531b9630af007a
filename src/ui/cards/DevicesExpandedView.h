#pragma once

#include "activities/Activity.h"
#include "ui/kit/View.h"
#include "ui/style/PresentationContext.h"

#include <vector>

namespace korvo {

/// The expanded devices card: a row for each of the first five devices.
ui::View devicesExpandedView(const PresentationContext& ctx,
                             const std::vector<ConnectedDeviceInfo>& devices);

/// One device: its symbol and name, then the battery (bolt while charging, bar and percentage)
/// or whether it is connected or only paired. Paired-only devices are drawn faded.
ui::View deviceRow(const PresentationContext& ctx, const ConnectedDeviceInfo& device);

/// The filled part of the 34-wide battery bar: in proportion to the level, never under 2.
double batteryBarFill(int level);

}  // namespace korvo
