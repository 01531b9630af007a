#include "AppContext.h"

#include "platform/linux/UrlFinder.h"
#include "services/bluetooth/BluetoothActivityProvider.h"
#include "services/bluetooth/BluetoothService.h"
#include "services/calendar/CalendarActivityProvider.h"
#include "services/calendar/CalendarService.h"
#include "services/clipboard/ClipboardActivityProvider.h"
#include "services/clipboard/ClipboardService.h"
#include "services/devices/DevicesActivityProvider.h"
#include "services/devices/DevicesService.h"
#include "services/devices/PeripheralBatteryService.h"
#include "services/notifications/NotificationActivityProvider.h"
#include "services/notifications/NotificationService.h"
#include "services/nowplaying/MediaService.h"
#include "services/nowplaying/NowPlayingActivityProvider.h"
#include "services/power/BatteryActivityProvider.h"
#include "services/power/PowerService.h"
#include "services/screenshots/ScreenshotActivityProvider.h"
#include "services/screenshots/ScreenshotService.h"
#include "services/systemstats/SystemStatsActivityProvider.h"
#include "services/systemstats/SystemStatsService.h"

namespace korvo {

AppContext::AppContext(const QString& executablePath, bool demo,
                       const PasteboardFactory& desktopPasteboard)
    : debugLog(),
      bus(loop),
      loginItem(XdgAutostartLoginItem::defaultConfigHome(),
                XdgAutostartLoginItem::launchCommand(
                    executablePath, XdgAutostartLoginItem::LaunchPlaces::ofThisProgram())),
      settings(SettingsStore::defaultPath(), &loginItem, &systemLog),
      engine(loop, bus, debugLog),
      backends(demo ? demoBackends(loop) : linuxBackends(loop, desktopPasteboard)) {
    media = std::make_unique<MediaService>(loop, bus, settings, *backends.mediaPlayers,
                                           *backends.artwork);
    power = std::make_unique<PowerService>(loop, bus, settings, *backends.power);
    screenshots = std::make_unique<ScreenshotService>(bus, *backends.captures, *backends.workspace);
    bluetooth = std::make_unique<BluetoothService>(bus, *backends.bluetoothHub);
    calendar = std::make_unique<CalendarService>(loop, bus, settings, backends.calendar,
                                                 std::make_shared<UrlFinder>());
    // Takes the clipboard's change count now: what was copied before start is not news.
    clipboard = std::make_unique<ClipboardService>(
        loop, bus, settings, *backends.pasteboard,
        DebugLog(QString::fromLatin1(DebugLog::kClipboardPath)), &systemLog);
    stats = std::make_unique<SystemStatsService>(loop, *backends.hostStats, *backends.power,
                                                 *backends.lowPowerMode);
    devices = std::make_unique<DevicesService>(
        loop, bus, backends.pairedDevices, backends.batteryReports, backends.peripheralBatteries);
    notifications =
        std::make_unique<NotificationService>(loop, bus, settings, *backends.notificationMonitor);
    peripheralBatteries =
        std::make_unique<PeripheralBatteryService>(loop, bus, settings, backends.peripheralLevels);
}

AppContext::~AppContext() {
    loop.waitForBackground();
}

void AppContext::start() {
    // The order of the start-up table: now playing, battery, screenshots, Bluetooth, calendar,
    // clipboard, system statistics, devices.
    engine.registerProvider(std::make_unique<NowPlayingActivityProvider>(*media));
    engine.registerProvider(std::make_unique<BatteryActivityProvider>(*power));
    engine.registerProvider(std::make_unique<ScreenshotActivityProvider>(*screenshots));
    engine.registerProvider(std::make_unique<BluetoothActivityProvider>(*bluetooth));
    engine.registerProvider(std::make_unique<CalendarActivityProvider>(loop, *calendar));
    engine.registerProvider(std::make_unique<ClipboardActivityProvider>(*clipboard));
    engine.registerProvider(std::make_unique<SystemStatsActivityProvider>(loop, bus, settings));
    engine.registerProvider(std::make_unique<DevicesActivityProvider>(*devices));
    // Beyond the table: desktop notifications and peripheral batteries.
    engine.registerProvider(std::make_unique<NotificationActivityProvider>(*notifications));
    engine.registerProvider(
        std::make_unique<PeripheralBatteryActivityProvider>(*peripheralBatteries));
    engine.start();
}

}  // namespace korvo
