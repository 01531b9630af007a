#pragma once

#include "core/Cancellable.h"

#include <QString>

#include <functional>
#include <optional>

namespace korvo {

/// One desktop notification as an application sent it to the notification daemon
/// (`org.freedesktop.Notifications.Notify`). Texts are as sent: the body may hold markup.
/// Images ("image-data", "image-path") are not read: the island draws symbols, and a sender's
/// picture is often a person's face.
struct DesktopNotification {
    QString appName;
    QString appIcon;  // an icon theme name or a file URL; empty when none
    QString summary;
    QString body;
    QString category;            // the "category" hint, e.g. "email.arrived"
    QString desktopEntry;        // the "desktop-entry" hint
    std::optional<int> urgency;  // 0 low, 1 normal, 2 critical
    bool transient = false;      // the sender asks that it not be kept

    bool operator==(const DesktopNotification& other) const = default;
};

/// Where watching stands.
enum class NotificationMonitorStatus {
    off,          // not asked to watch
    starting,     // asked; the bus has not answered yet
    watching,     // every notification sent on the bus is seen
    refused,      // the bus does not let Korvo watch
    unavailable,  // no session bus to watch
};

/// Watches the notifications other applications send, without taking part: the user's own
/// notification daemon still receives and shows every one of them.
class NotificationMonitor {
public:
    virtual ~NotificationMonitor() = default;

    /// Starts watching. `seen` runs on the main thread for every notification sent; `status`
    /// on the main thread whenever watching changes state. Ending the subscription stops
    /// watching.
    virtual Subscription watch(std::function<void(const DesktopNotification&)> seen,
                               std::function<void(NotificationMonitorStatus)> status) = 0;
};

}  // namespace korvo
