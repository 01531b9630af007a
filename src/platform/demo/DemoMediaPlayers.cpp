#include "DemoMediaPlayers.h"

#include <array>

namespace korvo {

namespace {

struct Track {
    const char* title;
    const char* artist;
    const char* album;
    double duration;
};

// Short tracks, so that a round of the tour sees a change of track and its toast.
constexpr std::array<Track, 4> kPlaylist{{
    {"Midnight City", "Night Drive", "Neon Roads", 42},
    {"Paper Planes", "The Low Tides", "Harbour Lights", 36},
    {"Golden Hour", "Mara Vale", "Slow Bloom", 48},
    {"Static Hearts", "Night Drive", "Neon Roads", 39},
}};

constexpr int kCount = static_cast<int>(kPlaylist.size());

}  // namespace

DemoMediaPlayers::DemoMediaPlayers(MainLoop& loop) : m_loop(loop) {
    m_player.busName = kBusName;
    m_player.identity = QStringLiteral("Spotify");
    m_player.desktopEntry = QStringLiteral("spotify");
    m_player.family = PlayerFamily::spotify;
    m_player.status = PlaybackStatus::playing;
    m_player.playbackStarted = 1;
    m_player.volume = 0.7;
    m_player.caps = {true, true, true, true, true, true};
    load(0, 18);
}

void DemoMediaPlayers::load(int track, double position) {
    m_track = (track % kCount + kCount) % kCount;
    const Track& t = kPlaylist[static_cast<std::size_t>(m_track)];
    m_player.metadata = TrackMetadata{QStringLiteral("/org/korvo/demo/track/%1").arg(m_track),
                                      QString::fromUtf8(t.title),
                                      {QString::fromUtf8(t.artist)},
                                      QString::fromUtf8(t.album),
                                      t.duration,
                                      {},
                                      {}};
    m_player.position = position;
    m_player.positionReadAt = m_loop.monotonicNow();
    scheduleEnd();
}

// The next track begins when this one ends, as a player would.
void DemoMediaPlayers::scheduleEnd() {
    m_end.cancel();
    if (m_player.status != PlaybackStatus::playing) {
        return;
    }
    const double left = m_player.metadata.length - m_player.positionAt(m_loop.monotonicNow());
    m_end = m_loop.postDelayed(std::max(0.0, left), [this] {
        load(m_track + 1, 0);
        changed();
    });
}

std::vector<MediaPlayer> DemoMediaPlayers::players() const {
    return {m_player};
}

Subscription DemoMediaPlayers::observe(std::function<void()> fn) {
    const auto id = ++m_nextObserver;
    m_observers.emplace(id, std::move(fn));
    return Subscription([this, id, alive = std::weak_ptr<char>(m_alive)] {
        if (alive.lock()) {
            m_observers.erase(id);
        }
    });
}

void DemoMediaPlayers::changed() {
    const auto observers = m_observers;
    for (const auto& [id, fn] : observers) {
        if (m_observers.count(id)) {
            fn();
        }
    }
}

void DemoMediaPlayers::playPause(const QString& busName) {
    if (busName != kBusName) {
        return;
    }
    const double now = m_loop.monotonicNow();
    m_player.position = m_player.positionAt(now);
    m_player.positionReadAt = now;
    const bool playing = m_player.status == PlaybackStatus::playing;
    m_player.status = playing ? PlaybackStatus::paused : PlaybackStatus::playing;
    if (!playing) {
        m_player.playbackStarted += 1;
    }
    scheduleEnd();
    changed();
}

void DemoMediaPlayers::next(const QString& busName) {
    if (busName == kBusName) {
        load(m_track + 1, 0);
        changed();
    }
}

void DemoMediaPlayers::previous(const QString& busName) {
    if (busName != kBusName) {
        return;
    }
    // Like a player: some way into a track, back to its start first.
    const bool intoTrack = m_player.positionAt(m_loop.monotonicNow()) > 3;
    load(intoTrack ? m_track : m_track - 1, 0);
    changed();
}

void DemoMediaPlayers::setPosition(const QString& busName, const QString& trackId, double seconds) {
    if (busName != kBusName || trackId != m_player.metadata.trackId || !std::isfinite(seconds)) {
        return;
    }
    m_player.position = std::clamp(seconds, 0.0, m_player.metadata.length - 1);
    m_player.positionReadAt = m_loop.monotonicNow();
    scheduleEnd();
    changed();
}

void DemoMediaPlayers::setVolume(const QString& busName, double level) {
    if (busName == kBusName && !std::isnan(level)) {
        m_player.volume = std::clamp(level, 0.0, 1.0);
        changed();
    }
}

}  // namespace korvo
