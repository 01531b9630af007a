#pragma once

#include "core/Published.h"
#include "settings/Preferences.h"

#include <QString>

#include <utility>
#include <vector>

namespace korvo::test {

// Preferences as plain values, for the test of one reader: no settings file. Readers that follow
// changes hear of a value set with `set`, as they hear of a write to the store.
template <typename Interface>
struct Observed : Interface {
    Signal<QString> changes;

    Subscription observe(std::function<void(const QString&)> fn) override {
        return changes.subscribe(std::move(fn));
    }
    template <typename T, typename V>
    void set(T& field, V value, const char* key) {
        field = std::move(value);
        changes.send(QString::fromLatin1(key));
    }
};

struct PlainIslandPreferences : IslandPreferences {
    bool hover = true;
    bool hoverToExpand() const override { return hover; }
};

struct PlainViewPreferences : ViewPreferences {
    QString style = QStringLiteral("black");
    QString accent = QStringLiteral("adaptive");
    bool glow = true;
    bool dots = true;
    std::vector<HUDStat> stats{hudstat::kAll.begin(), hudstat::kAll.end()};

    QString islandStyle() const override { return style; }
    QString accentMode() const override { return accent; }
    bool artworkGlow() const override { return glow; }
    bool showCarouselDots() const override { return dots; }
    std::vector<HUDStat> enabledStats() const override { return stats; }
};

// What the island window reads: its behaviour and its views.
struct PlainWindowPreferences : PlainIslandPreferences, PlainViewPreferences {};

struct PlainClipboardPreferences : ClipboardPreferences {
    bool enabled = true;
    int historyLimit = 30;
    bool otp = true;

    bool clipboardEnabled() const override { return enabled; }
    int clipboardHistoryLimit() const override { return historyLimit; }
    bool otpDetection() const override { return otp; }
};

struct PlainCalendarPreferences : CalendarPreferences {
    bool enabled = true;
    double leadMinutes = 30;

    bool calendarEnabled() const override { return enabled; }
    double calendarLeadMinutes() const override { return leadMinutes; }
};

struct PlainPowerPreferences : PowerPreferences {
    bool toasts = true;
    bool warn = true;
    double threshold = 20;

    bool batteryToasts() const override { return toasts; }
    bool lowBatteryWarn() const override { return warn; }
    double lowBatteryThreshold() const override { return threshold; }
};

struct PlainPeripheralBatteryPreferences : PeripheralBatteryPreferences {
    bool warn = true;
    bool peripheralBatteryWarn() const override { return warn; }
};

struct PlainMediaPreferences : Observed<MediaPreferences> {
    bool browser = true;
    bool trackToast = true;

    bool browserMedia() const override { return browser; }
    bool trackChangeToast() const override { return trackToast; }
};

struct PlainNotificationPreferences : Observed<NotificationPreferences> {
    bool on = false;
    double toastSeconds = 2.5;
    QString apps;
    std::vector<NotificationMonitorStatus> statuses;  // as reported, oldest first

    bool desktopNotifications() const override { return on; }
    double toastDuration() const override { return toastSeconds; }
    QString notificationApps() const override { return apps; }
    void rememberNotificationApps(const QString& a) override { apps = a; }
    void reportMonitorStatus(NotificationMonitorStatus s) override { statuses.push_back(s); }
    NotificationMonitorStatus status() const {
        return statuses.empty() ? NotificationMonitorStatus::off : statuses.back();
    }
};

struct PlainDisplayPreferences : Observed<DisplayPreferences> {
    QString choice = QStringLiteral("main");
    QString display() const override { return choice; }
};

struct PlainFullScreenPreferences : Observed<FullScreenPreferences> {
    bool hide = true;
    bool hideInFullScreen() const override { return hide; }
};

struct PlainSystemCardPreferences : Observed<SystemCardPreferences> {
    bool enabled = true;
    bool systemCardEnabled() const override { return enabled; }
};

}  // namespace korvo::test
