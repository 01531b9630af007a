#include "IcsCalendarStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QStandardPaths>
#include <QTimeZone>

#include <libical/ical.h>

#include <algorithm>
#include <mutex>
#include <set>

namespace korvo {

namespace {

constexpr int kMaxDepth = 4;           // root/collection/year/... is deep enough
constexpr int kMaxWatchedFiles = 256;  // folders of one-event files are watched as folders
constexpr int kMaxRecurrenceSteps = 500000;

// libical keeps global state (error flags, the built-in time zones); one parse at a time.
std::mutex& icalMutex() {
    static std::mutex mutex;
    return mutex;
}

QString utf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

std::optional<QString> nonEmpty(const char* text) {
    const QString s = utf8(text).trimmed();
    return s.isEmpty() ? std::nullopt : std::optional<QString>(s);
}

// Calendars written by other programs name zones in their own ways: with a VTIMEZONE in the file,
// by location, behind a vendor prefix, or by Windows name.
const icaltimezone* resolveZone(icalcomponent* calendar, const char* tzid) {
    if (!tzid || !*tzid) {
        return nullptr;
    }
    if (icaltimezone* own = icalcomponent_get_timezone(calendar, tzid)) {
        return own;
    }
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone(tzid)) {
        return zone;
    }
    if (icaltimezone* zone = icaltimezone_get_builtin_timezone_from_tzid(tzid)) {
        return zone;
    }
    const QString name = QString::fromUtf8(tzid);
    const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(name.toUtf8());
    if (!iana.isEmpty()) {
        if (icaltimezone* zone = icaltimezone_get_builtin_timezone(iana.constData())) {
            return zone;
        }
    }
    // "/vendor.example/20050126_1/Europe/Berlin": try each tail after a slash.
    for (qsizetype slash = name.indexOf(QLatin1Char('/')); slash >= 0;
         slash = name.indexOf(QLatin1Char('/'), slash + 1)) {
        const QByteArray tail = name.mid(slash + 1).toUtf8();
        if (!tail.isEmpty()) {
            if (icaltimezone* zone = icaltimezone_get_builtin_timezone(tail.constData())) {
                return zone;
            }
        }
    }
    return nullptr;
}

// Attaches the zone named by the property's TZID to a time read from it. UTC times keep theirs.
icaltimetype zoned(icaltimetype t, icalproperty* prop, icalcomponent* calendar) {
    if (t.is_date || icaltime_is_utc(t)) {
        return t;
    }
    if (icalparameter* tzid = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER)) {
        if (const icaltimezone* zone = resolveZone(calendar, icalparameter_get_tzid(tzid))) {
            icaltime_set_timezone(&t, zone);
        }
    }
    return t;
}

// A date is midnight of the local calendar; a time without a zone is local wall-clock time.
QDateTime toDateTime(icaltimetype t) {
    if (!icaltime_is_valid_time(t) || icaltime_is_null_time(t)) {
        return {};
    }
    const QDate date(t.year, t.month, t.day);
    if (t.is_date) {
        return QDateTime(date, QTime(0, 0), Qt::LocalTime);
    }
    if (icaltime_is_utc(t)) {
        return QDateTime(date, QTime(t.hour, t.minute, t.second), Qt::UTC);
    }
    if (t.zone) {
        icaltimetype utc = t;
        icaltimezone_convert_time(&utc, const_cast<icaltimezone*>(t.zone),
                                  icaltimezone_get_utc_timezone());
        return QDateTime(QDate(utc.year, utc.month, utc.day),
                         QTime(utc.hour, utc.minute, utc.second), Qt::UTC);
    }
    return QDateTime(date, QTime(t.hour, t.minute, t.second), Qt::LocalTime).toUTC();
}

// Overlapping the window; an instant counts when it falls inside.
bool overlaps(const QDateTime& start, const QDateTime& end, const QDateTime& from,
              const QDateTime& to) {
    return start < to && (end > from || (start == end && start >= from));
}

struct Instance {
    QDateTime start;
    bool isDate = false;
};

struct Length {
    qint64 seconds = 0;  // timed events
    qint64 days = 0;     // all-day events
};

