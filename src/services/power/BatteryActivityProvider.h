#pragma once

#include "core/ActivityProvider.h"
#include "services/power/PowerService.h"

namespace korvo {

/// Starts the power service; it then follows the power sources for the life of the process.
class BatteryActivityProvider final : public StartingProvider<PowerService> {
public:
    explicit BatteryActivityProvider(PowerService& service)
        : StartingProvider(service, QStringLiteral("Battery")) {}
};

}  // namespace korvo
