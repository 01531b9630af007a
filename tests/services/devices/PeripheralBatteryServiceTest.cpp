#include "services/devices/PeripheralBatteryService.h"

#include "core/Posted.h"
#include "core/VirtualLoop.h"
#include "fakes/PlainPreferences.h"
#include "fakes/QtPrinters.h"
#include "platform/linux/BlueZDeviceRegistry.h"
#include "platform/linux/PeripheralBatteryWatch.h"
#include "platform/linux/UPowerPeripheralBatteries.h"
#include "ui/kit/Symbols.h"

#include <QFile>

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <variant>

using namespace korvo;

namespace {

// The warnings a run of readings gives, as "percent:threshold".
QStringList warnings(const std::vector<std::pair<int, bool>>& readings) {
    PeripheralBatteryAlarm alarm;
    QStringList out;
    for (const auto& [percent, charging] : readings) {
        if (const auto t = alarm.reading(percent, charging)) {
            out << QStringLiteral("%1:%2").arg(percent).arg(*t);
        }
    }
    return out;
}

std::vector<std::pair<int, bool>> discharging(std::initializer_list<int> levels) {
    std::vector<std::pair<int, bool>> r;
    for (int l : levels) {
        r.emplace_back(l, false);
    }
    return r;
}

class FakeLevels : public PeripheralLevelSource {
public:
    std::vector<PeripheralLevel> readLevels() override {
        ++reads;
        std::lock_guard lock(mutex);
        return levels;
    }
    Subscription observe(std::function<void()> changed) override {
        return m_changed.subscribe([fn = std::move(changed)](const std::monostate&) { fn(); });
    }
    void set(std::vector<PeripheralLevel> l) {
        {
            std::lock_guard lock(mutex);
            levels = std::move(l);
        }
        m_changed.send(std::monostate{});
    }
    void signalOnly() { m_changed.send(std::monostate{}); }

    std::atomic<int> reads{0};

private:
    std::mutex mutex;
    std::vector<PeripheralLevel> levels;
    Signal<std::monostate> m_changed;
};

class PeripheralBatteryServiceTest : public ::testing::Test {
protected:
    PeripheralBatteryServiceTest()
        : bus(loop), source(std::make_shared<FakeLevels>()), service(loop, bus, settings, source) {}
    void report(std::vector<PeripheralLevel> levels) {
        source->set(std::move(levels));
        loop.runUntilIdle();
    }

    VirtualLoop loop;
    EventBus bus;
    test::PlainPeripheralBatteryPreferences settings;
    std::shared_ptr<FakeLevels> source;
    PeripheralBatteryService service;
    test::Posted posted{bus};
    std::vector<TransientNotification>& toasts = posted.toasts;
};

PeripheralLevel mouse(int percent, std::optional<bool> charging = std::nullopt) {
    return {"MX Anywhere 3", PeripheralKind::mouse, percent, charging};
}

}  // namespace

TEST(PeripheralBatteryAlarm, WarnsOnceAtEachThresholdAndRearmsOnlyAboveThirty) {
    EXPECT_EQ(warnings(discharging({25, 21, 20, 19, 15, 11, 10, 9, 5, 0})),
              (QStringList{"20:20", "10:10"}));
    EXPECT_EQ(warnings(discharging({50, 5, 4})), (QStringList{"5:10"}))
        << "a fall past both thresholds warns once";
    EXPECT_EQ(warnings(discharging({15, 14})), (QStringList{"15:20"})) << "first seen already low";
    EXPECT_EQ(warnings(discharging({19, 25, 30, 19, 9, 28, 8})), (QStringList{"19:20", "9:10"}))
        << "up to 30 % does not re-arm";
    EXPECT_EQ(warnings(discharging({19, 31, 19, 9, 31, 5})),
              (QStringList{"19:20", "19:20", "9:10", "5:10"}));
    EXPECT_EQ(warnings({{15, true}, {12, true}, {12, false}, {9, true}, {8, false}}),
              (QStringList{"12:20", "8:10"}))
        << "a reading on the charger never warns";
    EXPECT_EQ(warnings({{15, false}, {35, true}, {18, false}}), (QStringList{"15:20", "18:20"}))
        << "a charge above 30 % re-arms even while charging";
}