Length lengthOf(icalcomponent* event, icaltimetype start, icalcomponent* calendar) {
    Length length;
    if (icalproperty* endProp = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
        const icaltimetype end = zoned(icalproperty_get_dtend(endProp), endProp, calendar);
        if (start.is_date) {
            const QDate from(start.year, start.month, start.day);
            length.days = std::max<qint64>(0, from.daysTo(QDate(end.year, end.month, end.day)));
        } else {
            const QDateTime s = toDateTime(start);
            const QDateTime e = toDateTime(end);
            if (s.isValid() && e.isValid()) {
                length.seconds = std::max<qint64>(0, s.secsTo(e));
            }
        }
        return length;
    }
    if (icalproperty* dur = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        const int seconds = icaldurationtype_as_int(icalproperty_get_duration(dur));
        length.seconds = std::max(0, seconds);
        length.days = std::max(0, seconds / 86400);
        return length;
    }
    length.days = start.is_date ? 1 : 0;  // a date alone lasts that day; a time alone, no time
    return length;
}

struct EventText {
    std::optional<QString> title;
    std::optional<QUrl> url;
    std::optional<QString> location;
    std::optional<QString> notes;
};

EventText textOf(icalcomponent* event) {
    EventText text;
    text.title = nonEmpty(icalcomponent_get_summary(event));
    text.location = nonEmpty(icalcomponent_get_location(event));
    text.notes = nonEmpty(icalcomponent_get_description(event));
    if (icalproperty* url = icalcomponent_get_first_property(event, ICAL_URL_PROPERTY)) {
        const QString written = utf8(icalproperty_get_url(url)).trimmed();
        const QUrl parsed(written, QUrl::TolerantMode);
        if (!written.isEmpty() && parsed.isValid()) {
            text.url = parsed;
        }
    }
    return text;
}

class Expander {
public:
    Expander(icalcomponent* calendar, const QDateTime& from, const QDateTime& to,
             std::optional<QColor> color, std::vector<CalendarEvent>& out)
        : m_calendar(calendar), m_from(from), m_to(to), m_color(color), m_out(out) {}

    // One event with its overridden instances (same UID, with a RECURRENCE-ID).
    void expand(icalcomponent* master, const std::vector<icalcomponent*>& overrides) {
        icalproperty* startProp = icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY);
        if (!startProp) {
            return;
        }
        const icaltimetype dtstart =
            zoned(icalproperty_get_dtstart(startProp), startProp, m_calendar);
        if (!toDateTime(dtstart).isValid()) {
            return;  // an event without a usable start is left out, its siblings stay
        }
        const Length length = lengthOf(master, dtstart, m_calendar);
        std::vector<Instance> instances = instancesOf(master, dtstart, length);

        std::vector<Instance> excluded = exdatesOf(master);
        for (icalcomponent* over : overrides) {
            if (icalproperty* rid =
                    icalcomponent_get_first_property(over, ICAL_RECURRENCEID_PROPERTY)) {
                const icaltimetype t = zoned(icalproperty_get_recurrenceid(rid), rid, m_calendar);
                excluded.push_back({toDateTime(t), t.is_date != 0});
            }
        }
        // All-day instances and exclusions match by day; timed ones by the instant.
        QSet<qint64> excludedInstants;
        QSet<QDate> excludedDays;
        QSet<QDate> daysOfExcluded;
        for (const Instance& x : excluded) {
            if (!x.start.isValid()) {
                continue;
            }
            daysOfExcluded.insert(x.start.toLocalTime().date());
            if (x.isDate) {
                excludedDays.insert(x.start.toLocalTime().date());
            } else {
                excludedInstants.insert(x.start.toMSecsSinceEpoch());
            }
        }
        std::erase_if(instances, [&](const Instance& i) {
            const QDate day = i.start.toLocalTime().date();
            if (i.isDate) {
                return daysOfExcluded.contains(day);
            }
            return excludedInstants.contains(i.start.toMSecsSinceEpoch()) ||
                   excludedDays.contains(day);
        });

