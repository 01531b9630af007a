#pragma once

#include <cstdint>
#include <optional>

namespace korvo {

/// How hot the machine runs, mildest first.
enum class ThermalState { nominal, fair, serious, critical };

/// One sample of the machine's load and resources: the statistics service takes it, the
/// statistics card shows it.
struct StatsSnapshot {
    double cpu = 0;               // fraction 0…1
    std::optional<double> gpu{};  // fraction 0…1; absent when no accelerator reports it
    std::uint64_t ramUsed = 0;    // bytes
    std::uint64_t ramTotal = 0;
    double memoryPressure = 0;  // ramUsed / ramTotal
    std::uint64_t swapUsed = 0;
    std::uint64_t swapTotal = 0;
    std::int64_t diskFree = 0;  // bytes, startup volume
    std::int64_t diskTotal = 0;
    double netDown = 0;  // bytes per second
    double netUp = 0;
    double diskRead = 0;
    double diskWrite = 0;
    std::optional<int> battery{};  // percent; absent without a battery
    bool isCharging = false;       // on the adapter, charging or not
    ThermalState thermal = ThermalState::nominal;
    bool lowPowerMode = false;

    bool operator==(const StatsSnapshot& other) const = default;
};

}  // namespace korvo
