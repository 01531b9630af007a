#pragma once

#include "core/MainThread.h"
#include "platform/NotificationMonitor.h"

#include <QObject>
#include <QString>

#include <memory>

class QDBusMessage;

namespace korvo {

/// Watches `org.freedesktop.Notifications.Notify` calls on the session bus as a bus monitor
/// (`org.freedesktop.DBus.Monitoring.BecomeMonitor`) on a connection of its own. A monitor only
/// receives: it never owns the notifications name and never answers a call, so the user's
/// notification daemon keeps receiving and showing everything. It sees nothing but the Notify
/// calls it asked for. A bus that refuses monitoring reports `refused`; no bus reports
/// `unavailable`. Main-thread object.
class DBusNotificationMonitor final : public QObject, public NotificationMonitor {
    Q_OBJECT
public:
    /// `address` is a bus address for tests; empty means the session bus.
    explicit DBusNotificationMonitor(QString address = {}, QObject* parent = nullptr);
    ~DBusNotificationMonitor() override;

    Subscription watch(std::function<void(const DesktopNotification&)> seen,
                       std::function<void(NotificationMonitorStatus)> status) override;

    /// The notification a Notify call carries (`susssasa{sv}i`), or nothing when the message is
    /// not such a call.
    static std::optional<DesktopNotification> parseNotify(const QDBusMessage& message);

    static constexpr int kCallTimeoutMs = 5000;

private:
    struct Session;

    void stop(int generation);

    QString m_address;
    std::unique_ptr<Session> m_session;
    int m_generation = 0;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
