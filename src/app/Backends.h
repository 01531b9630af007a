#pragma once

#include "core/MainLoop.h"

#include <functional>
#include <memory>

namespace korvo {

class ArtworkFetcher;
class BatteryReportSource;
class BluetoothHub;
class CalendarStore;
class HostStats;
class LowPowerMode;
class MediaPlayers;
class NotificationMonitor;
class PairedDevices;
class Pasteboard;
class PeripheralBatteries;
class PeripheralLevelSource;
class PowerSource;
class ScreenCaptureIndex;
class Workspace;

/// Makes the desktop's clipboard on the given loop.
using PasteboardFactory = std::function<std::unique_ptr<Pasteboard>(MainLoop&)>;

/// Every desktop capability the services read, made for one platform. The context owns the set
/// and declares it before the services, so every backend outlives every service. One ownership
/// rule: shared pointers throughout, since a few services hand a backend to background work
/// that may outlive a call; the others borrow a reference.
struct Backends {
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<ArtworkFetcher> artwork;
    std::shared_ptr<MediaPlayers> mediaPlayers;
    std::shared_ptr<PowerSource> power;
    std::shared_ptr<ScreenCaptureIndex> captures;
    std::shared_ptr<BluetoothHub> bluetoothHub;
    std::shared_ptr<CalendarStore> calendar;
    std::shared_ptr<Pasteboard> pasteboard;
    std::shared_ptr<HostStats> hostStats;
    std::shared_ptr<LowPowerMode> lowPowerMode;
    std::shared_ptr<PairedDevices> pairedDevices;
    std::shared_ptr<BatteryReportSource> batteryReports;
    std::shared_ptr<PeripheralBatteries> peripheralBatteries;
    std::shared_ptr<NotificationMonitor> notificationMonitor;
    std::shared_ptr<PeripheralLevelSource> peripheralLevels;
};

/// The machine's own: the session and system buses, /proc, calendar files, the desktop's
/// clipboard (`desktopPasteboard` where the desktop needs its own way in, as on Wayland).
Backends linuxBackends(MainLoop& loop, const PasteboardFactory& desktopPasteboard);

/// The scripted ones of `korvo --demo`. The statistics, the low-power mode, the workspace, the
/// cover downloads and the notification monitor stay the machine's own.
Backends demoBackends(MainLoop& loop);

}  // namespace korvo
