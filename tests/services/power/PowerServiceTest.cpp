#include "services/power/BatteryActivityProvider.h"
#include "services/power/PowerService.h"

#include "core/VirtualLoop.h"
#include "settings/SettingsStore.h"

#include <QTemporaryDir>

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
        return QStringLiteral("toast %1 %2 / %3 p%4 %5s%6")
            .arg(t->icon, t->title, t->subtitle.value_or(QStringLiteral("-")))
            .arg(rawValue(t->priority))
            .arg(t->duration)
            .arg(t->action ? QStringLiteral(" +action") : QString());
    }
    if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
        const auto& a = u->activity;
        const auto* b = std::get_if<BatteryInfo>(&a.payload);
        if (!b) {
            return QStringLiteral("updated ") + a.id + QStringLiteral(" without battery payload");
        }
        return QStringLiteral("updated %1 %2 p%3 %4% %5 %6")
            .arg(a.id, rawValue(a.kind))
            .arg(rawValue(a.priority))
            .arg(b->percentage)
            .arg(b->isCharging ? QStringLiteral("charging") : QStringLiteral("discharging"))
            .arg(b->timeRemaining ? QString::number(*b->timeRemaining) : QStringLiteral("-"));
    }
    if (const auto* x = std::get_if<ActivityEnded>(&e)) {
        return QStringLiteral("ended ") + x->id;
    }
    return QStringLiteral("started ") + std::get<ActivityStarted>(e).activity.id;
}

class PowerServiceTest : public ::testing::Test {
protected:
    PowerServiceTest()
        : bus(loop),
          settings(dir.filePath(QStringLiteral("korvo.conf")), loop, bus, nullptr, nullptr),
          service(loop, bus, settings, source) {
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

    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus;
    SettingsStore settings;
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
    EXPECT_TRUE(events.isEmpty());

    // The warning itself: high priority, four seconds, no action.
    read(onAdapter(30));  // re-arms
    EXPECT_EQ(read(onBattery(19)),
              (QStringList{QStringLiteral("toast bolt.slash.fill Unplugged / 19% p1 2.5s"),
                           QStringLiteral("toast battery.25 Low Battery / 19% remaining p2 4s"),
                           kEnded}));
}

TEST_F(PowerServiceTest, ThresholdListKeepsDuplicatesAndSortsTheSetting) {
    settings.setLowBatteryThreshold(10);
    service.start();
    EXPECT_EQ(warningsFor({25, 20, 19, 15, 10, 9, 5}),
              (QStringList{"10% remaining", "5% remaining"}));

    // Truncated toward zero and sorted below 5: 3.9 gives 3, 5, 10.
    EXPECT_EQ(PowerService::thresholds(3.9), (std::vector<int>{3, 5, 10}));
    EXPECT_EQ(PowerService::thresholds(45), (std::vector<int>{5, 10, 45}));
    read(onAdapter(50));
    settings.setLowBatteryThreshold(3.9);
    EXPECT_EQ(warningsFor({12, 8, 4, 3, 2}),
              (QStringList{"8% remaining", "4% remaining", "3% remaining"}));
}

TEST_F(PowerServiceTest, ChargeThatRisesOnBatteryNeverWarns) {
    service.start();
    EXPECT_EQ(warningsFor({12}), (QStringList{"12% remaining"}));  // first reading, level 20
    EXPECT_EQ(warningsFor({9}), (QStringList{"9% remaining"}));    // level 10
    // Recalibrated upward into the 20 level: a new level, but not a fall.
    EXPECT_TRUE(warningsFor({11, 14, 17}).isEmpty());
    // Falling again from there warns for the level it was last warned about before the 10.
    EXPECT_EQ(warningsFor({16}), (QStringList{"16% remaining"}));
}

TEST_F(PowerServiceTest, AdapterReArmsWarningsButOnlyAFallWarnsAfterwards) {
    service.start();
    EXPECT_EQ(warningsFor({19}), (QStringList{"19% remaining"}));
    read(onAdapter(19));
    // Unplugged at the same charge: not a fall, so no warning yet.
    EXPECT_TRUE(warningsFor({19}).isEmpty());
    EXPECT_EQ(warningsFor({18}), (QStringList{"18% remaining"}));
    EXPECT_TRUE(warningsFor({17}).isEmpty());
}

TEST_F(PowerServiceTest, LowBatteryWarnIsReadAtEveryEvaluation) {
    settings.setLowBatteryWarn(false);
    service.start();
    EXPECT_TRUE(warningsFor({25, 19, 12}).isEmpty());
    settings.setLowBatteryWarn(true);
    EXPECT_EQ(warningsFor({11}), (QStringList{"11% remaining"}));
    settings.setLowBatteryWarn(false);
    EXPECT_TRUE(warningsFor({9}).isEmpty());
    settings.setLowBatteryWarn(true);
    EXPECT_EQ(warningsFor({8}), (QStringList{"8% remaining"}));
}

TEST_F(PowerServiceTest, PluggingInShowsChargingAndUnpluggingEndsIt) {
    service.start();
    EXPECT_EQ(read(onBattery(40)), QStringList{kEnded});  // no adapter toast on a first reading
    EXPECT_EQ(read(onAdapter(40, 95)),
              (QStringList{QStringLiteral("toast bolt.fill Charging / 40% p1 2.5s"),
                           QStringLiteral("updated battery.system battery p0 40% charging 5700")}));
    // Every notification refreshes the activity with a new start time.
    loop.advance(30);
    const auto before = loop.wallNow();
    std::optional<QDateTime> startedAt;
    auto probe = bus.subscribe([&](const IslandEvent& e) {
        if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
            startedAt = u->activity.startedAt;
        }
    });
    EXPECT_EQ(read(onAdapter(41, 90)),
              QStringList{QStringLiteral("updated battery.system battery p0 41% charging 5400")});
    EXPECT_EQ(startedAt, before);
    EXPECT_EQ(read(onBattery(41, 300)),
              (QStringList{QStringLiteral("toast bolt.slash.fill Unplugged / 41% p1 2.5s"),
                           kEnded}));
    EXPECT_EQ(read(onBattery(40)), QStringList{kEnded});  // ended again, on every evaluation
}

