#include "services/power/BatteryActivityProvider.h"
#include "services/power/PowerService.h"

#include "core/VirtualLoop.h"
#include "fakes/PlainPreferences.h"

#include <gtest/gtest.h>
#include "fakes/QtPrinters.h"

#include <variant>

using namespace korvo;

namespace {

class FakePowerSource : public PowerSource {
public:
    std::optional<PowerSourceDescription> firstSource() const override { return current; }
    Subscription observe(std::function<void()> changed) override {
        return m_changed.subscribe([fn = std::move(changed)](const std::monostate&) { fn(); });
    }
    void report(std::optional<PowerSourceDescription> d) {
        current = std::move(d);
        m_changed.send(std::monostate{});
    }
    std::size_t observers() const { return m_changed.subscriberCount(); }

    std::optional<PowerSourceDescription> current;

private:
    Signal<std::monostate> m_changed;
};

PowerSourceDescription onBattery(int percent, std::optional<int> toEmpty = std::nullopt) {
    PowerSourceDescription d;
    d.currentCapacity = percent;
    d.powerSourceState = PowerSourceDescription::kBatteryPower;
    d.timeToEmpty = toEmpty;
    return d;
}

PowerSourceDescription onAdapter(int percent, std::optional<int> toFull = std::nullopt) {
    PowerSourceDescription d;
    d.currentCapacity = percent;
    d.powerSourceState = PowerSourceDescription::kACPower;
    d.timeToFullCharge = toFull;
    return d;
}

QString describe(const IslandEvent& e) {
    if (const auto* t = std::get_if<TransientNotification>(&e)) {
        EXPECT_FALSE(t->action) << "power toasts offer no action";
        return QStringLiteral("toast %1 %2 / %3 p%4 %5s")
            .arg(t->icon, t->title, t->subtitle.value_or(QStringLiteral("-")))
            .arg(rawValue(t->priority))
            .arg(t->duration);
    }
    if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
        const auto& a = u->activity;
        const auto& b = std::get<BatteryInfo>(a.payload);
        return QStringLiteral("updated %1 %2 p%3 %4% %5 %6")
            .arg(a.id, rawValue(a.kind))
            .arg(rawValue(a.priority))
            .arg(b.percentage)
            .arg(b.isCharging ? QStringLiteral("charging") : QStringLiteral("discharging"))
            .arg(b.timeRemaining ? QString::number(*b.timeRemaining) : QStringLiteral("-"));
    }
    if (const auto* x = std::get_if<ActivityEnded>(&e)) {
        return QStringLiteral("ended ") + x->id;
    }
    return QStringLiteral("started");  // never expected
}

class PowerServiceTest : public ::testing::Test {
protected:
    PowerServiceTest() : bus(loop), service(loop, bus, settings, source) {
        sub = bus.subscribe([this](const IslandEvent& e) { events << describe(e); });
    }

    // The events one reading produces.
    QStringList read(std::optional<PowerSourceDescription> d) {
        events.clear();
        source.report(std::move(d));
        return std::exchange(events, {});
    }
    // The "Low Battery" subtitles over a run of readings on battery.
    QStringList warningsFor(const std::vector<int>& percents) {
        QStringList warned;
        for (int p : percents) {
            for (const auto& e : read(onBattery(p))) {
                if (e.contains(QLatin1String("Low Battery"))) {
                    warned << e.section(QStringLiteral(" / "), 1).section(QLatin1Char(' '), 0, 1);
                }
            }
        }
        return warned;
    }

    VirtualLoop loop;
    EventBus bus;
    test::PlainPowerPreferences settings;
    FakePowerSource source;
    PowerService service;
    QStringList events;
    Subscription sub;
};

const QString kEnded = QStringLiteral("ended battery.system");

}  // namespace

TEST_F(PowerServiceTest, LowBatteryWarnsOnceAtEachThresholdItFallsThrough) {
    service.start();
    EXPECT_EQ(warningsFor({25, 20, 19, 15, 10, 9, 5}),
              (QStringList{"20% remaining", "10% remaining", "5% remaining"}));
    read(onAdapter(30));  // re-arms
    EXPECT_EQ(read(onBattery(19)),
              (QStringList{QStringLiteral("toast bolt.slash.fill Unplugged / 19% p1 2.5s"),
                           QStringLiteral("toast battery.25 Low Battery / 19% remaining p2 4s"),
                           kEnded}));

    // Threshold 10: the list is 5, 10, 10.
    settings.threshold = 10;
    read(onAdapter(30));
    EXPECT_EQ(warningsFor({25, 20, 19, 15, 10, 9, 5}),
              (QStringList{"10% remaining", "5% remaining"}));
    // Truncated toward zero and sorted: 3.9 gives 3, 5, 10.
    settings.threshold = 3.9;
    read(onAdapter(30));
    EXPECT_EQ(warningsFor({12, 8, 4, 3, 2}),
              (QStringList{"8% remaining", "4% remaining", "3% remaining"}));
}

TEST_F(PowerServiceTest, OnlyAFallingChargeWarns) {
    service.start();
    EXPECT_EQ(warningsFor({12, 9}), (QStringList{"12% remaining", "9% remaining"}));
    // Recalibrated upward into the 20 level: a new level, but not a fall.
    EXPECT_TRUE(warningsFor({11, 14, 17}).isEmpty());
    EXPECT_EQ(warningsFor({16}), (QStringList{"16% remaining"}));

    // The adapter re-arms the levels, but unplugging at the same charge is no fall either.
    read(onAdapter(16));
    EXPECT_TRUE(warningsFor({16}).isEmpty());
    EXPECT_EQ(warningsFor({15, 14}), (QStringList{"15% remaining"}));

    // The switch is read at each evaluation; while off, the remembered level stays.
    settings.warn = false;
    EXPECT_TRUE(warningsFor({9}).isEmpty());
    settings.warn = true;
    EXPECT_EQ(warningsFor({8}), (QStringList{"8% remaining"}));
}

