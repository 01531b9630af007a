#pragma once

#include "core/ActivityProvider.h"
#include "services/notifications/NotificationService.h"

namespace korvo {

/// Starts the desktop-notification toasts; they follow their preference from then on.
class NotificationActivityProvider final : public StartingProvider<NotificationService> {
public:
    explicit NotificationActivityProvider(NotificationService& service)
        : StartingProvider(service, QStringLiteral("Notifications")) {}
};

}  // namespace korvo
