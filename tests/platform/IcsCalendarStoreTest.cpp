#include "platform/linux/IcsCalendarStore.h"

#include "Spin.h"
#include "core/QtMainLoop.h"
#include "core/VirtualLoop.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

// A copy of the fixture calendars in a folder of their own, as a user would keep them.
class IcsFiles : public ::testing::Test {
protected:
    IcsFiles() {
        const QString fixtures = QStringLiteral(KORVO_SOURCE_DIR "/tests/fixtures/calendars");
        QDirIterator it(fixtures, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString from = it.next();
            const QString to = root() + from.mid(fixtures.size());
            QDir().mkpath(QFileInfo(to).absolutePath());
            QFile::copy(from, to);
        }
    }

    QString root() const { return dir.filePath(QStringLiteral("calendars")); }

    std::vector<CalendarEvent> read(const QStringList& roots, const QDateTime& from,
                                    const QDateTime& to) {
        IcsCalendarStore store(loop, roots);
        return store.events(from, to);
    }

    static QStringList describe(const std::vector<CalendarEvent>& events) {
        QStringList out;
        for (const auto& e : events) {
            out << e.title.value_or(QStringLiteral("-")) + QLatin1Char(' ') +
                       e.start.toUTC().toString(Qt::ISODate) + QLatin1Char(' ') +
                       e.end.toUTC().toString(Qt::ISODate);
        }
        return out;
    }

    QTemporaryDir dir;
    VirtualLoop loop;
};

}  // namespace

TEST_F(IcsFiles, WeeklyMeetingWithExceptionsExpandsInTheWindow) {
    const auto events = read({root() + "/work/weekly.ics"}, utc(2026, 1, 5), utc(2026, 2, 1));
    // Berlin is an hour ahead in winter; the 12th is cancelled, the 14th added, the 19th moved.
    EXPECT_EQ(describe(events).join('\n').toStdString(),
              "Standup 2026-01-05T08:30:00Z 2026-01-05T08:45:00Z\n"
              "Standup 2026-01-14T09:00:00Z 2026-01-14T09:15:00Z\n"
              "Standup (moved) 2026-01-19T10:00:00Z 2026-01-19T10:30:00Z\n"
              "Standup 2026-01-26T08:30:00Z 2026-01-26T08:45:00Z");
    const auto& first = events.at(0);
    EXPECT_FALSE(first.isAllDay);
    EXPECT_EQ(first.location, QStringLiteral("https://meet.google.com/abc-defg-hij"));
    EXPECT_EQ(first.notes, QStringLiteral("Daily-ish sync.\nBring blockers."));
    EXPECT_EQ(first.calendarColor, QColor(0xff, 0x29, 0x68, 0xff));

    // Across the change to summer time the meeting keeps its wall-clock time.
    const auto spring = read({root() + "/work/weekly.ics"}, utc(2026, 3, 20), utc(2026, 4, 1));
    EXPECT_EQ(describe(spring), (QStringList{"Standup 2026-03-23T08:30:00Z 2026-03-23T08:45:00Z",
                                             "Standup 2026-03-30T07:30:00Z 2026-03-30T07:45:00Z"}));

    // A meeting that began before the window but is still running belongs to it.
    const auto running =
        read({root() + "/work/weekly.ics"}, utc(2026, 1, 5, 8, 40), utc(2026, 1, 5, 9));
    EXPECT_EQ(running.size(), 1u);
}

TEST_F(IcsFiles, ZonesDurationsAndCounts) {
    const auto events = read({root() + "/work/zones.ics"}, utc(2026, 3, 1), utc(2026, 4, 1));
    // New York moves to summer time on 8 March: nine o'clock is 14:00 and then 13:00 UTC.
    EXPECT_EQ(describe(events),
              (QStringList{"New York sync 2026-03-02T14:00:00Z 2026-03-02T15:00:00Z",
                           "New York sync 2026-03-09T13:00:00Z 2026-03-09T14:00:00Z",
                           "New York sync 2026-03-16T13:00:00Z 2026-03-16T14:00:00Z",
                           "UTC review 2026-03-06T15:00:00Z 2026-03-06T15:45:00Z",
                           "- 2026-03-04T08:00:00Z 2026-03-04T08:30:00Z"}));
    EXPECT_EQ(events[0].url, QUrl(QStringLiteral("https://example.com/sync")));
    EXPECT_EQ(events[0].calendarColor, QColor(0xff, 0x63, 0x47));  // "tomato"
    EXPECT_FALSE(events[4].title.has_value());
}

TEST_F(IcsFiles, AllDayEventsAreRecognised) {
    const auto events = read({root() + "/work/allday.ics"}, utc(2026, 1, 5), utc(2026, 1, 12));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].isAllDay);
    EXPECT_EQ(events[0].start.toLocalTime(), QDateTime(QDate(2026, 1, 7), QTime(0, 0)));
    EXPECT_EQ(events[0].end.toLocalTime(), QDateTime(QDate(2026, 1, 9), QTime(0, 0)));
    EXPECT_FALSE(events[0].calendarColor.has_value());
}