TEST_F(PowerServiceTest, PluggingInShowsChargingAndUnpluggingEndsIt) {
    service.start();
    EXPECT_EQ(read(onBattery(40)), QStringList{kEnded});  // no adapter toast on a first reading
    EXPECT_EQ(read(onAdapter(40, 95)),
              (QStringList{QStringLiteral("toast bolt.fill Charging / 40% p1 2.5s"),
                           QStringLiteral("updated battery.system battery p0 40% charging 5700")}));
    // Every notification refreshes the activity, with a new start time.
    loop.advance(30);
    std::optional<QDateTime> startedAt;
    auto probe = bus.subscribe([&](const IslandEvent& e) {
        if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
            startedAt = u->activity.startedAt;
        }
    });
    EXPECT_EQ(read(onAdapter(41, -1)),
              QStringList{QStringLiteral("updated battery.system battery p0 41% charging -")});
    EXPECT_EQ(startedAt, loop.wallNow());
    EXPECT_EQ(
        read(onBattery(41, 300)),
        (QStringList{QStringLiteral("toast bolt.slash.fill Unplugged / 41% p1 2.5s"), kEnded}));
    EXPECT_EQ(read(onBattery(40)), QStringList{kEnded});  // ended again, on every evaluation
}

TEST_F(PowerServiceTest, FullToastOncePerChargeBelowFull) {
    service.start();
    read(onAdapter(99));
    const QString full = QStringLiteral("toast battery.100.bolt Fully Charged / - p0 2.5s");
    EXPECT_EQ(read(onAdapter(100)), (QStringList{full, kEnded}));
    EXPECT_EQ(read(onAdapter(100)), QStringList{kEnded});
    // Unplugging and plugging in again at full does not arm it again...
    read(onBattery(100));
    EXPECT_EQ(read(onAdapter(100)),
              (QStringList{QStringLiteral("toast bolt.fill Charging / 100% p1 2.5s"), kEnded}));
    // ...charging below full does.
    read(onAdapter(97));
    EXPECT_EQ(read(onAdapter(101)), (QStringList{full, kEnded}));

    // With the toasts off, only the toasts go: the activity and the warnings stay.
    settings.toasts = false;
    read(onBattery(30));
    EXPECT_EQ(read(onAdapter(30)),
              QStringList{QStringLiteral("updated battery.system battery p0 30% charging -")});
    EXPECT_EQ(read(onAdapter(100)), QStringList{kEnded});
    EXPECT_EQ(warningsFor({19}), (QStringList{"19% remaining"}));
    // The full charge that went unannounced is announced once they are back on.
    settings.toasts = true;
    EXPECT_EQ(read(onAdapter(100)).mid(1, 1), QStringList{full});
}

TEST_F(PowerServiceTest, ReadingTakesTheRemainingTimeForTheCurrentStateAndDefaults) {
    auto reading = [](PowerSourceDescription d) { return *PowerService::readBattery(d); };
    EXPECT_FALSE(reading(onAdapter(50, -1)).timeRemaining);  // still estimating
    EXPECT_FALSE(reading(onAdapter(50, 0)).timeRemaining);
    EXPECT_EQ(reading(onAdapter(50, 95)).timeRemaining, 5700.0);
    // Each state reads only its own key.
    auto both = onAdapter(50, 30);
    both.timeToEmpty = 200;
    EXPECT_EQ(reading(both).timeRemaining, 1800.0);
    both.powerSourceState = PowerSourceDescription::kBatteryPower;
    EXPECT_EQ(reading(both).timeRemaining, 12000.0);

    // Missing keys: capacity 0, and a missing or unknown state is not charging.
    PowerSourceDescription bare;
    EXPECT_FALSE(reading(bare).isCharging);
    bare.powerSourceState = QStringLiteral("Off Line");
    EXPECT_FALSE(reading(bare).isCharging);
    service.start();
    EXPECT_EQ(
        read(PowerSourceDescription{}),
        (QStringList{QStringLiteral("toast battery.25 Low Battery / 0% remaining p2 4s"), kEnded}));
}

TEST_F(PowerServiceTest, NoBatteryPostsNothingAndChangesNothing) {
    service.start();
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(read(std::nullopt).isEmpty());
    read(onBattery(50));
    EXPECT_TRUE(read(std::nullopt).isEmpty());
    // The reading before the gap still counts as the previous one.
    EXPECT_EQ(read(onAdapter(50)).first(),
              QStringLiteral("toast bolt.fill Charging / 50% p1 2.5s"));
}

TEST_F(PowerServiceTest, StartEvaluatesAtOnceWithoutAnAdapterToast) {
    source.current = onAdapter(100);
    BatteryActivityProvider provider(service);
    provider.start();
    EXPECT_EQ(
        events,
        (QStringList{QStringLiteral("toast battery.100.bolt Fully Charged / - p0 2.5s"), kEnded}));
    // Starting again replaces the registration: one evaluation per change, not two.
    service.start();
    EXPECT_EQ(source.observers(), 1u);
    EXPECT_EQ(read(onAdapter(80)),
              QStringList{QStringLiteral("updated battery.system battery p0 80% charging -")});
}
