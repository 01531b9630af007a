#include "services/systemstats/SystemStatsActivityProvider.h"
#include "services/systemstats/SystemStatsService.h"

#include "core/EventBus.h"
#include "core/Posted.h"
#include "core/VirtualLoop.h"
#include "fakes/PlainPreferences.h"
#include "platform/PowerSource.h"

#include <gtest/gtest.h>
#include "fakes/QtPrinters.h"

using namespace korvo;
using Snapshot = SystemStatsService::Snapshot;

namespace {

constexpr std::uint64_t kGiB = 1024ull * 1024 * 1024;

class FakeHost : public HostStats {
public:
    std::optional<CPUTicks> cpuTicks() override {
        ++reads;
        return ticks;
    }
    std::uint64_t physicalMemory() override { return physical; }
    MemoryReading memory() override { return memoryReading; }
    std::optional<VolumeCapacity> startupVolume() override { return volume; }
    std::optional<NetworkTotals> networkTotals() override { return net; }
    std::optional<DiskTotals> diskTotals() override { return disk; }
    std::optional<int> gpuBusyPercent() override { return gpu; }
    ThermalState thermalState() override { return thermal; }

    // Advances the processor counters by `busy` of every 100 ticks.
    void load(std::uint64_t busy) {
        ticks->user += busy;
        ticks->idle += 100 - busy;
    }

    int reads = 0;
    std::optional<CPUTicks> ticks = CPUTicks{1000, 500, 8000, 0};
    std::uint64_t physical = 16 * kGiB;
    MemoryReading memoryReading{4 * kGiB, SwapUsage{2 * kGiB, kGiB / 2}};
    std::optional<VolumeCapacity> volume =
        VolumeCapacity{100 * std::int64_t(kGiB), 500 * std::int64_t(kGiB)};
    std::optional<NetworkTotals> net = NetworkTotals{1000, 500};
    std::optional<DiskTotals> disk = DiskTotals{10000, 20000};
    std::optional<int> gpu;
    ThermalState thermal = ThermalState::nominal;
};

class FakePower : public PowerSource {
public:
    std::optional<PowerSourceDescription> firstSource() const override { return source; }
    Subscription observe(std::function<void()>) override { return {}; }
    std::optional<PowerSourceDescription> source;
};

class FakeLowPower : public LowPowerMode {
public:
    bool isLowPowerModeEnabled() const override { return on; }
    bool on = false;
};

class SystemStatsTest : public ::testing::Test {
protected:
    SystemStatsTest() {
        sub = service.snapshot().subscribe([this](const Snapshot&) { ++published; });
        published = 0;
    }
    const Snapshot& now() const { return service.snapshot().get(); }

    VirtualLoop loop;
    FakeHost host;
    FakePower power;
    FakeLowPower lowPower;
    SystemStatsService service{loop, host, power, lowPower};
    int published = 0;
    Subscription sub;
};

}  // namespace

TEST_F(SystemStatsTest, NothingIsReadUntilAViewerComesThenOneSampleAtOnceAndEveryTwoSeconds) {
    EXPECT_EQ(now(), service.newSnapshot());
    EXPECT_EQ(now().ramTotal, 16 * kGiB);
    loop.advance(30);
    EXPECT_EQ(host.reads, 0);
    EXPECT_FALSE(service.isSampling());

    service.start();
    EXPECT_EQ(host.reads, 1);
    EXPECT_EQ(published, 1);
    loop.advance(1.9);
    EXPECT_EQ(host.reads, 1);
    loop.advance(0.1);
    EXPECT_EQ(host.reads, 2);
    loop.advance(10);
    EXPECT_EQ(host.reads, 7);
    EXPECT_EQ(published, 7);
}

