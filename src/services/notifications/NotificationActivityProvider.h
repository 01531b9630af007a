#pragma once

#include "core/ActivityProvider.h"
#include "services/notifications/NotificationService.h"

namespace korvo {

/// Starts the desktop-notification toasts; they follow their preference from then on.
class NotificationActivityProvider final : public ActivityProvider {
public:
    explicit NotificationActivityProvider(NotificationService& service,
                                          QString name = QStringLiteral("Notifications"))
        : m_service(service), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override { m_service.start(); }

private:
    NotificationService& m_service;
    QString m_name;
};

}  // namespace korvo
