#include "platform/linux/BlueZDeviceRegistry.h"
#include "platform/linux/PowerProfilesLowPowerMode.h"
#include "platform/linux/UPowerPeripheralBatteries.h"

#include "FakeBlueZ.h"
#include "FakeUPowerDevices.h"
#include "core/QtMainLoop.h"
#include "fakes/QtPrinters.h"
#include "services/devices/DevicesService.h"

#include <QDBusVariant>

#include <variant>

using namespace korvo;
using korvo::testing::FakeBlueZ;
using korvo::testing::FakeService;
using korvo::testing::FakeUPowerDevices;
using korvo::testing::settle;
using korvo::testing::waitUntil;

namespace {

constexpr uint kHeadphonesClass = 0x240404;  // major class 4, audio
constexpr uint kPhoneClass = 0x5a020c;       // major class 2, phone

QVariantMap bluezDevice(const QString& address, const QString& name, uint cls, bool paired,
                        bool connected) {
    QVariantMap p = {{QStringLiteral("Address"), address},
                     {QStringLiteral("Alias"), name},
                     {QStringLiteral("Paired"), paired},
                     {QStringLiteral("Connected"), connected}};
    if (!name.isEmpty()) {
        p.insert(QStringLiteral("Name"), name);
    } else {
        p.insert(QStringLiteral("Alias"),
                 QString(address).replace(QLatin1Char(':'), QLatin1Char('-')));
    }
    if (cls != 0) {
        p.insert(QStringLiteral("Class"), cls);
    }
    return p;
}

/// power-profiles-daemon under one of its two names.
class FakePowerProfiles : public FakeService {
public:
    FakePowerProfiles(const PowerProfilesLowPowerMode::Endpoint& endpoint, QString profile)
        : FakeService(endpoint.service, endpoint.path),
          m_endpoint(endpoint),
          m_profile(std::move(profile)) {}

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Get") ||
            message.arguments().value(0).toString() != m_endpoint.interface ||
            message.arguments().value(1).toString() != QLatin1String("ActiveProfile")) {
            return false;
        }
        QString profile;
        {
            std::lock_guard lock(mutex);
            profile = m_profile;
        }
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(profile))));
        ++calls;
        return true;
    }

    void setProfile(const QString& profile) {
        {
            std::lock_guard lock(mutex);
            m_profile = profile;
        }
        emitPropertiesChanged(m_endpoint.path, m_endpoint.interface,
                              {{QStringLiteral("ActiveProfile"), profile}});
    }

private:
    PowerProfilesLowPowerMode::Endpoint m_endpoint;
    QString m_profile;
};

/// The real loop, except that the test fires the repeating timer itself.
class SteppedLoop final : public MainLoop {
public:
    bool isMainThread() const override { return inner.isMainThread(); }
    void post(std::function<void()> fn) override { inner.post(std::move(fn)); }
    TaskHandle postDelayed(double s, std::function<void()> fn) override {
        return inner.postDelayed(s, std::move(fn));
    }
    TaskHandle scheduleRepeating(double, double, std::function<void()> fn) override {
        tick = std::move(fn);
        return TaskHandle([this] { tick = nullptr; });
    }
    void runInBackground(Qos qos, std::function<void()> fn) override {
        inner.runInBackground(qos, std::move(fn));
    }
    double monotonicNow() const override { return inner.monotonicNow(); }
    QDateTime wallNow() const override { return inner.wallNow(); }

    QtMainLoop inner;
    std::function<void()> tick;
};

const QString kBuds = QStringLiteral("/org/bluez/hci0/dev_AC_90_85_00_00_02");
const QString kPhone = QStringLiteral("/org/bluez/hci0/dev_A4_83_E7_00_00_07");
const QString kMouse = QStringLiteral("/org/bluez/hci0/dev_C0_00_00_00_00_03");
const QString kWatch = QStringLiteral("/org/bluez/hci0/dev_E0_00_00_00_00_04");
const QString kStranger = QStringLiteral("/org/bluez/hci0/dev_00_00_00_00_00_09");
const QString kNameless = QStringLiteral("/org/bluez/hci0/dev_00_00_00_00_00_0A");

void addDevices(FakeBlueZ& bluez) {
    bluez.add(kBuds, bluezDevice("AC:90:85:00:00:02", "Studio Buds", kHeadphonesClass, true, true),
              false, 80);
    bluez.add(kPhone, bluezDevice("A4:83:E7:00:00:07", "Ada's Phone", kPhoneClass, true, false),
              false, 90);
    bluez.add(kMouse, bluezDevice("C0:00:00:00:00:03", "MX Anywhere 3", 0x002580, true, true));
    // A low-energy watch has an appearance instead of a class.
    auto watch = bluezDevice("E0:00:00:00:00:04", "Fenix 7", 0, true, false);
    watch.insert(QStringLiteral("Appearance"), QVariant::fromValue(ushort(0x00C1)));
    bluez.add(kWatch, watch);
    bluez.add(kStranger, bluezDevice("00:00:00:00:00:09", "Neighbour's TV", 0x0c043c, false, true),
              false, 50);
    bluez.add(kNameless, bluezDevice("00:00:00:00:00:0A", QString(), 0x240404, true, true));
}

class DevicesBusTest : public ::testing::Test {
protected:
    void SetUp() override { KORVO_REQUIRE_SESSION_BUS(); }
};

}  // namespace

