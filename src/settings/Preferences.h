#pragma once

#include "core/Cancellable.h"
#include "core/IslandPreferences.h"
#include "platform/NotificationMonitor.h"
#include "settings/HUDStat.h"

#include <QString>

#include <functional>
#include <vector>

namespace korvo {

// What each service and the views read of the user's preferences: one small interface per
// reader, with just the keys it reads, spelled as the store spells them. `SettingsStore`
// implements them all; a test hands a reader plain values instead. (`IslandPreferences`, what
// the island's behaviour reads, lives in core with the view model.)

/// A reader that follows changes as they are made.
class PreferenceChanges {
public:
    virtual ~PreferenceChanges() = default;
    /// Called after every write with the key written.
    virtual Subscription observe(std::function<void(const QString& key)> fn) = 0;
};

class ClipboardPreferences {
public:
    virtual ~ClipboardPreferences() = default;
    virtual bool clipboardEnabled() const = 0;
    virtual int clipboardHistoryLimit() const = 0;
    virtual bool otpDetection() const = 0;
};

class CalendarPreferences {
public:
    virtual ~CalendarPreferences() = default;
    virtual bool calendarEnabled() const = 0;
    virtual double calendarLeadMinutes() const = 0;
};

class PowerPreferences {
public:
    virtual ~PowerPreferences() = default;
    virtual bool batteryToasts() const = 0;
    virtual bool lowBatteryWarn() const = 0;
    virtual double lowBatteryThreshold() const = 0;
};

class PeripheralBatteryPreferences {
public:
    virtual ~PeripheralBatteryPreferences() = default;
    virtual bool peripheralBatteryWarn() const = 0;
};

class MediaPreferences : public PreferenceChanges {
public:
    virtual bool browserMedia() const = 0;
    virtual bool trackChangeToast() const = 0;
};

/// The notification service also keeps the list of applications seen, and says where watching
/// stands so the settings window can show it.
class NotificationPreferences : public PreferenceChanges {
public:
    virtual bool desktopNotifications() const = 0;
    virtual double toastDuration() const = 0;
    virtual QString notificationApps() const = 0;
    virtual void rememberNotificationApps(const QString& apps) = 0;
    virtual void reportMonitorStatus(NotificationMonitorStatus status) = 0;
};

class DisplayPreferences : public PreferenceChanges {
public:
    virtual QString display() const = 0;
};

class FullScreenPreferences : public PreferenceChanges {
public:
    virtual bool hideInFullScreen() const = 0;
};

class SystemCardPreferences : public PreferenceChanges {
public:
    virtual bool systemCardEnabled() const = 0;
};

/// What the island's views read at each build, so a change shows at the next redraw.
class ViewPreferences {
public:
    virtual ~ViewPreferences() = default;
    virtual QString islandStyle() const = 0;
    virtual QString accentMode() const = 0;
    virtual bool artworkGlow() const = 0;
    virtual bool showCarouselDots() const = 0;
    /// The statistics whose flag is on, in `HUDStat` order.
    virtual std::vector<HUDStat> enabledStats() const = 0;
};

}  // namespace korvo
