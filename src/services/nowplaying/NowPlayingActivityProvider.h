#pragma once

#include "core/ActivityProvider.h"
#include "services/nowplaying/MediaService.h"

namespace korvo {

/// Starts the now-playing service; it then runs for the life of the process.
class NowPlayingActivityProvider final : public StartingProvider<MediaService> {
public:
    explicit NowPlayingActivityProvider(MediaService& service)
        : StartingProvider(service, QStringLiteral("Now Playing")) {}
};

}  // namespace korvo
