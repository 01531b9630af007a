#include "Presentations.h"

#include "ui/style/Palette.h"
#include "ui/style/Pieces.h"
#include "ui/style/Theme.h"

namespace korvo {

using namespace ui;

namespace {

// The compact row's own font: glyphs and texts use it unless they name a smaller one.
constexpr Font kCompact{13, Weight::semibold};
constexpr Font kSmallBold{11, Weight::bold};

// Keeps a glyph's half of the row occupied while showing nothing.
View placeholder() {
    return symbol(QStringLiteral("circle.fill"), kCompact).opacity(0.001);
}

View leadingGlyph(const PresentationContext& ctx, const std::optional<Activity>& activity) {
    if (!activity) {
        return placeholder();
    }
    const ActivityPayload& payload = activity->payload;
    switch (payloadCase(payload)) {
        case PayloadCase::nowPlaying: {
            // The cover stands for the track: a reader hears which one.
            const auto& info = std::get<NowPlayingInfo>(payload);
            return artworkThumb(info.artwork, 18)
                .accessibilityLabel(info.artist.isEmpty()
                                        ? info.title
                                        : info.title + QStringLiteral(" — ") + info.artist,
                                    AccessibleRole::image);
        }
        case PayloadCase::battery: {
            const bool charging = std::get<BatteryInfo>(payload).isCharging;
            const double bounce =
                bounceScale(ctx.ui.animator, QStringLiteral("compact.battery.bounce"), charging);
            const View glyph = charging
                                   ? symbol(QStringLiteral("bolt.fill"), kCompact, palette::green())
                                         .accessibilityLabel(QStringLiteral("Charging"))
                                   : symbol(QStringLiteral("battery.75"), kCompact, Qt::white)
                                         .accessibilityLabel(QStringLiteral("On battery"));
            return bounce == 1 ? glyph : glyph.scale(bounce);
        }
        case PayloadCase::bluetooth:
            return symbol(QStringLiteral("airpods.pro"), kCompact, palette::green())
                .accessibilityLabel(std::get<BluetoothDeviceInfo>(payload).name);
        case PayloadCase::calendar:
            return symbol(QStringLiteral("calendar"), kCompact, palette::systemRed())
                .accessibilityLabel(std::get<CalendarEventInfo>(payload).title);
        case PayloadCase::clipboard: {
            const bool otp = std::get<ClipboardInfo>(payload).isOTP;
            return symbol(
                       otp ? QStringLiteral("key.fill") : QStringLiteral("doc.on.clipboard.fill"),
                       kCompact, palette::cyan())
                .accessibilityLabel(otp ? QStringLiteral("One-time code")
                                        : QStringLiteral("Clipboard"));
        }
        case PayloadCase::devices: {
            const auto& devices = std::get<std::vector<ConnectedDeviceInfo>>(payload);
            return symbol(devices.empty() ? QStringLiteral("macbook.and.iphone")
                                          : devices.front().symbol(),
                          kCompact, palette::teal())
                .accessibilityLabel(devices.empty() ? QStringLiteral("Devices")
                                                    : devices.front().name);
        }
        case PayloadCase::systemStats:
            return symbol(QStringLiteral("gauge.with.dots.needle.67percent"), kCompact,
                          palette::teal())
                .accessibilityLabel(QStringLiteral("System"));
        case PayloadCase::generic:
            break;
    }
    return placeholder();
}

View trailingGlyph(const PresentationContext& ctx, const std::optional<Activity>& activity) {
    if (!activity) {
        return placeholder();
    }
    const ActivityPayload& payload = activity->payload;
    switch (payloadCase(payload)) {
        case PayloadCase::nowPlaying:
            if (std::get<NowPlayingInfo>(payload).isPlaying) {
                return equalizerBars(ctx.ui, QStringLiteral("compact.bars"), palette::green());
            }
            return empty();
        case PayloadCase::battery:
            return rollingText(
                ctx.ui, QStringLiteral("compact.battery.percent"),
                QString::number(std::get<BatteryInfo>(payload).percentage) + QLatin1Char('%'),
                kCompact, palette::green(), Roll::byValue);
        case PayloadCase::calendar: {
            const auto& event = std::get<CalendarEventInfo>(payload);
            return rollingText(ctx.ui, QStringLiteral("compact.calendar.countdown"),
                               event.countdown(ctx.now), kSmallBold,
                               event.color.value_or(palette::systemPurple()), Roll::countdown);
        }
        case PayloadCase::clipboard:
            return text(QString::number(std::get<ClipboardInfo>(payload).count), kSmallBold,
                        palette::cyan());
        case PayloadCase::devices: {
            const auto& devices = std::get<std::vector<ConnectedDeviceInfo>>(payload);
            if (!devices.empty() && devices.front().battery) {
                const int level = *devices.front().battery;
                return text(QString::number(level) + QLatin1Char('%'), kSmallBold,
                            level > 20 ? palette::green() : palette::red());
            }
            if (devices.size() >= 2) {
                return text(QString::number(devices.size()), kSmallBold, palette::teal());
            }
            return empty();
        }
        case PayloadCase::bluetooth:
        case PayloadCase::generic:
        case PayloadCase::systemStats:
            break;
    }
    return empty();
}

}  // namespace

View compactActivityView(const PresentationContext& ctx, const std::optional<Activity>& activity,
                         const NotchGeometry& notch) {
    // Without a camera the gap is narrower than the pill, so the glyphs sit closer in.
    const double gap = notch.hasPhysicalNotch ? notch.width : 0.55 * notch.width;
    return hstack(0, VAlign::center,
                  {leadingGlyph(ctx, activity).maxWidth().id(QStringLiteral("compact.leading")),
                   rectangle(Fill::solid(Qt::transparent))
                       .frame(gap, std::nullopt)
                       .id(QStringLiteral("compact.gap")),
                   trailingGlyph(ctx, activity).maxWidth().id(QStringLiteral("compact.trailing"))});
}

}  // namespace korvo
