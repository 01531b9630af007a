#pragma once

#include "core/Cancellable.h"

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <vector>

namespace korvo {

/// One occurrence of a calendar event, as the store found it.
struct CalendarEvent {
    std::optional<QString> title;  // none when the event has no (or an empty) title
    QDateTime start;
    QDateTime end;
    bool isAllDay = false;
    std::optional<QUrl> url;
    std::optional<QString> location;
    std::optional<QString> notes;
    std::optional<QColor> calendarColor;  // none when the calendar has no colour
};

/// The user's calendars. `requestAccess` and `events` may block on files or the network, so they
/// are called off the main thread and must be safe to call from any thread.
class CalendarStore {
public:
    virtual ~CalendarStore() = default;

    /// Whether the calendars may be read. Blocking.
    virtual bool requestAccess() = 0;
    /// Every occurrence overlapping [from, to], recurring events expanded, in the store's own
    /// order. Blocking.
    virtual std::vector<CalendarEvent> events(const QDateTime& from, const QDateTime& to) = 0;
    /// `changed` runs on the main thread whenever the calendars may have changed. Main thread.
    virtual Subscription observeChanges(std::function<void()> changed) = 0;
};

}  // namespace korvo
