#include "NowPlayingRules.h"

#include "TextTrim.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <cmath>
#include <tuple>

namespace korvo::nowplaying {

namespace {

// The media sites, matched by containment in the page's address.
const QString kMusicVideoHost = QStringLiteral("music.youtube.com");
const QString kVideoSite = QStringLiteral("youtube.com");
const QString kShortVideoHost = QStringLiteral("youtu.be");
const QString kAudioSite = QStringLiteral("soundcloud.com");
const QString kWebPlayerHost = QStringLiteral("open.spotify.com");
const QString kThumbnailEndpoint = QStringLiteral("https://i.ytimg.com");

// Covers this long (a whole image in a `data:` address) are keyed by their digest, so the
// cache's keys stay small.
constexpr int kLongKey = 2048;

struct Suffix {
    const char* text;
    const char* site;
};

// In the order they are tried: the longer music suffixes before the plain video ones.
constexpr Suffix kSuffixes[] = {
    {" - YouTube Music", "YouTube Music"},
    {" | YouTube Music", "YouTube Music"},
    {" - YouTube", "YouTube"},
    {" | YouTube", "YouTube"},
    {" | SoundCloud", "SoundCloud"},
    {" - SoundCloud", "SoundCloud"},
    {" | Spotify", "Spotify Web"},
    {" - Spotify", "Spotify Web"},
};

int rankOf(PlayerFamily family) {
    switch (family) {
        case PlayerFamily::spotify:
            return 0;
        case PlayerFamily::other:
            return 1;
        case PlayerFamily::browser:
            return 2;
    }
    return 2;
}

// Some Spotify client versions report covers on a host that no longer serves them.
QString coverAddress(const QString& artUrl) {
    static const QString stale = QStringLiteral("https://open.spotify.com/image/");
    if (artUrl.startsWith(stale)) {
        return QStringLiteral("https://i.scdn.co/image/") + artUrl.mid(stale.size());
    }
    return artUrl;
}

}  // namespace

std::optional<std::size_t> choosePlayer(const std::vector<MediaPlayer>& players,
                                        bool browserMedia) {
    std::optional<std::size_t> best;
    auto order = [](const MediaPlayer& p) {
        // Smaller is better; the bus name settles a tie the same way every time.
        return std::make_tuple(rankOf(p.family), p.status == PlaybackStatus::playing ? 0 : 1,
                               ~p.playbackStarted, p.busName);
    };
    for (std::size_t i = 0; i < players.size(); ++i) {
        const MediaPlayer& p = players[i];
        if (p.status == PlaybackStatus::stopped || p.metadata.isEmpty() ||
            (p.family == PlayerFamily::browser && !browserMedia)) {
            continue;
        }
        if (!best || order(p) < order(players[*best])) {
            best = i;
        }
    }
    return best;
}

NowPlayingInfo readingOf(const MediaPlayer& p, double now) {
    const TrackMetadata& m = p.metadata;
    NowPlayingInfo info;
    info.title = m.title;
    info.artist = m.artists.join(QStringLiteral(", "));
    if (!m.album.isEmpty()) {
        info.album = m.album;
    }
    if (!m.artUrl.isEmpty()) {
        info.artworkURL = coverAddress(m.artUrl);
    }
    info.isPlaying = p.status == PlaybackStatus::playing;
    info.duration = m.length;
    info.elapsed = p.positionAt(now);
    info.volume = p.volume;
    switch (p.family) {
        case PlayerFamily::spotify:
            info.sourceApp = MediaSource::spotify;
            info.sourceLabel = QStringLiteral("Spotify");
            break;
        case PlayerFamily::other:
            info.sourceApp = MediaSource::player;
            if (!p.identity.isEmpty()) {
                info.sourceLabel = p.identity;
            }
            break;
        case PlayerFamily::browser: {
            info.sourceApp = MediaSource::browser;
            const auto site = m.url.isEmpty() ? siteOfTitle(m.title) : siteOfUrl(m.url);
            info.sourceLabel =
                site ? *site : (p.identity.isEmpty() ? QStringLiteral("Browser") : p.identity);
            if (info.artist.isEmpty()) {
                // A tab without a media session of its own reports its page title.
                const TabTitle tab = parseTabTitle(m.title);
                info.title = tab.title;
                info.artist = tab.artist;
            }
            if (!info.artworkURL) {
                info.artworkURL = youtubeThumbnail(m.url);
            }
            break;
        }
    }
    const bool control = p.caps.canControl;
    info.canPlayPause = control && (info.isPlaying ? p.caps.canPause : p.caps.canPlay);
    info.canGoNext = control && p.caps.canGoNext;
    info.canGoPrevious = control && p.caps.canGoPrevious;
    info.canSeek = control && p.caps.canSeek && m.length > 0;
    info.canSetVolume = control && p.volume.has_value();
    return info;
}

TabTitle parseTabTitle(const QString& title) {
    QString text = title;
    for (const Suffix& suffix : kSuffixes) {
        const QString s = QString::fromLatin1(suffix.text);
        if (text.endsWith(s)) {
            text.chop(s.size());
            break;
        }
    }
    // An unread counter such as "(3) " in front of the title.
    if (text.startsWith(QLatin1Char('(')) && text.contains(QLatin1Char(')'))) {
        text = trimSpacesAndTabs(text.mid(text.indexOf(QLatin1Char(')')) + 1));
    }
    const QString dash = QStringLiteral(" - ");
    QStringList parts = text.split(dash, Qt::KeepEmptyParts);
    if (parts.size() < 2) {
        return {text, QString()};
    }
    const QString artist = parts.takeFirst();
    return {parts.join(dash), artist};
}

std::optional<QString> siteOfUrl(const QString& url) {
    if (url.contains(kMusicVideoHost)) {
        return QStringLiteral("YouTube Music");
    }
    if (url.contains(kVideoSite) || url.contains(kShortVideoHost)) {
        return QStringLiteral("YouTube");
    }
    if (url.contains(kAudioSite)) {
        return QStringLiteral("SoundCloud");
    }
    if (url.contains(kWebPlayerHost)) {
        return QStringLiteral("Spotify Web");
    }
    return std::nullopt;
}

std::optional<QString> siteOfTitle(const QString& title) {
    for (const Suffix& suffix : kSuffixes) {
        if (title.endsWith(QString::fromLatin1(suffix.text))) {
            return QString::fromLatin1(suffix.site);
        }
    }
    return std::nullopt;
}

std::optional<QString> youtubeThumbnail(const QString& url) {
    if (!url.contains(kVideoSite)) {
        return std::nullopt;
    }
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || !parsed.hasQuery()) {
        return std::nullopt;
    }
    const QUrlQuery query(parsed);
    for (const auto& [name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (name == QLatin1String("v")) {
            // Only what a video id can hold, so the thumbnail address stays an address.
            static const QRegularExpression id(QStringLiteral("^[A-Za-z0-9_-]+$"));
            if (!id.match(value).hasMatch()) {
                return std::nullopt;
            }
            return kThumbnailEndpoint + QStringLiteral("/vi/") + value +
                   QStringLiteral("/mqdefault.jpg");
        }
    }
    return std::nullopt;
}

QString artworkKey(const NowPlayingInfo& info) {
    if (info.artworkURL) {
        if (info.artworkURL->size() > kLongKey) {
            return QStringLiteral("sha256:") +
                   QString::fromLatin1(QCryptographicHash::hash(info.artworkURL->toUtf8(),
                                                                QCryptographicHash::Sha256)
                                           .toHex());
        }
        return *info.artworkURL;
    }
    return rawValue(info.sourceApp) + QLatin1Char('|') + info.title + QLatin1Char('|') +
           info.artist + QLatin1Char('|') + info.album.value_or(QString());
}

std::optional<double> clampLevel(double level) {
    if (std::isnan(level)) {
        return std::nullopt;
    }
    return std::clamp(level, 0.0, 1.0);
}

}  // namespace korvo::nowplaying
