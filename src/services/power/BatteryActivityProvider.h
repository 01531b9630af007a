#pragma once

#include "core/ActivityProvider.h"

namespace korvo {

class PowerService;

/// Starts the power service; it then follows the power sources for the life of the process.
class BatteryActivityProvider final : public ActivityProvider {
public:
    explicit BatteryActivityProvider(PowerService& service,
                                     QString name = QStringLiteral("Battery"))
        : m_service(service), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override;

private:
    PowerService& m_service;
    QString m_name;
};

}  // namespace korvo