TEST_F(IcsFiles, EveryFileUnderTheRootsCountsAndBrokenOnesAreSkipped) {
    const QStringList roots = {root(), dir.filePath(QStringLiteral("missing"))};
    const auto events = read(roots, utc(2026, 1, 5), utc(2026, 1, 10));
    // Broken files and an event without a usable start leave their good siblings alone.
    const QString offsite =
        QStringLiteral("Offsite ") +
        QDateTime(QDate(2026, 1, 7), QTime(0, 0)).toUTC().toString(Qt::ISODate) + QLatin1Char(' ') +
        QDateTime(QDate(2026, 1, 9), QTime(0, 0)).toUTC().toString(Qt::ISODate);
    EXPECT_EQ(describe(events),
              (QStringList{"Dentist 2026-01-06T16:00:00Z 2026-01-06T17:00:00Z",
                           "Morning run 2026-01-08T06:30:00Z 2026-01-08T07:30:00Z", offsite,
                           "Standup 2026-01-05T08:30:00Z 2026-01-05T08:45:00Z"}));
    // A folder of one-event files takes its colour from the folder.
    EXPECT_EQ(events.at(0).calendarColor, QColor(0x30, 0xd1, 0x58));
}

TEST_F(IcsFiles, LaterReadsSeeTheMovedWindowAndChangedFiles) {
    IcsCalendarStore store(loop, {root() + "/personal"});
    EXPECT_EQ(store.events(utc(2026, 1, 5), utc(2026, 1, 7)).size(), 1u);
    // The window moves on: what was only just beyond the first one is there.
    EXPECT_EQ(describe(store.events(utc(2026, 1, 6, 17), utc(2026, 1, 8, 12))),
              QStringList{"Morning run 2026-01-08T06:30:00Z 2026-01-08T07:30:00Z"});

    QFile file(root() + "/personal/9c07bd.ics");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll().replace("Morning run", "Evening swim");
    file.close();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    EXPECT_EQ(store.events(utc(2026, 1, 6, 17), utc(2026, 1, 8, 12)).at(0).title,
              QStringLiteral("Evening swim"));
}

TEST_F(IcsFiles, AccessNeedsOneReadableSource) {
    IcsCalendarStore none(loop, {dir.filePath("nothing"), dir.filePath("nothing.ics")});
    EXPECT_FALSE(none.requestAccess());
    EXPECT_TRUE(none.events(utc(2026, 1, 1), utc(2027, 1, 1)).empty());
    IcsCalendarStore some(loop, {dir.filePath("nothing"), root() + "/personal"});
    EXPECT_TRUE(some.requestAccess());
}

TEST_F(IcsFiles, ListedFoldersAndColours) {
    QFile list(dir.filePath(QStringLiteral("calendars.list")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("# mine\n~/Calendars\n\n  /srv/team  \n");
    list.close();
    EXPECT_EQ(IcsCalendarStore::listedRoots(list.fileName()),
              (QStringList{QDir::homePath() + "/Calendars", "/srv/team"}));
    EXPECT_TRUE(IcsCalendarStore::listedRoots(dir.filePath("absent")).isEmpty());

    EXPECT_EQ(IcsCalendarStore::parseColor(" #0a84ff "), QColor(0x0a, 0x84, 0xff));
    EXPECT_FALSE(IcsCalendarStore::parseColor("#GG0000AA").has_value());
    EXPECT_FALSE(IcsCalendarStore::parseColor("not a colour").has_value());
}

TEST_F(IcsFiles, ChangesInTheFoldersAreNoticed) {
    QtMainLoop real;
    IcsCalendarStore store(real, {root()});
    int changes = 0;
    auto sub = store.observeChanges([&] { ++changes; });
    auto spinUntil = [&](const std::function<bool()>& done, int ms = 5000) {
        return test::spinUntil(
            [&] {
                real.waitForBackground();
                return done();
            },
            ms);
    };
    spinUntil([] { return false; }, 300);  // the first listing reaches the watcher
    QFile::copy(root() + "/personal/4f1e2a.ics", root() + "/personal/new.ics");
    ASSERT_TRUE(spinUntil([&] { return changes > 0; }));
    // A burst of writes settles into one notice.
    spinUntil([] { return false; }, 800);
    const int before = changes;
    for (int i = 0; i < 5; ++i) {
        QFile f(root() + "/work/allday.ics");
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("\n");
    }
    ASSERT_TRUE(spinUntil([&] { return changes > before; }));
    spinUntil([] { return false; }, 1000);
    EXPECT_EQ(changes, before + 1);
}

namespace {

QByteArray wrapEvents(const QByteArray& events) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//korvo//tests//EN\r\n" + events +
           "END:VCALENDAR\r\n";
}

// "Title@start", in order of start.
QStringList startsOf(std::vector<CalendarEvent> events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.start < b.start; });
    QStringList out;
    for (const auto& e : events) {
        out << e.title.value_or(QStringLiteral("-")) + QLatin1Char('@') +
                   e.start.toUTC().toString(Qt::ISODate);
    }
    return out;
}

}  // namespace

