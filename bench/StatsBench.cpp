#include "core/VirtualLoop.h"
#include "platform/PowerSource.h"
#include "platform/linux/ProcHostStats.h"
#include "services/systemstats/SystemStatsService.h"

#include <benchmark/benchmark.h>

#include <time.h>

using namespace korvo;

namespace {

class NoBattery final : public PowerSource {
public:
    std::optional<PowerSourceDescription> firstSource() const override { return std::nullopt; }
    Subscription observe(std::function<void()>) override { return {}; }
};

class NotSaving final : public LowPowerMode {
public:
    bool isLowPowerModeEnabled() const override { return false; }
};

double threadCpuMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

}  // namespace

// One statistics sample on this machine's own /proc and /sys, as the HUD takes it every 2 s:
// every file read and parsed, the rates worked out, the snapshot and history published. The
// counter reports the CPU time of the sampling thread, kernel time included.
static void BM_StatsSample(benchmark::State& st) {
    VirtualLoop loop;
    ProcHostStats host;
    NoBattery power;
    NotSaving lowPower;
    SystemStatsService service(loop, host, power, lowPower);
    service.start();  // the first sample finds the interfaces, disks, cards and zones
    double cpu = 0;
    for (auto _ : st) {
        const double before = threadCpuMicroseconds();
        loop.advance(SystemStatsService::kInterval);
        cpu += threadCpuMicroseconds() - before;
    }
    st.counters["cpu_us"] = benchmark::Counter(cpu / static_cast<double>(st.iterations()));
}
BENCHMARK(BM_StatsSample)->Unit(benchmark::kMicrosecond);
