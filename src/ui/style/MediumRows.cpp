#include "MediumRows.h"

#include "ui/style/Palette.h"
#include "ui/style/Pieces.h"
#include "ui/style/Theme.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace korvo {

using namespace ui;

namespace {

const QString kDot = QStringLiteral(" · ");

constexpr Font kRowIcon{16, Weight::semibold};
constexpr Font kRowTitle{12, Weight::semibold};
constexpr Font kRowDetail{10};

View rowTitle(const QString& s) {
    return text(s, kRowTitle).lineLimit(1);
}
View rowDetail(const QString& s) {
    return text(s, kRowDetail, Theme::secondaryText()).lineLimit(1);
}

QString plural(int count, const QString& noun) {
    return QString::number(count) + QLatin1Char(' ') + noun +
           (count == 1 ? QString() : QStringLiteral("s"));
}

// A thin capsule meter: a dim track and, from the left, the filled part.
View progressLine(double fraction, QColor track, QColor fill, double height) {
    if (!std::isfinite(fraction)) {
        fraction = 0;
    }
    return zstack(Alignment::leading(),
                  {capsule(Fill::solid(track)),
                   capsule(Fill::solid(fill)).relativeWidth(std::clamp(fraction, 0.0, 1.0))})
        .frame(std::nullopt, height);
}

View genericPayloadRow(const GenericPayload& p) {
    Views lines{rowTitle(p.title)};
    if (p.subtitle) {
        lines.push_back(rowDetail(*p.subtitle));
    }
    if (p.progress) {
        lines.push_back(progressLine(*p.progress, withAlpha(Qt::white, 0.2), Qt::white, 3));
    }
    return hstack(10, VAlign::center,
                  {symbol(p.icon, kRowIcon), vstack(2, HAlign::leading, lines)});
}

View batteryRow(const BatteryInfo& b) {
    const QString pct = QString::number(b.percentage) + QLatin1Char('%');
    Views lines{rowTitle(b.isCharging ? QStringLiteral("Charging — ") + pct
                                      : QStringLiteral("Battery ") + pct)};
    if (b.timeRemaining) {
        const auto minutes = static_cast<long long>(std::floor(*b.timeRemaining / 60));
        lines.push_back(rowDetail(
            QString::number(minutes) +
            (b.isCharging ? QStringLiteral(" min to full") : QStringLiteral(" min remaining"))));
    }
    return hstack(10, VAlign::center,
                  {symbol(QStringLiteral("bolt.fill"), kRowIcon, palette::green()),
                   vstack(2, HAlign::leading, lines)});
}

View bluetoothRow(const BluetoothDeviceInfo& d) {
    Views row{symbol(d.icon, kRowIcon), rowTitle(d.name)};
    if (d.batteryLevel) {
        row.push_back(text(QString::number(*d.batteryLevel) + QLatin1Char('%'),
                           {11, Weight::semibold}, palette::green()));
    }
    return hstack(10, VAlign::center, row);
}

}  // namespace

View genericRow(const ActivityPayload& payload) {
    if (const auto* g = std::get_if<GenericPayload>(&payload)) {
        return genericPayloadRow(*g);
    }
    if (const auto* b = std::get_if<BatteryInfo>(&payload)) {
        return batteryRow(*b);
    }
    if (const auto* d = std::get_if<BluetoothDeviceInfo>(&payload)) {
        return bluetoothRow(*d);
    }
    return empty();  // the other kinds have rows of their own
}

QString nowPlayingSubtitle(const NowPlayingInfo& info) {
    if (info.sourceLabel && info.sourceApp == MediaSource::browser) {
        return info.artist.isEmpty() ? *info.sourceLabel : info.artist + kDot + *info.sourceLabel;
    }
    return info.artist;
}

