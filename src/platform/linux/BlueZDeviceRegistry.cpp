#include "BlueZDeviceRegistry.h"

#include "BlueZHub.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>

namespace korvo {

namespace {

const QString kBatteryInterface = QStringLiteral("org.bluez.Battery1");

// a{oa{sa{sv}}}, read by hand so no meta types need registering on a background thread.
BlueZDeviceRegistry::ManagedObjects readObjects(const QDBusArgument& arg) {
    BlueZDeviceRegistry::ManagedObjects objects;
    arg.beginMap();
    while (!arg.atEnd()) {
        QDBusObjectPath path;
        arg.beginMapEntry();
        arg >> path;
        const QMap<QString, QVariantMap> interfaces = BlueZHub::readInterfaces(arg);
        arg.endMapEntry();
        objects.insert(path.path(), interfaces);
    }
    arg.endMap();
    return objects;
}

bool isTrue(const QVariantMap& properties, const char* key) {
    return properties.value(QLatin1String(key)).toBool();
}

}  // namespace

BlueZDeviceRegistry::BlueZDeviceRegistry(QDBusConnection connection)
    : m_connection(std::move(connection)) {}

std::optional<BlueZDeviceRegistry::ManagedObjects> BlueZDeviceRegistry::managedObjects() {
    if (!m_connection.isConnected()) {
        return std::nullopt;
    }
    const auto call = QDBusMessage::createMethodCall(
        BlueZHub::kService, QStringLiteral("/"),
        QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("GetManagedObjects"));
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty() ||
        reply.signature() != QLatin1String("a{oa{sa{sv}}}") ||
        reply.arguments().constFirst().userType() != qMetaTypeId<QDBusArgument>()) {
        return std::nullopt;
    }
    return readObjects(reply.arguments().constFirst().value<QDBusArgument>());
}

std::optional<std::vector<PairedDevice>> BlueZDeviceRegistry::pairedDevices() {
    const auto objects = managedObjects();
    if (!objects) {
        return std::nullopt;
    }
    return pairedFrom(*objects);
}

BatteryReport BlueZDeviceRegistry::readBatteryReport() {
    const auto objects = managedObjects();
    return objects ? batteriesFrom(*objects) : BatteryReport{};
}

std::vector<PairedDevice> BlueZDeviceRegistry::pairedFrom(const ManagedObjects& objects) {
    std::vector<PairedDevice> devices;
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        const auto device = it->find(BlueZHub::kDeviceInterface);
        // Bonded devices that BlueZ does not call paired are still the user's own.
        if (device == it->end() || !(isTrue(*device, "Paired") || isTrue(*device, "Bonded"))) {
            continue;
        }
        PairedDevice paired;
        paired.name = BlueZHub::displayName(*device);
        const QString address = device->value(QStringLiteral("Address")).toString();
        if (!address.isEmpty()) {
            paired.address = address;
        }
        paired.majorClass = majorClass(*device);
        paired.connected = isTrue(*device, "Connected");
        devices.push_back(std::move(paired));
    }
    return devices;
}

BatteryReport BlueZDeviceRegistry::batteriesFrom(const ManagedObjects& objects) {
    BatteryReport report;
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        const auto device = it->find(BlueZHub::kDeviceInterface);
        const auto battery = it->find(kBatteryInterface);
        if (device == it->end() || battery == it->end() || !isTrue(*device, "Connected")) {
            continue;
        }
        const auto name = BlueZHub::displayName(*device);
        bool isNumber = false;
        const int percentage = battery->value(QStringLiteral("Percentage")).toInt(&isNumber);
        if (name && isNumber) {
            report.insert_or_assign(*name, ReportedBattery{percentage, std::nullopt});
        }
    }
    return report;
}

std::vector<PeripheralLevel> BlueZDeviceRegistry::readPeripherals() {
    const auto objects = managedObjects();
    return objects ? peripheralsFrom(*objects) : std::vector<PeripheralLevel>{};
}

