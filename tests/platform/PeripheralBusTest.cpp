// Peripheral battery warnings against fake UPower and BlueZ daemons on a private session bus:
// levels reach the service through the daemons' own change signals, not through polling.
#include "platform/linux/BlueZDeviceRegistry.h"
#include "platform/linux/PeripheralBatteryWatch.h"
#include "platform/linux/UPowerPeripheralBatteries.h"

#include "FakeBlueZ.h"
#include "FakeUPowerDevices.h"
#include "core/QtMainLoop.h"
#include "fakes/QtPrinters.h"
#include "services/devices/PeripheralBatteryService.h"
#include "settings/SettingsStore.h"

#include <QTemporaryDir>

#include <atomic>
#include <thread>
#include <variant>

using namespace korvo;
using korvo::testing::FakeBlueZ;
using korvo::testing::FakeUPowerDevices;
using korvo::testing::settle;
using korvo::testing::waitUntil;

namespace {

const QString kHeadset = QStringLiteral("/org/bluez/hci0/dev_AC_90_85_00_00_02");
const QString kPhone = QStringLiteral("/org/bluez/hci0/dev_A4_83_E7_00_00_07");
const QString kBtMouse = QStringLiteral("/org/bluez/hci0/dev_C0_00_00_00_00_03");

QVariantMap device(const QString& address, const QString& name, const QString& icon, uint cls) {
    return {{QStringLiteral("Address"), address}, {QStringLiteral("Alias"), name},
            {QStringLiteral("Name"), name},       {QStringLiteral("Paired"), true},
            {QStringLiteral("Connected"), true},  {QStringLiteral("Icon"), icon},
            {QStringLiteral("Class"), cls}};
}

class PeripheralBusTest : public ::testing::Test {
protected:
    void SetUp() override { KORVO_REQUIRE_SESSION_BUS(); }

    // "title / subtitle" of every toast posted so far.
    QStringList toasts;
};

}  // namespace

