#include "platform/linux/BlueZHub.h"

#include "FakeBlueZ.h"
#include "core/VirtualLoop.h"
#include "fakes/QtPrinters.h"
#include "services/bluetooth/BluetoothService.h"

using namespace korvo;
using korvo::testing::FakeBlueZ;
using korvo::testing::settle;
using korvo::testing::waitUntil;

namespace {

QString devicePath(int n) {
    return QStringLiteral("/org/bluez/hci0/dev_AA_BB_CC_DD_EE_0%1").arg(n);
}

QVariantMap deviceProps(int n, std::optional<QString> name, std::optional<QString> alias,
                        bool connected) {
    const QString address = QStringLiteral("AA:BB:CC:DD:EE:0%1").arg(n);
    QVariantMap p = {{QStringLiteral("Address"), address},
                     {QStringLiteral("Paired"), true},
                     {QStringLiteral("Connected"), connected}};
    if (name) {
        p.insert(QStringLiteral("Name"), *name);
    }
    // BlueZ always has an alias: the user's, else the name, else the address with dashes.
    p.insert(QStringLiteral("Alias"), alias  ? *alias
                                      : name ? *name
                                             : QString(address).replace(':', '-'));
    return p;
}

class BlueZTest : public ::testing::Test {
protected:
    void SetUp() override {
        KORVO_REQUIRE_SESSION_BUS();
        hub = std::make_unique<BlueZHub>(QDBusConnection::sessionBus());
    }
    // What the hub itself reports.
    Subscription record() {
        return hub->watchConnections(
            [this](const BluetoothPeer& p) {
                heard << QStringLiteral("+") + p.name.value_or(QStringLiteral("?"));
            },
            [this](const BluetoothPeer& p) {
                heard << QStringLiteral("-") + p.name.value_or(QStringLiteral("?"));
            });
    }
    bool heardAll(const QStringList& expected) {
        return waitUntil([&] { return heard.size() >= expected.size(); }) && heard == expected;
    }

    std::unique_ptr<BlueZHub> hub;
    QStringList heard;
};

}  // namespace

TEST(BlueZDisplayName, PrefersTheAliasOverTheName) {
    const auto name = [](auto... args) {
        return BlueZHub::displayName(deviceProps(1, args..., false));
    };
    EXPECT_EQ(name(QStringLiteral("WH-1000XM4"), QStringLiteral("Ada's Headphones")),
              QStringLiteral("Ada's Headphones"));
    EXPECT_EQ(name(QStringLiteral("MX Keys"), std::nullopt), QStringLiteral("MX Keys"));
    // The alias BlueZ makes from the address is no name...
    EXPECT_EQ(name(std::nullopt, std::nullopt), std::nullopt);
    // ...unless the user chose it while the device has a name of its own.
    EXPECT_EQ(name(QStringLiteral("Pad"), QStringLiteral("AA-BB-CC-DD-EE-01")),
              QStringLiteral("AA-BB-CC-DD-EE-01"));
    EXPECT_EQ(BlueZHub::displayName({}), std::nullopt);
}

TEST_F(BlueZTest, ConnectedToggleGivesEachToastOnce) {
    FakeBlueZ bluez;
    bluez.add(
        devicePath(1),
        deviceProps(1, QStringLiteral("AirPods"), QStringLiteral("Studio AirPods Pro"), false),
        false);
    ASSERT_TRUE(bluez.publish());

    VirtualLoop loop;
    EventBus bus(loop);
    QStringList toasts;
    auto sub = bus.subscribe([&](const IslandEvent& e) {
        if (const auto* t = std::get_if<TransientNotification>(&e)) {
            toasts << t->title + QStringLiteral(" (") + t->icon + QLatin1Char(')');
        }
    });
    BluetoothService service(bus, *hub);
    service.start();
    ASSERT_TRUE(waitUntil([&] { return bluez.calls >= 1; }));
    settle(100);

    bluez.setConnected(devicePath(1), true);
    ASSERT_TRUE(waitUntil([&] { return toasts.size() >= 1; }));
    bluez.setConnected(devicePath(1), false);
    ASSERT_TRUE(waitUntil([&] { return toasts.size() >= 2; }));
    settle();
    EXPECT_EQ(toasts, (QStringList{"Studio AirPods Pro connected (airpods.pro)",
                                   "Studio AirPods Pro disconnected (bluetooth.slash)"}));
}

TEST_F(BlueZTest, BlueZStartingLaterIsPickedUpWithWhatIsConnectedAsTheBaseline) {
    auto sub = record();
    settle();
    FakeBlueZ bluez;
    bluez.add(devicePath(2), deviceProps(2, QStringLiteral("Magic Keyboard"), std::nullopt, true),
              false);
    ASSERT_TRUE(bluez.publish());
    ASSERT_TRUE(waitUntil([&] { return bluez.calls >= 1; }));
    settle(100);
    EXPECT_TRUE(heard.isEmpty());

    // Its disconnect is reported, with the name learnt at start, though the object is gone.
    bluez.remove(devicePath(2));
    ASSERT_TRUE(heardAll({"-Magic Keyboard"}));
    // Connected false again is no change.
    bluez.add(devicePath(2), deviceProps(2, QStringLiteral("Magic Keyboard"), std::nullopt, false),
              true);
    bluez.setConnected(devicePath(2), false);
    bluez.setConnected(devicePath(2), true);
    ASSERT_TRUE(heardAll({"-Magic Keyboard", "+Magic Keyboard"}));
}

TEST_F(BlueZTest, NewAndUnheardOfDevicesAreNamed) {
    FakeBlueZ bluez;
    ASSERT_TRUE(bluez.publish());
    auto sub = record();
    ASSERT_TRUE(waitUntil([&] { return bluez.calls >= 1; }));
    settle(100);

    // Paired just now and connected at once.
    bluez.add(devicePath(1), deviceProps(1, QStringLiteral("AirPods Max"), std::nullopt, true),
              true);
    ASSERT_TRUE(heardAll({"+AirPods Max"}));

    // Devices whose appearance we missed: the hub asks for the name, keeping the order of a
    // connect and the disconnect that follows at once.
    bluez.add(devicePath(3), deviceProps(3, std::nullopt, std::nullopt, false), false);
    bluez.add(devicePath(2), deviceProps(2, QStringLiteral("Travel Mouse"), std::nullopt, false),
              false);
    bluez.setConnected(devicePath(2), true);
    bluez.setConnected(devicePath(2), false);
    bluez.setConnected(devicePath(3), true);
    ASSERT_TRUE(heardAll({"+AirPods Max", "+Travel Mouse", "-Travel Mouse", "+?"}));
}
