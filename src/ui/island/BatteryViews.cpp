#include "BatteryViews.h"

#include "ui/style/Palette.h"
#include "ui/style/Theme.h"

#include <cmath>

namespace korvo {

using namespace ui;

namespace {

QString cardSymbol(const BatteryInfo& info) {
    if (info.isCharging) {
        return QStringLiteral("battery.100.bolt");
    }
    const int p = info.percentage;
    if (p < 15) {
        return QStringLiteral("battery.25percent");
    }
    if (p < 45) {
        return QStringLiteral("battery.50percent");
    }
    if (p < 80) {
        return QStringLiteral("battery.75percent");
    }
    return QStringLiteral("battery.100percent");
}

}  // namespace

QString batteryDuration(double seconds) {
    const auto minutes = static_cast<long long>(std::floor(seconds / 60));
    if (minutes < 60) {
        return QString::number(minutes) + QStringLiteral(" min");
    }
    return QString::number(minutes / 60) + QStringLiteral(" h ") + QString::number(minutes % 60) +
           QStringLiteral(" min");
}

QString batteryStatusLine(const BatteryInfo& info) {
    if (info.isCharging) {
        if (info.percentage >= 100) {
            return QStringLiteral("Fully charged · AC Power");
        }
        if (!info.timeRemaining) {
            return QStringLiteral("Charging on AC Power");
        }
        return QStringLiteral("Charging on AC Power · ") + batteryDuration(*info.timeRemaining) +
               QStringLiteral(" to full");
    }
    if (!info.timeRemaining) {
        return QStringLiteral("On battery");
    }
    return QStringLiteral("On battery · ") + batteryDuration(*info.timeRemaining) +
           QStringLiteral(" remaining");
}

QColor batteryLevelColor(const BatteryInfo& info) {
    if (info.isCharging || info.percentage > 35) {
        return palette::green();
    }
    return info.percentage <= 20 ? palette::red() : palette::orange();
}

View batteryExpandedView(const BatteryInfo& info, bool lowPowerMode) {
    const QColor level = batteryLevelColor(info);
    Views reading{symbol(cardSymbol(info), {24}, level)
                      .accessibilityLabel(info.isCharging ? QStringLiteral("Charging")
                                                          : QStringLiteral("Battery")),
                  hstack(1, VAlign::bottom,
                         {text(QString::number(info.percentage), {28, Weight::bold}),
                          text(QStringLiteral(" %"), {15, Weight::semibold}, Theme::secondaryText())
                              .padding(0, 0, 0, 4)})
                      .accessibilityLabel(QString::number(info.percentage) + QStringLiteral(" %"),
                                          AccessibleRole::text)};
    if (lowPowerMode) {
        reading.push_back(
            text(QStringLiteral("LOW POWER"), {8, Weight::heavy}, palette::yellow()).paddingH(7));
    }
    reading.push_back(spacer());

    const double fraction = std::clamp(info.percentage / 100.0, 0.0, 1.0);
    const View meter =
        zstack(Alignment::leading(), {capsule(Fill::solid(withAlpha(Qt::white, 0.12))),
                                      capsule(Fill::solid(level)).relativeWidth(fraction)})
            .frame(std::nullopt, 4);

    const View status = hstack(
        6, VAlign::center,
        {symbol(
             info.isCharging ? QStringLiteral("powerplug.fill") : QStringLiteral("minus.plug.fill"),
             {9}, Theme::secondaryText()),
         text(batteryStatusLine(info), {11, Weight::medium}, Theme::secondaryText()).lineLimit(1),
         spacer()});

    return vstack(8, HAlign::leading, {hstack(10, VAlign::center, reading), meter, status});
}

}  // namespace korvo
