#pragma once

#include "app/Backends.h"
#include "core/ActivityEngine.h"
#include "core/DebugLog.h"
#include "core/EventBus.h"
#include "core/QtMainLoop.h"
#include "platform/linux/Syslog.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "settings/SettingsStore.h"

#include <memory>
#include <vector>

namespace korvo {

class BluetoothService;
class CalendarService;
class ClipboardService;
class DevicesService;
class MediaService;
class NotificationService;
class PeripheralBatteryService;
class PowerService;
class ScreenshotService;
class SystemStatsService;

/// The composition root: one of each long-lived object, created in dependency order. The
/// backends are chosen once, as a set (`Backends.h`): with `demo` the scripted ones, otherwise
/// the machine's. `desktopPasteboard` replaces the Qt clipboard where the desktop needs another
/// way in (Wayland).
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

    Backends backends;  // before the services: they borrow from it

    std::unique_ptr<MediaService> media;
    std::unique_ptr<PowerService> power;
    std::unique_ptr<ScreenshotService> screenshots;
    std::unique_ptr<BluetoothService> bluetooth;
    std::unique_ptr<CalendarService> calendar;
    std::unique_ptr<ClipboardService> clipboard;
    std::unique_ptr<SystemStatsService> stats;
    std::unique_ptr<DevicesService> devices;
    std::unique_ptr<NotificationService> notifications;
    std::unique_ptr<PeripheralBatteryService> peripheralBatteries;
};

}  // namespace korvo
