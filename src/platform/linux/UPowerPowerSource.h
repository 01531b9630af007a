#pragma once

#include "core/MainThread.h"
#include "core/Published.h"
#include "platform/PowerSource.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QVariantMap>

#include <optional>
#include <variant>

class QDBusMessage;
class QDBusPendingCallWatcher;

namespace korvo {

/// The power sources as UPower's display device tells them: the composite battery the desktop
/// shows, plus the daemon's own idea of whether the machine runs on battery. Both are read
/// asynchronously and cached, re-read after each `PropertiesChanged`. No UPower, or no battery,
/// is no reading; UPower appearing later is picked up. Main-thread object.
class UPowerPowerSource final : public QObject, public PowerSource {
    Q_OBJECT
public:
    static inline const QString kService = QStringLiteral("org.freedesktop.UPower");
    static inline const QString kDaemonPath = QStringLiteral("/org/freedesktop/UPower");
    static inline const QString kDisplayDevicePath =
        QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");

    /// `connection` is the system bus in the program and a private bus in tests.
    explicit UPowerPowerSource(QDBusConnection connection, QObject* parent = nullptr);
    ~UPowerPowerSource() override;

    std::optional<PowerSourceDescription> firstSource() const override;
    Subscription observe(std::function<void()> changed) override;

    /// The description of UPower's display device (`org.freedesktop.UPower.Device` properties)
    /// given the daemon's `OnBattery`, when known; nothing when no battery is present.
    static std::optional<PowerSourceDescription> describe(const QVariantMap& device,
                                                          std::optional<bool> onBattery);

private slots:
    void propertiesChanged(const QDBusMessage& message);
    void serviceRegistered();
    void serviceUnregistered();

private:
    struct Object {
        QString path;
        QString interface;
        std::optional<QVariantMap> properties;
        QDBusPendingCallWatcher* inFlight = nullptr;
        bool stale = false;  // changed again while a read was in flight
    };

    void begin();
    void read(Object& object);
    Object* objectAt(const QString& path);

    QDBusConnection m_connection;
    QDBusServiceWatcher m_serviceWatcher;
    Object m_daemon;
    Object m_device;
    bool m_begun = false;
    Signal<std::monostate> m_changed;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
