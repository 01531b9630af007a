#pragma once

#include "DemoScript.h"
#include "core/Published.h"
#include "platform/BluetoothHub.h"

namespace korvo {

/// Bluetooth devices for the demo tour: earbuds and a keyboard that connect and disconnect
/// once a round.
class DemoBluetoothHub final : public BluetoothHub {
public:
    explicit DemoBluetoothHub(MainLoop& loop, double period = 60);

    Subscription watchConnections(std::function<void(const BluetoothPeer&)> connected,
                                  std::function<void(const BluetoothPeer&)> disconnected) override;

private:
    DemoScript m_script;
    Signal<BluetoothPeer> m_connected;
    Signal<BluetoothPeer> m_disconnected;
};

}  // namespace korvo
