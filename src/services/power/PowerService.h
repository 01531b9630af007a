#pragma once

#include "activities/Activity.h"
#include "core/Cancellable.h"
#include "core/EventBus.h"
#include "core/MainLoop.h"
#include "platform/PowerSource.h"
#include "settings/Preferences.h"

#include <optional>
#include <vector>

namespace korvo {

/// Watches the internal battery: shows the battery activity while it charges below full, toasts
/// when the adapter comes or goes and when the battery is full, and warns when it runs low on
/// its own. Main-thread object.
class PowerService {
public:
    static const QString activityID;

    PowerService(MainLoop& loop, EventBus& bus, PowerPreferences& settings, PowerSource& source);
    PowerService(const PowerService&) = delete;
    PowerService& operator=(const PowerService&) = delete;

    /// Registers for power-source changes (replacing an earlier registration) and evaluates
    /// once at once.
    void start();

    /// One reading of the first power source, or nothing when there is no battery.
    static std::optional<BatteryInfo> readBattery(
        const std::optional<PowerSourceDescription>& description);
    /// 5, 10 and the threshold truncated toward zero, ascending; duplicates stay.
    static std::vector<int> thresholds(double lowBatteryThreshold);

private:
    void powerChanged();
    void warnIfLow(int percentage);

    MainLoop& m_loop;
    EventBus& m_bus;
    PowerPreferences& m_settings;
    PowerSource& m_source;

    std::optional<Subscription> m_runLoopSource;  // the change registration
    std::optional<bool> m_wasCharging;
    std::optional<int> m_lastWarnedLevel;
    std::optional<int> m_lastPercentage;
    bool m_announcedFull = false;
};

}  // namespace korvo
