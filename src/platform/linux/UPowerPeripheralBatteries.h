#pragma once

#include "platform/PeripheralBatteries.h"

#include <QDBusConnection>
#include <QVariantMap>

namespace korvo {

/// The batteries of input and audio peripherals as UPower reports them (mice, keyboards,
/// headsets and gaming input): model name -> percent. Blocking: used off the main thread, one
/// call at a time.
class UPowerPeripheralBatteries final : public PeripheralBatteries {
public:
    /// UPower's device types that stand for such peripherals.
    static constexpr unsigned kMouse = 5;
    static constexpr unsigned kKeyboard = 6;
    static constexpr unsigned kGamingInput = 12;
    static constexpr unsigned kPen = 13;
    static constexpr unsigned kTouchpad = 14;
    static constexpr unsigned kHeadset = 17;
    static constexpr unsigned kHeadphones = 19;
    static constexpr unsigned kRemoteControl = 22;

    /// Each call waits at most this long; a whole reading at most twice as long.
    static constexpr int kCallTimeoutMs = 2000;

    /// `connection` is the system bus in the program and a private bus in tests.
    explicit UPowerPeripheralBatteries(QDBusConnection connection);

    std::map<QString, int> readPercentages() override;
    /// Every battery-powered peripheral that reports a level, for the low-battery warnings
    /// (a wider set than the devices list reads: pens, touchpads, headphones and remotes too).
    std::vector<PeripheralLevel> readPeripherals();

    /// The model and percent of a device with these `org.freedesktop.UPower.Device` properties,
    /// when it is a peripheral that reports a level.
    static std::optional<std::pair<QString, int>> peripheralLevel(const QVariantMap& device);
    /// The same device as a peripheral with a battery warning, when it is one.
    static std::optional<PeripheralLevel> peripheral(const QVariantMap& device);

private:
    /// The properties of every device UPower lists; nothing when UPower cannot be read.
    std::optional<std::vector<QVariantMap>> devices();

    QDBusConnection m_connection;
};

}  // namespace korvo
