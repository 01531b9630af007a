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

}  // namespace

IslandServices islandServicesFor(AppContext& context) {
    IslandServices services;
    services.media = context.media.get();
    LowPowerMode* lowPower = context.backends.lowPowerMode.get();
    services.lowPowerMode = [lowPower] { return lowPower->isLowPowerModeEnabled(); };

    CalendarService* calendar = context.calendar.get();
    services.calendar.upcoming = [calendar] { return calendar->upcoming.get(); };
    services.calendar.observe = observing(calendar->upcoming);

    ClipboardService* clipboard = context.clipboard.get();
    services.clipboard.history = [clipboard] { return clipboard->history.get(); };
    services.clipboard.copy = [clipboard](const ClipboardEntry& entry) {
        clipboard->copyToPasteboard(entry);
    };
    services.clipboard.observe = observing(clipboard->history);
    Pasteboard* pasteboard = context.backends.pasteboard.get();
    services.clipboard.available = [pasteboard] { return pasteboard->isAvailable(); };

    SystemStatsService* stats = context.stats.get();
    services.stats.snapshot = [stats] { return stats->snapshot().get(); };
    services.stats.cpuHistory = [stats] { return stats->cpuHistory().get(); };
    services.stats.addViewer = [stats] { stats->start(); };
    services.stats.removeViewer = [stats] { stats->stop(); };
    services.stats.observe = observing(stats->snapshot());
    return services;
}

}  // namespace korvo
