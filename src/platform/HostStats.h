#pragma once

#include "activities/StatsSnapshot.h"

#include <cstdint>
#include <optional>

namespace korvo {

/// Processor time since boot, in ticks.
struct CPUTicks {
    std::uint64_t user = 0;
    std::uint64_t system = 0;
    std::uint64_t idle = 0;
    std::uint64_t nice = 0;
};

struct SwapUsage {
    std::uint64_t total = 0;
    std::uint64_t used = 0;
};

/// One reading of memory; each half is absent when it could not be read.
struct MemoryReading {
    std::optional<std::uint64_t> used;  // bytes in use by programs and the kernel
    std::optional<SwapUsage> swap;
};

struct VolumeCapacity {
    std::int64_t free = 0;  // available to unprivileged users
    std::int64_t total = 0;
};

/// Byte totals since boot over the machine's physical network interfaces.
struct NetworkTotals {
    std::uint64_t rx = 0;
    std::uint64_t tx = 0;
};

/// Byte totals since boot over the machine's whole disks.
struct DiskTotals {
    std::uint64_t read = 0;
    std::uint64_t write = 0;
};

/// The machine's raw counters as the statistics sampler reads them. Calls answer at once from
/// the kernel's own bookkeeping, so the sampler may call them on the main thread; a reading that
/// fails is absent. Main-thread object.
class HostStats {
public:
    virtual ~HostStats() = default;

    virtual std::optional<CPUTicks> cpuTicks() = 0;
    /// Physical memory in bytes; 0 when unknown.
    virtual std::uint64_t physicalMemory() = 0;
    virtual MemoryReading memory() = 0;
    /// The volume the system runs from.
    virtual std::optional<VolumeCapacity> startupVolume() = 0;
    virtual std::optional<NetworkTotals> networkTotals() = 0;
    virtual std::optional<DiskTotals> diskTotals() = 0;
    /// Busy percentage of the first graphics processor whose driver reports one.
    virtual std::optional<int> gpuBusyPercent() = 0;
    virtual ThermalState thermalState() = 0;
};

/// Whether the system runs in its power-saving mode. Answers from what is already known, so it
/// never blocks. Main-thread object.
class LowPowerMode {
public:
    virtual ~LowPowerMode() = default;
    virtual bool isLowPowerModeEnabled() const = 0;
};

}  // namespace korvo
