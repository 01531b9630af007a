#pragma once

#include "core/MainLoop.h"
#include "platform/CalendarStore.h"

namespace korvo {

/// A made-up day for the demo tour: a meeting a few minutes away with a video link, more later
/// today and tomorrow, and an all-day event. The day moves along so the tour never runs dry.
class DemoCalendarStore final : public CalendarStore {
public:
    explicit DemoCalendarStore(MainLoop& loop);

    bool requestAccess() override { return true; }
    std::vector<CalendarEvent> events(const QDateTime& from, const QDateTime& to) override;
    Subscription observeChanges(std::function<void()> changed) override;

    /// The made-up day starts over this often.
    static constexpr qint64 kCycleSeconds = 2 * 3600;

private:
    const QDateTime m_anchor;
};

}  // namespace korvo
