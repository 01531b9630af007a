#pragma once

#include "core/ActivityProvider.h"
#include "services/bluetooth/BluetoothService.h"

namespace korvo {

/// Registers the Bluetooth service for connection notices.
class BluetoothActivityProvider final : public StartingProvider<BluetoothService> {
public:
    explicit BluetoothActivityProvider(BluetoothService& service)
        : StartingProvider(service, QStringLiteral("Bluetooth")) {}
};

}  // namespace korvo
