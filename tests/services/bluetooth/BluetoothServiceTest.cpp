#include "services/bluetooth/BluetoothActivityProvider.h"
#include "services/bluetooth/BluetoothService.h"

#include "core/ActivityEngine.h"
#include "core/VirtualLoop.h"

#include <gtest/gtest.h>
#include "fakes/QtPrinters.h"

#include <memory>

using namespace korvo;

namespace {

class FakeHub : public BluetoothHub {
public:
    Subscription watchConnections(std::function<void(const BluetoothPeer&)> connected,
                                  std::function<void(const BluetoothPeer&)> disconnected) override {
        auto a = std::make_shared<Subscription>(m_connected.subscribe(std::move(connected)));
        auto b = std::make_shared<Subscription>(m_disconnected.subscribe(std::move(disconnected)));
        return Subscription([a, b] {
            a->cancel();
            b->cancel();
        });
    }
    void connect(const QString& id, std::optional<QString> name) {
        m_connected.send({id, std::move(name)});
    }
    void disconnect(const QString& id, std::optional<QString> name) {
        m_disconnected.send({id, std::move(name)});
    }
    std::size_t watchers() const { return m_connected.subscriberCount(); }

private:
    Signal<BluetoothPeer> m_connected;
    Signal<BluetoothPeer> m_disconnected;
};

class BluetoothServiceTest : public ::testing::Test {
protected:
    BluetoothServiceTest() : bus(loop), service(bus, hub) {
        sub = bus.subscribe([this](const IslandEvent& e) {
            if (const auto* t = std::get_if<TransientNotification>(&e)) {
                toasts << QStringLiteral("%1 | %2 | %3 | p%4 %5s")
                              .arg(t->title, t->icon, t->subtitle.value_or(QStringLiteral("-")))
                              .arg(rawValue(t->priority))
                              .arg(t->duration);
                EXPECT_FALSE(t->action);
            } else {
                toasts << QStringLiteral("not a toast");
            }
        });
    }

    VirtualLoop loop;
    EventBus bus;
    FakeHub hub;
    BluetoothService service;
    QStringList toasts;
    Subscription sub;
};

}  // namespace

TEST(BluetoothSymbol, FirstMatchingNameRuleChoosesTheIcon) {
    const std::vector<std::pair<std::optional<QString>, QString>> table = {
        {QStringLiteral("Studio AirPods Pro"), QStringLiteral("airpods.pro")},
        {QStringLiteral("AIRPODS PRO 2"), QStringLiteral("airpods.pro")},
        {QStringLiteral("AirPods Max"), QStringLiteral("airpods.max")},
        {QStringLiteral("Ada's AirPods"), QStringLiteral("airpods")},
        {QStringLiteral("AirPodsPro"), QStringLiteral("airpods")},  // the blank is part of it
        {QStringLiteral("Travel Mouse"), QStringLiteral("magicmouse")},
        {QStringLiteral("Keyboard and Mouse Combo"), QStringLiteral("keyboard")},
        {QStringLiteral("AirPods Keyboard"), QStringLiteral("airpods")},
        {QString(), QStringLiteral("wave.3.right.circle")},
        {std::nullopt, QStringLiteral("wave.3.right.circle")},
    };
    for (const auto& [name, icon] : table) {
        EXPECT_EQ(BluetoothService::symbol(name), icon) << name.value_or("(none)").toStdString();
    }
}

TEST_F(BluetoothServiceTest, ConnectAndDisconnectToastTheDeviceNameOrAPlaceholder) {
    BluetoothActivityProvider provider(service);
    provider.start();
    hub.connect(QStringLiteral("dev1"), QStringLiteral("Studio AirPods Pro"));
    hub.disconnect(QStringLiteral("dev1"), QStringLiteral("Studio AirPods Pro"));
    hub.connect(QStringLiteral("dev2"), std::nullopt);
    hub.disconnect(QStringLiteral("dev2"), QString());
    EXPECT_EQ(toasts, (QStringList{"Studio AirPods Pro connected | airpods.pro | - | p1 2.5s",
                                   "Studio AirPods Pro disconnected | bluetooth.slash | - | p0 2s",
                                   "Bluetooth Device connected | wave.3.right.circle | - | p1 2.5s",
                                   "Bluetooth Device disconnected | bluetooth.slash | - | p0 2s"}));
}

TEST_F(BluetoothServiceTest, EachConnectEarnsAtMostOneDisconnectNotice) {
    service.start();
    // Connected before we listened: its disconnect is not ours to announce.
    hub.disconnect(QStringLiteral("old"), QStringLiteral("Old Speaker"));
    EXPECT_TRUE(toasts.isEmpty());

    hub.connect(QStringLiteral("a"), QStringLiteral("Mouse A"));
    hub.connect(QStringLiteral("b"), QStringLiteral("Mouse B"));
    hub.disconnect(QStringLiteral("a"), QStringLiteral("Mouse A"));
    hub.disconnect(QStringLiteral("a"), QStringLiteral("Mouse A"));
    // Starting again replaces the connect registration, not the waiting disconnect ones.
    service.start();
    EXPECT_EQ(hub.watchers(), 1u);
    hub.disconnect(QStringLiteral("b"), QStringLiteral("Mouse B"));
    hub.connect(QStringLiteral("a"), QStringLiteral("Mouse A"));
    hub.disconnect(QStringLiteral("a"), QStringLiteral("Mouse A"));
    QStringList titles;
    for (const auto& t : toasts) {
        titles << t.section(QStringLiteral(" | "), 0, 0);
    }
    EXPECT_EQ(titles,
              (QStringList{"Mouse A connected", "Mouse B connected", "Mouse A disconnected",
                           "Mouse B disconnected", "Mouse A connected", "Mouse A disconnected"}));
}

TEST_F(BluetoothServiceTest, ConnectNoticeGoesAheadOfAWaitingDisconnectNotice) {
    const DebugLog quiet{QString()};
    ActivityEngine engine(loop, bus, quiet);
    engine.start();
    service.start();
    hub.connect(QStringLiteral("a"), QStringLiteral("Travel Mouse"));
    hub.disconnect(QStringLiteral("a"), QStringLiteral("Travel Mouse"));
    hub.connect(QStringLiteral("b"), QStringLiteral("AirPods Max"));
    loop.runUntilIdle();
    QStringList queue;
    for (const auto& t : engine.toastQueue.get()) {
        queue << t.title;
    }
    EXPECT_EQ(queue, (QStringList{"Travel Mouse connected", "AirPods Max connected",
                                  "Travel Mouse disconnected"}));
    // The disconnect notice, waiting at the back, runs out before it is shown.
    loop.advance(2.0);
    queue.clear();
    for (const auto& t : engine.toastQueue.get()) {
        queue << t.title;
    }
    EXPECT_EQ(queue, (QStringList{"Travel Mouse connected", "AirPods Max connected"}));
}
