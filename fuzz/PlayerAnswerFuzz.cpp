// The desktop players' answers, as their scripts print them.
#include "FuzzInput.h"
#include "services/nowplaying/MediaService.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using korvo::MediaService;
    const QString answer = korvo::fuzz::text(data, size);
    for (const auto& info :
         {MediaService::parseSpotifyAnswer(answer), MediaService::parseMusicAnswer(answer)}) {
        if (!info) {
            continue;
        }
        // Whatever a player says, a reading carries only finite numbers.
        if (!std::isfinite(info->duration) || !std::isfinite(info->elapsed) ||
            (info->volume && !std::isfinite(*info->volume))) {
            __builtin_trap();
        }
        (void)MediaService::artworkKey(*info);
    }
    if (const auto n = MediaService::parseNumber(answer); n && !std::isfinite(*n)) {
        __builtin_trap();
    }
    return 0;
}
