#pragma once

#include "DBusTestBus.h"

#include <QDBusObjectPath>

namespace korvo::testing {

/// upowerd's device list: each device's properties, `DeviceAdded` for new ones and
/// `PropertiesChanged` for changes.
class FakeUPowerDevices : public FakeService {
public:
    FakeUPowerDevices()
        : FakeService(QStringLiteral("org.freedesktop.UPower"),
                      QStringLiteral("/org/freedesktop/UPower")) {}

    static QString pathOf(const QString& name) {
        return QStringLiteral("/org/freedesktop/UPower/devices/") + name;
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QVariant answer;
        {
            std::lock_guard lock(mutex);
            if (message.path() == QLatin1String("/org/freedesktop/UPower") &&
                message.member() == QLatin1String("EnumerateDevices")) {
                QList<QDBusObjectPath> paths;
                for (const auto& path : m_devices.keys()) {
                    paths << QDBusObjectPath(path);
                }
                answer = QVariant::fromValue(paths);
                ++enumerations;
            } else if (message.member() == QLatin1String("GetAll") &&
                       message.arguments().value(0).toString() ==
                           QLatin1String("org.freedesktop.UPower.Device") &&
                       m_devices.contains(message.path())) {
                answer = QVariant(m_devices.value(message.path()));
            } else {
                return false;
            }
        }
        connection.send(message.createReply(answer));
        ++calls;
        return true;
    }

    /// Sets a device quietly, as one the listener has not been told about yet.
    void set(const QString& name, uint type, const QString& model, double percentage,
             uint state = 2) {
        std::lock_guard lock(mutex);
        m_devices.insert(pathOf(name), {{QStringLiteral("Type"), type},
                                        {QStringLiteral("Model"), model},
                                        {QStringLiteral("Percentage"), percentage},
                                        {QStringLiteral("State"), state},
                                        {QStringLiteral("IsPresent"), true}});
    }
    /// A new device, announced with `DeviceAdded`.
    void add(const QString& name, uint type, const QString& model, double percentage) {
        set(name, type, model, percentage);
        emitSignal(QStringLiteral("/org/freedesktop/UPower"),
                   QStringLiteral("org.freedesktop.UPower"), QStringLiteral("DeviceAdded"),
                   {QVariant::fromValue(QDBusObjectPath(pathOf(name)))});
    }
    /// A changed level, announced with `PropertiesChanged`.
    void setPercentage(const QString& name, double percentage) {
        {
            std::lock_guard lock(mutex);
            m_devices[pathOf(name)].insert(QStringLiteral("Percentage"), percentage);
        }
        emitPropertiesChanged(pathOf(name), QStringLiteral("org.freedesktop.UPower.Device"),
                              {{QStringLiteral("Percentage"), percentage}});
    }

    std::atomic<int> enumerations{0};

private:
    QMap<QString, QVariantMap> m_devices;
};

}  // namespace korvo::testing
