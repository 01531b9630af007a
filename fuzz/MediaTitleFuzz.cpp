// Tab titles and page addresses: the cleaning of a title, the naming of the site, and the video
// thumbnail. Input: a title, a NUL, an address.
#include "FuzzInput.h"
#include "services/nowplaying/NowPlayingRules.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvo::nowplaying;
    const auto parts = korvo::fuzz::fields(data, size, 2);
    const QString title = QString::fromUtf8(parts[0]);
    const QString url = QString::fromUtf8(parts[1]);
    const TabTitle tab = parseTabTitle(title);
    // Cleaning only ever takes away.
    if (tab.title.size() + tab.artist.size() > title.size()) {
        __builtin_trap();
    }
    (void)siteOfTitle(title);
    (void)siteOfUrl(url);
    if (const auto thumb = youtubeThumbnail(url)) {
        // Whatever the page's address, the thumbnail stays on the image server.
        const QUrl parsed(*thumb, QUrl::StrictMode);
        if (!parsed.isValid() || parsed.host() != QLatin1String("i.ytimg.com") ||
            !parsed.path().startsWith(QLatin1String("/vi/"))) {
            __builtin_trap();
        }
    }
    return 0;
}
