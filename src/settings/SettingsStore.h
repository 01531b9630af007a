#pragma once

#include "core/MainThread.h"
#include "core/Published.h"
#include "platform/NotificationMonitor.h"
#include "settings/HUDStat.h"
#include "settings/Preferences.h"

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
#define KORVO_DESKTOP_SETTINGS(X)                                        \
    X(bool, desktopNotifications, DesktopNotifications, false, override) \
    X(QString, notificationApps, NotificationApps, "", override)         \
    X(bool, peripheralBatteryWarn, PeripheralBatteryWarn, true, override)

// Every preference: type, key, setter suffix, default, and `override` where a reader's
// interface (Preferences.h) reads the key. The key is persisted exactly as spelled.
#define KORVO_SETTINGS(X)                                              \
    X(double, toastDuration, ToastDuration, 2.5, override)             \
    X(bool, hoverToExpand, HoverToExpand, true, override)              \
    X(bool, hapticFeedback, HapticFeedback, true, )                    \
    X(bool, launchAtLogin, LaunchAtLogin, false, )                     \
    X(QString, islandStyle, IslandStyle, "black", override)            \
    X(QString, accentMode, AccentMode, "adaptive", override)           \
    X(bool, showCarouselDots, ShowCarouselDots, true, override)        \
    X(bool, artworkGlow, ArtworkGlow, true, override)                  \
    X(bool, batteryToasts, BatteryToasts, true, override)              \
    X(bool, lowBatteryWarn, LowBatteryWarn, true, override)            \
    X(double, lowBatteryThreshold, LowBatteryThreshold, 20, override)  \
    X(bool, browserMedia, BrowserMedia, true, override)                \
    X(bool, trackChangeToast, TrackChangeToast, true, override)        \
    X(bool, clipboardEnabled, ClipboardEnabled, true, override)        \
    X(bool, otpDetection, OtpDetection, true, override)                \
    X(int, clipboardHistoryLimit, ClipboardHistoryLimit, 30, override) \
    X(bool, calendarEnabled, CalendarEnabled, true, override)          \
    X(double, calendarLeadMinutes, CalendarLeadMinutes, 30, override)  \
    X(bool, systemCardEnabled, SystemCardEnabled, true, override)      \
    X(bool, hudCPU, HudCPU, true, )                                    \
    X(bool, hudGPU, HudGPU, true, )                                    \
    X(bool, hudMemory, HudMemory, true, )                              \
    X(bool, hudSwap, HudSwap, true, )                                  \
    X(bool, hudStorage, HudStorage, true, )                            \
    X(bool, hudNetwork, HudNetwork, true, )                            \
    X(bool, hudDisk, HudDisk, true, )                                  \
    X(bool, hudPower, HudPower, true, )                                \
    KORVO_DESKTOP_SETTINGS(X)                                          \
    X(QString, display, Display, "main", override)                     \
    X(bool, hideInFullScreen, HideInFullScreen, true, override)

/// Every user preference, persisted at once under its own key. A key never written reads as its
/// default and stays absent from the file. It stores and tells of changes, nothing more: whoever
/// cares about a preference observes it. Main-thread only.
class SettingsStore final : public IslandPreferences,
                            public ViewPreferences,
                            public ClipboardPreferences,
                            public CalendarPreferences,
                            public PowerPreferences,
                            public PeripheralBatteryPreferences,
                            public MediaPreferences,
                            public NotificationPreferences,
                            public DisplayPreferences,
                            public FullScreenPreferences,
                            public SystemCardPreferences {
public:
    /// `path` is the INI file; `loginItem` and `systemLog` may be null (no side effect, no log).
    explicit SettingsStore(QString path, LoginItem* loginItem = nullptr,
                           SystemLog* systemLog = nullptr);
    ~SettingsStore() override;
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    /// $XDG_CONFIG_HOME/korvo/korvo.conf (or ~/.config/korvo/korvo.conf).
    static QString defaultPath();

#define KORVO_DECLARE_SETTING(Type, key, Suffix, def, reader) \
    Type key() const reader;                                  \
    void set##Suffix(Type value);                             \
    Binding<Type> key##Binding();
    KORVO_SETTINGS(KORVO_DECLARE_SETTING)
#undef KORVO_DECLARE_SETTING

    std::vector<HUDStat> enabledStats() const override;
    void rememberNotificationApps(const QString& apps) override {
        setNotificationApps(apps);
    }
    void reportMonitorStatus(NotificationMonitorStatus status) override {
        notificationMonitorStatus.set(status);
    }

    /// All keys, in table order.
    static const std::vector<QString>& keys();
    /// True once the key has been written to the store.
    bool isStored(const QString& key) const;

    /// Called after every write with the key written.
    Subscription observe(std::function<void(const QString& key)> fn) override {
        KORVO_ASSERT_MAIN_THREAD(m_thread);
        return m_changed.subscribe(std::move(fn));
    }

    /// Not a preference and never stored: where watching desktop notifications stands, so the
    /// settings window can say when the desktop refuses it.
    Published<NotificationMonitorStatus> notificationMonitorStatus{NotificationMonitorStatus::off};

    QString path() const {
        return m_settings->fileName();
    }

private:
    QVariant read(const char* key, const QVariant& fallback) const;
    void write(const char* key, const QVariant& value);
    void updateLoginItem();

    std::unique_ptr<QSettings> m_settings;
    LoginItem* m_loginItem;
    SystemLog* m_systemLog;
    Signal<QString> m_changed;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
