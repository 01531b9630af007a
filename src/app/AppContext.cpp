#include "AppContext.h"

#include "platform/demo/DemoBluetoothHub.h"
#include "platform/demo/DemoCalendarStore.h"
#include "platform/demo/DemoCaptureIndex.h"
#include "platform/demo/DemoDevices.h"
#include "platform/demo/DemoMediaPlayers.h"
#include "platform/demo/DemoPasteboard.h"
#include "platform/demo/DemoPowerSource.h"
#include "platform/linux/BlueZDeviceRegistry.h"
#include "platform/linux/BlueZHub.h"
#include "platform/linux/DBusNotificationMonitor.h"
#include "platform/linux/DesktopWorkspace.h"
#include "platform/linux/IcsCalendarStore.h"
#include "platform/linux/MprisPlayers.h"
#include "platform/linux/NetworkArtworkFetcher.h"
#include "platform/linux/PeripheralBatteryWatch.h"
#include "platform/linux/PowerProfilesLowPowerMode.h"
#include "platform/linux/ProcHostStats.h"
#include "platform/linux/QtPasteboard.h"
#include "platform/linux/ScreenshotFolderIndex.h"
#include "platform/linux/UPowerPeripheralBatteries.h"
#include "platform/linux/UPowerPowerSource.h"
#include "platform/linux/UrlFinder.h"
#include "platform/linux/X11Pasteboard.h"
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

#include <QDBusConnection>
#include <QDir>
#include <QGuiApplication>

namespace korvo {

namespace {

// The desktop's clipboard, read so that a huge or stalled copy never holds up the main thread.
std::unique_ptr<Pasteboard> systemPasteboard(MainLoop& loop) {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        if (auto x11 = X11Pasteboard::connect(
                loop, ClipboardReadingRules::keeping(ClipboardService::kMaxTextBytes))) {
            return x11;
        }
    }
    // On any other platform (the Wayland island brings its own through `desktopPasteboard`),
    // QClipboard.
    return std::make_unique<QtPasteboard>();
}

// The demo has no peripherals of its own to run low.
class NoPeripheralLevels final : public PeripheralLevelSource {
public:
    std::vector<PeripheralLevel> readLevels() override { return {}; }
    Subscription observe(std::function<void()>) override { return {}; }
};

}  // namespace

AppContext::AppContext(const QString& executablePath, bool demo,
                       const PasteboardFactory& desktopPasteboard)
    : debugLog(),
      bus(loop),
      loginItem(XdgAutostartLoginItem::defaultConfigHome(),
                XdgAutostartLoginItem::launchCommand(
                    executablePath, XdgAutostartLoginItem::LaunchPlaces::ofThisProgram())),
      settings(SettingsStore::defaultPath(), &loginItem, &systemLog),
      engine(loop, bus, debugLog) {
    artworkFetcher = std::make_unique<NetworkArtworkFetcher>(loop);
    if (demo) {
        mediaPlayers = std::make_unique<DemoMediaPlayers>(loop);
    } else {
        mediaPlayers = std::make_unique<MprisPlayers>(loop);
    }
    media = std::make_unique<MediaService>(loop, bus, settings, *mediaPlayers, *artworkFetcher);

    workspace = std::make_unique<DesktopWorkspace>();
    if (demo) {
        powerSource = std::make_unique<DemoPowerSource>(loop);
        captures = std::make_unique<DemoCaptureIndex>(loop, QDir::homePath());
        bluetoothHub = std::make_unique<DemoBluetoothHub>(loop);
    } else {
        powerSource = std::make_unique<UPowerPowerSource>(QDBusConnection::systemBus());
        captures = std::make_unique<ScreenshotFolderIndex>(
            loop, QDir::homePath(), ScreenshotFolderIndex::standardFolders());
        bluetoothHub = std::make_unique<BlueZHub>(QDBusConnection::systemBus());
    }
    power = std::make_unique<PowerService>(loop, bus, settings, *powerSource);
    screenshots = std::make_unique<ScreenshotService>(bus, *captures, *workspace);
    bluetooth = std::make_unique<BluetoothService>(bus, *bluetoothHub);

    std::shared_ptr<CalendarStore> calendarStore;
    if (demo) {
        calendarStore = std::make_shared<DemoCalendarStore>(loop);
        pasteboard = std::make_unique<DemoPasteboard>(loop);
    } else {
        calendarStore = std::make_shared<IcsCalendarStore>(loop, IcsCalendarStore::defaultRoots());
        pasteboard = desktopPasteboard ? desktopPasteboard(loop) : systemPasteboard(loop);
    }
    calendar = std::make_unique<CalendarService>(loop, bus, settings, calendarStore,
                                                 std::make_shared<UrlFinder>());
    // Takes the clipboard's change count now: what was copied before start is not news.
    clipboard = std::make_unique<ClipboardService>(
        loop, bus, settings, *pasteboard, DebugLog(QString::fromLatin1(DebugLog::kClipboardPath)),
        &systemLog);

    // The statistics are the machine's own, in the demo too.
    hostStats = std::make_unique<ProcHostStats>();
    lowPowerMode = std::make_unique<PowerProfilesLowPowerMode>(QDBusConnection::systemBus());
    stats = std::make_unique<SystemStatsService>(loop, *hostStats, *powerSource, *lowPowerMode);
    if (demo) {
        auto demoDevices = std::make_shared<DemoDevices>(loop);
        devices =
            std::make_unique<DevicesService>(loop, bus, demoDevices, demoDevices, demoDevices);
    } else {
        auto registry = std::make_shared<BlueZDeviceRegistry>(QDBusConnection::systemBus());
        devices = std::make_unique<DevicesService>(
            loop, bus, registry, registry,
            std::make_shared<UPowerPeripheralBatteries>(QDBusConnection::systemBus()));
    }

    // Off until the user switches it on; the demo watches the real session bus too.
    notificationMonitor = std::make_unique<DBusNotificationMonitor>();
    notifications =
        std::make_unique<NotificationService>(loop, bus, settings, *notificationMonitor);
    if (demo) {
        peripheralLevels = std::make_shared<NoPeripheralLevels>();
    } else {
        peripheralLevels = std::make_shared<PeripheralBatteryWatch>(QDBusConnection::systemBus(),
                                                                    QDBusConnection::systemBus());
    }
    peripheralBatteries =
        std::make_unique<PeripheralBatteryService>(loop, bus, settings, peripheralLevels);
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