View nowPlayingMediumRow(const PresentationContext& ctx, const NowPlayingInfo& info) {
    MediaControls* media = &ctx.media();
    Views row{
        artworkThumb(info.artwork, 30),
        vstack(2, HAlign::leading, {rowTitle(info.title), rowDetail(nowPlayingSubtitle(info))}),
        spacer(),
        transportButton(ctx.ui, QStringLiteral("medium.playPause"),
                        info.isPlaying ? QStringLiteral("pause.fill") : QStringLiteral("play.fill"),
                        13, info.canPlayPause, [media] { media->togglePlayPause(); }),
        transportButton(ctx.ui, QStringLiteral("medium.next"), QStringLiteral("forward.fill"), 11,
                        info.canGoNext, [media] { media->next(); })};
    if (info.isPlaying) {
        row.push_back(equalizerBars(ctx.ui, QStringLiteral("medium.bars"), palette::green()));
    }
    View v = hstack(10, VAlign::center, row).paddingH(16).maxHeight();
    if (info.duration > 0) {
        const View line = progressLine(info.elapsed / info.duration, withAlpha(Qt::white, 0.12),
                                       withAlpha(Qt::white, 0.75), 2.5)
                              .padding(16, 0, 16, 10)
                              .id(QStringLiteral("medium.progress"));
        v = v.overlay(line, Alignment::bottom());
    }
    return v;
}

QColor eventAccent(const CalendarEventInfo& info) {
    return info.color ? *info.color : palette::systemPurple();
}

QString eventTimeRange(const CalendarEventInfo& info) {
    const QLocale locale;
    const QString pattern = QStringLiteral("h:mm AP");
    return locale.toString(info.start.toLocalTime().time(), pattern) + QStringLiteral(" – ") +
           locale.toString(info.end.toLocalTime().time(), pattern);
}

View joinButton(const PresentationContext& ctx, const CalendarEventInfo& info, QColor accent) {
    const QString label = info.provider && !info.provider->isEmpty()
                              ? QStringLiteral("Join ") + *info.provider
                              : QStringLiteral("Join");
    const QUrl url = info.joinURL.value_or(QUrl());
    return text(label, {10, Weight::bold})
        .padding(10, 4, 10, 4)
        .background(capsule(Fill::solid(withAlpha(accent, 0.9))))
        .onClick([open = ctx.urlOpener(), url] { open(url); })
        .id(QStringLiteral("join.") + QString::number(info.start.toMSecsSinceEpoch()) +
            QLatin1Char('.') + url.toString());
}

View calendarMediumRow(const PresentationContext& ctx, const CalendarEventInfo& info) {
    const QColor accent = eventAccent(info);
    Views row{roundedRectangle(2, Fill::solid(accent)).frame(3, 26),
              vstack(2, HAlign::leading,
                     {rowTitle(info.title),
                      rowDetail(eventTimeRange(info) + kDot + info.countdown(ctx.now))}),
              spacer(8)};
    if (info.joinURL) {
        row.push_back(joinButton(ctx, info, accent));
    }
    return hstack(10, VAlign::center, row);
}

View clipboardMediumRow(const ClipboardInfo& info) {
    QString latest = info.latest;
    latest.replace(QLatin1Char('\n'), QLatin1Char(' '));  // one line, whatever was copied
    return hstack(
        10, VAlign::center,
        {symbol(info.isOTP ? QStringLiteral("key.fill") : QStringLiteral("doc.on.clipboard.fill"),
                {14}, palette::cyan())
             .accessibilityLabel(info.isOTP ? QStringLiteral("One-time code") : QString()),
         vstack(1, HAlign::leading,
                {rowTitle(latest),
                 text(QStringLiteral("Clipboard · ") + plural(info.count, QStringLiteral("item")),
                      kRowDetail, Theme::secondaryText())})});
}

QColor deviceBatteryColor(int level) {
    if (level <= 20) {
        return palette::red();
    }
    return level <= 35 ? palette::orange() : palette::green();
}

View devicesMediumRow(const std::vector<ConnectedDeviceInfo>& devices) {
    Views row;
    Views icons;
    QStringList names;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (i < 3) {
            icons.push_back(symbol(devices[i].symbol(), {13}, palette::teal()));
        }
        if (i < 2) {
            names << devices[i].name;
        }
    }
    if (!icons.empty()) {
        row.push_back(hstack(6, VAlign::center, icons));
    }
    row.push_back(
        vstack(1, HAlign::leading,
               {rowTitle(plural(static_cast<int>(devices.size()), QStringLiteral("device"))),
                rowDetail(names.join(kDot))}));
    row.push_back(spacer());
    const auto withLevel = std::find_if(devices.begin(), devices.end(),
                                        [](const auto& d) { return d.battery.has_value(); });
    if (withLevel != devices.end()) {
        row.push_back(text(QString::number(*withLevel->battery) + QLatin1Char('%'),
                           {11, Weight::bold}, deviceBatteryColor(*withLevel->battery)));
    }
    return hstack(10, VAlign::center, row);
}

}  // namespace korvo