std::vector<PeripheralLevel> BlueZDeviceRegistry::peripheralsFrom(const ManagedObjects& objects) {
    std::vector<PeripheralLevel> levels;
    const BatteryReport batteries = batteriesFrom(objects);
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        const auto device = it->find(BlueZHub::kDeviceInterface);
        if (device == it->end()) {
            continue;
        }
        const auto name = BlueZHub::displayName(*device);
        const auto kind = peripheralKind(*device);
        const auto battery = name ? batteries.find(*name) : batteries.end();
        if (!kind || battery == batteries.end()) {
            continue;
        }
        levels.push_back(PeripheralLevel{*name, *kind, battery->second.level, std::nullopt});
    }
    return levels;
}

std::optional<PeripheralKind> BlueZDeviceRegistry::peripheralKind(const QVariantMap& device) {
    static const std::pair<QLatin1String, PeripheralKind> icons[] = {
        {QLatin1String("input-mouse"), PeripheralKind::mouse},
        {QLatin1String("input-keyboard"), PeripheralKind::keyboard},
        {QLatin1String("input-gaming"), PeripheralKind::gamingInput},
        {QLatin1String("input-tablet"), PeripheralKind::pen},
        {QLatin1String("audio-headset"), PeripheralKind::headset},
        {QLatin1String("audio-headphones"), PeripheralKind::headset},
    };
    const QString icon = device.value(QStringLiteral("Icon")).toString();
    for (const auto& [name, kind] : icons) {
        if (icon == name) {
            return kind;
        }
    }
    if (icon == QLatin1String("phone") || icon == QLatin1String("computer")) {
        return std::nullopt;
    }
    bool hasClass = false;
    const std::uint32_t cod = device.value(QStringLiteral("Class")).toUInt(&hasClass);
    switch (majorClass(device)) {
        case 1:  // computer
        case 2:  // phone
        case 7:  // wearable
            return std::nullopt;
        case 4:  // audio: headsets, hands-free and headphones; speakers and the rest are other
        {
            const std::uint32_t minor = (cod >> 2) & 0x3F;
            return !hasClass || minor == 1 || minor == 2 || minor == 6
                       ? std::optional(PeripheralKind::headset)
                       : std::optional(PeripheralKind::other);
        }
        case 5:  // peripheral: keyboard and pointing bits, then the kind of device
        {
            if (!hasClass) {
                return PeripheralKind::other;
            }
            const std::uint32_t input = (cod >> 6) & 0x3;
            if (input == 1 || input == 3) {
                return PeripheralKind::keyboard;
            }
            if (input == 2) {
                return PeripheralKind::mouse;
            }
            switch ((cod >> 2) & 0xF) {
                case 1:  // joystick
                case 2:  // gamepad
                    return PeripheralKind::gamingInput;
                case 5:  // digitizer tablet
                    return PeripheralKind::pen;
                default:
                    return PeripheralKind::other;
            }
        }
        default:
            return PeripheralKind::other;
    }
}

std::uint32_t BlueZDeviceRegistry::majorClass(const QVariantMap& device) {
    bool hasClass = false;
    const std::uint32_t cod = device.value(QStringLiteral("Class")).toUInt(&hasClass);
    if (hasClass) {
        return (cod >> 8) & 0x1F;
    }
    bool hasAppearance = false;
    const std::uint32_t appearance =
        device.value(QStringLiteral("Appearance")).toUInt(&hasAppearance);
    if (!hasAppearance) {
        return 0;
    }
    // The appearance's category, in the major classes that the classic class would give.
    switch (appearance >> 6) {
        case 0x01:  // phone
            return 2;
        case 0x02:  // computer
            return 1;
        case 0x03:  // watch
            return 7;
        case 0x0F:  // human interface device
            return 5;
        case 0x21:  // audio sink
        case 0x25:  // earbuds, headsets, headphones
            return 4;
        default:
            return 0;
    }
}

}  // namespace korvo
