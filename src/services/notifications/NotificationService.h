#pragma once

#include "core/Cancellable.h"
#include "core/EventBus.h"
#include "core/MainLoop.h"
#include "core/TransientNotification.h"
#include "platform/NotificationMonitor.h"
#include "settings/Preferences.h"

#include <deque>
#include <map>
#include <optional>

namespace korvo {

/// Turns the desktop notifications other applications send into toasts, while
/// `desktopNotifications` is on. Every application seen is remembered in `notificationApps`
/// (unless the notification is transient) and may be switched off there. More than five from
/// one application within two seconds fold into one "N notifications from App" toast. The
/// texts go to the toast only: nothing here writes them to a log, and the engine logs the
/// title (the summary), never the body. Main-thread object.
class NotificationService {
public:
    /// More than this many notifications from one application ...
    static constexpr int kBurstLimit = 5;
    /// ... within this many seconds are a burst.
    static constexpr double kBurstWindow = 2;
    static constexpr int kMaxTitleLength = 80;
    static constexpr int kMaxBodyLength = 140;

    NotificationService(MainLoop& loop, EventBus& bus, NotificationPreferences& settings,
                        NotificationMonitor& monitor);
    NotificationService(const NotificationService&) = delete;
    NotificationService& operator=(const NotificationService&) = delete;

    /// Watches while the preference is on, from now on and whenever it changes.
    void start();

    /// The toast for one notification, lasting `duration` seconds.
    static TransientNotification toastFor(const DesktopNotification& n, double duration);
    /// The name a notification's application goes by in the list.
    static QString appLabel(const DesktopNotification& n);
    /// The symbol shown for a notification: by its category, else by its icon, desktop entry
    /// or application name, else a bell.
    static QString symbolFor(const DesktopNotification& n);
    /// Markup and entities taken out, white space folded, cut to `maxLength` with an ellipsis.
    static QString plainText(const QString& markup, int maxLength);

private:
    struct Burst {
        std::deque<double> times;  // arrivals within the window
        int folded = 0;            // held back since the burst began
        std::optional<DesktopNotification> last;
        ActivityPriority priority = ActivityPriority::low;
        TaskHandle flush;
    };

    void follow();
    void received(const DesktopNotification& n);
    void flush(const QString& app);
    void post(const DesktopNotification& n);
    void forgetQuietApps();

    MainLoop& m_loop;
    EventBus& m_bus;
    NotificationPreferences& m_settings;
    NotificationMonitor& m_monitor;
    Subscription m_settingsChanges;
    Subscription m_watch;
    std::map<QString, Burst> m_bursts;
    LifeToken m_life;
};

}  // namespace korvo
