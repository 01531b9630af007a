#include "services/calendar/CalendarActivityProvider.h"
#include "services/calendar/CalendarService.h"

#include "core/Posted.h"
#include "core/VirtualLoop.h"
#include "fakes/FakeCalendarStore.h"
#include "fakes/PlainPreferences.h"
#include "platform/linux/UrlFinder.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {

class Calendar : public ::testing::Test {
protected:
    Calendar() : bus(loop) {}

    // A fresh service, started through its provider, with the first refresh done.
    CalendarService& started(
        std::shared_ptr<const LinkDetector> detector = std::make_shared<UrlFinder>()) {
        service = std::make_unique<CalendarService>(loop, bus, settings, store, detector);
        CalendarActivityProvider(loop, *service).start();
        loop.runUntilIdle();
        return *service;
    }
    CalendarEvent event(const QString& title, qint64 fromNow, qint64 length = 1800) const {
        CalendarEvent e;
        e.title = title;
        e.start = loop.wallNow().addSecs(fromNow);
        e.end = e.start.addSecs(length);
        return e;
    }
    QStringList titles() const {
        QStringList out;
        for (const auto& info : service->upcoming.get()) {
            out << info.title;
        }
        return out;
    }
    CalendarEventInfo linkFor(
        std::optional<QString> url, std::optional<QString> location, std::optional<QString> notes,
        std::shared_ptr<const LinkDetector> detector = std::make_shared<UrlFinder>()) {
        CalendarEvent e = event("Call", 3600);
        e.url = url ? std::optional(QUrl(*url)) : std::nullopt;
        e.location = std::move(location);
        e.notes = std::move(notes);
        store->calendar = {e};
        return started(std::move(detector)).upcoming.get().at(0);
    }

    VirtualLoop loop;
    EventBus bus;
    test::PlainCalendarPreferences settings;
    std::shared_ptr<FakeCalendarStore> store = std::make_shared<FakeCalendarStore>();
    std::unique_ptr<CalendarService> service;
    test::Posted posted{bus};
    QStringList& log = posted.log;
    const Activity& last() const { return posted.activities.back(); }
};

}  // namespace

TEST_F(Calendar, RefusedAccessIsFinal) {
    store->grant = false;
    store->calendar = {event("Standup", 600)};
    auto& s = started();
    loop.advance(120);
    store->change();
    s.start();  // asked once per run
    loop.runUntilIdle();
    EXPECT_FALSE(s.accessGranted.get());
    EXPECT_TRUE(s.upcoming.get().empty());
    EXPECT_TRUE(store->windows.empty());
    EXPECT_EQ(store->observers(), 0u);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(store->accessRequests, 1);
}

TEST_F(Calendar, RefreshesAtOnceEveryThirtySecondsAndOnStoreChanges) {
    store->calendar = {event("Standup", 3 * 3600)};
    service = std::make_unique<CalendarService>(loop, bus, settings, store, nullptr);
    CalendarActivityProvider provider(loop, *service);
    provider.start();
    EXPECT_EQ(store->accessRequests, 0);  // started from the main queue, not inside start()
    loop.runUntilIdle();
    EXPECT_TRUE(service->accessGranted.get());
    ASSERT_EQ(store->windows.size(), 1u);
    EXPECT_EQ(store->windows[0].first, loop.wallNow().addSecs(-4 * 3600));
    EXPECT_EQ(store->windows[0].second, loop.wallNow().toLocalTime().addDays(5));
    EXPECT_EQ(last().startedAt, loop.wallNow());

    loop.advance(29);
    EXPECT_EQ(store->windows.size(), 1u);
    loop.advance(1);
    // Nothing changed, yet the activity is posted again with a fresh start time.
    EXPECT_EQ(log, (QStringList{"updated calendar.next", "updated calendar.next"}));
    EXPECT_EQ(last().startedAt, loop.wallNow());

    store->change();
    loop.runUntilIdle();
    EXPECT_EQ(store->windows.size(), 3u);
}

TEST_F(Calendar, ReadsDoNotPileUpAndASwitchOffWinsOverAReadUnderWay) {
    store->calendar = {event("Standup", 600)};
    started();
    store->windows.clear();
    store->change();  // a read is now under way
    store->change();
    store->change();
    loop.runUntilIdle();
    EXPECT_EQ(store->windows.size(), 2u);
    EXPECT_EQ(log.size(), 3);

    store->change();
    settings.enabled = false;
    loop.runUntilIdle();
    EXPECT_EQ(log.last().toStdString(), "ended calendar.next");
    EXPECT_EQ(log.count("updated calendar.next"), 3);
}

TEST_F(Calendar, KeepsTimedEventsThatHaveNotEnded) {
    CalendarEvent holiday = event("Holiday", -3600, 24 * 3600);
    holiday.isAllDay = true;
    store->calendar = {holiday};
    auto& s = started();
    EXPECT_TRUE(s.upcoming.get().empty());  // all-day events are never shown
    EXPECT_TRUE(log.isEmpty());

    store->calendar = {event("Ended just now", -1800, 1800), holiday, event("Later", 2 * 3600),
                       event("Workshop", -3 * 3600, 4 * 3600)};
    store->change();
    loop.runUntilIdle();
    EXPECT_EQ(titles(), (QStringList{"Workshop", "Later"}));
    EXPECT_EQ(last().priority, ActivityPriority::high);  // running for three hours, one to go
    EXPECT_EQ(std::get<CalendarEventInfo>(last().payload), s.upcoming.get()[0]);
}