        const EventText text = textOf(master);
        std::vector<CalendarEvent> found;
        for (const Instance& instance : instances) {
            addIfInWindow(text, instance.start, instance.isDate, length, found);
        }
        for (icalcomponent* over : overrides) {
            single(over, found);
        }
        std::stable_sort(
            found.begin(), found.end(),
            [](const CalendarEvent& a, const CalendarEvent& b) { return a.start < b.start; });
        m_out.insert(m_out.end(), found.begin(), found.end());
    }

    // An overridden instance, or one whose recurring event is not in this file.
    void single(icalcomponent* event, std::vector<CalendarEvent>& found) {
        icalproperty* startProp = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
        if (!startProp) {
            startProp = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
        }
        if (!startProp) {
            return;
        }
        const icaltimetype start =
            zoned(icalvalue_get_datetime(icalproperty_get_value(startProp)), startProp, m_calendar);
        const QDateTime begins = toDateTime(start);
        if (!begins.isValid()) {
            return;
        }
        addIfInWindow(textOf(event), begins, start.is_date != 0, lengthOf(event, start, m_calendar),
                      found);
    }

private:
    // Only instances that can reach into the window are made: a rule is followed from the
    // window's start (less the event's length) rather than from its first instance, so an event
    // repeating every few minutes for years costs what the window holds, not its whole history.
    std::vector<Instance> instancesOf(icalcomponent* master, icaltimetype dtstart,
                                      const Length& length) const {
        std::vector<Instance> instances;
        QSet<qint64> known;
        auto add = [&](const QDateTime& start, bool isDate) {
            if (!start.isValid()) {
                return;
            }
            const QDateTime end =
                isDate ? start.addDays(length.days) : start.addSecs(length.seconds);
            if (!overlaps(start, end, m_from, m_to)) {
                return;
            }
            if (!known.contains(start.toMSecsSinceEpoch())) {
                known.insert(start.toMSecsSinceEpoch());
                instances.push_back({start, isDate});
            }
        };
        add(toDateTime(dtstart), dtstart.is_date != 0);  // the first instance, rule or not

        // A day's margin covers zone offsets and daylight-saving shifts between the two clocks.
        const QDateTime earliest =
            m_from.addSecs(-length.seconds).addDays(-length.days - 1).toUTC();
        const icaltimetype skipTo = inZoneOf(earliest, dtstart);
        for (icalproperty* p = icalcomponent_get_first_property(master, ICAL_RRULE_PROPERTY); p;
             p = icalcomponent_get_next_property(master, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype rule = icalproperty_get_rrule(p);
            icalrecur_iterator* it =
                icalrecur_iterator_new(rule, nearWindow(rule, dtstart, skipTo));
            if (!it) {
                continue;  // a rule libical cannot follow: the first instance stays
            }
            for (int step = 0; step < kMaxRecurrenceSteps; ++step) {
                icaltimetype next = icalrecur_iterator_next(it);
                if (icaltime_is_null_time(next)) {
                    break;
                }
                if (!next.is_date) {
                    icaltime_set_timezone(&next, dtstart.zone);
                }
                if (icaltime_compare(next, skipTo) < 0) {
                    continue;
                }
                const QDateTime start = toDateTime(next);
                if (!start.isValid() || start >= m_to) {
                    break;
                }
                add(start, next.is_date != 0);
            }
            icalrecur_iterator_free(it);
        }

        for (icalproperty* p = icalcomponent_get_first_property(master, ICAL_RDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(master, ICAL_RDATE_PROPERTY)) {
            const icaldatetimeperiodtype rdate = icalproperty_get_rdate(p);
            const icaltimetype t =
                icaltime_is_null_time(rdate.time) ? rdate.period.start : rdate.time;
            const icaltimetype at = zoned(t, p, m_calendar);
            add(toDateTime(at), at.is_date != 0);
        }
        return instances;
    }

    // Where to start following a rule so that it gives the same instances from `skipTo` on as it
    // would from its first one. Rules of a fixed period (seconds to weeks) are moved ahead by
    // whole periods, on the wall clock as libical counts them, so their phase is kept; others
    // (months and years, a few a year) and counted rules, which must be counted from their
    // first instance, start where they start.
    static icaltimetype nearWindow(const icalrecurrencetype& rule, icaltimetype dtstart,
                                   const icaltimetype& skipTo) {
        qint64 unit = 0;
        switch (rule.freq) {
            case ICAL_SECONDLY_RECURRENCE:
                unit = 1;
                break;
            case ICAL_MINUTELY_RECURRENCE:
                unit = 60;
                break;
            case ICAL_HOURLY_RECURRENCE:
                unit = 3600;
                break;
            case ICAL_DAILY_RECURRENCE:
                unit = 86400;
                break;
            case ICAL_WEEKLY_RECURRENCE:
                unit = 7 * 86400;
                break;
            default:
                return dtstart;
        }
        if (rule.count != 0 || dtstart.is_date != skipTo.is_date) {
            return dtstart;
        }
        const qint64 period = unit * std::max<qint64>(1, rule.interval);
        const qint64 ahead = wallSeconds(skipTo) - wallSeconds(dtstart);
        const qint64 periods = ahead / period - 1;  // one period to spare
        if (periods <= 0) {
            return dtstart;
        }
        const qint64 shift = periods * period;
        icaltime_adjust(&dtstart, static_cast<int>(shift / 86400), 0, 0,
                        static_cast<int>(shift % 86400));
        return dtstart;
    }

    // The fields of a time as seconds, ignoring its zone: the clock libical's periods run on.
    static qint64 wallSeconds(const icaltimetype& t) {
        const qint64 days = QDate(1970, 1, 1).daysTo(QDate(t.year, t.month, t.day));
        return days * 86400 + (t.is_date ? 0 : t.hour * 3600 + t.minute * 60 + t.second);
    }

    // `utc` as a time of the same kind as `like`: a date, a zoned time, or local wall-clock time.
    static icaltimetype inZoneOf(const QDateTime& utc, const icaltimetype& like) {
        const QDateTime local = utc.toLocalTime();
        icaltimetype t = icaltime_null_time();
        if (like.is_date) {
            t = icaltime_null_date();
            t.year = local.date().year();
            t.month = local.date().month();
            t.day = local.date().day();
            t.is_date = 1;
            return t;
        }
        if (like.zone) {
            t = icaltime_from_timet_with_zone(static_cast<time_t>(utc.toSecsSinceEpoch()), 0,
                                              icaltimezone_get_utc_timezone());
            icaltimezone_convert_time(&t, icaltimezone_get_utc_timezone(),
                                      const_cast<icaltimezone*>(like.zone));
            icaltime_set_timezone(&t, like.zone);
            return t;
        }
        t = icaltime_from_timet_with_zone(static_cast<time_t>(utc.toSecsSinceEpoch()), 0, nullptr);
        t.year = local.date().year();
        t.month = local.date().month();
        t.day = local.date().day();
        t.hour = local.time().hour();
        t.minute = local.time().minute();
        t.second = local.time().second();
        t.zone = nullptr;
        return t;
    }

    std::vector<Instance> exdatesOf(icalcomponent* master) const {
        std::vector<Instance> out;
        for (icalproperty* p = icalcomponent_get_first_property(master, ICAL_EXDATE_PROPERTY); p;
             p = icalcomponent_get_next_property(master, ICAL_EXDATE_PROPERTY)) {
            const icaltimetype t = zoned(icalproperty_get_exdate(p), p, m_calendar);
            out.push_back({toDateTime(t), t.is_date != 0});
        }
        return out;
    }

    void addIfInWindow(const EventText& text, const QDateTime& start, bool isDate,
                       const Length& length, std::vector<CalendarEvent>& found) const {
        const QDateTime end = isDate ? start.addDays(length.days) : start.addSecs(length.seconds);
        if (!overlaps(start, end, m_from, m_to)) {
            return;
        }
        CalendarEvent event;
        event.title = text.title;
        event.start = start;
        event.end = end;
        event.isAllDay = isDate;
        event.url = text.url;
        event.location = text.location;
        event.notes = text.notes;
        event.calendarColor = m_color;
        found.push_back(std::move(event));
    }

    icalcomponent* m_calendar;
    QDateTime m_from;
    QDateTime m_to;
    std::optional<QColor> m_color;
    std::vector<CalendarEvent>& m_out;
};

std::optional<QColor> calendarColor(icalcomponent* calendar) {
    std::optional<QColor> apple;
    for (icalproperty* p = icalcomponent_get_first_property(calendar, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(calendar, ICAL_ANY_PROPERTY)) {
        const QString name = utf8(icalproperty_get_property_name(p)).toUpper();
        if (name == QLatin1String("COLOR")) {
            if (auto color =
                    IcsCalendarStore::parseColor(utf8(icalproperty_get_value_as_string(p)))) {
                return color;
            }
        } else if (name == QLatin1String("X-APPLE-CALENDAR-COLOR") && !apple) {
            apple = IcsCalendarStore::parseColor(utf8(icalproperty_get_value_as_string(p)));
        }
    }
    return apple;
}

void parseCalendar(icalcomponent* calendar, const QDateTime& from, const QDateTime& to,
                   const std::optional<QColor>& fallbackColor, std::vector<CalendarEvent>& out) {
    std::optional<QColor> color = calendarColor(calendar);
    if (!color) {
        color = fallbackColor;
    }
    std::vector<icalcomponent*> masters;
    std::vector<std::pair<QString, icalcomponent*>> overrides;
    for (icalcomponent* c = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); c;
         c = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
        if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY)) {
            overrides.emplace_back(utf8(icalcomponent_get_uid(c)), c);
        } else {
            masters.push_back(c);
        }
    }
    Expander expander(calendar, from, to, color, out);
    QSet<QString> mastered;
    for (icalcomponent* master : masters) {
        const QString uid = utf8(icalcomponent_get_uid(master));
        std::vector<icalcomponent*> own;
        if (!uid.isEmpty()) {
            mastered.insert(uid);
            for (const auto& [overUid, over] : overrides) {
                if (overUid == uid) {
                    own.push_back(over);
                }
            }
        }
        expander.expand(master, own);
    }
    std::vector<CalendarEvent> orphans;
    for (const auto& [uid, over] : overrides) {
        if (uid.isEmpty() || !mastered.contains(uid)) {
            expander.single(over, orphans);
        }
    }
    out.insert(out.end(), orphans.begin(), orphans.end());
}

