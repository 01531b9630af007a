#include "CalendarViews.h"

#include "ui/cards/CardPieces.h"
#include "ui/style/MediumRows.h"
#include "ui/style/Palette.h"
#include "ui/style/Theme.h"

#include <QLocale>

namespace korvo {

using namespace ui;

namespace {

constexpr int kMaxEvents = 3;
const QString kDot = QStringLiteral(" · ");

QDate localDay(const QDateTime& t) {
    return t.toLocalTime().date();
}

View dateBlock(const QDateTime& now) {
    const QLocale locale;
    const QDate today = localDay(now);
    return vstack(0, HAlign::leading,
                  {text(locale.toString(today, QStringLiteral("ddd")).toUpper(), {11, Weight::bold},
                        palette::red()),
                   text(locale.toString(today, QStringLiteral("d")), {34, Weight::semibold})});
}

View dayDone(const PresentationContext& ctx, const std::vector<CalendarEventInfo>& upcoming) {
    Views lines{text(QStringLiteral("No more events today 🎉"), {12, Weight::semibold})};
    if (!upcoming.empty()) {
        const CalendarEventInfo& next = upcoming.front();
        lines.push_back(
            text(QStringLiteral("Next: ") + next.title + kDot + nextDayLabel(next.start, ctx.now),
                 {10}, Theme::secondaryText())
                .lineLimit(1));
    }
    return vstack(2, HAlign::leading, lines).padding(0, 10, 0, 0);
}

}  // namespace

std::vector<CalendarEventInfo> calendarCardEvents(const std::vector<CalendarEventInfo>& upcoming,
                                                  const CalendarEventInfo& focused,
                                                  const QDateTime& now) {
    const QDate today = localDay(now);
    std::vector<CalendarEventInfo> events;
    for (const auto& e : upcoming) {
        if (localDay(e.start) == today || e.isOngoing(now)) {
            events.push_back(e);
        }
    }
    if (events.empty() && localDay(focused.start) == today) {
        events.push_back(focused);
    }
    if (events.size() > static_cast<std::size_t>(kMaxEvents)) {
        events.resize(kMaxEvents);
    }
    return events;
}

std::optional<QString> eventDayLabel(const CalendarEventInfo& info, const QDateTime& now) {
    const QDate day = localDay(info.start);
    const QDate today = localDay(now);
    if (day == today) {
        return std::nullopt;
    }
    if (day == today.addDays(1)) {
        return QStringLiteral("Tomorrow");
    }
    return QLocale().toString(day, QStringLiteral("ddd d"));
}

QString nextDayLabel(const QDateTime& date, const QDateTime& now) {
    if (localDay(date) == localDay(now).addDays(1)) {
        return QStringLiteral("Tomorrow");
    }
    return QLocale().toString(date.toLocalTime(), QStringLiteral("ddd d, h:mm AP"));
}

View eventCard(const PresentationContext& ctx, const CalendarEventInfo& info) {
    const QColor accent = eventAccent(info);
    const QColor detailColour = withAlpha(accent, 0.85);
    Views detail;
    if (info.joinURL) {
        detail.push_back(symbol(QStringLiteral("video.fill"), {8}, detailColour)
                             .accessibilityLabel(QStringLiteral("Video call")));
    }
    const auto day = eventDayLabel(info, ctx.now);
    detail.push_back(text(day ? *day + kDot + eventTimeRange(info) : eventTimeRange(info),
                          {10, Weight::medium}, detailColour)
                         .lineLimit(1));
    Views row{vstack(1, HAlign::leading,
                     {text(info.title, {11, Weight::bold}, accent).lineLimit(1),
                      hstack(4, VAlign::center, detail)}),
              spacer(6)};
    if (info.joinURL) {
        row.push_back(joinButton(ctx, info, accent));
    }
    constexpr double kBar = 3;
    constexpr double kGap = 8;
    // The bar runs the height of the row, however tall the text makes it.
    return hstack(kGap, VAlign::center, row)
        .padding(kBar + kGap, 0, 0, 0)
        .overlay(roundedRectangle(1.5, Fill::solid(accent)).frame(kBar, std::nullopt),
                 Alignment::leading())
        .padding(8, 5, 8, 5)
        .background(roundedRectangle(7, Fill::solid(withAlpha(accent, 0.14))));
}

View calendarExpandedView(const PresentationContext& ctx, const CalendarEventInfo& focused) {
    const auto upcoming = ctx.services.calendar.upcoming ? ctx.services.calendar.upcoming()
                                                         : std::vector<CalendarEventInfo>{};
    const auto events = calendarCardEvents(upcoming, focused, ctx.now);
    Views column;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const int index = static_cast<int>(i);
        column.push_back(cascade(ctx.ui, QStringLiteral("calendar.event.") + QString::number(i),
                                 index + 1, eventCard(ctx, events[i])));
    }
    if (events.empty()) {
        column.push_back(
            cascade(ctx.ui, QStringLiteral("calendar.done"), 1, dayDone(ctx, upcoming)));
    }
    return hstack(18, VAlign::top,
                  {cascade(ctx.ui, QStringLiteral("calendar.date"), 0, dateBlock(ctx.now)),
                   vstack(6, HAlign::leading, column).maxWidth(kInfinity, Alignment::topLeading())})
        .id(QStringLiteral("card.calendar"));
}

}  // namespace korvo
