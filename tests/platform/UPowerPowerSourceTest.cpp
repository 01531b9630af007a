#include "platform/linux/UPowerPowerSource.h"

#include "DBusTestBus.h"
#include "core/QtMainLoop.h"
#include "fakes/QtPrinters.h"
#include "services/power/PowerService.h"
#include "settings/SettingsStore.h"

#include <QTemporaryDir>

using namespace korvo;
using korvo::testing::FakeService;
using korvo::testing::settle;
using korvo::testing::waitUntil;

namespace {

const QString kDeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");
const QString kDaemonInterface = QStringLiteral("org.freedesktop.UPower");

enum : uint { charging = 1, discharging = 2, fullyCharged = 4 };

QVariantMap device(double percent, uint state, qint64 toFull = 0, qint64 toEmpty = 0,
                   bool present = true) {
    return {{QStringLiteral("Type"), 2u},
            {QStringLiteral("IsPresent"), present},
            {QStringLiteral("Percentage"), percent},
            {QStringLiteral("State"), state},
            {QStringLiteral("TimeToFull"), toFull},
            {QStringLiteral("TimeToEmpty"), toEmpty}};
}

/// UPower's daemon object and display device, with the property types the daemon uses.
class FakeUPower : public FakeService {
public:
    FakeUPower()
        : FakeService(QStringLiteral("org.freedesktop.UPower"), UPowerPowerSource::kDaemonPath) {}

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != QLatin1String("org.freedesktop.DBus.Properties") ||
            message.member() != QLatin1String("GetAll")) {
            return false;
        }
        QVariantMap properties;
        {
            std::lock_guard lock(mutex);
            if (message.path() == UPowerPowerSource::kDaemonPath &&
                message.arguments().value(0).toString() == kDaemonInterface) {
                properties = m_daemon;
            } else if (message.path() == UPowerPowerSource::kDisplayDevicePath &&
                       message.arguments().value(0).toString() == kDeviceInterface) {
                properties = m_device;
            } else {
                return false;
            }
        }
        connection.send(message.createReply(QVariant(properties)));
        ++calls;
        return true;
    }

    void set(bool onBattery, const QVariantMap& deviceProperties, bool announce = true) {
        {
            std::lock_guard lock(mutex);
            m_daemon = {{QStringLiteral("OnBattery"), onBattery},
                        {QStringLiteral("DaemonVersion"), QStringLiteral("1.90")}};
            m_device = deviceProperties;
        }
        if (announce) {
            // As the daemon does: the changed values of each object, in a signal of its own.
            emitPropertiesChanged(UPowerPowerSource::kDaemonPath, kDaemonInterface,
                                  {{QStringLiteral("OnBattery"), onBattery}});
            emitPropertiesChanged(UPowerPowerSource::kDisplayDevicePath, kDeviceInterface,
                                  deviceProperties);
        }
    }

private:
    QVariantMap m_daemon;
    QVariantMap m_device;
};

class UPowerTest : public ::testing::Test {
protected:
    void SetUp() override {
        KORVO_REQUIRE_SESSION_BUS();
        loop = std::make_unique<QtMainLoop>();
        bus = std::make_unique<EventBus>(*loop);
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("k.conf")));
        source = std::make_unique<UPowerPowerSource>(QDBusConnection::sessionBus());
        service = std::make_unique<PowerService>(*loop, *bus, *settings, *source);
        sub = bus->subscribe([this](const IslandEvent& e) {
            if (const auto* t = std::get_if<TransientNotification>(&e)) {
                seen << QStringLiteral("toast ") + t->title;
            } else if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
                const auto& b = std::get<BatteryInfo>(u->activity.payload);
                seen << QStringLiteral("charging %1% %2")
                            .arg(b.percentage)
                            .arg(b.timeRemaining.value_or(-1));
            } else if (std::holds_alternative<ActivityEnded>(e)) {
                seen << QStringLiteral("ended");
            }
        });
    }
    void TearDown() override {
        service.reset();
        source.reset();
    }
    bool saw(const QString& what) {
        return waitUntil([&] { return seen.contains(what); });
    }

    QTemporaryDir dir;
    std::unique_ptr<QtMainLoop> loop;
    std::unique_ptr<EventBus> bus;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<UPowerPowerSource> source;
    std::unique_ptr<PowerService> service;
    QStringList seen;
    Subscription sub;
};

}  // namespace

