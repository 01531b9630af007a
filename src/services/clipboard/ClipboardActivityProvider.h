#pragma once

#include "core/ActivityProvider.h"

namespace korvo {

class ClipboardService;

/// Starts the clipboard service; it then polls for the life of the process.
class ClipboardActivityProvider final : public ActivityProvider {
public:
    explicit ClipboardActivityProvider(ClipboardService& service,
                                       QString name = QStringLiteral("Clipboard"))
        : m_service(service), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override;

private:
    ClipboardService& m_service;
    QString m_name;
};

}  // namespace korvo
