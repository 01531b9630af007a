#pragma once

#include "core/MainThread.h"
#include "platform/HostStats.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>

class QDBusMessage;

namespace korvo {

/// Low-power mode as power-profiles-daemon's active profile: on while it is "power-saver". The
/// profile is read asynchronously and kept, re-read when the daemon says it changed, so asking
/// never blocks. The daemon's current name and its older one are both understood; no daemon is
/// no low-power mode. Main-thread object.
class PowerProfilesLowPowerMode final : public QObject, public LowPowerMode {
    Q_OBJECT
public:
    struct Endpoint {
        QString service;
        QString path;
        QString interface;
    };
    /// The current name first, then the one older daemons still use.
    static const Endpoint& current();
    static const Endpoint& legacy();

    /// `connection` is the system bus in the program and a private bus in tests.
    explicit PowerProfilesLowPowerMode(QDBusConnection connection, QObject* parent = nullptr);

    bool isLowPowerModeEnabled() const override;

    /// Whether the daemon's active profile saves power.
    static bool savesPower(const QString& activeProfile);

private slots:
    void propertiesChanged(const QDBusMessage& message);
    void serviceRegistered(const QString& service);
    void serviceUnregistered(const QString& service);

private:
    void read(const Endpoint& endpoint);
    const Endpoint* endpointFor(const QString& service) const;

    QDBusConnection m_connection;
    QDBusServiceWatcher m_watcher;
    QString m_activeProfile;
    QString m_source;      // the service the profile was last read from
    int m_generation = 0;  // bumped when a daemon goes away, so late answers are dropped
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
