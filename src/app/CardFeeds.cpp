#include "CardFeeds.h"

#include "app/AppContext.h"
#include "platform/HostStats.h"
#include "platform/Pasteboard.h"
#include "services/calendar/CalendarService.h"
#include "services/clipboard/ClipboardService.h"
#include "services/nowplaying/MediaService.h"
#include "services/systemstats/SystemStatsService.h"

namespace korvo {

namespace {

// A published value as the cards' change feed.
template <typename T>
ChangeObserver observing(Published<T>& value) {
    return [&value](std::function<void()> changed) {
        return value.subscribe([changed = std::move(changed)](const T&) { changed(); });
    };
}

StatsThermal thermalOf(ThermalState s) {
    switch (s) {
        case ThermalState::nominal:
            return StatsThermal::nominal;
        case ThermalState::fair:
            return StatsThermal::fair;
        case ThermalState::serious:
            return StatsThermal::serious;
        case ThermalState::critical:
            return StatsThermal::critical;
    }
    return StatsThermal::unknown;
}

StatsSnapshot snapshotOf(const SystemStatsService::Snapshot& s) {
    StatsSnapshot out;
    out.cpu = s.cpu;
    out.gpu = s.gpu;
    out.ramUsed = s.ramUsed;
    out.ramTotal = s.ramTotal;
    out.memoryPressure = s.memoryPressure;
    out.swapUsed = s.swapUsed;
    out.swapTotal = s.swapTotal;
    out.diskFree = s.diskFree;
    out.diskTotal = s.diskTotal;
    out.netDown = s.netDown;
    out.netUp = s.netUp;
    out.diskRead = s.diskRead;
    out.diskWrite = s.diskWrite;
    out.battery = s.battery;
    out.isCharging = s.isCharging;
    out.thermal = thermalOf(s.thermal);
    out.lowPowerMode = s.lowPowerMode;
    return out;
}

}  // namespace

IslandServices islandServicesFor(AppContext& context) {
    IslandServices services;
    services.media = context.media.get();
    LowPowerMode* lowPower = context.lowPowerMode.get();
    services.lowPowerMode = [lowPower] { return lowPower->isLowPowerModeEnabled(); };

    CalendarService* calendar = context.calendar.get();
    services.calendar.upcoming = [calendar] { return calendar->upcoming.get(); };
    services.calendar.observe = observing(calendar->upcoming);

    ClipboardService* clipboard = context.clipboard.get();
    services.clipboard.history = [clipboard] {
        std::vector<ClipboardEntry> entries;
        for (const auto& item : clipboard->history.get()) {
            entries.push_back({item.id, item.text, item.date});
        }
        return entries;
    };
    services.clipboard.copy = [clipboard](const ClipboardEntry& entry) {
        clipboard->copyToPasteboard({entry.id, entry.text, entry.date});
    };
    services.clipboard.observe = observing(clipboard->history);
    Pasteboard* pasteboard = context.pasteboard.get();
    services.clipboard.available = [pasteboard] { return pasteboard->isAvailable(); };

    SystemStatsService* stats = context.stats.get();
    services.stats.snapshot = [stats] { return snapshotOf(stats->snapshot().get()); };
    services.stats.cpuHistory = [stats] { return stats->cpuHistory().get(); };
    services.stats.addViewer = [stats] { stats->start(); };
    services.stats.removeViewer = [stats] { stats->stop(); };
    services.stats.observe = observing(stats->snapshot());
    return services;
}

}  // namespace korvo
