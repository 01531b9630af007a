#pragma once

#include "activities/Activity.h"
#include "ui/kit/View.h"
#include "ui/style/PresentationContext.h"

#include <QColor>
#include <QString>

#include <vector>

namespace korvo {

/// The medium row of kinds without a row of their own: generic, battery and Bluetooth payloads.
ui::View genericRow(const ActivityPayload& payload);

/// The track's second line: for a browser tab with a label, "artist · label" (the label alone
/// without an artist); otherwise the artist.
QString nowPlayingSubtitle(const NowPlayingInfo& info);

/// Artwork, title and subtitle, play/pause and next (dimmed where the player does not offer
/// them), the bars, and the position line.
ui::View nowPlayingMediumRow(const PresentationContext& ctx, const NowPlayingInfo& info);

/// The colour of an event: its calendar's, or system purple.
QColor eventAccent(const CalendarEventInfo& info);

/// Start and end as "9:00 AM – 9:30 AM" in local time.
QString eventTimeRange(const CalendarEventInfo& info);

/// "Join Zoom", or "Join" when the provider is unknown; opens the event's meeting link. Each
/// event's button has an id of its own, so a press on one and a release on another opens nothing.
ui::View joinButton(const PresentationContext& ctx, const CalendarEventInfo& info, QColor accent);

ui::View calendarMediumRow(const PresentationContext& ctx, const CalendarEventInfo& info);
ui::View clipboardMediumRow(const ClipboardInfo& info);
ui::View devicesMediumRow(const std::vector<ConnectedDeviceInfo>& devices);

/// A peripheral's battery colour: red at 20 % and below, orange to 35 %, green above.
QColor deviceBatteryColor(int level);

}  // namespace korvo