std::optional<QColor> folderColor(const QString& dir) {
    // Synchronisers keep a collection's colour in a small "color" file beside its events.
    QFile file(QDir(dir).filePath(QStringLiteral("color")));
    if (file.size() > 64 || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return IcsCalendarStore::parseColor(QString::fromUtf8(file.readAll()).trimmed());
}

// libical reads one physical line in time that grows with the square of its length: an
// unbroken megabyte costs it seconds, a file-sized line minutes. Folding long lines, which its
// reader undoes, keeps any file to linear time and changes nothing in what is read.
QByteArray foldLongLines(const QByteArray& text) {
    constexpr qsizetype kLongestLine = 4096;
    QByteArray folded;
    qsizetype lineStart = 0;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            lineStart = i + 1;
        } else if (i - lineStart >= kLongestLine && c != '\r') {
            folded.append(text.constData() + copied, i - copied).append("\r\n ");
            copied = lineStart = i;
        }
    }
    if (copied == 0) {
        return text;
    }
    return folded.append(text.constData() + copied, text.size() - copied);
}

QString homePath(const QString& path) {
    if (path == QLatin1String("~")) {
        return QDir::homePath();
    }
    if (path.startsWith(QLatin1String("~/"))) {
        return QDir::homePath() + path.mid(1);
    }
    return path;
}

}  // namespace

