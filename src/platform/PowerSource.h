#pragma once

#include "core/Cancellable.h"

#include <QString>

#include <functional>
#include <optional>

namespace korvo {

/// What the system says about one power source. A key the system did not supply is absent.
struct PowerSourceDescription {
    /// "AC Power" on the adapter, "Battery Power" on the battery.
    static inline const QString kACPower = QStringLiteral("AC Power");
    static inline const QString kBatteryPower = QStringLiteral("Battery Power");

    std::optional<int> currentCapacity;       // percent
    std::optional<QString> powerSourceState;  // kACPower or kBatteryPower
    std::optional<int> timeToFullCharge;      // minutes; below 1 while not yet estimated
    std::optional<int> timeToEmpty;           // minutes; below 1 while not yet estimated
};

/// The machine's power sources as the power service reads them.
class PowerSource {
public:
    virtual ~PowerSource() = default;

    /// The first power source's description, or nothing when the machine has no battery.
    /// Answers from what the backend already knows, so it never blocks.
    virtual std::optional<PowerSourceDescription> firstSource() const = 0;

    /// `changed` runs on the main thread after every change of the power sources, until the
    /// subscription ends.
    virtual Subscription observe(std::function<void()> changed) = 0;
};

}  // namespace korvo