// Rules that began long ago are followed from the window, not from their first instance: a
// minutely event of thirty years has millions of instances before the window, far more than the
// expansion would ever walk.
TEST(IcsRecurrence, RulesThatBeganLongAgoStillFillTheWindow) {
    const QByteArray text = wrapEvents(
        "BEGIN:VEVENT\r\nUID:tick\r\nSUMMARY:Tick\r\nDTSTART:19960101T000000Z\r\n"
        "DURATION:PT30S\r\nRRULE:FREQ=MINUTELY\r\nEXDATE:20260105T100100Z\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:tick\r\nSUMMARY:Tick (moved)\r\nRECURRENCE-ID:20260105T100200Z\r\n"
        "DTSTART:20260105T100230Z\r\nDURATION:PT30S\r\nEND:VEVENT\r\n"
        // Every three hours for six years, 3 h long: the one that began before the window and
        // runs into it counts.
        "BEGIN:VEVENT\r\nUID:shift\r\nSUMMARY:Shift\r\nDTSTART:20200101T080000Z\r\n"
        "DTEND:20200101T110000Z\r\nRRULE:FREQ=HOURLY;INTERVAL=3\r\nEND:VEVENT\r\n");
    const auto events =
        IcsCalendarStore::parse(text, utc(2026, 1, 5, 10, 0), utc(2026, 1, 5, 10, 4));
    EXPECT_EQ(startsOf(events),
              (QStringList{"Shift@2026-01-05T08:00:00Z", "Tick@2026-01-05T10:00:00Z",
                           "Tick (moved)@2026-01-05T10:02:30Z", "Tick@2026-01-05T10:03:00Z"}));
}

TEST(IcsRecurrence, CountedRulesAndDatesKeepTheirInstances) {
    const QByteArray text = wrapEvents(
        // Counted from its first instance: 48 hours from noon on the 4th end at 11:00 on the 6th.
        "BEGIN:VEVENT\r\nUID:count\r\nSUMMARY:Counted\r\nDTSTART:20260104T120000Z\r\n"
        "DURATION:PT30M\r\nRRULE:FREQ=HOURLY;COUNT=48\r\nEND:VEVENT\r\n"
        // A yearly all-day event since 1950, skipped once by a date in the window's year.
        "BEGIN:VEVENT\r\nUID:bday\r\nSUMMARY:Birthday\r\nDTSTART;VALUE=DATE:19500106\r\n"
        "RRULE:FREQ=YEARLY\r\nEXDATE;VALUE=DATE:20250106\r\nEND:VEVENT\r\n");
    const auto day6 = IcsCalendarStore::parse(text, utc(2026, 1, 6, 0, 0), utc(2026, 1, 7, 0, 0));
    QStringList counted;
    bool birthday = false;
    for (const auto& e : day6) {
        if (e.title == QStringLiteral("Counted")) {
            counted << e.start.toUTC().toString(QStringLiteral("HH:mm"));
        }
        birthday = birthday || (e.title == QStringLiteral("Birthday") && e.isAllDay);
    }
    EXPECT_EQ(counted.size(), 12);
    EXPECT_EQ(counted.first(), QStringLiteral("00:00"));
    EXPECT_EQ(counted.last(), QStringLiteral("11:00"));
    EXPECT_TRUE(birthday);

    const auto lastYear =
        IcsCalendarStore::parse(text, utc(2025, 1, 5, 12, 0), utc(2025, 1, 7, 12, 0));
    for (const auto& e : lastYear) {
        EXPECT_NE(e.title, QStringLiteral("Birthday")) << "excluded by its date";
    }
}

TEST(IcsRecurrence, RulesFollowedFromTheWindowKeepTheirPhase) {
    const QByteArray text = wrapEvents(
        // Every other week on three days, in a zone with daylight saving time, for ten years:
        // 522 weeks after the first Monday is a week on.
        "BEGIN:VEVENT\r\nUID:gym\r\nSUMMARY:Gym\r\nDTSTART;TZID=Europe/Berlin:20160104T091500\r\n"
        "DURATION:PT1H\r\nRRULE:FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE,FR\r\nEND:VEVENT\r\n"
        // Every two hours at half past, since 2019.
        "BEGIN:VEVENT\r\nUID:pills\r\nSUMMARY:Pills\r\nDTSTART:20190101T083000Z\r\n"
        "DURATION:PT5M\r\nRRULE:FREQ=HOURLY;INTERVAL=2\r\nEND:VEVENT\r\n");
    const auto fortnight = IcsCalendarStore::parse(text, utc(2026, 1, 5), utc(2026, 1, 19));
    QStringList gym;
    for (const QString& s : startsOf(fortnight)) {
        if (s.startsWith(QStringLiteral("Gym"))) {
            gym << s;
        }
    }
    EXPECT_EQ(gym, (QStringList{"Gym@2026-01-05T08:15:00Z", "Gym@2026-01-07T08:15:00Z",
                                "Gym@2026-01-09T08:15:00Z"}));
    EXPECT_EQ(
        startsOf(IcsCalendarStore::parse(text, utc(2026, 1, 6, 10, 0), utc(2026, 1, 6, 12, 0))),
        (QStringList{"Pills@2026-01-06T10:30:00Z"}));
}
