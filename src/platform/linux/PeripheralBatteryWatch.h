#pragma once

#include "core/Published.h"
#include "platform/PeripheralBatteries.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>

#include <memory>
#include <variant>

class QDBusMessage;

namespace korvo {

class BlueZDeviceRegistry;
class UPowerPeripheralBatteries;

/// Peripheral batteries from UPower and BlueZ, read by the devices list's own readers and
/// re-read when either daemon says something changed: UPower's `DeviceAdded`, `DeviceRemoved`
/// and a device's `PropertiesChanged`; BlueZ's battery and connection `PropertiesChanged`,
/// `InterfacesAdded` and `InterfacesRemoved`; either daemon (re)appearing. A device both report
/// (UPower also lists Bluetooth peripherals) is taken from UPower, which knows its kind and
/// charging state. Observing happens on the main thread; reading blocks, off it.
class PeripheralBatteryWatch final : public QObject, public PeripheralLevelSource {
    Q_OBJECT
public:
    /// `upower` and `bluez` are the system bus in the program and a private bus in tests.
    PeripheralBatteryWatch(QDBusConnection upower, QDBusConnection bluez,
                           QObject* parent = nullptr);
    ~PeripheralBatteryWatch() override;

    std::vector<PeripheralLevel> readLevels() override;
    Subscription observe(std::function<void()> changed) override;

    /// UPower's readings first; BlueZ's only for names UPower does not have (in any letter
    /// case).
    static std::vector<PeripheralLevel> merge(std::vector<PeripheralLevel> upower,
                                              const std::vector<PeripheralLevel>& bluez);

private slots:
    void upowerDeviceChanged(const QDBusMessage& message);
    void bluezPropertiesChanged(const QDBusMessage& message);
    void somethingChanged();

private:
    void begin();

    QDBusConnection m_upowerBus;
    QDBusConnection m_bluezBus;
    std::shared_ptr<UPowerPeripheralBatteries> m_upower;
    std::shared_ptr<BlueZDeviceRegistry> m_bluez;
    QDBusServiceWatcher m_upowerWatcher;
    QDBusServiceWatcher m_bluezWatcher;
    bool m_begun = false;
    Signal<std::monostate> m_changed;
};

}  // namespace korvo
