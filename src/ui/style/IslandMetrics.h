#pragma once

#include "activities/Activity.h"
#include "core/IslandState.h"
#include "core/NotchGeometry.h"

#include <QSizeF>

#include <optional>

namespace korvo {

/// What the island's size depends on besides the state and the focused payload.
struct SizeInputs {
    int enabledStats = 8;         // statistics switched on for the system card
    int calendarEventsToday = 0;  // upcoming events that start today or are under way
};

/// The island's size for a state, notch and focused activity.
QSizeF islandSize(IslandState state, const NotchGeometry& notch,
                  const std::optional<Activity>& focused, const SizeInputs& inputs);

/// The expanded card's size for the focused payload (none: the empty card).
QSizeF expandedSize(const NotchGeometry& notch, const std::optional<Activity>& focused,
                    const SizeInputs& inputs);

/// Radius of the island's two bottom corners; the top corners are square.
double bottomRadius(IslandState state, const NotchGeometry& notch);

/// The statistics grid: columns and rows for `enabled` statistics (at least one cell).
struct StatsGrid {
    int columns;
    int rows;
};
StatsGrid statsGrid(int enabled);

}  // namespace korvo

namespace korvo {

/// Events that start on `now`'s local day or are under way at `now`.
int countTodayOrOngoing(const std::vector<CalendarEventInfo>& events, const QDateTime& now);

}  // namespace korvo
