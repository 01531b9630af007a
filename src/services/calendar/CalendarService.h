#pragma once

#include "activities/Activity.h"
#include "core/Cancellable.h"
#include "core/EventBus.h"
#include "core/MainLoop.h"
#include "core/Published.h"
#include "platform/CalendarStore.h"
#include "platform/LinkDetector.h"
#include "settings/Preferences.h"

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

namespace korvo {

/// Keeps the next few timed events of the user's calendars and publishes the earliest as the
/// calendar activity, whose priority rises as its start approaches. Main-thread object; the store
/// is read in the background.
class CalendarService {
public:
    /// One row of the meeting-link rules: a link containing `fragment` belongs to `name`.
    struct LinkRule {
        QString fragment;
        QString name;
    };

    struct JoinLink {
        std::optional<QUrl> url;
        std::optional<QString> provider;
    };

    static const QString activityID;

    static constexpr double kRefreshInterval = 30;
    static constexpr double kRefreshTolerance = 5;
    static constexpr qint64 kLookBackSeconds = 4 * 3600;  // meetings that are still running
    static constexpr int kLookAheadDays = 5;
    static constexpr std::size_t kMaxUpcoming = 6;
    static constexpr double kImminentSeconds = 120;

    /// `detector` may be null: events then get only the link of their URL field.
    CalendarService(MainLoop& loop, EventBus& bus, CalendarPreferences& settings,
                    std::shared_ptr<CalendarStore> store,
                    std::shared_ptr<const LinkDetector> detector);
    ~CalendarService();
    CalendarService(const CalendarService&) = delete;
    CalendarService& operator=(const CalendarService&) = delete;

    /// Asks the store for access; once granted, refreshes now, every 30 s and on every change of
    /// the store. Call once.
    void start();

    /// At most six timed events, earliest start first.
    Published<std::vector<CalendarEventInfo>> upcoming;
    /// The answer to the access request; false until it arrives.
    Published<bool> accessGranted{false};

    /// The seven rows, in the order they are tried.
    static const std::vector<LinkRule>& linkRules();

private:
    void onAccess(bool granted);
    void refresh();
    void apply(const QDateTime& now, std::vector<CalendarEvent> events);
    void endActivity();

    static CalendarEventInfo info(const CalendarEvent& event, const LinkDetector* detector);
    static JoinLink joinLink(const CalendarEvent& event, const LinkDetector* detector);

    MainLoop& m_loop;
    EventBus& m_bus;
    CalendarPreferences& m_settings;
    std::shared_ptr<CalendarStore> m_store;
    std::shared_ptr<const LinkDetector> m_detector;

    TaskHandle m_timer;
    Subscription m_storeChanges;
    std::optional<CalendarEventInfo> m_lastActivityInfo;
    bool m_started = false;
    bool m_fetching = false;
    bool m_refreshAgain = false;  // a refresh was asked for while the store was being read
    LifeToken m_life;
};

}  // namespace korvo
