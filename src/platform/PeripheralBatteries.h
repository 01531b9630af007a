#pragma once

#include "core/Cancellable.h"

#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

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

/// What a battery-powered peripheral is, as far as its low-battery warning goes.
enum class PeripheralKind { mouse, keyboard, headset, gamingInput, pen, touchpad, other };

/// The battery of one connected peripheral.
struct PeripheralLevel {
    QString name;
    PeripheralKind kind = PeripheralKind::other;
    int percent = 0;
    std::optional<bool> charging;  // unknown where the source does not tell

    bool operator==(const PeripheralLevel& other) const = default;
};

/// The batteries of connected peripherals, with word of every change.
class PeripheralLevelSource {
public:
    virtual ~PeripheralLevelSource() = default;
    /// The connected peripherals that report a level, one entry per name. Blocking: off the
    /// main thread, one call at a time. Any failure is an empty list.
    virtual std::vector<PeripheralLevel> readLevels() = 0;
    /// `changed` runs on the main thread whenever a level may have changed (a reading changed,
    /// a device came or went, a source appeared), until the subscription ends.
    virtual Subscription observe(std::function<void()> changed) = 0;
};

}  // namespace korvo
