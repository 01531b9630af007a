#include "CalendarService.h"

#include "core/MainThread.h"

#include <algorithm>

namespace korvo {

const QString CalendarService::activityID = QStringLiteral("calendar.next");

const std::vector<CalendarService::LinkRule>& CalendarService::linkRules() {
    static const std::vector<LinkRule> rules = {
        {QStringLiteral("teams.microsoft.com"), QStringLiteral("Teams")},
        {QStringLiteral("teams.live.com"), QStringLiteral("Teams")},
        {QStringLiteral("zoom.us/j"), QStringLiteral("Zoom")},
        {QStringLiteral("zoom.us/my"), QStringLiteral("Zoom")},
        {QStringLiteral("meet.google.com"), QStringLiteral("Meet")},
        {QStringLiteral("webex.com"), QStringLiteral("Webex")},
        {QStringLiteral("facetime.apple.com"), QStringLiteral("FaceTime")},
    };
    return rules;
}

CalendarService::CalendarService(MainLoop& loop, EventBus& bus, CalendarPreferences& settings,
                                 std::shared_ptr<CalendarStore> store,
                                 std::shared_ptr<const LinkDetector> detector)
    : m_loop(loop),
      m_bus(bus),
      m_settings(settings),
      m_store(std::move(store)),
      m_detector(std::move(detector)) {}

CalendarService::~CalendarService() = default;

void CalendarService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    if (m_started) {
        return;  // the request is made once per run, whatever the answer
    }
    m_started = true;
    m_loop.runInBackground(Qos::utility,
                           [loop = &m_loop, weak = m_life.weak(), this, store = m_store] {
                               const bool granted = store->requestAccess();
                               loop->post([this, weak, granted] {
                                   if (weak.lock()) {
                                       onAccess(granted);
                                   }
                               });
                           });
}

void CalendarService::onAccess(bool granted) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    accessGranted.set(granted);
    if (!granted) {
        return;
    }
    refresh();
    m_timer = m_loop.scheduleRepeating(kRefreshInterval, kRefreshTolerance, [this] { refresh(); });
    m_storeChanges = m_store->observeChanges([this] { refresh(); });
}

void CalendarService::refresh() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    if (!m_settings.calendarEnabled()) {
        endActivity();
        return;
    }
    if (m_fetching) {
        m_refreshAgain = true;  // one read at a time; the newest request runs when it is back
        return;
    }
    const QDateTime now = m_loop.wallNow();
    // Five calendar days, so a change of daylight saving time does not shift the window.
    const QDateTime windowEnd = now.toLocalTime().addDays(kLookAheadDays);
    if (!windowEnd.isValid()) {
        return;
    }
    const QDateTime windowStart = now.addSecs(-kLookBackSeconds);
    m_fetching = true;
    m_loop.runInBackground(Qos::utility, [loop = &m_loop, weak = m_life.weak(), this,
                                          store = m_store, now, windowStart, windowEnd] {
        auto events = store->events(windowStart, windowEnd);
        loop->post([this, weak, now, events = std::move(events)]() mutable {
            if (!weak.lock()) {
                return;
            }
            m_fetching = false;
            apply(now, std::move(events));
            if (std::exchange(m_refreshAgain, false)) {
                refresh();
            }
        });
    });
}

void CalendarService::apply(const QDateTime& now, std::vector<CalendarEvent> events) {
    if (!m_settings.calendarEnabled()) {
        endActivity();  // switched off while the store was being read
        return;
    }
    std::erase_if(events, [&](const CalendarEvent& e) { return e.isAllDay || !(e.end > now); });
    std::stable_sort(
        events.begin(), events.end(),
        [](const CalendarEvent& a, const CalendarEvent& b) { return a.start < b.start; });
    std::vector<CalendarEventInfo> next;
    next.reserve(std::min(events.size(), kMaxUpcoming));
    for (std::size_t i = 0; i < events.size() && i < kMaxUpcoming; ++i) {
        next.push_back(info(events[i], m_detector.get()));
    }
    upcoming.set(next);

    if (next.empty()) {
        endActivity();
        return;
    }
    const CalendarEventInfo& first = next.front();
    const double toStart = static_cast<double>(now.msecsTo(first.start)) / 1000.0;
    ActivityPriority priority = ActivityPriority::low;
    if (first.isOngoing(now) || toStart < kImminentSeconds) {
        priority = ActivityPriority::high;
    } else if (toStart < m_settings.calendarLeadMinutes() * 60.0) {
        priority = ActivityPriority::normal;
    }
    m_lastActivityInfo = first;
    m_bus.post(
        ActivityUpdated{Activity{activityID, Activity::Kind::meeting, priority, now, first}});
}

void CalendarService::endActivity() {
    if (!m_lastActivityInfo) {
        return;  // ended once; a later refresh has nothing to end
    }
    m_lastActivityInfo.reset();
    m_bus.post(ActivityEnded{activityID});
}

CalendarEventInfo CalendarService::info(const CalendarEvent& event, const LinkDetector* detector) {
    CalendarEventInfo out;
    out.title = event.title.value_or(QStringLiteral("Event"));
    out.start = event.start;
    out.end = event.end;
    const JoinLink link = joinLink(event, detector);
    out.joinURL = link.url;
    out.provider = link.provider;
    out.color = event.calendarColor;
    return out;
}

CalendarService::JoinLink CalendarService::joinLink(const CalendarEvent& event,
                                                    const LinkDetector* detector) {
    if (detector) {
        QStringList texts;
        if (event.url) {
            texts << event.url->toString(QUrl::FullyEncoded);
        }
        if (event.location) {
            texts << *event.location;
        }
        if (event.notes) {
            texts << *event.notes;
        }
        for (const QString& text : texts) {
            for (const QUrl& url : detector->links(text)) {
                const QString written = url.toString(QUrl::FullyEncoded);
                for (const LinkRule& rule : linkRules()) {
                    if (written.contains(rule.fragment, Qt::CaseSensitive)) {
                        return {url, rule.name};
                    }
                }
            }
        }
    }
    if (event.url && event.url->scheme().startsWith(QLatin1String("http"))) {
        return {*event.url, std::nullopt};
    }
    return {};
}

}  // namespace korvo
