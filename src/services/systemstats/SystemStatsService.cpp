#include "SystemStatsService.h"
#include "core/MainThread.h"
#include "platform/PowerSource.h"

#include <algorithm>

namespace korvo {

namespace {

// Rates over two readings of ever-growing totals. A counter that went backwards (a device that
// went away, a counter that wrapped) or no elapsed time gives 0: a rate is never negative.
std::pair<double, double> perSecond(std::uint64_t a, std::uint64_t b, std::uint64_t lastA,
                                    std::uint64_t lastB, double seconds) {
    if (a < lastA || b < lastB || !(seconds > 0)) {
        return {0, 0};
    }
    return {static_cast<double>(a - lastA) / seconds, static_cast<double>(b - lastB) / seconds};
}

}  // namespace

SystemStatsService::SystemStatsService(MainLoop& loop, HostStats& host, PowerSource& power,
                                       LowPowerMode& lowPowerMode)
    : m_loop(loop), m_host(host), m_power(power), m_lowPowerMode(lowPowerMode) {
    m_snapshot.set(newSnapshot());
}

SystemStatsService::Snapshot SystemStatsService::newSnapshot() const {
    Snapshot snapshot;
    snapshot.ramTotal = m_host.physicalMemory();
    return snapshot;
}

void SystemStatsService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    ++m_viewers;
    if (m_timer.isActive()) {
        return;
    }
    // Armed before the first sample, so a viewer leaving from within it stops the timer too.
    m_timer = m_loop.scheduleRepeating(kInterval, kTolerance, [this, weak = m_life.weak()] {
        if (weak.lock()) {
            sample();
        }
    });
    sample();
}

void SystemStatsService::stop() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    m_viewers = std::max(0, m_viewers - 1);
    if (m_viewers == 0) {
        m_timer.cancel();
    }
}

void SystemStatsService::sample() {
    Snapshot s = newSnapshot();

    const auto cpu = cpuUsage();
    s.cpu = cpu ? *cpu : m_snapshot.get().cpu;

    if (const auto busy = m_host.gpuBusyPercent()) {
        s.gpu = *busy / 100.0;
    }

    const MemoryReading memory = m_host.memory();
    if (memory.used) {
        s.ramUsed = *memory.used;
        s.memoryPressure =
            s.ramTotal > 0 ? static_cast<double>(s.ramUsed) / static_cast<double>(s.ramTotal) : 0;
    }
    if (memory.swap) {
        s.swapTotal = memory.swap->total;
        s.swapUsed = memory.swap->used;
    }

    if (const auto volume = m_host.startupVolume()) {
        s.diskFree = volume->free;
        s.diskTotal = volume->total;
    }

    std::tie(s.netDown, s.netUp) = networkSpeed();
    std::tie(s.diskRead, s.diskWrite) = diskSpeed();

    if (const auto source = m_power.firstSource()) {
        s.battery = source->currentCapacity;
        s.isCharging = source->powerSourceState == PowerSourceDescription::kACPower;
    }

    s.thermal = m_host.thermalState();
    s.lowPowerMode = m_lowPowerMode.isLowPowerModeEnabled();

    m_snapshot.set(s);

    auto history = m_cpuHistory.get();
    history.push_back(s.cpu);
    if (history.size() > kHistoryLimit) {
        history.erase(history.begin(), history.begin() + static_cast<std::ptrdiff_t>(
                                                             history.size() - kHistoryLimit));
    }
    m_cpuHistory.set(std::move(history));
}

std::optional<double> SystemStatsService::cpuUsage() {
    const auto ticks = m_host.cpuTicks();
    if (!ticks) {
        return std::nullopt;
    }
    const auto last = std::exchange(m_lastCPUTicks, ticks);
    if (!last) {
        return std::nullopt;  // the first sample has nothing to compare with
    }
    // Counters that run backwards are not expected; such a sample has no value and becomes
    // the new baseline.
    if (ticks->user < last->user || ticks->system < last->system || ticks->idle < last->idle ||
        ticks->nice < last->nice) {
        return std::nullopt;
    }
    const std::uint64_t busy =
        (ticks->user - last->user) + (ticks->system - last->system) + (ticks->nice - last->nice);
    const std::uint64_t total = busy + (ticks->idle - last->idle);
    if (total == 0) {
        return std::nullopt;
    }
    return static_cast<double>(busy) / static_cast<double>(total);
}

std::pair<double, double> SystemStatsService::networkSpeed() {
    const auto totals = m_host.networkTotals();
    if (!totals) {
        return {0, 0};
    }
    const double now = m_loop.monotonicNow();
    std::pair<double, double> result{0, 0};
    if (m_lastNet) {
        result = perSecond(totals->rx, totals->tx, m_lastNet->totals.rx, m_lastNet->totals.tx,
                           now - m_lastNet->at);
    }
    m_lastNet = TotalsReading<NetworkTotals>{*totals, now};
    return result;
}

std::pair<double, double> SystemStatsService::diskSpeed() {
    const auto totals = m_host.diskTotals();
    if (!totals) {
        return {0, 0};
    }
    const double now = m_loop.monotonicNow();
    std::pair<double, double> result{0, 0};
    if (m_lastDisk) {
        result = perSecond(totals->read, totals->write, m_lastDisk->totals.read,
                           m_lastDisk->totals.write, now - m_lastDisk->at);
    }
    m_lastDisk = TotalsReading<DiskTotals>{*totals, now};
    return result;
}

}  // namespace korvo
