// A browser's tab-scan answer, tab titles, and the site and thumbnail rules for page addresses.
#include "FuzzInput.h"
#include "services/nowplaying/MediaService.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using korvo::MediaService;
    const QString input = korvo::fuzz::text(data, size);
    if (const auto info = MediaService::parseBrowserAnswer(input)) {
        (void)MediaService::artworkKey(*info);  // an empty title is dropped when published
    }
    (void)MediaService::parseTabTitle(input);
    (void)MediaService::siteName(input);
    if (const auto thumb = MediaService::youtubeThumbnail(input); thumb && thumb->isEmpty()) {
        __builtin_trap();
    }
    return 0;
}