TEST(BlueZMajorClass, FromTheClassOrElseTheAppearance) {
    auto withAppearance = [](ushort appearance) {
        return BlueZDeviceRegistry::majorClass(
            {{QStringLiteral("Appearance"), QVariant::fromValue(appearance)}});
    };
    EXPECT_EQ(BlueZDeviceRegistry::majorClass({{QStringLiteral("Class"), kPhoneClass}}), 2u);
    EXPECT_EQ(BlueZDeviceRegistry::majorClass(
                  {{QStringLiteral("Class"), kHeadphonesClass},
                   {QStringLiteral("Appearance"), QVariant::fromValue(ushort(0x00C0))}}),
              4u);
    EXPECT_EQ(withAppearance(0x0040), 2u);  // phone
    EXPECT_EQ(withAppearance(0x00C1), 7u);  // sports watch
    EXPECT_EQ(withAppearance(0x03C1), 5u);  // keyboard
    EXPECT_EQ(withAppearance(0x0941), 4u);  // earbud
    EXPECT_EQ(withAppearance(0x0200), 0u);  // tag
    EXPECT_EQ(BlueZDeviceRegistry::majorClass({}), 0u);
}

TEST_F(DevicesBusTest, TheServicePublishesTheMergedListOncePerChange) {
    FakeBlueZ bluez;
    addDevices(bluez);
    FakeUPowerDevices upower;
    upower.set("mouse_dev_C0", 5, "MX Anywhere 3", 70.6);
    // Only input and audio peripherals count: not the laptop's battery, not a phone.
    upower.set("battery_BAT0", 2, "Ada's Phone", 64);
    upower.set("phone_0", 8, "Ada's Phone", 90);
    upower.set("keyboard_0", 6, "", 40);
    ASSERT_TRUE(bluez.publish());
    ASSERT_TRUE(upower.publish());

    SteppedLoop loop;
    EventBus bus(loop);
    QStringList events;
    auto sub = bus.subscribe([&](const IslandEvent& e) {
        if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
            QStringList entries;
            for (const auto& d : std::get<std::vector<ConnectedDeviceInfo>>(u->activity.payload)) {
                entries << QStringLiteral("%1 %2 %3 %4")
                               .arg(d.name, rawValue(d.kind),
                                    d.battery ? QString::number(*d.battery) : QStringLiteral("-"),
                                    d.isLinkActive ? QStringLiteral("on") : QStringLiteral("off"));
            }
            events << entries.join(QStringLiteral(", "));
        } else if (std::holds_alternative<ActivityEnded>(e)) {
            events << QStringLiteral("ended");
        }
    });
    auto registry = std::make_shared<BlueZDeviceRegistry>(QDBusConnection::sessionBus());
    DevicesService service(
        loop, bus, registry, registry,
        std::make_shared<UPowerPeripheralBatteries>(QDBusConnection::sessionBus()));
    // Each poll asks BlueZ for its list, and for the batteries when they are due.
    auto pollAndSettle = [&](int bluezCalls) {
        EXPECT_TRUE(waitUntil([&] { return bluez.calls >= bluezCalls; }));
        settle(150);
    };

    service.start();
    pollAndSettle(2);
    const QString first = QStringLiteral(
        "Studio Buds headphones 80 on, MX Anywhere 3 other 71 on, Ada's Phone iphone - off, "
        "Fenix 7 watch - off");
    EXPECT_EQ(events, QStringList{first});

    loop.tick();  // nothing changed
    pollAndSettle(3);
    EXPECT_EQ(events, QStringList{first});

    upower.set("mouse_dev_C0", 5, "MX Anywhere 3", 70);
    upower.set("headset_dev_AC", 17, "Studio Buds", 55);  // the detailed report still wins
    loop.tick();
    pollAndSettle(4);
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events.back(),
              QStringLiteral("Studio Buds headphones 80 on, MX Anywhere 3 other "
                             "70 on, Ada's Phone iphone - off, Fenix 7 watch - off"));

    bluez.setConnected(kBuds, false);
    bluez.setConnected(kMouse, false);
    bluez.setConnected(kNameless, false);
    bluez.add(kPhone, bluezDevice("A4:83:E7:00:00:07", "Ada's Phone", kPhoneClass, false, false));
    bluez.add(kWatch, bluezDevice("E0:00:00:00:00:04", "Fenix 7", 0, false, false));
    loop.tick();  // the fourth poll also reads the batteries again
    pollAndSettle(6);
    EXPECT_EQ(events.size(), 3);
    EXPECT_EQ(events.back(), QStringLiteral("ended"));
    loop.tick();
    pollAndSettle(7);
    EXPECT_EQ(events.size(), 3);
}

TEST_F(DevicesBusTest, LowPowerModeFollowsThePowerProfile) {
    FakePowerProfiles daemon(PowerProfilesLowPowerMode::current(), QStringLiteral("power-saver"));
    ASSERT_TRUE(daemon.publish());
    PowerProfilesLowPowerMode mode(QDBusConnection::sessionBus());
    EXPECT_TRUE(waitUntil([&] { return mode.isLowPowerModeEnabled(); }));

    daemon.setProfile(QStringLiteral("balanced"));
    EXPECT_TRUE(waitUntil([&] { return !mode.isLowPowerModeEnabled(); }));
    daemon.setProfile(QStringLiteral("power-saver"));
    EXPECT_TRUE(waitUntil([&] { return mode.isLowPowerModeEnabled(); }));
    daemon.stop();
    EXPECT_TRUE(waitUntil([&] { return !mode.isLowPowerModeEnabled(); }));

    // An older daemon under its former name, appearing later.
    FakePowerProfiles legacy(PowerProfilesLowPowerMode::legacy(), QStringLiteral("power-saver"));
    ASSERT_TRUE(legacy.publish());
    EXPECT_TRUE(waitUntil([&] { return mode.isLowPowerModeEnabled(); }));
}
