#pragma once

#include "core/ActivityProvider.h"
#include "services/screenshots/ScreenshotService.h"

namespace korvo {

/// Starts the screenshot service; it then watches for captures for the life of the process.
class ScreenshotActivityProvider final : public StartingProvider<ScreenshotService> {
public:
    explicit ScreenshotActivityProvider(ScreenshotService& service)
        : StartingProvider(service, QStringLiteral("Screenshots")) {}
};

}  // namespace korvo