TEST_F(SystemStatsTest, FirstSampleHasNoRatesAndTheSecondMeasuresTheInterval) {
    host.gpu = 37;
    host.thermal = ThermalState::serious;
    lowPower.on = true;
    power.source = PowerSourceDescription{64, PowerSourceDescription::kACPower, 30, std::nullopt};
    service.start();
    // No rates yet; levels need no previous sample.
    Snapshot expected;
    expected.gpu = 0.37;
    expected.ramUsed = 4 * kGiB;
    expected.ramTotal = 16 * kGiB;
    expected.memoryPressure = 0.25;
    expected.swapUsed = kGiB / 2;
    expected.swapTotal = 2 * kGiB;
    expected.diskFree = 100 * std::int64_t(kGiB);
    expected.diskTotal = 500 * std::int64_t(kGiB);
    expected.battery = 64;
    expected.isCharging = true;
    expected.thermal = ThermalState::serious;
    expected.lowPowerMode = true;
    EXPECT_EQ(now(), expected);

    host.load(30);
    host.ticks->system += 10;  // 40 busy of 110
    host.ticks->nice += 15;    // 55 busy of 125
    host.net = NetworkTotals{3000, 4500};
    host.disk = DiskTotals{10000 + 8192, 20000 + 4096};
    loop.advance(2);
    const Snapshot second = now();
    EXPECT_DOUBLE_EQ(second.cpu, 55.0 / 125.0);
    EXPECT_DOUBLE_EQ(second.netDown, 1000);
    EXPECT_DOUBLE_EQ(second.netUp, 2000);
    EXPECT_DOUBLE_EQ(second.diskRead, 4096);
    EXPECT_DOUBLE_EQ(second.diskWrite, 2048);
    EXPECT_EQ(service.cpuHistory().get(), (std::vector<double>{0, 55.0 / 125.0}));
}

TEST_F(SystemStatsTest, ACounterGoingBackwardsGivesZeroAndBecomesTheBaseline) {
    host.net = NetworkTotals{3000, 100};
    service.start();
    host.net = NetworkTotals{1000, 200};  // the interface went away and came back
    host.disk = DiskTotals{5000, 30000};
    loop.advance(2);
    EXPECT_EQ(now().netDown, 0);
    EXPECT_EQ(now().netUp, 0);
    EXPECT_EQ(now().diskRead, 0);
    EXPECT_EQ(now().diskWrite, 0);
    host.net = NetworkTotals{5000, 200};
    host.disk = DiskTotals{7000, 30000};
    loop.advance(2);
    EXPECT_DOUBLE_EQ(now().netDown, 2000);
    EXPECT_EQ(now().netUp, 0);
    EXPECT_DOUBLE_EQ(now().diskRead, 1000);

    // A failed reading leaves the baseline alone.
    host.net = std::nullopt;
    loop.advance(2);
    EXPECT_EQ(now().netDown, 0);
    host.net = NetworkTotals{9000, 200};
    loop.advance(2);
    EXPECT_DOUBLE_EQ(now().netDown, 1000);  // 4,000 bytes over 4 s
}

TEST_F(SystemStatsTest, ProcessorLoadWithoutAValueRepeatsTheLastOne) {
    service.start();
    host.load(50);
    loop.advance(2);
    EXPECT_DOUBLE_EQ(now().cpu, 0.5);

    host.ticks = std::nullopt;  // unreadable: the previous value, and the old baseline stays
    loop.advance(2);
    EXPECT_DOUBLE_EQ(now().cpu, 0.5);
    host.ticks = CPUTicks{1050 + 25, 500, 8050 + 75, 0};
    loop.advance(2);
    EXPECT_DOUBLE_EQ(now().cpu, 0.25);  // measured from the last good reading

    loop.advance(2);  // no ticks passed
    EXPECT_DOUBLE_EQ(now().cpu, 0.25);
    host.ticks = CPUTicks{10, 10, 10, 10};  // counters reset: no value, new baseline
    loop.advance(2);
    EXPECT_DOUBLE_EQ(now().cpu, 0.25);
    host.load(20);
    loop.advance(2);
    EXPECT_DOUBLE_EQ(now().cpu, 0.2);
    EXPECT_EQ(service.cpuHistory().get(),
              (std::vector<double>{0, 0.5, 0.5, 0.25, 0.25, 0.25, 0.2}));
}

