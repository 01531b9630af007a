#include "Presentations.h"

#include "ui/island/BatteryViews.h"
#include "ui/island/MediumRows.h"
#include "ui/island/Theme.h"

namespace korvo {

using namespace ui;

namespace {

// The cards that arrive with their services (now playing, calendar, clipboard, devices,
// statistics) hold their place until then: an empty group filling the card.
View pendingCard(const QString& name) {
    return rectangle(Fill::solid(Qt::transparent))
        .flexibleFrame(0, kInfinity, 0, kInfinity)
        .id(QStringLiteral("card.") + name);
}

View card(const PresentationContext& ctx, const std::optional<Activity>& activity) {
    if (!activity) {
        return text(QStringLiteral("Nothing playing"), {13}, Theme::secondaryText());
    }
    const ActivityPayload& payload = activity->payload;
    switch (payloadCase(payload)) {
        case PayloadCase::nowPlaying:
            return pendingCard(QStringLiteral("nowPlaying"));
        case PayloadCase::battery:
            return batteryExpandedView(std::get<BatteryInfo>(payload), ctx.lowPowerMode());
        case PayloadCase::calendar:
            return pendingCard(QStringLiteral("calendar"));
        case PayloadCase::clipboard:
            return pendingCard(QStringLiteral("clipboard"));
        case PayloadCase::devices:
            return pendingCard(QStringLiteral("devices"));
        case PayloadCase::systemStats:
            return pendingCard(QStringLiteral("systemStats"));
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
        .flexibleFrame(0, kInfinity, 0, kInfinity, Alignment::top());
}

}  // namespace korvo
