#pragma once

#include <QString>

#include <map>
#include <optional>

namespace korvo {

/// A battery figure from the detailed report: the highest level the device reports (main,
/// left, right or case) and its charging state where the report tells it.
struct ReportedBattery {
    int level = 0;
    std::optional<bool> charging;

    bool operator==(const ReportedBattery& other) const = default;
};

/// Battery figures by device name.
using BatteryReport = std::map<QString, ReportedBattery>;

/// The detailed, slow source of peripheral batteries; the devices service reads it on every
/// third poll only. Blocking: off the main thread, one call at a time. Any failure is an empty
/// report.
class BatteryReportSource {
public:
    virtual ~BatteryReportSource() = default;
    virtual BatteryReport readBatteryReport() = 0;
};

/// The cheap source: percent by product name, read at every poll. Blocking: off the main
/// thread, one call at a time. Any failure is an empty map.
class PeripheralBatteries {
public:
    virtual ~PeripheralBatteries() = default;
    virtual std::map<QString, int> readPercentages() = 0;
};

}  // namespace korvo
