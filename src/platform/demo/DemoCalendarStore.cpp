#include "DemoCalendarStore.h"

#include <algorithm>

namespace korvo {

namespace {

CalendarEvent event(const char* title, const QDateTime& start, qint64 minutes, QColor color,
                    const char* notes = nullptr, const char* url = nullptr) {
    CalendarEvent e;
    e.title = QString::fromUtf8(title);
    e.start = start;
    e.end = start.addSecs(minutes * 60);
    e.calendarColor = color;
    if (notes) {
        e.notes = QString::fromUtf8(notes);
    }
    if (url) {
        e.url = QUrl(QString::fromUtf8(url));
    }
    return e;
}

}  // namespace

DemoCalendarStore::DemoCalendarStore(MainLoop& loop) : m_anchor(loop.wallNow()) {}

std::vector<CalendarEvent> DemoCalendarStore::events(const QDateTime& from, const QDateTime& to) {
    // `from` lies four hours before now; the day restarts every cycle.
    const QDateTime now = from.addSecs(4 * 3600);
    const qint64 cycles = std::max<qint64>(0, m_anchor.secsTo(now) / kCycleSeconds);
    const QDateTime base = m_anchor.addSecs(cycles * kCycleSeconds);
    const QColor blue(0x0a, 0x84, 0xff);
    const QColor green(0x30, 0xd1, 0x58);
    const QColor orange(0xff, 0x9f, 0x0a);

    std::vector<CalendarEvent> all = {
        event("Design review", base.addSecs(3 * 60), 30, blue,
              "Join: https://zoom.us/j/5551234567?pwd=demo"),
        event("1:1 with Sam", base.addSecs(50 * 60), 25, green, nullptr,
              "https://meet.google.com/abc-defg-hij"),
        event("Focus time", base.addSecs(3 * 3600), 90, orange),
        event("Team sync", base.addSecs(20 * 3600), 45, blue,
              "https://teams.microsoft.com/l/meetup-join/demo"),
    };
    CalendarEvent holiday = event("Company offsite", base, 24 * 60, green);
    holiday.isAllDay = true;
    all.push_back(holiday);

    std::vector<CalendarEvent> inWindow;
    for (auto& e : all) {
        if (e.start < to && e.end > from) {
            inWindow.push_back(std::move(e));
        }
    }
    return inWindow;
}

Subscription DemoCalendarStore::observeChanges(std::function<void()> /*changed*/) {
    return Subscription();  // the made-up day never changes behind the tour's back
}

}  // namespace korvo