TEST_F(PowerServiceTest, FullToastOncePerChargeBelowFull) {
    service.start();
    read(onAdapter(99));
    EXPECT_EQ(read(onAdapter(100)),
              (QStringList{QStringLiteral("toast battery.100.bolt Fully Charged / - p0 2.5s"),
                           kEnded}));
    EXPECT_EQ(read(onAdapter(100)), QStringList{kEnded});
    // Unplugging and plugging in again at full does not arm it again.
    read(onBattery(100));
    EXPECT_EQ(read(onAdapter(100)),
              (QStringList{QStringLiteral("toast bolt.fill Charging / 100% p1 2.5s"), kEnded}));
    // Charging below full does.
    read(onAdapter(97));
    EXPECT_EQ(read(onAdapter(101)).first(),
              QStringLiteral("toast battery.100.bolt Fully Charged / - p0 2.5s"));
}

TEST_F(PowerServiceTest, BatteryToastsOffSilencesOnlyTheAdapterAndFullToasts) {
    settings.setBatteryToasts(false);
    service.start();
    read(onBattery(30));
    EXPECT_EQ(read(onAdapter(30)),
              QStringList{QStringLiteral("updated battery.system battery p0 30% charging -")});
    EXPECT_EQ(read(onAdapter(100)), QStringList{kEnded});
    EXPECT_EQ(read(onBattery(100)), QStringList{kEnded});
    EXPECT_EQ(warningsFor({19}), (QStringList{"19% remaining"}));
    // Read afresh: the next change of adapter toasts again, and the full charge that went
    // unannounced is announced now.
    settings.setBatteryToasts(true);
    EXPECT_EQ(read(onAdapter(100)).mid(0, 2),
              (QStringList{QStringLiteral("toast bolt.fill Charging / 100% p1 2.5s"),
                           QStringLiteral("toast battery.100.bolt Fully Charged / - p0 2.5s")}));
}

TEST_F(PowerServiceTest, ReadingTakesTheRemainingTimeForTheCurrentStateAndDefaults) {
    auto reading = [](PowerSourceDescription d) { return *PowerService::readBattery(d); };
    EXPECT_FALSE(reading(onAdapter(50, -1)).timeRemaining);  // still estimating
    EXPECT_FALSE(reading(onAdapter(50, 0)).timeRemaining);
    EXPECT_EQ(reading(onAdapter(50, 95)).timeRemaining, 5700.0);
    EXPECT_EQ(reading(onAdapter(50, 1)).timeRemaining, 60.0);
    EXPECT_EQ(reading(onBattery(50, 240)).timeRemaining, 14400.0);

    // Each state reads only its own key.
    auto both = onAdapter(50, 30);
    both.timeToEmpty = 200;
    EXPECT_EQ(reading(both).timeRemaining, 1800.0);
    both.powerSourceState = PowerSourceDescription::kBatteryPower;
    EXPECT_EQ(reading(both).timeRemaining, 12000.0);

    // Missing keys: capacity 0, and a missing or unknown state is not charging.
    PowerSourceDescription bare;
    EXPECT_EQ(reading(bare).percentage, 0);
    EXPECT_FALSE(reading(bare).isCharging);
    bare.powerSourceState = QStringLiteral("Off Line");
    EXPECT_FALSE(reading(bare).isCharging);

    service.start();
    EXPECT_EQ(read(PowerSourceDescription{}),
              (QStringList{QStringLiteral("toast battery.25 Low Battery / 0% remaining p2 4s"),
                           kEnded}));
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
    service.start();
    EXPECT_EQ(events,
              (QStringList{QStringLiteral("toast battery.100.bolt Fully Charged / - p0 2.5s"),
                           kEnded}));
    EXPECT_EQ(source.observers(), 1u);

    // Starting again replaces the registration: one evaluation per change, not two.
    service.start();
    EXPECT_EQ(source.observers(), 1u);
    EXPECT_EQ(read(onAdapter(80)),
              QStringList{QStringLiteral("updated battery.system battery p0 80% charging -")});

    BatteryActivityProvider provider(service);
    EXPECT_EQ(provider.name(), QStringLiteral("Battery"));
    source.current = onBattery(15);
    events.clear();
    provider.start();
    EXPECT_EQ(events.first(), QStringLiteral("toast bolt.slash.fill Unplugged / 15% p1 2.5s"));
    EXPECT_EQ(events.at(1), QStringLiteral("toast battery.25 Low Battery / 15% remaining p2 4s"));
}