TEST_F(SystemStatsTest, FailedReadingsFallBackToNeutralValues) {
    host.memoryReading = MemoryReading{};
    host.volume = std::nullopt;
    host.net = std::nullopt;
    host.disk = std::nullopt;
    service.start();
    // Zeros, no graphics load, no battery and not on the adapter: a fresh snapshot.
    EXPECT_EQ(now(), service.newSnapshot());
    EXPECT_EQ(now().ramTotal, 16 * kGiB);

    host.physical = 0;
    host.memoryReading.used = kGiB;
    power.source = PowerSourceDescription{std::nullopt, PowerSourceDescription::kBatteryPower,
                                          std::nullopt, std::nullopt};
    loop.advance(2);
    EXPECT_EQ(now().ramUsed, kGiB);
    EXPECT_EQ(now().memoryPressure, 0);
    EXPECT_EQ(now().battery, std::nullopt);
    EXPECT_FALSE(now().isCharging);
}

TEST_F(SystemStatsTest, SamplingRunsWhileAnyViewerRemainsAndResumesOverThePause) {
    service.start();
    service.start();
    EXPECT_EQ(host.reads, 1);  // a second viewer takes no extra sample
    service.stop();
    loop.advance(2);
    EXPECT_EQ(host.reads, 2);
    service.stop();
    EXPECT_FALSE(service.isSampling());
    loop.advance(20);
    EXPECT_EQ(host.reads, 2);
    service.stop();
    EXPECT_EQ(service.cpuHistory().get().size(), 2u);

    // The first sample after the pause measures over all of it.
    host.net = NetworkTotals{1000 + 20000, 500};  // 20 s since the last sample
    service.start();
    EXPECT_DOUBLE_EQ(now().netDown, 1000);
    EXPECT_EQ(service.cpuHistory().get().size(), 3u);
}

TEST_F(SystemStatsTest, HistoryKeepsTheNewestFortyOldestFirst) {
    service.start();
    for (int i = 1; i < 45; ++i) {
        host.load(static_cast<std::uint64_t>(i));
        loop.advance(2);
    }
    const auto& history = service.cpuHistory().get();
    ASSERT_EQ(history.size(), 40u);
    EXPECT_DOUBLE_EQ(history.front(), 0.05);
    EXPECT_DOUBLE_EQ(history.back(), 0.44);
}

TEST(SystemStatsProvider, PostsTheCardAtStartWhenEnabledAndFollowsTheSwitch) {
    VirtualLoop loop;
    EventBus bus(loop);
    test::PlainSystemCardPreferences settings;
    test::Posted posted(bus);
    settings.enabled = false;
    SystemStatsActivityProvider off(loop, bus, settings);
    off.start();
    EXPECT_TRUE(posted.log.isEmpty());  // nothing to take away at start-up

    settings.enabled = true;
    SystemStatsActivityProvider provider(loop, bus, settings);
    provider.start();
    loop.advance(3);
    settings.set(settings.enabled, false, "systemCardEnabled");
    loop.advance(5);
    settings.set(settings.enabled, true, "systemCardEnabled");
    settings.set(settings.enabled, true, "hudCPU");  // another key: nothing
    // Both providers follow the switch; each switch-on is a card started anew.
    EXPECT_EQ(posted.log,
              (QStringList{"started system.stats", "ended system.stats", "ended system.stats",
                           "started system.stats", "started system.stats"}));
    EXPECT_EQ(posted.activities.front().startedAt, loop.wallNow().addSecs(-8));
    EXPECT_EQ(posted.activities.back().startedAt, loop.wallNow());
}

TEST_F(SystemStatsTest, AViewerLeavingWithinTheFirstSampleLeavesNoTimerBehind) {
    auto leave = service.snapshot().subscribe([this](const Snapshot&) {
        if (service.viewers() > 0) {
            service.stop();
        }
    });
    service.start();
    EXPECT_FALSE(service.isSampling());
    loop.advance(10);
    EXPECT_EQ(host.reads, 1);
}
