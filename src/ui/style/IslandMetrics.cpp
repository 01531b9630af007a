#include "IslandMetrics.h"

#include <algorithm>

namespace korvo {

StatsGrid statsGrid(int enabled) {
    const int k = std::max(1, enabled);
    return {std::min(k, 4), (k + 3) / 4};
}

QSizeF expandedSize(const NotchGeometry& notch, const std::optional<Activity>& focused,
                    const SizeInputs& inputs) {
    const double w = notch.width;
    const double h = notch.height;
    const double wide = std::max(430.0, w + 210);
    const double small = std::max(340.0, w + 130);
    if (!focused) {
        return {small, h + 56};
    }
    switch (payloadCase(focused->payload)) {
        case PayloadCase::nowPlaying: {
            const auto& info = std::get<NowPlayingInfo>(focused->payload);
            if (info.duration > 0) {
                return {wide, h + 138};
            }
            // A tab without a length has a line saying so between the track and the buttons.
            return {wide, h + (info.sourceApp == MediaSource::browser ? 124 : 110)};
        }
        case PayloadCase::battery:
            return {std::max(370.0, w + 150), h + 96};
        case PayloadCase::bluetooth:
        case PayloadCase::generic:
            return {small, h + 56};
        case PayloadCase::calendar: {
            const int n = inputs.calendarEventsToday;
            return {wide, n <= 1 ? h + 88 : h + std::min(n, 3) * 44 + 26};
        }
        case PayloadCase::clipboard:
            return {wide, h + 126};
        case PayloadCase::devices: {
            const auto count = static_cast<int>(
                std::get<std::vector<ConnectedDeviceInfo>>(focused->payload).size());
            return {std::max(400.0, w + 190), h + 18 + std::min(count, 5) * 34};
        }
        case PayloadCase::systemStats: {
            const auto grid = statsGrid(inputs.enabledStats);
            return {std::max(330.0, grid.columns * 135.0 + 24),
                    h + grid.rows * 66 + 28 + (grid.rows - 1) * 6};
        }
    }
    return {wide, h + 138};
}

QSizeF islandSize(IslandState state, const NotchGeometry& notch,
                  const std::optional<Activity>& focused, const SizeInputs& inputs) {
    const double w = notch.width;
    const double h = notch.height;
    switch (state) {
        case IslandState::hidden:
            return {w, h};
        case IslandState::compact:
            return {w + 96, h};
        case IslandState::medium:
            return {std::max(380.0, w + 190), h + 40};
        case IslandState::expanded:
            return expandedSize(notch, focused, inputs);
        case IslandState::hud:
            return {560, h + 152};
    }
    return {w, h};
}

double bottomRadius(IslandState state, const NotchGeometry& notch) {
    switch (state) {
        case IslandState::hidden:
        case IslandState::compact:
            return notch.height / 2 + 2;
        case IslandState::medium:
            return 20;
        case IslandState::expanded:
        case IslandState::hud:
            return 28;
    }
    return 20;
}

}  // namespace korvo

namespace korvo {

int countTodayOrOngoing(const std::vector<CalendarEventInfo>& events, const QDateTime& now) {
    const QDate today = now.toLocalTime().date();
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const auto& e) {
        return e.start.toLocalTime().date() == today || e.isOngoing(now);
    }));
}

}  // namespace korvo
