#pragma once

#include "core/Cancellable.h"
#include "core/EventBus.h"
#include "core/MainThread.h"
#include "platform/BluetoothHub.h"

#include <QSet>

#include <optional>

namespace korvo {

/// Toasts Bluetooth connections and disconnections. Main-thread object; posts no activity
/// (the connected devices with their batteries are the devices service's business).
class BluetoothService {
public:
    BluetoothService(EventBus& bus, BluetoothHub& hub);
    BluetoothService(const BluetoothService&) = delete;
    BluetoothService& operator=(const BluetoothService&) = delete;

    /// Registers for connect notices, replacing and releasing any earlier registration.
    void start();

    /// The device's name, or "Bluetooth Device" when it has none.
    static QString deviceName(const std::optional<QString>& name);
    /// The symbol shown beside a connect notice, chosen from the device's name.
    static QString symbol(const std::optional<QString>& name);

private:
    void deviceConnected(const BluetoothPeer& device);
    void deviceDisconnected(const BluetoothPeer& device);

    EventBus& m_bus;
    BluetoothHub& m_hub;
    std::optional<Subscription> m_connectNotification;
    // Devices whose connect we announced and whose disconnect we have not: each connect earns
    // at most one disconnect notice.
    QSet<QString> m_awaitingDisconnect;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
