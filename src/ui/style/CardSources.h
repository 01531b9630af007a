#pragma once

#include "activities/Activity.h"
#include "activities/ClipboardEntry.h"
#include "activities/StatsSnapshot.h"
#include "core/Cancellable.h"

#include <functional>
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

/// The clipboard card's feed, and the way back to the clipboard.
struct ClipboardSource {
    std::function<std::vector<ClipboardEntry>()> history{};  // empty: nothing copied yet
    std::function<void(const ClipboardEntry&)> copy{};       // puts an entry back, unrecorded
    ChangeObserver observe{};
    std::function<bool()> available{};  // empty: the desktop shares its clipboard
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
