#pragma once

#include "core/ActivityProvider.h"

namespace korvo {

class DevicesService;

/// Starts the devices service; it then polls for the life of the process.
class DevicesActivityProvider final : public ActivityProvider {
public:
    explicit DevicesActivityProvider(DevicesService& service,
                                     QString name = QStringLiteral("Devices"))
        : m_service(service), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override;

private:
    DevicesService& m_service;
    QString m_name;
};

}  // namespace korvo
