#pragma once

#include "core/ActivityEngine.h"
#include "core/DebugLog.h"
#include "core/EventBus.h"
#include "core/QtMainLoop.h"
#include "platform/linux/Syslog.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "settings/SettingsStore.h"

#include <functional>
#include <memory>
#include <vector>

namespace korvo {

class ArtworkFetcher;
class BluetoothHub;
class BluetoothService;
class CalendarService;
class DevicesService;
class HostStats;
class LowPowerMode;
class SystemStatsService;
class ClipboardService;
class Pasteboard;
class MediaPlayers;
class MediaService;
class NotificationMonitor;
class NotificationService;
class PeripheralBatteryService;
class PeripheralLevelSource;
class PowerService;
class PowerSource;
class ScreenCaptureIndex;
class ScreenshotService;
class Workspace;

/// Makes the desktop's clipboard on the context's loop.
using PasteboardFactory = std::function<std::unique_ptr<Pasteboard>(MainLoop&)>;

/// The composition root: one of each long-lived object, created in dependency order. With
/// `demo` the services run on scripted backends instead of the machine's. `desktopPasteboard`
/// replaces the Qt clipboard where the desktop needs another way in (Wayland).
struct AppContext {
    AppContext(const QString& executablePath, bool demo,
               const PasteboardFactory& desktopPasteboard = {});
    ~AppContext();

    /// Registers every provider in its fixed order, then starts the engine.
    void start();

    QtMainLoop loop;
    DebugLog debugLog;
    EventBus bus;
    Syslog systemLog;
    XdgAutostartLoginItem loginItem;
    SettingsStore settings;
    ActivityEngine engine;

    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<ArtworkFetcher> artworkFetcher;
    std::unique_ptr<MediaPlayers> mediaPlayers;
    std::unique_ptr<MediaService> media;
    std::unique_ptr<PowerSource> powerSource;
    std::unique_ptr<PowerService> power;
    std::unique_ptr<ScreenCaptureIndex> captures;
    std::unique_ptr<ScreenshotService> screenshots;
    std::unique_ptr<BluetoothHub> bluetoothHub;
    std::unique_ptr<BluetoothService> bluetooth;
    std::unique_ptr<CalendarService> calendar;
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<ClipboardService> clipboard;
    std::unique_ptr<HostStats> hostStats;
    std::unique_ptr<LowPowerMode> lowPowerMode;
    std::unique_ptr<SystemStatsService> stats;
    std::unique_ptr<DevicesService> devices;
    std::unique_ptr<NotificationMonitor> notificationMonitor;
    std::unique_ptr<NotificationService> notifications;
    std::shared_ptr<PeripheralLevelSource> peripheralLevels;
    std::unique_ptr<PeripheralBatteryService> peripheralBatteries;
};

}  // namespace korvo
