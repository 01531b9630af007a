#pragma once

#include "activities/Activity.h"
#include "core/Cancellable.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace korvo {

/// Tells the window that something a card reads has changed, so the island is drawn again.
/// Returns the subscription that keeps the call coming.
using ChangeObserver = std::function<Subscription(std::function<void()>)>;

/// The calendar card's feed: the next few timed events, earliest first.
struct CalendarSource {
    std::function<std::vector<CalendarEventInfo>()> upcoming{};  // empty: no events
    ChangeObserver observe{};                                    // empty: never changes
};

/// One remembered copy, newest first in the history.
struct ClipboardEntry {
    QUuid id;
    QString text;
    QDateTime date;

    bool operator==(const ClipboardEntry& other) const = default;
};

/// The clipboard card's feed, and the way back to the clipboard.
struct ClipboardSource {
    std::function<std::vector<ClipboardEntry>()> history{};  // empty: nothing copied yet
    std::function<void(const ClipboardEntry&)> copy{};       // puts an entry back, unrecorded
    ChangeObserver observe{};
    std::function<bool()> available{};  // empty: the desktop shares its clipboard
};

enum class StatsThermal { nominal, fair, serious, critical, unknown };

/// One sample of the machine's load and resources.
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
    bool isCharging = false;
    StatsThermal thermal = StatsThermal::nominal;
    bool lowPowerMode = false;
};

/// The statistics card's feed. The sampler runs only while someone looks: the card calls
/// `addViewer` when it comes on screen and `removeViewer` when it leaves.
struct StatsSource {
    std::function<StatsSnapshot()> snapshot{};
    std::function<std::vector<double>()> cpuHistory{};  // processor load, oldest first
    std::function<void()> addViewer{};
    std::function<void()> removeViewer{};
    ChangeObserver observe{};
};

}  // namespace korvo
