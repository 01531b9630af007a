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
    /// The connected peripherals with a battery, for the low-battery warnings.
    std::vector<PeripheralLevel> readPeripherals();

    /// The paired devices among the objects, in object-path order.
    static std::vector<PairedDevice> pairedFrom(const ManagedObjects& objects);
    /// The battery percentages of connected devices by name.
    static BatteryReport batteriesFrom(const ManagedObjects& objects);
    /// The connected peripherals among the objects that report a battery: phones, computers
    /// and watches warn of their own batteries and are left out.
    static std::vector<PeripheralLevel> peripheralsFrom(const ManagedObjects& objects);
    /// What a device is as a peripheral: from the icon BlueZ gives it, else from its class.
    static std::optional<PeripheralKind> peripheralKind(const QVariantMap& device);
    /// The Bluetooth major device class of a device: from its class of device, or for a
    /// low-energy device (which has none) from its appearance.
    static std::uint32_t majorClass(const QVariantMap& device);

private:
    std::optional<ManagedObjects> managedObjects();

    QDBusConnection m_connection;
};

}  // namespace korvo
