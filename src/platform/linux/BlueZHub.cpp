#include "BlueZHub.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <memory>
#include <utility>

namespace korvo {

namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kObjectManagerInterface = QStringLiteral("org.freedesktop.DBus.ObjectManager");
constexpr int kCallTimeoutMs = 5000;

}  // namespace

BlueZHub::BlueZHub(QDBusConnection connection, QObject* parent)
    : QObject(parent),
      m_connection(std::move(connection)),
      m_serviceWatcher(kService, m_connection,
                       QDBusServiceWatcher::WatchForRegistration |
                           QDBusServiceWatcher::WatchForUnregistration) {}

BlueZHub::~BlueZHub() = default;

Subscription BlueZHub::watchConnections(std::function<void(const BluetoothPeer&)> connected,
                                        std::function<void(const BluetoothPeer&)> disconnected) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    auto a = std::make_shared<Subscription>(m_connected.subscribe(std::move(connected)));
    auto b = std::make_shared<Subscription>(m_disconnected.subscribe(std::move(disconnected)));
    begin();
    return Subscription([a, b] {
        a->cancel();
        b->cancel();
    });
}

QMap<QString, QVariantMap> BlueZHub::readInterfaces(const QDBusArgument& arg) {
    QMap<QString, QVariantMap> interfaces;
    arg.beginMap();
    while (!arg.atEnd()) {
        QString name;
        QVariantMap properties;
        arg.beginMapEntry();
        arg >> name >> properties;
        arg.endMapEntry();
        interfaces.insert(name, properties);
    }
    arg.endMap();
    return interfaces;
}

std::optional<QString> BlueZHub::displayName(const QVariantMap& properties) {
    const QString alias = properties.value(QStringLiteral("Alias")).toString();
    const QString name = properties.value(QStringLiteral("Name")).toString();
    const QString address = properties.value(QStringLiteral("Address")).toString();
    // Without a name BlueZ sets the alias to the address written with dashes.
    const bool madeUpAlias =
        !address.isEmpty() && alias == QString(address).replace(QLatin1Char(':'), QLatin1Char('-'));
    if (!alias.isEmpty() && !(madeUpAlias && name.isEmpty())) {
        return alias;
    }
    if (!name.isEmpty()) {
        return name;
    }
    return std::nullopt;
}

void BlueZHub::begin() {
    if (m_begun || !m_connection.isConnected()) {
        return;
    }
    m_begun = true;
    m_connection.connect(kService, QString(), kPropertiesInterface,
                         QStringLiteral("PropertiesChanged"), {kDeviceInterface}, QString(), this,
                         SLOT(propertiesChanged(QDBusMessage)));
    m_connection.connect(kService, QStringLiteral("/"), kObjectManagerInterface,
                         QStringLiteral("InterfacesAdded"), this,
                         SLOT(interfacesAdded(QDBusMessage)));
    m_connection.connect(kService, QStringLiteral("/"), kObjectManagerInterface,
                         QStringLiteral("InterfacesRemoved"), this,
                         SLOT(interfacesRemoved(QDBusMessage)));
    connect(&m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this,
            &BlueZHub::serviceRegistered);
    connect(&m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &BlueZHub::serviceUnregistered);
    loadManagedObjects();
}

void BlueZHub::loadManagedObjects() {
    auto call =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/"), kObjectManagerInterface,
                                       QStringLiteral("GetManagedObjects"));
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, kCallTimeoutMs), this);
    const int generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusMessage reply = w->reply();
                if (generation != m_generation || reply.type() != QDBusMessage::ReplyMessage ||
                    reply.arguments().isEmpty()) {
                    return;
                }
                // a{oa{sa{sv}}}. What is connected now is the baseline, not news.
                const auto arg = reply.arguments().first().value<QDBusArgument>();
                arg.beginMap();
                while (!arg.atEnd()) {
                    QDBusObjectPath path;
                    arg.beginMapEntry();
                    arg >> path;
                    const auto interfaces = readInterfaces(arg);
                    arg.endMapEntry();
                    const auto device = interfaces.find(kDeviceInterface);
                    if (device == interfaces.end() || m_devices.contains(path.path())) {
                        continue;  // a signal about it already arrived and is newer
                    }
                    Device& d = m_devices[path.path()];
                    d.properties = *device;
                    d.connected = device->value(QStringLiteral("Connected")).toBool();
                    d.nameKnown = true;
                }
                arg.endMap();
            });
}