struct IcsCalendarStore::Scan {
    QStringList files;    // .ics files, in a stable order
    QStringList folders;  // every folder searched, for the watcher
};

// The occurrences of one file, expanded for a window, and what they were made from.
struct IcsCalendarStore::Parsed {
    qint64 size = 0;
    QDateTime modified;
    QByteArray zone;  // local times and dates depend on the system's zone
    std::optional<QColor> fallbackColor;
    QDateTime from;
    QDateTime to;
    std::vector<CalendarEvent> events;

    bool covers(const Parsed& wanted) const {
        return size == wanted.size && modified == wanted.modified && zone == wanted.zone &&
               fallbackColor == wanted.fallbackColor && from <= wanted.from && wanted.to <= to;
    }
};

struct IcsCalendarStore::Watch {
    explicit Watch(MainLoop& loop) : loop(loop) {
        QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, [this] { touched(); });
        QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, [this] { touched(); });
    }

    void touched() {
        if (settle.isActive()) {
            return;
        }
        settle = loop.postDelayed(kSettleSeconds, [this] {
            settle = TaskHandle();
            changed.send(0);
        });
    }

    void follow(const QStringList& folders, const QStringList& files) {
        QStringList wanted = folders;
        wanted += files.mid(0, kMaxWatchedFiles);
        const QStringList current = watcher.files() + watcher.directories();
        const QSet<QString> want(wanted.begin(), wanted.end());
        const QSet<QString> have(current.begin(), current.end());
        QStringList gone;
        for (const QString& path : have) {
            if (!want.contains(path)) {
                gone << path;
            }
        }
        QStringList added;
        for (const QString& path : wanted) {
            if (!have.contains(path)) {
                added << path;
            }
        }
        if (!gone.isEmpty()) {
            watcher.removePaths(gone);
        }
        if (!added.isEmpty()) {
            watcher.addPaths(added);
        }
    }

    MainLoop& loop;
    QFileSystemWatcher watcher;
    Signal<int> changed;
    TaskHandle settle;
};

