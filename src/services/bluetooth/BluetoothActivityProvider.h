#pragma once

#include "core/ActivityProvider.h"

namespace korvo {

class BluetoothService;

/// Registers the Bluetooth service for connection notices.
class BluetoothActivityProvider final : public ActivityProvider {
public:
    explicit BluetoothActivityProvider(BluetoothService& service,
                                       QString name = QStringLiteral("Bluetooth"))
        : m_service(service), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override;

private:
    BluetoothService& m_service;
    QString m_name;
};

}  // namespace korvo
