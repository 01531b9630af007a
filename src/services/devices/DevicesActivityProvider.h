#pragma once

#include "core/ActivityProvider.h"
#include "services/devices/DevicesService.h"

namespace korvo {

/// Starts the devices service; it then polls for the life of the process.
class DevicesActivityProvider final : public StartingProvider<DevicesService> {
public:
    explicit DevicesActivityProvider(DevicesService& service)
        : StartingProvider(service, QStringLiteral("Devices")) {}
};

}  // namespace korvo