IcsCalendarStore::IcsCalendarStore(MainLoop& loop, QStringList roots)
    : m_loop(loop), m_roots(std::move(roots)), m_watch(std::make_shared<Watch>(loop)) {}

IcsCalendarStore::~IcsCalendarStore() = default;

QStringList IcsCalendarStore::defaultRoots() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QStringList roots = {
        data + QStringLiteral("/korvo/calendars"),
        data + QStringLiteral("/vdirsyncer"),
        data + QStringLiteral("/calendars"),
        QDir::homePath() + QStringLiteral("/.calendars"),
        data + QStringLiteral("/evolution/calendar"),
    };
    roots += listedRoots(config + QStringLiteral("/korvo/calendars"));
    return roots;
}

QStringList IcsCalendarStore::listedRoots(const QString& listFile) {
    QFile file(listFile);
    if (file.size() > 64 * 1024 || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QStringList roots;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            roots << homePath(line);
        }
    }
    return roots;
}

bool IcsCalendarStore::requestAccess() {
    return std::any_of(m_roots.begin(), m_roots.end(), [](const QString& root) {
        const QFileInfo info(root);
        return info.exists() && info.isReadable() && (!info.isDir() || info.isExecutable());
    });
}

IcsCalendarStore::Scan IcsCalendarStore::scan(const QStringList& roots) {
    Scan scan;
    QSet<QString> seen;  // a folder reached twice (a link, overlapping roots) is read once
    auto addFile = [&](const QFileInfo& info) {
        const QString real = info.canonicalFilePath();
        if (!real.isEmpty() && !seen.contains(real)) {
            seen.insert(real);
            scan.files << info.absoluteFilePath();
        }
    };
    std::function<void(const QString&, int)> walk = [&](const QString& dir, int depth) {
        const QString real = QFileInfo(dir).canonicalFilePath();
        if (real.isEmpty() || seen.contains(real)) {
            return;
        }
        seen.insert(real);
        scan.folders << QFileInfo(dir).absoluteFilePath();
        const QDir folder(dir);
        const auto entries =
            folder.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& entry : entries) {
            if (entry.isDir()) {
                if (depth < kMaxDepth) {
                    walk(entry.absoluteFilePath(), depth + 1);
                }
            } else if (entry.suffix().compare(QLatin1String("ics"), Qt::CaseInsensitive) == 0) {
                addFile(entry);
            }
        }
    };
    for (const QString& root : roots) {
        const QFileInfo info(root);
        if (info.isDir()) {
            walk(root, 0);
        } else if (info.isFile()) {
            addFile(info);
        }
    }
    return scan;
}

