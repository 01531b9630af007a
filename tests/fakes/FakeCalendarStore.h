#pragma once

#include "core/Published.h"
#include "platform/CalendarStore.h"

#include <mutex>
#include <utility>

namespace korvo {

/// A calendar held in memory. Like a real store it returns the events overlapping the asked
/// window, in the order they were added, and records every window it was asked for.
class FakeCalendarStore : public CalendarStore {
public:
    bool requestAccess() override {
        std::lock_guard lock(m_mutex);
        ++accessRequests;
        return grant;
    }

    std::vector<CalendarEvent> events(const QDateTime& from, const QDateTime& to) override {
        std::lock_guard lock(m_mutex);
        windows.emplace_back(from, to);
        std::vector<CalendarEvent> out;
        for (const auto& e : calendar) {
            if (e.start < to && e.end > from) {
                out.push_back(e);
            }
        }
        return out;
    }

    Subscription observeChanges(std::function<void()> changed) override {
        return m_changed.subscribe([fn = std::move(changed)](int) { fn(); });
    }

    /// The store tells its observers that something changed.
    void change() { m_changed.send(0); }
    std::size_t observers() const { return m_changed.subscriberCount(); }

    bool grant = true;
    int accessRequests = 0;
    std::vector<CalendarEvent> calendar;
    std::vector<std::pair<QDateTime, QDateTime>> windows;

private:
    std::mutex m_mutex;
    Signal<int> m_changed;
};

}  // namespace korvo
