#include "Presentations.h"

#include "ui/style/MediumRows.h"
#include "ui/style/Palette.h"
#include "ui/style/Theme.h"

namespace korvo {

using namespace ui;

namespace {

View systemStatsRow() {
    return hstack(
        10, VAlign::center,
        {symbol(QStringLiteral("gauge.with.dots.needle.67percent"), {14}, palette::teal()),
         vstack(2, HAlign::leading,
                {text(QStringLiteral("System"), {12, Weight::semibold}),
                 text(QStringLiteral("CPU · GPU · Memory · Network"), {10},
                      Theme::secondaryText())})});
}

}  // namespace

View mediumActivityView(const PresentationContext& ctx, const std::optional<Activity>& activity) {
    if (!activity) {
        return empty();
    }
    const ActivityPayload& payload = activity->payload;
    View row;
    switch (payloadCase(payload)) {
        case PayloadCase::nowPlaying:
            // Pads itself: its position line lies across the padding.
            return nowPlayingMediumRow(ctx, std::get<NowPlayingInfo>(payload));
        case PayloadCase::calendar:
            row = calendarMediumRow(ctx, std::get<CalendarEventInfo>(payload));
            break;
        case PayloadCase::clipboard:
            row = clipboardMediumRow(std::get<ClipboardInfo>(payload));
            break;
        case PayloadCase::devices:
            row = devicesMediumRow(std::get<std::vector<ConnectedDeviceInfo>>(payload));
            break;
        case PayloadCase::systemStats:
            row = systemStatsRow();
            break;
        case PayloadCase::battery:
        case PayloadCase::bluetooth:
        case PayloadCase::generic:
            row = genericRow(payload);
            break;
    }
    return row.paddingH(16).maxHeight();
}

}  // namespace korvo