void BlueZHub::propertiesChanged(const QDBusMessage& message) {
    const auto args = message.arguments();
    if (args.size() < 2 || args.at(0).toString() != kDeviceInterface) {
        return;
    }
    const auto changed = qdbus_cast<QVariantMap>(args.at(1));
    Device& d = m_devices[message.path()];
    for (auto it = changed.begin(); it != changed.end(); ++it) {
        d.properties.insert(it.key(), it.value());
    }
    const auto connected = changed.find(QStringLiteral("Connected"));
    if (connected != changed.end()) {
        connectionChanged(message.path(), connected->toBool());
    }
}

void BlueZHub::interfacesAdded(const QDBusMessage& message) {
    const auto args = message.arguments();
    if (args.size() < 2) {
        return;
    }
    const QString path = qdbus_cast<QDBusObjectPath>(args.at(0)).path();
    const auto interfaces = readInterfaces(args.at(1).value<QDBusArgument>());
    const auto device = interfaces.find(kDeviceInterface);
    if (device == interfaces.end()) {
        return;
    }
    Device& d = m_devices[path];
    for (auto it = device->begin(); it != device->end(); ++it) {
        d.properties.insert(it.key(), it.value());
    }
    d.nameKnown = true;
    // A device that turns up already connected has just connected.
    connectionChanged(path, device->value(QStringLiteral("Connected")).toBool());
}

void BlueZHub::interfacesRemoved(const QDBusMessage& message) {
    const auto args = message.arguments();
    if (args.size() < 2) {
        return;
    }
    const QString path = qdbus_cast<QDBusObjectPath>(args.at(0)).path();
    if (!qdbus_cast<QStringList>(args.at(1)).contains(kDeviceInterface)) {
        return;
    }
    connectionChanged(path, false);
    auto it = m_devices.find(path);
    if (it != m_devices.end() && !it->lookingUp) {
        m_devices.erase(it);
    }
}

void BlueZHub::connectionChanged(const QString& path, bool connected) {
    Device& d = m_devices[path];
    if (d.lookingUp) {
        d.waiting.push_back(connected);
        return;
    }
    if (d.connected == connected) {
        return;
    }
    d.connected = connected;
    if (!d.nameKnown && connected) {
        // Heard of it only through this change: ask its name first, keeping the order of what
        // follows.
        d.waiting.push_back(connected);
        lookUpName(path);
        return;
    }
    announce(path, connected);
}

void BlueZHub::announce(const QString& path, bool connected) {
    const BluetoothPeer peer{path, displayName(m_devices.value(path).properties)};
    (connected ? m_connected : m_disconnected).send(peer);
}

void BlueZHub::lookUpName(const QString& path) {
    m_devices[path].lookingUp = true;
    auto call = QDBusMessage::createMethodCall(kService, path, kPropertiesInterface,
                                               QStringLiteral("GetAll"));
    call << kDeviceInterface;
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, kCallTimeoutMs), this);
    const int generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path, generation](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                auto it = m_devices.find(path);
                if (generation != m_generation || it == m_devices.end()) {
                    return;
                }
                const QDBusPendingReply<QVariantMap> reply = *w;
                if (!reply.isError()) {
                    const auto props = reply.value();
                    for (auto p = props.begin(); p != props.end(); ++p) {
                        if (!it->properties.contains(p.key())) {
                            it->properties.insert(p.key(), p.value());
                        }
                    }
                }
                it->nameKnown = true;
                it->lookingUp = false;
                const auto waiting = std::exchange(it->waiting, {});
                // The first held change is already recorded in `connected`; replay the rest.
                bool state = waiting.front();
                announce(path, state);
                for (std::size_t i = 1; i < waiting.size(); ++i) {
                    if (waiting[i] != state) {
                        state = waiting[i];
                        announce(path, state);
                    }
                }
                if (auto d = m_devices.find(path); d != m_devices.end()) {
                    d->connected = state;
                }
            });
}

void BlueZHub::serviceRegistered() {
    loadManagedObjects();
}

void BlueZHub::serviceUnregistered() {
    // Its objects are gone with it; what it says when it comes back is a new baseline.
    ++m_generation;
    m_devices.clear();
}

}  // namespace korvo
