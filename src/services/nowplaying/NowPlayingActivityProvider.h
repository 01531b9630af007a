#pragma once

#include "core/ActivityProvider.h"

namespace korvo {

class MediaService;

/// Starts the now-playing service; it then runs for the life of the process.
class NowPlayingActivityProvider final : public ActivityProvider {
public:
    explicit NowPlayingActivityProvider(MediaService& service,
                                        QString name = QStringLiteral("Now Playing"))
        : m_service(service), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override;

private:
    MediaService& m_service;
    QString m_name;
};

}  // namespace korvo