TEST_F(Calendar, PriorityRisesWithTheLeadTime) {
    settings.leadMinutes = 10;
    const std::pair<qint64, ActivityPriority> cases[] = {{15 * 60, ActivityPriority::low},
                                                         {9 * 60, ActivityPriority::normal},
                                                         {120, ActivityPriority::normal},
                                                         {119, ActivityPriority::high}};
    for (const auto& [fromNow, expected] : cases) {
        store->calendar = {event("Review", fromNow)};
        started();
        EXPECT_EQ(last().priority, expected) << fromNow << " s ahead";
    }

    // The ladder follows the clock, and the lead time is read afresh at every refresh.
    store->calendar = {event("Review", 11 * 60)};
    started();
    loop.advance(60);  // exactly ten minutes ahead is not yet inside the lead time
    EXPECT_EQ(last().priority, ActivityPriority::low);
    loop.advance(30);
    EXPECT_EQ(last().priority, ActivityPriority::normal);
    settings.leadMinutes = 0.5;
    loop.advance(30);
    EXPECT_EQ(last().priority, ActivityPriority::low);
    loop.advance(8 * 60);
    EXPECT_EQ(last().priority, ActivityPriority::high);
}

TEST_F(Calendar, SixEarliestInStableOrder) {
    for (int i = 7; i >= 1; --i) {
        store->calendar.push_back(event(QStringLiteral("E%1").arg(i), i * 3600));
    }
    store->calendar.push_back(event("Tie A", 90 * 60));
    store->calendar.push_back(event("Tie B", 90 * 60));
    CalendarEvent untitled = event("x", 30 * 60);
    untitled.title.reset();
    untitled.calendarColor = QColor(Qt::red);
    store->calendar.push_back(untitled);

    auto& s = started();
    EXPECT_EQ(titles(), (QStringList{"Event", "E1", "Tie A", "Tie B", "E2", "E3"}));
    EXPECT_EQ(s.upcoming.get()[0].color, QColor(Qt::red));
    EXPECT_FALSE(s.upcoming.get()[1].color.has_value());
}

TEST_F(Calendar, EndsOnceWhenSwitchedOffOrOver) {
    store->calendar = {event("Standup", 60, 600)};
    started();
    settings.enabled = false;
    loop.advance(90);
    EXPECT_EQ(log, (QStringList{"updated calendar.next", "ended calendar.next"}));
    EXPECT_EQ(titles(), QStringList{"Standup"});  // kept while switched off
    EXPECT_EQ(store->windows.size(), 1u);         // and not read

    settings.enabled = true;
    loop.advance(30);
    EXPECT_EQ(log.last().toStdString(), "updated calendar.next");
    loop.advance(11 * 60);  // the meeting is over
    EXPECT_EQ(log.count("ended calendar.next"), 2);
    EXPECT_EQ(log.last().toStdString(), "ended calendar.next");
    EXPECT_TRUE(titles().isEmpty());
}

TEST_F(Calendar, MeetingLinkRules) {
    const QString teams = "https://teams.microsoft.com/l/meetup-join/19%3ameeting_a%40thread.v2/0";
    auto info = linkFor({}, teams, "Or dial in: https://company.zoom.us/j/123456789");
    EXPECT_EQ(info.joinURL, QUrl(teams));
    EXPECT_EQ(info.provider, QStringLiteral("Teams"));

    info = linkFor("https://intranet.example.com/agenda", {},
                   "Join with Google Meet: https://meet.google.com/abc-defg-hij.");
    EXPECT_EQ(info.joinURL, QUrl("https://meet.google.com/abc-defg-hij"));
    EXPECT_EQ(info.provider, QStringLiteral("Meet"));

    // Links are taken in order of appearance; the rows only rank within one link.
    info =
        linkFor({}, {}, "Primary https://meet.google.com/a-b-c backup <https://teams.live.com/m>");
    EXPECT_EQ(info.provider, QStringLiteral("Meet"));

    const std::pair<const char*, const char*> rows[] = {
        {"https://us02web.zoom.us/j/85512345678?pwd=x", "Zoom"},
        {"https://acme.webex.com/meet/j.doe", "Webex"},
        {"https://facetime.apple.com/join#v=1&p=abc", "FaceTime"}};
    for (const auto& [link, provider] : rows) {
        EXPECT_EQ(linkFor({}, QStringLiteral("Room 4 / ") + link, {}).provider,
                  QString::fromUtf8(provider))
            << link;
    }
}

TEST_F(Calendar, WithoutARuleOnlyAWebAddressInTheUrlFieldCounts) {
    auto info = linkFor("https://example.com/event/42", {}, "Web: https://zoom.us/wc/join/123456");
    EXPECT_EQ(info.joinURL, QUrl("https://example.com/event/42"));
    EXPECT_FALSE(info.provider.has_value());
    EXPECT_FALSE(linkFor("mailto:organiser@example.com", {}, {}).joinURL.has_value());
    EXPECT_FALSE(linkFor({}, "https://zoom.us/wc/join/123456", {}).joinURL.has_value());

    // Without a detector the notes are not searched; the URL field still serves.
    info = linkFor("http://example.com/room", {}, "https://meet.google.com/abc-defg-hij", nullptr);
    EXPECT_EQ(info.joinURL, QUrl("http://example.com/room"));
    EXPECT_FALSE(info.provider.has_value());
}

TEST_F(Calendar, AReadOutlivingTheServiceIsDropped) {
    store->calendar = {event("Standup", 600)};
    CalendarService(loop, bus, settings, store, nullptr).start();
    loop.runUntilIdle();
    EXPECT_EQ(store->accessRequests, 1);
    EXPECT_TRUE(log.isEmpty());
}
