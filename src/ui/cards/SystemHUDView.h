#pragma once

#include "settings/HUDStat.h"
#include "ui/kit/View.h"
#include "ui/style/CardSources.h"
#include "ui/style/PresentationContext.h"

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <vector>

namespace korvo {

/// The statistics card: a grid of tiles, one per statistic the user enabled. While it is on
/// screen it counts as a viewer of the sampler; `key` tells two cards shown at once apart (the
/// expanded card and the HUD), so each counts once.
ui::View systemHUDView(const PresentationContext& ctx, const QString& key);

/// round(x × 100) and "%".
QString hudPercent(double fraction);
/// Binary gigabytes with one decimal: "8.0 GB".
QString hudGigabytes(double bytes);
/// A byte rate: "0 KB/s" under 1 KB/s, whole KB/s under 1 MB/s, MB/s with one decimal above.
QString hudSpeed(double bytesPerSecond);
/// The used part of the startup volume (0 when its size is unknown).
double storageUsedFraction(const StatsSnapshot& s);
/// The memory meter's colour: red above 0.85 pressure, orange above 0.7, else purple.
QColor memoryMeterTint(double pressure);

/// The power tile's thermal line.
struct ThermalLook {
    QString symbol;
    QString label;
    QColor colour;
};
ThermalLook thermalLook(ThermalState thermal);

/// Where the sparkline passes through a w × h box: one point per value, spread evenly from the
/// left to the right edge, 0 on the bottom edge and 1 on the top. None for fewer than 2 values.
std::vector<QPointF> sparklinePoints(const std::vector<double>& values, QSizeF box);

}  // namespace korvo
