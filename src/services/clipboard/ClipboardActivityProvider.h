#pragma once

#include "core/ActivityProvider.h"
#include "services/clipboard/ClipboardService.h"

namespace korvo {

/// Starts the clipboard service; it then polls for the life of the process.
class ClipboardActivityProvider final : public StartingProvider<ClipboardService> {
public:
    explicit ClipboardActivityProvider(ClipboardService& service)
        : StartingProvider(service, QStringLiteral("Clipboard")) {}
};

}  // namespace korvo
