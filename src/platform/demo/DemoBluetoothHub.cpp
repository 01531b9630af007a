#include "DemoBluetoothHub.h"

#include <memory>

namespace korvo {

DemoBluetoothHub::DemoBluetoothHub(MainLoop& loop, double period) : m_script(loop, period) {
    const BluetoothPeer buds{QStringLiteral("demo:buds"), QStringLiteral("Studio AirPods Pro")};
    const BluetoothPeer keyboard{QStringLiteral("demo:keyboard"), QStringLiteral("Magic Keyboard")};
    m_script.add(35, [this, buds] { m_connected.send(buds); });
    m_script.add(40, [this, keyboard] { m_connected.send(keyboard); });
    m_script.add(47, [this, buds] { m_disconnected.send(buds); });
    m_script.add(55, [this, keyboard] { m_disconnected.send(keyboard); });
}

Subscription DemoBluetoothHub::watchConnections(
    std::function<void(const BluetoothPeer&)> connected,
    std::function<void(const BluetoothPeer&)> disconnected) {
    auto a = std::make_shared<Subscription>(m_connected.subscribe(std::move(connected)));
    auto b = std::make_shared<Subscription>(m_disconnected.subscribe(std::move(disconnected)));
    m_script.start();
    return Subscription([a, b] {
        a->cancel();
        b->cancel();
    });
}

}  // namespace korvo
