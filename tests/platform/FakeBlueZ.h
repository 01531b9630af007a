#pragma once

#include "DBusTestBus.h"
#include "platform/linux/BlueZHub.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>

#include <optional>

namespace korvo::testing {

using BlueZInterfaces = QMap<QString, QVariantMap>;
using BlueZObjects = QMap<QDBusObjectPath, BlueZInterfaces>;

/// bluetoothd: a powered adapter and Device1 objects (with Battery1 where a level is known)
/// behind the object manager at "/", each device's properties, and the signals for changes.
class FakeBlueZ : public FakeService {
public:
    FakeBlueZ() : FakeService(QStringLiteral("org.bluez"), QStringLiteral("/")) {
        qDBusRegisterMetaType<BlueZInterfaces>();
        qDBusRegisterMetaType<BlueZObjects>();
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QVariant answer;
        {
            std::lock_guard lock(mutex);
            if (message.path() == QLatin1String("/") &&
                message.member() == QLatin1String("GetManagedObjects")) {
                BlueZObjects objects;
                objects.insert(
                    QDBusObjectPath("/org/bluez/hci0"),
                    {{QStringLiteral("org.bluez.Adapter1"), {{QStringLiteral("Powered"), true}}}});
                for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
                    objects.insert(QDBusObjectPath(it.key()), it.value());
                }
                answer = QVariant::fromValue(objects);
            } else if (message.member() == QLatin1String("GetAll") &&
                       message.arguments().value(0).toString() == BlueZHub::kDeviceInterface &&
                       m_objects.contains(message.path())) {
                answer =
                    QVariant(m_objects.value(message.path()).value(BlueZHub::kDeviceInterface));
            } else {
                return false;
            }
        }
        connection.send(message.createReply(answer));
        ++calls;
        return true;
    }

    /// `announce`: with InterfacesAdded, as for a newly paired device; else quietly, as for a
    /// device whose signal the listener missed.
    void add(const QString& path, const QVariantMap& device, bool announce = false,
             std::optional<int> battery = std::nullopt) {
        BlueZInterfaces interfaces{{BlueZHub::kDeviceInterface, device}};
        if (battery) {
            interfaces.insert(
                QStringLiteral("org.bluez.Battery1"),
                {{QStringLiteral("Percentage"), QVariant::fromValue(uchar(*battery))}});
        }
        {
            std::lock_guard lock(mutex);
            m_objects.insert(path, interfaces);
        }
        if (announce) {
            emitSignal(
                QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                QStringLiteral("InterfacesAdded"),
                {QVariant::fromValue(QDBusObjectPath(path)),
                 QVariant::fromValue(BlueZInterfaces{{BlueZHub::kDeviceInterface, device}})});
        }
    }
    void remove(const QString& path) {
        {
            std::lock_guard lock(mutex);
            m_objects.remove(path);
        }
        emitSignal(
            QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.ObjectManager"),
            QStringLiteral("InterfacesRemoved"),
            {QVariant::fromValue(QDBusObjectPath(path)), QStringList{BlueZHub::kDeviceInterface}});
    }
    void setConnected(const QString& path, bool connected) {
        {
            std::lock_guard lock(mutex);
            m_objects[path][BlueZHub::kDeviceInterface].insert(QStringLiteral("Connected"),
                                                               connected);
        }
        emitPropertiesChanged(path, BlueZHub::kDeviceInterface,
                              {{QStringLiteral("Connected"), connected}});
    }

    /// A changed battery level, announced as BlueZ does.
    void setBattery(const QString& path, int percentage) {
        const QVariant level = QVariant::fromValue(uchar(percentage));
        {
            std::lock_guard lock(mutex);
            m_objects[path][QStringLiteral("org.bluez.Battery1")].insert(
                QStringLiteral("Percentage"), level);
        }
        emitPropertiesChanged(path, QStringLiteral("org.bluez.Battery1"),
                              {{QStringLiteral("Percentage"), level}});
    }

private:
    QMap<QString, BlueZInterfaces> m_objects;
};

}  // namespace korvo::testing