TEST_F(PeripheralBatteryServiceTest, WarnsPerDeviceWithItsKindAndKeepsWhatLeavingDevicesSaid) {
    service.start();
    loop.runUntilIdle();
    const PeripheralLevel pad{"Wireless Controller", PeripheralKind::gamingInput, 60, false};
    report({mouse(40), pad});
    report({mouse(19), pad});
    ASSERT_EQ(toasts.size(), 1u);
    EXPECT_EQ(toasts[0].title, "Mouse battery low");
    EXPECT_EQ(toasts[0].subtitle, "19 % · MX Anywhere 3");
    EXPECT_EQ(toasts[0].icon, PeripheralBatteryService::symbol(PeripheralKind::mouse));

    report({pad});             // the mouse goes away ...
    report({mouse(18), pad});  // ... and comes back still low: no second warning
    EXPECT_EQ(toasts.size(), 1u);

    report({mouse(9), {"Wireless Controller", PeripheralKind::gamingInput, 9, false}});
    ASSERT_EQ(toasts.size(), 3u);
    EXPECT_EQ(toasts[1].title, "Mouse battery low");
    EXPECT_EQ(toasts[2].title, "Controller battery low");
    EXPECT_GT(toasts[1].priority, toasts[0].priority) << "the last warning weighs more";
}

TEST_F(PeripheralBatteryServiceTest, SwitchedOffItStaysQuietWithoutSavingOldNewsForLater) {
    settings.warn = false;
    service.start();
    report({mouse(19)});
    EXPECT_TRUE(toasts.empty());
    settings.warn = true;
    report({mouse(18)});
    EXPECT_TRUE(toasts.empty()) << "the 20 % warning was due while off";
    report({mouse(10)});
    EXPECT_EQ(toasts.size(), 1u);
}

TEST_F(PeripheralBatteryServiceTest, SignalsDuringAReadingMakeOneMoreReading) {
    service.start();
    EXPECT_EQ(service.isReading(), true);
    for (int i = 0; i < 5; ++i) {
        source->signalOnly();
    }
    loop.runUntilIdle();
    EXPECT_EQ(source->reads, 2);
    EXPECT_EQ(service.readings(), 2);
    EXPECT_FALSE(service.isReading());
    source->signalOnly();
    loop.runUntilIdle();
    EXPECT_EQ(source->reads, 3);
}

TEST(PeripheralKinds, EveryKindHasANameAndASymbolThatDraws) {
    std::set<QString> names;
    for (auto kind : {PeripheralKind::mouse, PeripheralKind::keyboard, PeripheralKind::headset,
                      PeripheralKind::gamingInput, PeripheralKind::pen, PeripheralKind::touchpad,
                      PeripheralKind::other}) {
        names.insert(PeripheralBatteryService::kindName(kind));
        const auto file = ui::Symbols::fileFor(PeripheralBatteryService::symbol(kind));
        ASSERT_TRUE(file);
        EXPECT_TRUE(QFile::exists(*file)) << file->toStdString();
    }
    EXPECT_EQ(names.size(), 7u);
}

