#pragma once

#include "core/ActivityProvider.h"

namespace korvo {

class ScreenshotService;

/// Starts the screenshot service; it then watches for captures for the life of the process.
class ScreenshotActivityProvider final : public ActivityProvider {
public:
    explicit ScreenshotActivityProvider(ScreenshotService& service,
                                        QString name = QStringLiteral("Screenshots"))
        : m_service(service), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override;

private:
    ScreenshotService& m_service;
    QString m_name;
};

}  // namespace korvo
