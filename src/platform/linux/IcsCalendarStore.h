#pragma once

#include "core/MainLoop.h"
#include "core/Published.h"
#include "platform/CalendarStore.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <memory>
#include <mutex>

namespace korvo {

/// The user's calendars as iCalendar files, read with libical: every .ics file under a list of
/// folders (a folder of one-event files, as calendar synchronisers keep them, works the same
/// way). Recurring events are expanded inside the asked window. Files are watched for changes.
class IcsCalendarStore final : public CalendarStore {
public:
    /// `roots` are folders searched for .ics files, or single .ics files. Create it on the main
    /// thread: the file watcher lives there.
    IcsCalendarStore(MainLoop& loop, QStringList roots);
    ~IcsCalendarStore() override;
    IcsCalendarStore(const IcsCalendarStore&) = delete;
    IcsCalendarStore& operator=(const IcsCalendarStore&) = delete;

    /// Korvo's own calendar folder, the usual folders of calendar synchronisers, the desktop
    /// mail client's local calendars, and the folders listed in ~/.config/korvo/calendars.
    static QStringList defaultRoots();
    /// The folders listed in a text file, one per line; "~/" is the home folder, "#" starts a
    /// comment line.
    static QStringList listedRoots(const QString& listFile);

    /// Granted when at least one of the roots can be read.
    bool requestAccess() override;
    std::vector<CalendarEvent> events(const QDateTime& from, const QDateTime& to) override;
    Subscription observeChanges(std::function<void()> changed) override;

    /// The occurrences in one iCalendar text that overlap [from, to]. `fallbackColor` stands in
    /// for a calendar without a colour of its own. Nothing for a text that does not parse.
    static std::vector<CalendarEvent> parse(const QByteArray& text, const QDateTime& from,
                                            const QDateTime& to,
                                            const std::optional<QColor>& fallbackColor = {});
    /// A calendar colour as iCalendar files write it: a CSS colour, "#RRGGBB" or "#RRGGBBAA".
    static std::optional<QColor> parseColor(const QString& text);

    /// A burst of file changes (an editor saving, a synchroniser writing a folder) is one change.
    static constexpr double kSettleSeconds = 0.5;
    /// Larger files are not calendars anyone keeps by hand; they are skipped.
    static constexpr qint64 kMaxFileBytes = 32 * 1024 * 1024;
    /// A file is expanded this far beyond the asked window, so that the following reads, whose
    /// window has moved on a little, need not parse it again while it is unchanged.
    static constexpr int kSpareDays = 1;

private:
    struct Watch;
    struct Scan;
    struct Parsed;

    static Scan scan(const QStringList& roots);

    MainLoop& m_loop;
    const QStringList m_roots;
    std::shared_ptr<Watch> m_watch;
    std::mutex m_cacheMutex;
    QHash<QString, std::shared_ptr<const Parsed>> m_cache;  // by path
};

}  // namespace korvo