std::vector<CalendarEvent> IcsCalendarStore::events(const QDateTime& from, const QDateTime& to) {
    const Scan found = scan(m_roots);
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    std::vector<CalendarEvent> out;
    QHash<QString, std::optional<QColor>> colors;
    QHash<QString, std::shared_ptr<const Parsed>> kept;
    for (const QString& path : found.files) {
        const QFileInfo info(path);
        const QString dir = info.absolutePath();
        if (!colors.contains(dir)) {
            colors.insert(dir, folderColor(dir));
        }
        const Parsed key{info.size(), info.lastModified(), zone, colors.value(dir), from, to, {}};
        std::shared_ptr<const Parsed> parsed;
        {
            std::lock_guard lock(m_cacheMutex);
            parsed = m_cache.value(path);
        }
        if (!parsed || !parsed->covers(key)) {
            QFile file(path);
            if (key.size > kMaxFileBytes || !file.open(QIODevice::ReadOnly)) {
                continue;
            }
            auto fresh = std::make_shared<Parsed>(key);
            fresh->to = to.addDays(kSpareDays);
            fresh->events = parse(file.readAll(), from, fresh->to, key.fallbackColor);
            parsed = std::move(fresh);
        }
        kept.insert(path, parsed);
        for (const CalendarEvent& e : parsed->events) {
            if (overlaps(e.start, e.end, from, to)) {
                out.push_back(e);
            }
        }
    }
    {
        std::lock_guard lock(m_cacheMutex);
        m_cache = std::move(kept);  // files that are gone are forgotten
    }
    // The watcher follows what was just read: new folders and files, not the removed ones.
    m_loop.post(
        [weak = std::weak_ptr<Watch>(m_watch), folders = found.folders, files = found.files] {
            if (auto watch = weak.lock()) {
                watch->follow(folders, files);
            }
        });
    return out;
}

Subscription IcsCalendarStore::observeChanges(std::function<void()> changed) {
    auto sub = m_watch->changed.subscribe([fn = std::move(changed)](int) { fn(); });
    // Start watching before the first read; the listing is done off the main thread.
    m_loop.runInBackground(Qos::utility,
                           [roots = m_roots, loop = &m_loop, weak = std::weak_ptr<Watch>(m_watch)] {
                               Scan found = scan(roots);
                               loop->post([weak, found = std::move(found)] {
                                   if (auto watch = weak.lock()) {
                                       watch->follow(found.folders, found.files);
                                   }
                               });
                           });
    return sub;
}

std::vector<CalendarEvent> IcsCalendarStore::parse(const QByteArray& text, const QDateTime& from,
                                                   const QDateTime& to,
                                                   const std::optional<QColor>& fallbackColor) {
    std::vector<CalendarEvent> out;
    if (text.isEmpty()) {
        return out;
    }
    std::lock_guard lock(icalMutex());
    icalerror_set_errors_are_fatal(0);
    icalcomponent* root = icalparser_parse_string(foldLongLines(text).constData());
    if (!root) {
        return out;
    }
    const icalcomponent_kind kind = icalcomponent_isa(root);
    if (kind == ICAL_VCALENDAR_COMPONENT) {
        parseCalendar(root, from, to, fallbackColor, out);
    } else if (kind == ICAL_XROOT_COMPONENT) {  // several calendars in one file
        for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT);
             c; c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT)) {
            parseCalendar(c, from, to, fallbackColor, out);
        }
    }
    icalcomponent_free(root);
    return out;
}

std::optional<QColor> IcsCalendarStore::parseColor(const QString& text) {
    const QString t = text.trimmed();
    // QColor reads eight hex digits as alpha first; calendars write alpha last.
    if (t.size() == 9 && t.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const uint rgba = t.mid(1).toUInt(&ok, 16);
        if (ok) {
            return QColor(int((rgba >> 24) & 0xff), int((rgba >> 16) & 0xff),
                          int((rgba >> 8) & 0xff), int(rgba & 0xff));
        }
        return std::nullopt;
    }
    const QColor color = QColor::fromString(t);
    return color.isValid() ? std::optional<QColor>(color) : std::nullopt;
}

}  // namespace korvo
