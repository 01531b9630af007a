#pragma once

#include "platform/HostStats.h"

#include <QString>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace korvo {

/// The machine's counters from the kernel's own files: `/proc/stat`, `/proc/meminfo`,
/// `/proc/net/dev` and `/proc/diskstats`, `statvfs` of the root, DRM's `gpu_busy_percent` and the
/// thermal zones in `/sys`. Every path is taken below `root`, so tests read fixture trees.
/// Which interfaces, disks, graphics cards and thermal zones count is worked out once per change
/// of the kernel's lists, so a reading is a handful of small file reads. Main-thread object.
class ProcHostStats final : public HostStats {
public:
    explicit ProcHostStats(const QString& root = QStringLiteral("/"));

    std::optional<CPUTicks> cpuTicks() override;
    std::uint64_t physicalMemory() override;
    MemoryReading memory() override;
    std::optional<VolumeCapacity> startupVolume() override;
    std::optional<NetworkTotals> networkTotals() override;
    std::optional<DiskTotals> diskTotals() override;
    std::optional<int> gpuBusyPercent() override;
    ThermalState thermalState() override;

    /// Without trip points a zone is judged by these temperatures, in millidegrees Celsius.
    static constexpr long kFairAt = 80000;
    static constexpr long kSeriousAt = 90000;
    static constexpr long kCriticalAt = 100000;

    struct TripPoint {
        std::string type;  // "active", "passive", "hot" or "critical"
        long temperature = 0;
    };
    /// How hot a zone at `temperature` runs against its trip points (or the fixed thresholds
    /// when it has none worth the name).
    static ThermalState judge(long temperature, const std::vector<TripPoint>& trips);

private:
    struct Zone {
        std::string temperaturePath;
        std::vector<TripPoint> trips;
    };

    std::string path(std::string_view relative) const;
    bool read(const std::string& path, std::size_t limit = 64 * 1024);
    bool exists(const std::string& path) const;
    void findGraphicsCards();
    void findThermalZones();

    std::string m_root;    // without a trailing slash; empty for "/"
    std::string m_buffer;  // reused by every read
    std::uint64_t m_physicalMemory = 0;

    std::string m_interfaceNames;  // the names the physical set below was worked out for
    std::set<std::string, std::less<>> m_physicalInterfaces;
    std::string m_diskNames;
    std::set<std::string, std::less<>> m_wholeDisks;
    bool m_cardsFound = false;
    std::vector<std::string> m_cards;  // device folders that report a busy percentage
    bool m_zonesFound = false;
    std::vector<Zone> m_zones;
};

}  // namespace korvo
