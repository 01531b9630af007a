#pragma once

#include "activities/Activity.h"
#include "ui/kit/View.h"
#include "ui/style/PresentationContext.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace korvo {

/// The expanded calendar card: today's date and up to three of today's (or running) events, or
/// a note that the day is done with the next event after it.
ui::View calendarExpandedView(const PresentationContext& ctx, const CalendarEventInfo& focused);

/// One event: accent bar, title, day and time, and a join button when it has a meeting link.
ui::View eventCard(const PresentationContext& ctx, const CalendarEventInfo& info);

/// The events the card lists: those of `upcoming` that start today or are under way, else the
/// focused one when it starts today; at most three.
std::vector<CalendarEventInfo> calendarCardEvents(const std::vector<CalendarEventInfo>& upcoming,
                                                  const CalendarEventInfo& focused,
                                                  const QDateTime& now);

/// No label for an event starting today, "Tomorrow", or the weekday and day of the month.
std::optional<QString> eventDayLabel(const CalendarEventInfo& info, const QDateTime& now);

/// "Tomorrow", or weekday, day and time, for the next event after today.
QString nextDayLabel(const QDateTime& date, const QDateTime& now);

}  // namespace korvo
