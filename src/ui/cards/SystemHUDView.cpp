#include "SystemHUDView.h"

#include "ui/cards/CardPieces.h"
#include "ui/style/IslandMetrics.h"
#include "ui/style/Palette.h"
#include "ui/style/Theme.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

namespace korvo {

using namespace ui;

namespace {

constexpr double kGridSpacing = 6;
constexpr double kMinColumnWidth = 10;
constexpr double kTileMinHeight = 60;
constexpr double kSparklineHeight = 12;
const QString kDash = QStringLiteral("—");

// The tints the statistics use beyond the shared palette.
QColor mint() {
    return QColor(0x63, 0xE6, 0xE2);
}
QColor indigo() {
    return QColor(0x5E, 0x5C, 0xE6);
}
QColor blue() {
    return QColor(0x0A, 0x84, 0xFF);
}

// Registers the card as a viewer for as long as it lives, which is as long as the card is on
// screen (see `Animator::state`).
class ViewerLease {
public:
    explicit ViewerLease(const StatsSource& source) : m_remove(source.removeViewer) {
        if (source.addViewer) {
            source.addViewer();
        }
    }
    ~ViewerLease() {
        if (m_remove) {
            m_remove();
        }
    }
    ViewerLease(const ViewerLease&) = delete;
    ViewerLease& operator=(const ViewerLease&) = delete;

private:
    std::function<void()> m_remove;
};

struct TileLook {
    QString symbol;
    QString title;
    QColor tint;
};

TileLook tileLook(HUDStat stat, const StatsSnapshot& s) {
    switch (stat) {
        case HUDStat::cpu:
            return {QStringLiteral("cpu"), QStringLiteral("CPU"), palette::cyan()};
        case HUDStat::gpu:
            return {QStringLiteral("cpu.fill"), QStringLiteral("GPU"), mint()};
        case HUDStat::memory:
            return {QStringLiteral("memorychip"), QStringLiteral("Memory"), palette::purple()};
        case HUDStat::swap:
            return {QStringLiteral("arrow.left.arrow.right"), QStringLiteral("Swap"), indigo()};
        case HUDStat::storage:
            return {QStringLiteral("internaldrive"), QStringLiteral("Storage"), palette::orange()};
        case HUDStat::network:
            return {QStringLiteral("network"), QStringLiteral("Network"), blue()};
        case HUDStat::disk:
            return {QStringLiteral("externaldrive"), QStringLiteral("Disk I/O"), palette::teal()};
        case HUDStat::power:
            return {
                s.isCharging ? QStringLiteral("battery.100.bolt") : QStringLiteral("battery.75"),
                QStringLiteral("Power"), palette::green()};
    }
    return {};
}

View value(const QString& s) {
    return text(s, {13, Weight::bold}).lineLimit(1).minimumScaleFactor(0.7);
}

View caption(const QString& s) {
    return text(s, {8.5, Weight::medium}, Theme::secondaryText()).lineLimit(1);
}

View meterBar(double fraction, QColor tint) {
    const double f = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    return zstack(Alignment::leading(), {capsule(Fill::solid(withAlpha(Qt::white, 0.12))),
                                         capsule(Fill::solid(tint))
                                             .flexibleFrame(2, std::nullopt, std::nullopt,
                                                            std::nullopt, Alignment::leading())
                                             .relativeWidth(f)})
        .frame(std::nullopt, 3);
}

View sparkline(const std::vector<double>& values, QColor tint) {
    const auto unit = sparklinePoints(values, {1, 1});
    if (unit.empty()) {
        return rectangle(Fill::solid(Qt::transparent)).frame(std::nullopt, kSparklineHeight);
    }
    return zstack(Alignment::center(),
                  {shape(Outline::area(unit), Fill::solid(withAlpha(tint, 0.18))),
                   stroke(Outline::polyline(unit), Fill::solid(tint), 1.5)})
        .frame(std::nullopt, kSparklineHeight);
}

View thermalRow(const StatsSnapshot& s) {
    const ThermalLook look = thermalLook(s.thermal);
    Views parts{symbol(look.symbol, {8}, look.colour),
                text(look.label, {8.5, Weight::medium}, look.colour)};
    if (s.lowPowerMode) {
        parts.push_back(text(QStringLiteral("· Low Power"), {8.5, Weight::medium}, look.colour));
    }
    return hstack(3, VAlign::center, parts);
}

Views tileContent(HUDStat stat, const StatsSnapshot& s, const std::vector<double>& history) {
    switch (stat) {
        case HUDStat::cpu:
            return {value(hudPercent(s.cpu)), sparkline(history, palette::cyan())};
        case HUDStat::gpu:
            return {value(s.gpu ? hudPercent(*s.gpu) : kDash), meterBar(s.gpu.value_or(0), mint())};
        case HUDStat::memory:
            return {value(hudGigabytes(static_cast<double>(s.ramUsed))),
                    meterBar(s.memoryPressure, memoryMeterTint(s.memoryPressure))};
        case HUDStat::swap:
            return {
                value(hudGigabytes(static_cast<double>(s.swapUsed))),
                caption(QStringLiteral("of ") + hudGigabytes(static_cast<double>(s.swapTotal)))};
        case HUDStat::storage:
            return {value(hudGigabytes(static_cast<double>(s.diskFree)) + QStringLiteral(" free")),
                    meterBar(storageUsedFraction(s), palette::orange())};
        case HUDStat::network:
            return {value(QStringLiteral("↓ ") + hudSpeed(s.netDown)),
                    caption(QStringLiteral("↑ ") + hudSpeed(s.netUp))};
        case HUDStat::disk:
            return {value(QStringLiteral("R ") + hudSpeed(s.diskRead)),
                    caption(QStringLiteral("W ") + hudSpeed(s.diskWrite))};
        case HUDStat::power: {
            Views line{value(s.battery ? QString::number(*s.battery) + QLatin1Char('%') : kDash)};
            if (s.isCharging) {
                line.push_back(symbol(QStringLiteral("bolt.fill"), {9}, palette::green())
                                   .accessibilityLabel(QStringLiteral("Charging")));
            }
            return {hstack(3, VAlign::center, line), thermalRow(s)};
        }
    }
    return {};
}

View tile(const PresentationContext& ctx, HUDStat stat, const StatsSnapshot& s,
          const std::vector<double>& history) {
    const TileLook look = tileLook(stat, s);
    Views column{hstack(3, VAlign::center,
                        {symbol(look.symbol, {8, Weight::semibold}, look.tint),
                         text(look.title, {7.5, Weight::bold}, Theme::secondaryText())})};
    for (auto& v : tileContent(stat, s, history)) {
        column.push_back(v);
    }
    return vstack(4, HAlign::leading, column)
        .padding(7)
        .flexibleFrame(kMinColumnWidth, kInfinity, kTileMinHeight, std::nullopt,
                       Alignment::topLeading())
        .background(shape(Outline::rounded(9), elementFill(ctx)))
        .id(QStringLiteral("hud.tile.") + hudstat::rawValue(stat));
}

std::vector<HUDStat> enabledStats(const PresentationContext& ctx) {
    return ctx.settings.enabledStats();
}

}  // namespace

QString hudPercent(double fraction) {
    return QString::number(std::llround(fraction * 100)) + QLatin1Char('%');
}

QString hudGigabytes(double bytes) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.1f GB", bytes / 1073741824.0);
    return QString::fromLatin1(buf);
}

