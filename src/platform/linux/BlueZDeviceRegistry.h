#pragma once

#include "platform/PairedDevices.h"
#include "platform/PeripheralBatteries.h"

#include <QDBusConnection>
#include <QMap>
#include <QVariantMap>

namespace korvo {

/// BlueZ's paired devices (`org.bluez.Device1`) and the batteries of the connected ones
/// (`org.bluez.Battery1`), both from one `GetManagedObjects` call. BlueZ keeps no charging state,
/// so the report leaves it unknown. Blocking: used off the main thread, one call at a time.
class BlueZDeviceRegistry final : public PairedDevices, public BatteryReportSource {
public:
    /// Object path -> interface -> properties.
    using ManagedObjects = QMap<QString, QMap<QString, QVariantMap>>;

    static constexpr int kCallTimeoutMs = 3000;

    /// `connection` is the system bus in the program and a private bus in tests.
    explicit BlueZDeviceRegistry(QDBusConnection connection);

    std::optional<std::vector<PairedDevice>> pairedDevices() override;
    BatteryReport readBatteryReport() override;

    /// The paired devices among the objects, in object-path order.
    static std::vector<PairedDevice> pairedFrom(const ManagedObjects& objects);
    /// The battery percentages of connected devices by name.
    static BatteryReport batteriesFrom(const ManagedObjects& objects);
    /// The Bluetooth major device class of a device: from its class of device, or for a
    /// low-energy device (which has none) from its appearance.
    static std::uint32_t majorClass(const QVariantMap& device);

private:
    std::optional<ManagedObjects> managedObjects();

    QDBusConnection m_connection;
};

}  // namespace korvo
