#pragma once

#include <QDBusArgument>

#include "core/MainThread.h"
#include "core/Published.h"
#include "platform/BluetoothHub.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QVariantMap>

#include <vector>

class QDBusMessage;

namespace korvo {

/// Connection notices from BlueZ: `org.bluez.Device1` objects and their `Connected` property.
/// Devices are learnt from the object manager and kept with their names, so a notice carries
/// the name even when the device is gone by the time it disconnects. No BlueZ is quietly no
/// notices; BlueZ appearing later is picked up. Main-thread object.
class BlueZHub final : public QObject, public BluetoothHub {
    Q_OBJECT
public:
    static inline const QString kService = QStringLiteral("org.bluez");
    static inline const QString kDeviceInterface = QStringLiteral("org.bluez.Device1");

    /// `connection` is the system bus in the program and a private bus in tests.
    explicit BlueZHub(QDBusConnection connection, QObject* parent = nullptr);
    ~BlueZHub() override;

    Subscription watchConnections(std::function<void(const BluetoothPeer&)> connected,
                                  std::function<void(const BluetoothPeer&)> disconnected) override;

    /// The name to show for a device with these `Device1` properties: the alias, unless BlueZ
    /// made it up from the address for a device that never told its name.
    static std::optional<QString> displayName(const QVariantMap& properties);
    /// a{sa{sv}}, read by hand: interface name -> its properties.
    static QMap<QString, QVariantMap> readInterfaces(const QDBusArgument& arg);

private slots:
    void propertiesChanged(const QDBusMessage& message);
    void interfacesAdded(const QDBusMessage& message);
    void interfacesRemoved(const QDBusMessage& message);
    void serviceRegistered();
    void serviceUnregistered();

private:
    struct Device {
        QVariantMap properties;
        bool connected = false;
        bool nameKnown = false;
        bool lookingUp = false;
        std::vector<bool> waiting;  // connection changes held back until the name arrives
    };

    void begin();
    void loadManagedObjects();
    void connectionChanged(const QString& path, bool connected);
    void announce(const QString& path, bool connected);
    void lookUpName(const QString& path);

    QDBusConnection m_connection;
    QDBusServiceWatcher m_serviceWatcher;
    QHash<QString, Device> m_devices;  // by object path
    bool m_begun = false;
    int m_generation = 0;  // bumped when BlueZ goes away, so late answers are dropped
    Signal<BluetoothPeer> m_connected;
    Signal<BluetoothPeer> m_disconnected;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