TEST(PeripheralReaders, UPowerDevicesBecomePeripheralsByTypeAndState) {
    auto device = [](uint type, const QString& model, double percent, uint state = 2) {
        return QVariantMap{{"Type", type},
                           {"Model", model},
                           {"Percentage", percent},
                           {"State", state},
                           {"IsPresent", true}};
    };
    using U = UPowerPeripheralBatteries;
    EXPECT_EQ(U::peripheral(device(5, "Mouse", 19.6)),
              (PeripheralLevel{"Mouse", PeripheralKind::mouse, 20, false}));
    EXPECT_EQ(U::peripheral(device(19, "Buds", 40, 1))->charging, true);
    EXPECT_EQ(U::peripheral(device(19, "Buds", 40, 1))->kind, PeripheralKind::headset);
    EXPECT_EQ(U::peripheral(device(14, "Pad", 40, 4))->charging, true);
    EXPECT_EQ(U::peripheral(device(14, "Pad", 40, 0))->charging, std::nullopt) << "unknown state";
    EXPECT_FALSE(U::peripheral(device(2, "Internal", 5))) << "the laptop's own battery";
    EXPECT_FALSE(U::peripheral(device(8, "Phone", 5)));
    EXPECT_FALSE(U::peripheral(device(5, "", 5))) << "nameless";
    auto absent = device(6, "Keyboard", 5);
    absent.insert("IsPresent", false);
    EXPECT_FALSE(U::peripheral(absent));
    // The devices list keeps reading its narrower set.
    EXPECT_FALSE(U::peripheralLevel(device(13, "Pen", 50)));
    EXPECT_TRUE(U::peripheralLevel(device(12, "Pad", 50)));
}

TEST(PeripheralReaders, BlueZDevicesByIconThenClass) {
    auto kind = [](const QString& icon, uint cls) {
        QVariantMap d;
        if (!icon.isEmpty()) {
            d.insert("Icon", icon);
        }
        if (cls != 0) {
            d.insert("Class", cls);
        }
        return BlueZDeviceRegistry::peripheralKind(d);
    };
    EXPECT_EQ(kind("input-gaming", 0x002540), PeripheralKind::gamingInput) << "the icon decides";
    EXPECT_EQ(kind("", 0x002540), PeripheralKind::keyboard);
    EXPECT_EQ(kind("", 0x002580), PeripheralKind::mouse);
    EXPECT_EQ(kind("", 0x0025C0), PeripheralKind::keyboard);  // keyboard with pointing device
    EXPECT_EQ(kind("", 0x002508), PeripheralKind::gamingInput);
    EXPECT_EQ(kind("", 0x002514), PeripheralKind::pen);
    EXPECT_EQ(kind("", 0x240404), PeripheralKind::headset);
    EXPECT_EQ(kind("", 0x240414), PeripheralKind::other);  // a loudspeaker
    EXPECT_FALSE(kind("", 0x5a020c)) << "a phone";
    EXPECT_FALSE(kind("computer", 0));
    EXPECT_FALSE(kind("", 0x000704)) << "a watch";
    EXPECT_EQ(kind("", 0), PeripheralKind::other);

    BlueZDeviceRegistry::ManagedObjects objects;
    auto add = [&](const QString& path, const QString& name, bool connected, QString icon,
                   std::optional<int> battery) {
        objects[path]["org.bluez.Device1"] = {
            {"Alias", name}, {"Name", name}, {"Connected", connected}, {"Icon", icon}};
        if (battery) {
            objects[path]["org.bluez.Battery1"] = {
                {"Percentage", QVariant::fromValue(uchar(*battery))}};
        }
    };
    add("/a", "Buds", true, "audio-headset", 15);
    add("/b", "Mouse", false, "input-mouse", 5);  // not connected
    add("/c", "Keyboard", true, "input-keyboard", std::nullopt);
    add("/d", "Phone", true, "phone", 5);
    EXPECT_EQ(BlueZDeviceRegistry::peripheralsFrom(objects),
              (std::vector<PeripheralLevel>{{"Buds", PeripheralKind::headset, 15, std::nullopt}}));
}

TEST(PeripheralReaders, UPowerWinsOverBlueZForTheSameDeviceInAnyCase) {
    const auto merged =
        PeripheralBatteryWatch::merge({{"MX Anywhere 3", PeripheralKind::mouse, 40, false}},
                                      {{"mx anywhere 3", PeripheralKind::other, 5, std::nullopt},
                                       {"Buds", PeripheralKind::headset, 50, std::nullopt}});
    EXPECT_EQ(merged,
              (std::vector<PeripheralLevel>{{"MX Anywhere 3", PeripheralKind::mouse, 40, false},
                                            {"Buds", PeripheralKind::headset, 50, std::nullopt}}));
}
