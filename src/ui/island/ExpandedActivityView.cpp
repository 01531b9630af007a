#include "Presentations.h"

#include "ui/cards/CalendarViews.h"
#include "ui/cards/ClipboardExpandedView.h"
#include "ui/cards/DevicesExpandedView.h"
#include "ui/cards/NowPlayingExpandedView.h"
#include "ui/cards/SystemHUDView.h"
#include "ui/island/BatteryViews.h"
#include "ui/style/MediumRows.h"
#include "ui/style/Theme.h"

namespace korvo {

using namespace ui;

namespace {

View card(const PresentationContext& ctx, const std::optional<Activity>& activity) {
    if (!activity) {
        return text(QStringLiteral("Nothing playing"), {13}, Theme::secondaryText());
    }
    const ActivityPayload& payload = activity->payload;
    switch (payloadCase(payload)) {
        case PayloadCase::nowPlaying:
            return nowPlayingExpandedView(ctx, std::get<NowPlayingInfo>(payload));
        case PayloadCase::battery:
            return batteryExpandedView(std::get<BatteryInfo>(payload), ctx.lowPowerMode());
        case PayloadCase::calendar:
            return calendarExpandedView(ctx, std::get<CalendarEventInfo>(payload));
        case PayloadCase::clipboard:
            return clipboardExpandedView(ctx);
        case PayloadCase::devices:
            return devicesExpandedView(ctx, std::get<std::vector<ConnectedDeviceInfo>>(payload));
        case PayloadCase::systemStats:
            return systemHUDView(ctx, QStringLiteral("expanded.systemStats"));
        case PayloadCase::bluetooth:
        case PayloadCase::generic:
            return genericRow(payload);
    }
    return empty();
}

}  // namespace

View expandedActivityView(const PresentationContext& ctx, const std::optional<Activity>& activity) {
    return card(ctx, activity)
        .padding(20, 6, 20, 12)
        .id(QStringLiteral("expanded.card"))
        .flexibleFrame(0, kInfinity, 0, kInfinity, Alignment::top());
}

}  // namespace korvo
