#pragma once

#include "activities/Activity.h"
#include "ui/kit/View.h"

#include <QColor>
#include <QString>

namespace korvo {

/// Whole minutes of `seconds` as "45 min" or, from an hour on, "2 h 5 min".
QString batteryDuration(double seconds);

/// The card's line under the meter: power source, and the time to full or to empty.
QString batteryStatusLine(const BatteryInfo& info);

/// Red at 20 % and below, orange up to 35 %, green above; green whenever charging.
QColor batteryLevelColor(const BatteryInfo& info);

/// The battery card. `lowPowerMode` adds the badge beside the percentage.
ui::View batteryExpandedView(const BatteryInfo& info, bool lowPowerMode);

}  // namespace korvo
