#include "MediaService.h"

#include "ArtworkImage.h"
#include "NowPlayingRules.h"
#include "TextTrim.h"
#include "core/MainThread.h"
#include "platform/ArtworkFetcher.h"
#include "platform/MediaPlayers.h"

#include <QUrl>

#include <cmath>

namespace korvo {

namespace {

// While a track plays the time shown moves on once a second; the shared beat carries it.
constexpr double kTickInterval = 1.0;
constexpr double kTickTolerance = 0.25;

QString trackIdentity(const MediaPlayer& p, const NowPlayingInfo& info) {
    return p.busName + QLatin1Char('\n') + p.metadata.trackId + QLatin1Char('\n') + info.title +
           QLatin1Char('\n') + info.artist;
}

bool sameControls(const NowPlayingInfo& a, const NowPlayingInfo& b) {
    return a.canPlayPause == b.canPlayPause && a.canGoNext == b.canGoNext &&
           a.canGoPrevious == b.canGoPrevious && a.canSeek == b.canSeek &&
           a.canSetVolume == b.canSetVolume;
}

}  // namespace

const QString MediaService::activityID = QStringLiteral("nowplaying.system");

MediaService::MediaService(MainLoop& loop, EventBus& bus, MediaPreferences& settings,
                           MediaPlayers& players, ArtworkFetcher& artwork)
    : m_loop(loop), m_bus(bus), m_settings(settings), m_players(players), m_artwork(artwork) {}

MediaService::~MediaService() = default;

void MediaService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    m_playersWatch = m_players.observe([this] { refresh(); });
    m_settingsWatch = m_settings.observe([this](const QString& key) {
        if (key == QLatin1String("browserMedia")) {
            refresh();
        }
    });
    refresh();
}

void MediaService::refresh() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    const std::vector<MediaPlayer> players = m_players.players();
    const auto chosen = nowplaying::choosePlayer(players, m_settings.browserMedia());
    if (!chosen) {
        publish(std::nullopt);
        return;
    }
    const MediaPlayer& player = players[*chosen];
    NowPlayingInfo info = nowplaying::readingOf(player, m_loop.monotonicNow());
    if (trimSpacesAndTabs(info.title).isEmpty()) {
        // The player shown, between two tracks, keeps its last reading (publishing ignores a
        // reading without a title); another player without a title is no reading at all.
        if (player.busName == m_shown) {
            return;
        }
        publish(std::nullopt);
        return;
    }
    m_shown = player.busName;
    m_trackId = player.metadata.trackId;
    m_track = trackIdentity(player, info);
    publish(std::move(info));
}

Activity MediaService::makeActivity(const NowPlayingInfo& info) const {
    return Activity{activityID, Activity::Kind::nowPlaying,
                    info.isPlaying ? ActivityPriority::normal : ActivityPriority::low,
                    m_loop.wallNow(), info};
}

void MediaService::publish(std::optional<NowPlayingInfo> info) {
    if (info && trimSpacesAndTabs(info->title).isEmpty()) {
        return;
    }
    if (!info) {
        m_shown.clear();
        m_trackId.clear();
        m_track.clear();
        if (m_lastInfo) {
            m_lastInfo.reset();
            m_bus.post(ActivityEnded{activityID});
        }
        followPlayback();
        return;
    }
    if (!info->artwork) {
        const QString key = nowplaying::artworkKey(*info);
        const auto cached = m_artworkCache.constFind(key);
        if (cached != m_artworkCache.constEnd()) {
            info->artwork = *cached;
        } else if (info->artworkURL && m_artworkFailed.value(key) != m_track) {
            requestArtwork(*info, key);
        }
    }
    if (m_settings.trackChangeToast() && m_lastInfo && info->isPlaying &&
        info->title != m_lastInfo->title && !info->title.isEmpty()) {
        m_bus.post(TransientNotification::make(QStringLiteral("music.note"), info->title,
                                               info->artist, 2.0, ActivityPriority::normal));
    }
    if (!m_lastInfo) {
        m_bus.post(ActivityStarted{makeActivity(*info)});
    } else if (!(*info == *m_lastInfo) || !sameControls(*info, *m_lastInfo)) {
        // The controls a card shows are news too: a player may offer seeking only once the
        // track's length is known.
        m_bus.post(ActivityUpdated{makeActivity(*info)});
    }
    m_lastInfo = std::move(info);
    followPlayback();
}

void MediaService::followPlayback() {
    const bool playing = m_lastInfo && m_lastInfo->isPlaying;
    if (playing && !m_tick.isActive()) {
        m_tick = m_loop.scheduleRepeating(kTickInterval, kTickTolerance, [this] { refresh(); });
    } else if (!playing) {
        m_tick.cancel();
    }
}

void MediaService::requestArtwork(const NowPlayingInfo& info, const QString& key) {
    if (m_artworkInFlight.contains(key)) {
        return;
    }
    m_artworkInFlight.insert(key);
    auto store = [this, weak = m_life.weak(), key, track = m_track](SharedImage image) {
        if (weak.lock()) {
            storeArtwork(std::move(image), key, track);
        }
    };
    const QUrl url(*info.artworkURL);
    if (!url.isValid() || url.isRelative()) {
        store(nullptr);
        return;
    }
    m_artwork.fetch(url, [this, weak = m_life.weak(), store](auto bytes) {
        if (!weak.lock()) {
            return;
        }
        if (!bytes) {
            store(nullptr);
            return;
        }
        // Decoding a cover can take milliseconds; it stays off the main thread.
        m_loop.runInBackground(Qos::utility, [loop = &m_loop, store, bytes = std::move(*bytes)] {
            loop->post([store, image = decodeArtwork(bytes)] { store(image); });
        });
    });
}

void MediaService::storeArtwork(SharedImage image, const QString& key, const QString& track) {
    m_artworkInFlight.remove(key);
    if (!image) {
        // Not asked again while the same track plays; the next track may have it.
        if (m_artworkFailed.size() >= kArtworkCacheLimit) {
            m_artworkFailed.clear();
        }
        m_artworkFailed.insert(key, track);
        return;
    }
    if (m_artworkCache.size() >= kArtworkCacheLimit) {
        m_artworkCache.clear();
    }
    m_artworkCache.insert(key, image);
    if (m_lastInfo && nowplaying::artworkKey(*m_lastInfo) == key) {
        m_lastInfo->artwork = std::move(image);
        m_bus.post(ActivityUpdated{makeActivity(*m_lastInfo)});
    }
}

// --- Controls ---------------------------------------------------------------------------------

void MediaService::togglePlayPause() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    if (m_lastInfo && m_lastInfo->canPlayPause) {
        m_players.playPause(m_shown);
    }
}

void MediaService::next() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    if (m_lastInfo && m_lastInfo->canGoNext) {
        m_players.next(m_shown);
    }
}

void MediaService::previous() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    if (m_lastInfo && m_lastInfo->canGoPrevious) {
        m_players.previous(m_shown);
    }
}

void MediaService::seek(double seconds) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    if (!m_lastInfo || !m_lastInfo->canSeek || !std::isfinite(seconds)) {
        return;
    }
    m_players.setPosition(m_shown, m_trackId, std::clamp(seconds, 0.0, m_lastInfo->duration));
}

void MediaService::setVolume(double level) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    if (!m_lastInfo || !m_lastInfo->canSetVolume) {
        return;
    }
    if (const auto clamped = nowplaying::clampLevel(level)) {
        m_players.setVolume(m_shown, *clamped);
    }
}

}  // namespace korvo
