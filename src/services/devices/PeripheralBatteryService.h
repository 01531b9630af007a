#pragma once

#include "core/ActivityProvider.h"
#include "core/Cancellable.h"
#include "core/EventBus.h"
#include "core/MainLoop.h"
#include "core/TransientNotification.h"
#include "platform/PeripheralBatteries.h"
#include "settings/Preferences.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

namespace korvo {

/// When one peripheral's battery warns: once on falling to 20 %, once more on falling to 10 %
/// (a fall past both warns once, at 10 %). Both warnings are given again only after the
/// battery has been above 30 %, so a level wavering around a threshold warns once. A reading
/// taken on the charger never warns. A device first seen already low warns at once.
class PeripheralBatteryAlarm {
public:
    static constexpr int kFirstWarning = 20;
    static constexpr int kLastWarning = 10;
    static constexpr int kRearmAbove = 30;

    /// The threshold this reading warns at, if any.
    std::optional<int> reading(int percent, bool charging);

private:
    bool m_warnedFirst = false;
    bool m_warnedLast = false;
};

/// Warns with a toast when a connected mouse, keyboard, headset, controller, pen or touchpad
/// runs low (`peripheralBatteryWarn`). Reads the levels whenever the source says they may have
/// changed, in the background, one reading at a time. Main-thread object.
class PeripheralBatteryService {
public:
    PeripheralBatteryService(MainLoop& loop, EventBus& bus, PeripheralBatteryPreferences& settings,
                             std::shared_ptr<PeripheralLevelSource> source);
    PeripheralBatteryService(const PeripheralBatteryService&) = delete;
    PeripheralBatteryService& operator=(const PeripheralBatteryService&) = delete;

    /// Follows the source's changes from now on, and reads once at once.
    void start();

    /// Readings evaluated so far, and whether one is under way (tests wait on these).
    std::int64_t readings() const { return m_readings; }
    bool isReading() const { return m_readInFlight; }

    /// The warning toast for a device at the threshold it crossed.
    static TransientNotification toastFor(const PeripheralLevel& level, int threshold);
    /// What a person calls the kind of device ("Mouse", "Controller", ...).
    static QString kindName(PeripheralKind kind);
    static QString symbol(PeripheralKind kind);

private:
    void read();
    void evaluate(const std::vector<PeripheralLevel>& levels);

    MainLoop& m_loop;
    EventBus& m_bus;
    PeripheralBatteryPreferences& m_settings;
    std::shared_ptr<PeripheralLevelSource> m_source;
    Subscription m_changes;
    // Kept for devices that leave, so reconnecting a low device does not warn again.
    std::map<QString, PeripheralBatteryAlarm> m_alarms;
    bool m_readInFlight = false;
    bool m_readOwed = false;
    std::int64_t m_readings = 0;
    LifeToken m_life;
};

/// Starts the peripheral battery warnings.
class PeripheralBatteryActivityProvider final : public StartingProvider<PeripheralBatteryService> {
public:
    explicit PeripheralBatteryActivityProvider(PeripheralBatteryService& service)
        : StartingProvider(service, QStringLiteral("Peripheral Batteries")) {}
};

}  // namespace korvo