TEST(UPowerDescription, MapsTheDisplayDeviceOntoThePowerSourceKeys) {
    auto d = UPowerPowerSource::describe(device(42.7, discharging, 0, 5400), true);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->currentCapacity, 42);  // truncated: 99.6 % is not full yet
    EXPECT_EQ(d->powerSourceState, PowerSourceDescription::kBatteryPower);
    EXPECT_EQ(d->timeToEmpty, 90);
    EXPECT_EQ(d->timeToFullCharge, 0);  // "not estimated" stays below one minute

    // The daemon's OnBattery wins over the device's state, which may lag or be unknown.
    d = UPowerPowerSource::describe(device(42, 0 /* unknown */), false);
    EXPECT_EQ(d->powerSourceState, PowerSourceDescription::kACPower);
    d = UPowerPowerSource::describe(device(42, 0), std::nullopt);
    EXPECT_FALSE(d->powerSourceState);
    d = UPowerPowerSource::describe(device(42, charging, 95 * 60 + 30), std::nullopt);
    EXPECT_EQ(d->powerSourceState, PowerSourceDescription::kACPower);
    EXPECT_EQ(d->timeToFullCharge, 95);

    // A pack that calls itself full short of 100 % reads as full.
    EXPECT_EQ(UPowerPowerSource::describe(device(96.0, fullyCharged), false)->currentCapacity, 100);
    EXPECT_EQ(UPowerPowerSource::describe(device(99.6, charging), false)->currentCapacity, 99);

    // A desktop: the display device is there, with no battery behind it.
    EXPECT_FALSE(UPowerPowerSource::describe(device(0, 0, 0, 0, false), false));
    EXPECT_FALSE(UPowerPowerSource::describe({}, std::nullopt));
}

TEST_F(UPowerTest, PlugInShowsChargingActivityAndToastThenFullAndUnplugged) {
    FakeUPower upower;
    upower.set(true, device(50, discharging, 0, 3 * 3600), false);
    ASSERT_TRUE(upower.publish());
    service->start();
    ASSERT_TRUE(saw(QStringLiteral("ended")));  // the first reading, on battery
    EXPECT_FALSE(seen.contains(QStringLiteral("toast Charging")));

    upower.set(false, device(50, charging, 95 * 60));
    ASSERT_TRUE(saw(QStringLiteral("toast Charging")));
    ASSERT_TRUE(saw(QStringLiteral("charging 50% 5700")));

    upower.set(false, device(100, fullyCharged));
    ASSERT_TRUE(saw(QStringLiteral("toast Fully Charged")));
    upower.set(true, device(100, discharging, 0, 600 * 60));
    ASSERT_TRUE(saw(QStringLiteral("toast Unplugged")));
}

TEST_F(UPowerTest, UPowerStartingLaterIsPickedUp) {
    service->start();
    settle();
    EXPECT_TRUE(seen.isEmpty());

    FakeUPower upower;
    upower.set(false, device(80.2, charging, 30 * 60), false);
    ASSERT_TRUE(upower.publish());
    ASSERT_TRUE(saw(QStringLiteral("charging 80% 1800")));

    // Gone and back under a new owner: still followed.
    upower.stop();
    settle();
    FakeUPower again;
    again.set(false, device(81, charging, 29 * 60), false);
    ASSERT_TRUE(again.publish());
    ASSERT_TRUE(saw(QStringLiteral("charging 81% 1740")));
    again.set(false, device(82, charging, 28 * 60));
    ASSERT_TRUE(saw(QStringLiteral("charging 82% 1680")));
}

TEST_F(UPowerTest, DesktopWithoutBatteryPostsNothing) {
    FakeUPower upower;
    upower.set(true, device(0, 0, 0, 0, false), false);
    ASSERT_TRUE(upower.publish());
    service->start();
    ASSERT_TRUE(waitUntil([&] { return upower.calls >= 2; }));
    upower.set(false, device(0, 0, 0, 0, false));
    ASSERT_TRUE(waitUntil([&] { return upower.calls >= 4; }));
    settle();
    EXPECT_TRUE(seen.isEmpty()) << seen.join(QStringLiteral(", ")).toStdString();
}
