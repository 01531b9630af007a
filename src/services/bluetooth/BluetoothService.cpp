#include "BluetoothService.h"

#include <array>
#include <utility>

namespace korvo {

BluetoothService::BluetoothService(EventBus& bus, BluetoothHub& hub) : m_bus(bus), m_hub(hub) {}

void BluetoothService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    m_connectNotification.reset();
    m_connectNotification.emplace(
        m_hub.watchConnections([this](const BluetoothPeer& d) { deviceConnected(d); },
                               [this](const BluetoothPeer& d) { deviceDisconnected(d); }));
}

QString BluetoothService::deviceName(const std::optional<QString>& name) {
    // A blank name reads as well as none would.
    return name && !name->isEmpty() ? *name : QStringLiteral("Bluetooth Device");
}

QString BluetoothService::symbol(const std::optional<QString>& name) {
    // First match wins: "airpods pro" must be tested before plain "airpods".
    static const std::array<std::pair<const char*, const char*>, 5> rules = {{
        {"airpods pro", "airpods.pro"},
        {"airpods max", "airpods.max"},
        {"airpods", "airpods"},
        {"keyboard", "keyboard"},
        {"mouse", "magicmouse"},
    }};
    const QString lower = name.value_or(QString()).toLower();
    for (const auto& [needle, icon] : rules) {
        if (lower.contains(QLatin1String(needle))) {
            return QString::fromLatin1(icon);
        }
    }
    return QStringLiteral("wave.3.right.circle");
}

void BluetoothService::deviceConnected(const BluetoothPeer& device) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    m_bus.post(TransientNotification::make(symbol(device.name),
                                           deviceName(device.name) + QStringLiteral(" connected"),
                                           std::nullopt, 2.5, ActivityPriority::normal));
    m_awaitingDisconnect.insert(device.id);
}

void BluetoothService::deviceDisconnected(const BluetoothPeer& device) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    if (!m_awaitingDisconnect.remove(device.id)) {
        return;
    }
    m_bus.post(
        TransientNotification::make(QStringLiteral("bluetooth.slash"),
                                    deviceName(device.name) + QStringLiteral(" disconnected"),
                                    std::nullopt, 2.0, ActivityPriority::low));
}

}  // namespace korvo
