#include "PeripheralBatteryWatch.h"

#include "BlueZDeviceRegistry.h"
#include "BlueZHub.h"
#include "UPowerPeripheralBatteries.h"

#include <QDBusArgument>
#include <QDBusMessage>

#include <set>

namespace korvo {

namespace {

const QString kUPower = QStringLiteral("org.freedesktop.UPower");
const QString kUPowerPath = QStringLiteral("/org/freedesktop/UPower");
const QString kUPowerDevice = QStringLiteral("org.freedesktop.UPower.Device");
const QString kDisplayDevice = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kBattery = QStringLiteral("org.bluez.Battery1");

}  // namespace

PeripheralBatteryWatch::PeripheralBatteryWatch(QDBusConnection upower, QDBusConnection bluez,
                                               QObject* parent)
    : QObject(parent),
      m_upowerBus(std::move(upower)),
      m_bluezBus(std::move(bluez)),
      m_upower(std::make_shared<UPowerPeripheralBatteries>(m_upowerBus)),
      m_bluez(std::make_shared<BlueZDeviceRegistry>(m_bluezBus)),
      m_upowerWatcher(kUPower, m_upowerBus, QDBusServiceWatcher::WatchForRegistration),
      m_bluezWatcher(BlueZHub::kService, m_bluezBus, QDBusServiceWatcher::WatchForRegistration) {}

PeripheralBatteryWatch::~PeripheralBatteryWatch() = default;

std::vector<PeripheralLevel> PeripheralBatteryWatch::readLevels() {
    return merge(m_upower->readPeripherals(), m_bluez->readPeripherals());
}

std::vector<PeripheralLevel> PeripheralBatteryWatch::merge(
    std::vector<PeripheralLevel> upower, const std::vector<PeripheralLevel>& bluez) {
    std::vector<PeripheralLevel> merged;
    std::set<QString> names;
    for (auto& level : upower) {
        if (names.insert(level.name.toCaseFolded()).second) {
            merged.push_back(std::move(level));
        }
    }
    for (const auto& level : bluez) {
        if (names.insert(level.name.toCaseFolded()).second) {
            merged.push_back(level);
        }
    }
    return merged;
}

Subscription PeripheralBatteryWatch::observe(std::function<void()> changed) {
    auto sub = m_changed.subscribe([fn = std::move(changed)](const std::monostate&) { fn(); });
    begin();
    return sub;
}

void PeripheralBatteryWatch::begin() {
    if (m_begun) {
        return;
    }
    m_begun = true;
    if (m_upowerBus.isConnected()) {
        for (const char* member : {"DeviceAdded", "DeviceRemoved"}) {
            m_upowerBus.connect(kUPower, kUPowerPath, kUPower, QLatin1String(member), this,
                                SLOT(somethingChanged()));
        }
        // Every device's properties; the slot keeps the peripherals' levels.
        m_upowerBus.connect(kUPower, QString(), kProperties, QStringLiteral("PropertiesChanged"),
                            {kUPowerDevice}, QString(), this,
                            SLOT(upowerDeviceChanged(QDBusMessage)));
        connect(&m_upowerWatcher, &QDBusServiceWatcher::serviceRegistered, this,
                &PeripheralBatteryWatch::somethingChanged);
    }
    if (m_bluezBus.isConnected()) {
        m_bluezBus.connect(BlueZHub::kService, QString(), kProperties,
                           QStringLiteral("PropertiesChanged"), this,
                           SLOT(bluezPropertiesChanged(QDBusMessage)));
        for (const char* member : {"InterfacesAdded", "InterfacesRemoved"}) {
            m_bluezBus.connect(BlueZHub::kService, QStringLiteral("/"), kObjectManager,
                               QLatin1String(member), this, SLOT(somethingChanged()));
        }
        connect(&m_bluezWatcher, &QDBusServiceWatcher::serviceRegistered, this,
                &PeripheralBatteryWatch::somethingChanged);
    }
}

void PeripheralBatteryWatch::upowerDeviceChanged(const QDBusMessage& message) {
    // The composite display device repeats the laptop's own battery.
    if (message.path() == kDisplayDevice) {
        return;
    }
    const auto args = message.arguments();
    if (args.size() < 2) {
        return;
    }
    const auto changed = qdbus_cast<QVariantMap>(args.at(1));
    for (const char* key : {"Percentage", "State", "IsPresent"}) {
        if (changed.contains(QLatin1String(key))) {
            somethingChanged();
            return;
        }
    }
}

void PeripheralBatteryWatch::bluezPropertiesChanged(const QDBusMessage& message) {
    const auto args = message.arguments();
    if (args.isEmpty()) {
        return;
    }
    const QString interface = args.at(0).toString();
    // A level changed, or a device came or went.
    if (interface == kBattery ||
        (interface == BlueZHub::kDeviceInterface && args.size() >= 2 &&
         qdbus_cast<QVariantMap>(args.at(1)).contains(QStringLiteral("Connected")))) {
        somethingChanged();
    }
}

void PeripheralBatteryWatch::somethingChanged() {
    m_changed.send(std::monostate{});
}

}  // namespace korvo
