#include "DBusNotificationMonitor.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QPointer>

#include <atomic>

namespace korvo {

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kMatchRule =
    QStringLiteral("type='method_call',interface='org.freedesktop.Notifications',member='Notify'");

QString hintString(const QVariantMap& hints, const char* key) {
    const QVariant v = hints.value(QLatin1String(key));
    return v.metaType().id() == QMetaType::QString ? v.toString() : QString();
}

// Runs `fn` on the monitor's own (main) thread, unless the monitor is gone.
template <typename Fn>
void later(const QPointer<DBusNotificationMonitor>& self, Fn fn) {
    if (auto* monitor = self.data()) {
        QMetaObject::invokeMethod(monitor, std::move(fn), Qt::QueuedConnection);
    }
}

// Receives what the bus copies to the monitor. Qt may call it off the main thread; it only
// parses and hands the result over.
class Sink final : public QDBusVirtualObject {
public:
    explicit Sink(std::function<void(DesktopNotification)> deliver)
        : m_deliver(std::move(deliver)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override {
        if (auto notification = DBusNotificationMonitor::parseNotify(message)) {
            m_deliver(std::move(*notification));
        }
        // Claimed, so Qt never answers in the daemon's place: a monitor must not send.
        return true;
    }

private:
    std::function<void(DesktopNotification)> m_deliver;
};

}  // namespace

struct DBusNotificationMonitor::Session {
    QString connectionName;
    Sink* sink = nullptr;
    std::function<void(const DesktopNotification&)> seen;
    std::function<void(NotificationMonitorStatus)> status;
};

DBusNotificationMonitor::DBusNotificationMonitor(QString address, QObject* parent)
    : QObject(parent), m_address(std::move(address)) {}

DBusNotificationMonitor::~DBusNotificationMonitor() {
    stop(m_generation);
}

std::optional<DesktopNotification> DBusNotificationMonitor::parseNotify(
    const QDBusMessage& message) {
    if (message.type() != QDBusMessage::MethodCallMessage || message.interface() != kInterface ||
        message.member() != QLatin1String("Notify")) {
        return std::nullopt;
    }
    // susssasa{sv}i; a call of another shape is the daemon's to refuse, not ours to read.
    const QList<QVariant> args = message.arguments();
    if (args.size() != 8) {
        return std::nullopt;
    }
    for (int i : {0, 2, 3, 4}) {
        if (args.at(i).metaType().id() != QMetaType::QString) {
            return std::nullopt;
        }
    }
    DesktopNotification n;
    n.appName = args.at(0).toString();
    n.appIcon = args.at(2).toString();
    n.summary = args.at(3).toString();
    n.body = args.at(4).toString();
    QVariantMap hints;
    if (args.at(6).userType() == qMetaTypeId<QDBusArgument>()) {
        const auto arg = args.at(6).value<QDBusArgument>();
        if (arg.currentSignature() == QLatin1String("a{sv}")) {
            arg >> hints;
        }
    } else {
        hints = args.at(6).toMap();
    }
    n.category = hintString(hints, "category");
    n.desktopEntry = hintString(hints, "desktop-entry");
    bool hasUrgency = false;
    const int urgency = hints.value(QStringLiteral("urgency")).toInt(&hasUrgency);
    if (hasUrgency) {
        n.urgency = urgency;
    }
    // A boolean by the book; some senders use a number.
    n.transient = hints.value(QStringLiteral("transient")).toBool();
    return n;
}

Subscription DBusNotificationMonitor::watch(std::function<void(const DesktopNotification&)> seen,
                                            std::function<void(NotificationMonitorStatus)> status) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    stop(m_generation);
    const int generation = ++m_generation;
    m_session = std::make_unique<Session>();
    // Qt shares connections by name: every watch of every monitor gets a name of its own.
    static std::atomic<int> watches{0};
    m_session->connectionName =
        QStringLiteral("korvo-notification-monitor-") + QString::number(++watches);
    m_session->seen = std::move(seen);
    m_session->status = std::move(status);

    QPointer<DBusNotificationMonitor> self(this);
    // Answers reach the service on the main thread, and only while this watch lasts.
    auto report = [self, generation](NotificationMonitorStatus s) {
        later(self, [self, generation, s] {
            if (self && self->m_session && self->m_generation == generation) {
                const auto fn = self->m_session->status;
                if (s == NotificationMonitorStatus::refused ||
                    s == NotificationMonitorStatus::unavailable) {
                    self->stop(generation);  // nothing more will come on it
                }
                fn(s);
            }
        });
    };

    QDBusConnection connection =
        m_address.isEmpty()
            ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_session->connectionName)
            : QDBusConnection::connectToBus(m_address, m_session->connectionName);
    if (!connection.isConnected()) {
        report(NotificationMonitorStatus::unavailable);
    } else {
        m_session->sink = new Sink([self, generation](DesktopNotification n) {
            later(self, [self, generation, n = std::move(n)] {
                if (self && self->m_session && self->m_generation == generation) {
                    self->m_session->seen(n);
                }
            });
        });
        connection.registerVirtualObject(QStringLiteral("/"), m_session->sink,
                                         QDBusConnection::SubPath);
        auto become = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Monitoring"), QStringLiteral("BecomeMonitor"));
        become << QStringList{kMatchRule} << 0u;
        auto* watcher =
            new QDBusPendingCallWatcher(connection.asyncCall(become, kCallTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [report](QDBusPendingCallWatcher* w) {
                    w->deleteLater();
                    report(w->isError() ? NotificationMonitorStatus::refused
                                        : NotificationMonitorStatus::watching);
                });
    }
    return Subscription([self, generation] {
        if (self) {
            self->stop(generation);
        }
    });
}

void DBusNotificationMonitor::stop(int generation) {
    if (!m_session || generation != m_generation) {
        return;
    }
    auto session = std::move(m_session);
    QDBusConnection connection(session->connectionName);
    if (session->sink) {
        connection.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
        session->sink->deleteLater();
    }
    QDBusConnection::disconnectFromBus(session->connectionName);
}

}  // namespace korvo