QString hudSpeed(double r) {
    char buf[48];
    if (r < 1024) {
        return QStringLiteral("0 KB/s");
    }
    if (r < 1048576) {
        std::snprintf(buf, sizeof buf, "%.0f KB/s", r / 1024);
    } else {
        std::snprintf(buf, sizeof buf, "%.1f MB/s", r / 1048576);
    }
    return QString::fromLatin1(buf);
}

double storageUsedFraction(const StatsSnapshot& s) {
    if (s.diskTotal <= 0) {
        return 0;
    }
    return 1 - static_cast<double>(s.diskFree) / static_cast<double>(s.diskTotal);
}

QColor memoryMeterTint(double pressure) {
    if (pressure > 0.85) {
        return palette::red();
    }
    return pressure > 0.7 ? palette::orange() : palette::purple();
}

ThermalLook thermalLook(ThermalState thermal) {
    switch (thermal) {
        case ThermalState::nominal:
            return {QStringLiteral("thermometer.low"), QStringLiteral("Cool"),
                    Theme::secondaryText()};
        case ThermalState::fair:
            return {QStringLiteral("thermometer.medium"), QStringLiteral("Warm"),
                    palette::yellow()};
        case ThermalState::serious:
            return {QStringLiteral("thermometer.high"), QStringLiteral("Hot"), palette::orange()};
        case ThermalState::critical:
            return {QStringLiteral("flame.fill"), QStringLiteral("Critical"), palette::red()};
    }
    return {QStringLiteral("thermometer.medium"), kDash, Theme::secondaryText()};
}

std::vector<QPointF> sparklinePoints(const std::vector<double>& values, QSizeF box) {
    std::vector<QPointF> points;
    const std::size_t n = values.size();
    if (n < 2) {
        return points;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double v = std::clamp(values[i], 0.0, 1.0);
        points.emplace_back(static_cast<double>(i) * box.width() / static_cast<double>(n - 1),
                            box.height() * (1 - v));
    }
    return points;
}

View systemHUDView(const PresentationContext& ctx, const QString& key) {
    const StatsSource& source = ctx.services.stats;
    ctx.ui.animator.state<ViewerLease>(key + QStringLiteral(".viewer"),
                                       [&] { return std::make_shared<ViewerLease>(source); });
    const StatsSnapshot s = source.snapshot ? source.snapshot() : StatsSnapshot{};
    const std::vector<double> history =
        source.cpuHistory ? source.cpuHistory() : std::vector<double>{};
    const auto stats = enabledStats(ctx);
    const int columns = statsGrid(static_cast<int>(stats.size())).columns;
    Views rows;
    for (std::size_t start = 0; start < stats.size(); start += static_cast<std::size_t>(columns)) {
        Views cells;
        for (int c = 0; c < columns; ++c) {
            const std::size_t i = start + static_cast<std::size_t>(c);
            if (i < stats.size()) {
                cells.push_back(cascade(ctx.ui,
                                        key + QStringLiteral(".") + hudstat::rawValue(stats[i]),
                                        static_cast<int>(i), tile(ctx, stats[i], s, history)));
            } else {
                // An empty cell keeps the columns of a short last row as wide as the others.
                cells.push_back(empty().flexibleFrame(kMinColumnWidth, kInfinity, 0, 0));
            }
        }
        rows.push_back(hstack(kGridSpacing, VAlign::top, cells));
    }
    return vstack(kGridSpacing, HAlign::center, rows).id(QStringLiteral("card.systemStats"));
}

}  // namespace korvo
