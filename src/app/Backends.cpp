#include "Backends.h"

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
#include "platform/linux/X11Pasteboard.h"
#include "services/clipboard/ClipboardService.h"

#include <QDBusConnection>
#include <QDir>
#include <QGuiApplication>

namespace korvo {

namespace {

// The desktop's clipboard, read so that a huge or stalled copy never holds up the main thread.
std::unique_ptr<Pasteboard> systemPasteboard(MainLoop& loop) {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto x11 = X11Pasteboard::connect(
                loop, ClipboardReadingRules::keeping(ClipboardService::kMaxTextBytes))) {
            return x11;
        }
    }
    // On any other platform (the Wayland island brings its own), QClipboard.
    return std::make_unique<QtPasteboard>();
}

// The demo has no peripherals of its own to run low.
class NoPeripheralLevels final : public PeripheralLevelSource {
public:
    std::vector<PeripheralLevel> readLevels() override { return {}; }
    Subscription observe(std::function<void()>) override { return {}; }
};

// What both platforms take from the machine.
Backends machineCommon(MainLoop& loop) {
    Backends b;
    b.workspace = std::make_shared<DesktopWorkspace>();
    b.artwork = std::make_shared<NetworkArtworkFetcher>(loop);
    b.hostStats = std::make_shared<ProcHostStats>();
    b.lowPowerMode = std::make_shared<PowerProfilesLowPowerMode>(QDBusConnection::systemBus());
    // Off until the user switches desktop notifications on.
    b.notificationMonitor = std::make_shared<DBusNotificationMonitor>();
    return b;
}

}  // namespace

Backends linuxBackends(MainLoop& loop, const PasteboardFactory& desktopPasteboard) {
    Backends b = machineCommon(loop);
    const QDBusConnection system = QDBusConnection::systemBus();
    b.mediaPlayers = std::make_shared<MprisPlayers>(loop);
    b.power = std::make_shared<UPowerPowerSource>(system);
    b.captures = std::make_shared<ScreenshotFolderIndex>(loop, QDir::homePath(),
                                                         ScreenshotFolderIndex::standardFolders());
    b.bluetoothHub = std::make_shared<BlueZHub>(system);
    b.calendar = std::make_shared<IcsCalendarStore>(loop, IcsCalendarStore::defaultRoots());
    b.pasteboard = desktopPasteboard ? desktopPasteboard(loop) : systemPasteboard(loop);
    auto registry = std::make_shared<BlueZDeviceRegistry>(system);
    b.pairedDevices = registry;
    b.batteryReports = registry;
    b.peripheralBatteries = std::make_shared<UPowerPeripheralBatteries>(system);
    b.peripheralLevels = std::make_shared<PeripheralBatteryWatch>(system, system);
    return b;
}

Backends demoBackends(MainLoop& loop) {
    Backends b = machineCommon(loop);
    b.mediaPlayers = std::make_shared<DemoMediaPlayers>(loop);
    b.power = std::make_shared<DemoPowerSource>(loop);
    b.captures = std::make_shared<DemoCaptureIndex>(loop, QDir::homePath());
    b.bluetoothHub = std::make_shared<DemoBluetoothHub>(loop);
    b.calendar = std::make_shared<DemoCalendarStore>(loop);
    b.pasteboard = std::make_shared<DemoPasteboard>(loop);
    auto devices = std::make_shared<DemoDevices>(loop);
    b.pairedDevices = devices;
    b.batteryReports = devices;
    b.peripheralBatteries = devices;
    b.peripheralLevels = std::make_shared<NoPeripheralLevels>();
    return b;
}

}  // namespace korvo
