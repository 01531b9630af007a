#pragma once

#include "core/EventBus.h"
#include "core/IslandPreferences.h"
#include "core/MainLoop.h"
#include "core/Published.h"
#include "platform/NotificationMonitor.h"

#include <QColor>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>
#include <utility>
#include <vector>

namespace korvo {

class LoginItem;
class SystemLog;

// The desktop around the island: desktop notifications (off until switched on; the apps seen,
// as stored by NotificationApps) and peripheral battery warnings.
#define KORVO_DESKTOP_SETTINGS(X)                              \
    X(bool, desktopNotifications, DesktopNotifications, false) \
    X(QString, notificationApps, NotificationApps, "")         \
    X(bool, peripheralBatteryWarn, PeripheralBatteryWarn, true)

// Every preference: type, key, setter suffix, default. The key is persisted exactly as spelled.
#define KORVO_SETTINGS(X)                                    \
    X(double, toastDuration, ToastDuration, 2.5)             \
    X(bool, hoverToExpand, HoverToExpand, true)              \
    X(bool, hapticFeedback, HapticFeedback, true)            \
    X(bool, launchAtLogin, LaunchAtLogin, false)             \
    X(QString, islandStyle, IslandStyle, "black")            \
    X(QString, accentMode, AccentMode, "adaptive")           \
    X(bool, showCarouselDots, ShowCarouselDots, true)        \
    X(bool, artworkGlow, ArtworkGlow, true)                  \
    X(bool, batteryToasts, BatteryToasts, true)              \
    X(bool, lowBatteryWarn, LowBatteryWarn, true)            \
    X(double, lowBatteryThreshold, LowBatteryThreshold, 20)  \
    X(bool, browserMedia, BrowserMedia, true)                \
    X(bool, trackChangeToast, TrackChangeToast, true)        \
    X(bool, clipboardEnabled, ClipboardEnabled, true)        \
    X(bool, otpDetection, OtpDetection, true)                \
    X(int, clipboardHistoryLimit, ClipboardHistoryLimit, 30) \
    X(bool, calendarEnabled, CalendarEnabled, true)          \
    X(double, calendarLeadMinutes, CalendarLeadMinutes, 30)  \
    X(bool, systemCardEnabled, SystemCardEnabled, true)      \
    X(bool, hudCPU, HudCPU, true)                            \
    X(bool, hudGPU, HudGPU, true)                            \
    X(bool, hudMemory, HudMemory, true)                      \
    X(bool, hudSwap, HudSwap, true)                          \
    X(bool, hudStorage, HudStorage, true)                    \
    X(bool, hudNetwork, HudNetwork, true)                    \
    X(bool, hudDisk, HudDisk, true)                          \
    X(bool, hudPower, HudPower, true)                        \
    KORVO_DESKTOP_SETTINGS(X)                                \
    X(QString, display, Display, "main")                     \
    X(bool, hideInFullScreen, HideInFullScreen, true)

/// Every user preference, persisted at once under its own key. A key never written reads as its
/// default and stays absent from the file. Main-thread only.
class SettingsStore : public IslandPreferences {
public:
    /// `path` is the INI file; `loginItem` and `systemLog` may be null (no side effect, no log).
    SettingsStore(QString path, MainLoop& loop, EventBus& bus, LoginItem* loginItem,
                  SystemLog* systemLog);
    ~SettingsStore() override;
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    /// $XDG_CONFIG_HOME/korvo/korvo.conf (or ~/.config/korvo/korvo.conf).
    static QString defaultPath();

    // The getters; `hoverToExpand` also answers the island's `IslandPreferences`.
#define KORVO_DECLARE_SETTING(Type, key, Suffix, def) \
    Type key() const;                                 \
    void set##Suffix(Type value);                     \
    Binding<Type> key##Binding();
    KORVO_SETTINGS(KORVO_DECLARE_SETTING)
#undef KORVO_DECLARE_SETTING

    /// All keys, in table order.
    static const std::vector<QString>& keys();
    /// True once the key has been written to the store.
    bool isStored(const QString& key) const;

    /// Called after every write with the key written.
    Subscription observe(std::function<void(const QString& key)> fn) {
        return m_changed.subscribe(std::move(fn));
    }

    /// Not a preference and never stored: where watching desktop notifications stands, so the
    /// settings window can say when the desktop refuses it.
    Published<NotificationMonitorStatus> notificationMonitorStatus{NotificationMonitorStatus::off};

    static const std::vector<std::pair<QString, QColor>>& accentChoices();
    static QColor fixedAccentColor(const QString& name);

    QString path() const {
        return m_settings->fileName();
    }

private:
    QVariant read(const char* key, const QVariant& fallback) const;
    void write(const char* key, const QVariant& value);
    void updateLoginItem();
    void updateSystemCard();

    std::unique_ptr<QSettings> m_settings;
    MainLoop& m_loop;
    EventBus& m_bus;
    LoginItem* m_loginItem;
    SystemLog* m_systemLog;
    Signal<QString> m_changed;
};

}  // namespace korvo
