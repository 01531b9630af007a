#pragma once

#include "core/Cancellable.h"

#include <QString>

#include <functional>
#include <optional>

namespace korvo {

/// A Bluetooth device as connection notices name it.
struct BluetoothPeer {
    QString id;                   // stable per device (its address or object path)
    std::optional<QString> name;  // the user's alias when there is one, else the device's name
};

/// Connection notices of Bluetooth devices.
class BluetoothHub {
public:
    virtual ~BluetoothHub() = default;

    /// Reports each connection and each later disconnection of a device once, on the main
    /// thread, until the subscription ends. Devices already connected when watching begins are
    /// not reported as connecting.
    virtual Subscription watchConnections(
        std::function<void(const BluetoothPeer&)> connected,
        std::function<void(const BluetoothPeer&)> disconnected) = 0;
};

}  // namespace korvo