TEST_F(PeripheralBusTest, LevelsCrossingThresholdsWarnOnceEachThroughTheDaemonsSignals) {
    FakeUPowerDevices upower;
    upower.set("mouse_dev_C0", 5, "MX Anywhere 3", 50);
    upower.set("battery_BAT0", 2, "Internal", 8);  // the laptop's own warns by itself
    FakeBlueZ bluez;
    bluez.add(kHeadset, device("AC:90:85:00:00:02", "Studio Buds", "audio-headset", 0x240404),
              false, 60);
    bluez.add(kPhone, device("A4:83:E7:00:00:07", "Ada's Phone", "phone", 0x5a020c), false, 5);
    // UPower lists Bluetooth peripherals as well: the same mouse, by the same name.
    bluez.add(kBtMouse, device("C0:00:00:00:00:03", "MX Anywhere 3", "input-mouse", 0x002580),
              false, 50);
    ASSERT_TRUE(upower.publish());
    ASSERT_TRUE(bluez.publish());

    QtMainLoop loop;
    EventBus bus(loop);
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath("korvo.conf"));
    auto sub = bus.subscribe([&](const IslandEvent& e) {
        if (const auto* t = std::get_if<TransientNotification>(&e)) {
            toasts << t->title + " / " + t->subtitle.value_or("-");
        }
    });
    PeripheralBatteryService service(
        loop, bus, settings,
        std::make_shared<PeripheralBatteryWatch>(QDBusConnection::sessionBus(),
                                                 QDBusConnection::sessionBus()));
    // Waits until a reading that began after the last change has been evaluated: every
    // reading lists UPower's devices first, then asks BlueZ.
    int enumerations = 0;
    auto change = [&](const std::function<void()>& fn) {
        fn();
        enumerations = upower.enumerations;
    };
    auto readAfterChange = [&] {
        EXPECT_TRUE(waitUntil([&] { return upower.enumerations > enumerations; }));
        EXPECT_TRUE(waitUntil([&] { return !service.isReading(); }));
    };
    service.start();
    ASSERT_TRUE(waitUntil([&] { return service.readings() >= 1; }));
    EXPECT_TRUE(toasts.isEmpty()) << "a low phone and the laptop's battery are not peripherals";

    upower.setPercentage("mouse_dev_C0", 19);
    ASSERT_TRUE(waitUntil([&] { return toasts.size() >= 1; }));
    EXPECT_EQ(toasts.back(), "Mouse battery low / 19 % · MX Anywhere 3");

    bluez.setBattery(kHeadset, 9);  // past both thresholds at once: one warning
    ASSERT_TRUE(waitUntil([&] { return toasts.size() >= 2; }));
    EXPECT_EQ(toasts.back(), "Headset battery low / 9 % · Studio Buds");

    upower.add("keyboard_0", 6, "K380", 15);
    ASSERT_TRUE(waitUntil([&] { return toasts.size() >= 3; }));
    EXPECT_EQ(toasts.back(), "Keyboard battery low / 15 % · K380");

    // BlueZ's differing figure for the same mouse says nothing; UPower's own fall does.
    change([&] { bluez.setBattery(kBtMouse, 8); });
    readAfterChange();
    EXPECT_EQ(toasts.size(), 3) << toasts.join("\n").toStdString();
    upower.setPercentage("mouse_dev_C0", 10);
    ASSERT_TRUE(waitUntil([&] { return toasts.size() >= 4; }));
    EXPECT_EQ(toasts.back(), "Mouse battery low / 10 % · MX Anywhere 3");

    // UPower restarting is a change too: what it lists now is read.
    upower.stop();
    upower.set("keyboard_1", 6, "Travel Keyboard", 5);
    ASSERT_TRUE(upower.publish());
    ASSERT_TRUE(waitUntil([&] { return toasts.size() >= 5; }));
    EXPECT_EQ(toasts.back(), "Keyboard battery low / 5 % · Travel Keyboard");
    loop.waitForBackground();
}

TEST_F(PeripheralBusTest, ReadersKeepPeripheralsAndLeaveTheRest) {
    FakeUPowerDevices upower;
    upower.set("gaming_0", 12, "Wireless Controller", 40, 1);  // charging
    upower.set("pen_0", 13, "Stylus", 30);
    upower.set("phone_0", 8, "Ada's Phone", 12);
    FakeBlueZ bluez;
    bluez.add(kPhone, device("A4:83:E7:00:00:07", "Ada's Phone", "phone", 0x5a020c), false, 5);
    auto pad = device("C0:00:00:00:00:05", "Gamepad", QString(), 0x002508);  // peripheral, gamepad
    bluez.add("/org/bluez/hci0/dev_C0_00_00_00_00_05", pad, false, 70);
    auto gone = device("C0:00:00:00:00:06", "Old Mouse", "input-mouse", 0x002580);
    gone.insert("Connected", false);
    bluez.add("/org/bluez/hci0/dev_C0_00_00_00_00_06", gone, false, 5);
    ASSERT_TRUE(upower.publish());
    ASSERT_TRUE(bluez.publish());

    PeripheralBatteryWatch watch(QDBusConnection::sessionBus(), QDBusConnection::sessionBus());
    std::vector<PeripheralLevel> levels;
    std::atomic<bool> done{false};
    std::thread reader([&] {  // blocking, off the main thread, as in the program
        levels = watch.readLevels();
        done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done.load(); }));
    reader.join();
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[0],
              (PeripheralLevel{"Wireless Controller", PeripheralKind::gamingInput, 40, true}));
    EXPECT_EQ(levels[1], (PeripheralLevel{"Stylus", PeripheralKind::pen, 30, false}));
    EXPECT_EQ(levels[2],
              (PeripheralLevel{"Gamepad", PeripheralKind::gamingInput, 70, std::nullopt}));
}
