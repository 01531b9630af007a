#include "ui/cards/CalendarViews.h"

#include "ui/cards/CardScene.h"
#include "ui/kit/PointerRouter.h"
#include "ui/style/MediumRows.h"
#include "ui/style/Palette.h"

#include <QLocale>

using namespace korvo;
using namespace korvo::ui;
using korvo::cardtest::CardScene;
using korvo::cardtest::Tree;

namespace {

CalendarEventInfo event(const QString& title, const QDateTime& start, int minutes,
                        std::optional<QString> provider = {}) {
    CalendarEventInfo e{title, start, start.addSecs(minutes * 60), {}, {}, {}};
    if (provider) {
        e.joinURL = QUrl("https://example.com/" + title);
        e.provider = provider->isEmpty() ? std::nullopt : provider;
    }
    return e;
}

Tree card(CardScene& s, const CalendarEventInfo& focused) {
    return s.frame([&](const auto& c) { return calendarExpandedView(c, focused); });
}

QStringList titles(const std::vector<CalendarEventInfo>& events) {
    QStringList out;
    for (const auto& e : events) {
        out << e.title;
    }
    return out;
}

}  // namespace

TEST(CalendarCard, DayLabelsAndTheEventsListed) {
    CardScene s;
    const QDateTime now = s.now();
    const QDateTime later = now.addDays(3);
    EXPECT_EQ(eventDayLabel(event("a", now.addSecs(3600), 30), now), std::nullopt);
    EXPECT_EQ(eventDayLabel(event("b", now.addDays(1), 30), now), "Tomorrow");
    EXPECT_EQ(nextDayLabel(later, now), QLocale().toString(later, "ddd d, h:mm AP"));

    std::vector<CalendarEventInfo> five;
    for (int i = 0; i < 5; ++i) {
        five.push_back(event(QString("E%1").arg(i), now.addSecs(1800 * (i + 1)), 20));
    }
    EXPECT_EQ(titles(calendarCardEvents(five, five[0], now)), (QStringList{"E0", "E1", "E2"}));
    // Nothing of today's in the list: the focused event stands in when it is today's.
    const CalendarEventInfo tomorrow = event("Planning", now.addDays(1), 60);
    EXPECT_EQ(titles(calendarCardEvents({tomorrow}, five[4], now)), QStringList{"E4"});
    EXPECT_TRUE(calendarCardEvents({tomorrow}, tomorrow, now).empty());

    // Started yesterday and still running: listed, with the day it started.
    const CalendarEventInfo overnight = event("Offsite", now.addDays(-1), 26 * 60);
    s.upcoming = {overnight, tomorrow};
    const Tree t = card(s, overnight);
    EXPECT_FALSE(t.draws("Planning"));
    EXPECT_TRUE(t.draws(QLocale().toString(now.addDays(-1).date(), "ddd d") + " · " +
                        eventTimeRange(overnight)));
    EXPECT_EQ(t.glyph(QLocale().toString(now.date(), "ddd").toUpper())->color, palette::red());
}

TEST(CalendarCard, DayDoneShowsWhatComesNext) {
    CardScene s;
    const CalendarEventInfo nine =
        event("Planning", QDateTime(s.now().date().addDays(1), QTime(9, 0)), 60);
    s.upcoming = {nine};
    const Tree t = card(s, nine);
    EXPECT_TRUE(t.draws("No more events today 🎉"));
    EXPECT_TRUE(t.draws("Next: Planning · Tomorrow"));
    s.upcoming.clear();
    const Tree quiet = card(s, nine);
    EXPECT_TRUE(quiet.draws("No more events today 🎉"));
    EXPECT_EQ(quiet.inside(Node::Kind::text).size(), 3u);  // weekday, day, and that line alone
}

TEST(CalendarCard, EventCardsCarryTheirColourBarAndJoinButton) {
    CardScene s;
    const QDateTime now = s.now();
    CalendarEventInfo zoom = event("Sync", now.addSecs(600), 30, QString("Zoom"));
    zoom.color = QColor(0x30, 0xD1, 0x58);
    const CalendarEventInfo plain = event("Walk", now.addSecs(8000), 30);
    s.upcoming = {zoom, event("Read", now.addSecs(4000), 30, QString()), plain};
    const Tree t = card(s, zoom);
    EXPECT_EQ(t.glyph("Sync")->color, *zoom.color);
    EXPECT_EQ(t.glyph("Walk")->color, palette::systemPurple());  // no calendar colour
    EXPECT_TRUE(t.draws("Join Zoom"));
    EXPECT_TRUE(t.draws("Join"));                        // a plain web link
    EXPECT_EQ(t.inside(Node::Kind::symbol).size(), 2u);  // a camera for each meeting link
    EXPECT_TRUE(t.draws(eventTimeRange(plain)));         // today's events carry no day

    for (const auto& e : t.all) {
        if (e.node->onClick) {
            e.node->onClick();  // the first join button
            break;
        }
    }
    EXPECT_EQ(s.opened, QList<QUrl>{*zoom.joinURL});
}

TEST(CalendarCard, PressingOneJoinButtonAndReleasingOverTheOtherOpensNothing) {
    CardScene s;
    const QDateTime now = s.now();
    const CalendarEventInfo first = event("Sync", now.addSecs(600), 30, QString("Zoom"));
    const CalendarEventInfo second = event("Review", now.addSecs(4000), 30, QString("Meet"));
    s.upcoming = {first, second};
    const auto shown = [&] {
        return s.settled([&](const auto& c) { return calendarExpandedView(c, first); }).view.node();
    };
    Interaction interaction;
    PointerRouter router(interaction);
    router.setTree(shown());
    std::vector<QPointF> joins;
    for (const auto& hit : router.regions()) {
        if (hit.node->onClick) {
            joins.push_back(hit.rect.center());
        }
    }
    ASSERT_EQ(joins.size(), 2u);
    router.press(joins[0]);
    router.setTree(shown());  // the card is drawn again meanwhile
    router.release(joins[1]);
    EXPECT_TRUE(s.opened.isEmpty());
    router.press(joins[1]);
    router.release(joins[1]);
    EXPECT_EQ(s.opened, QList<QUrl>{*second.joinURL});
}
