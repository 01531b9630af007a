#pragma once

#include "activities/StatsSnapshot.h"
#include "core/Cancellable.h"
#include "core/MainLoop.h"
#include "core/Published.h"
#include "platform/HostStats.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace korvo {

class PowerSource;

/// Ever-growing totals as read at a moment, to take rates against.
template <typename Totals>
struct TotalsReading {
    Totals totals;
    double at = 0;
};

/// Samples the machine's load and resources into one snapshot, with a short history of the
/// processor load, every 2 s, but only while at least one view shows the statistics: views
/// register with `start()` and leave with `stop()`. Costs nothing while nobody looks.
/// Main-thread object.
class SystemStatsService {
public:
    using Snapshot = StatsSnapshot;

    static constexpr double kInterval = 2.0;
    static constexpr double kTolerance = 0.3;
    static constexpr std::size_t kHistoryLimit = 40;

    SystemStatsService(MainLoop& loop, HostStats& host, PowerSource& power,
                       LowPowerMode& lowPowerMode);
    SystemStatsService(const SystemStatsService&) = delete;
    SystemStatsService& operator=(const SystemStatsService&) = delete;

    /// A view starts showing statistics: the first one starts sampling, with one sample at once.
    void start();
    /// A view stops showing them: the last one stops sampling. Extra calls are ignored.
    void stop();

    /// The latest sample; a fresh snapshot until the first one.
    Published<Snapshot>& snapshot() { return m_snapshot; }
    const Published<Snapshot>& snapshot() const { return m_snapshot; }
    /// The processor load of each sample, oldest first, at most 40 entries.
    Published<std::vector<double>>& cpuHistory() { return m_cpuHistory; }
    const Published<std::vector<double>>& cpuHistory() const { return m_cpuHistory; }

    int viewers() const { return m_viewers; }
    bool isSampling() const { return m_timer.isActive(); }

    /// A snapshot before anything is measured: zeros, except the machine's physical memory.
    Snapshot newSnapshot() const;

private:
    void sample();
    std::optional<double> cpuUsage();
    std::pair<double, double> networkSpeed();
    std::pair<double, double> diskSpeed();

    MainLoop& m_loop;
    HostStats& m_host;
    PowerSource& m_power;
    LowPowerMode& m_lowPowerMode;

    Published<Snapshot> m_snapshot;
    Published<std::vector<double>> m_cpuHistory;
    TaskHandle m_timer;
    // The previous readings survive a pause, so the first sample after it spans the pause.
    std::optional<CPUTicks> m_lastCPUTicks;
    std::optional<TotalsReading<NetworkTotals>> m_lastNet;
    std::optional<TotalsReading<DiskTotals>> m_lastDisk;
    int m_viewers = 0;
    LifeToken m_life;
};

}  // namespace korvo
