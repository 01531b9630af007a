#include "DemoScriptBridge.h"

#include <QStringList>

#include <algorithm>
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

}  // namespace

DemoScriptBridge::DemoScriptBridge(MainLoop& loop)
    : m_loop(loop), m_trackStart(loop.monotonicNow() - 18) {}

bool DemoScriptBridge::isRunning(const QString& bundleId) {
    return bundleId == QLatin1String(bundle::spotify);
}

double DemoScriptBridge::positionLocked(double now) {
    if (!m_playing) {
        return m_pausedAt;
    }
    double position = now - m_trackStart;
    while (position >= kPlaylist[m_track].duration) {
        position -= kPlaylist[m_track].duration;
        m_trackStart += kPlaylist[m_track].duration;
        m_track = (m_track + 1) % static_cast<int>(kPlaylist.size());
    }
    return position;
}

void DemoScriptBridge::skipLocked(int by, double now) {
    const int count = static_cast<int>(kPlaylist.size());
    m_track = ((m_track + by) % count + count) % count;
    m_trackStart = now;
    m_pausedAt = 0;
}

std::optional<ScriptResult> DemoScriptBridge::run(const ScriptRequest& request) {
    std::lock_guard lock(m_mutex);
    const double now = m_loop.monotonicNow();
    if (const auto* read = std::get_if<intent::ReadPlayer>(&request.intent)) {
        if (read->player != PlayerSlot::spotify) {
            return std::nullopt;
        }
        const double position = positionLocked(now);
        const Track& track = kPlaylist[m_track];
        const QStringList fields{QString::fromUtf8(track.title),
                                 QString::fromUtf8(track.artist),
                                 QString::fromUtf8(track.album),
                                 QString::number(track.duration),
                                 QString::number(position, 'f', 3),
                                 m_playing ? QStringLiteral("true") : QStringLiteral("false"),
                                 QString(),
                                 QString::number(m_volume)};
        return ScriptResult{fields.join(QStringLiteral("||")), {}};
    }
    const auto* command = std::get_if<intent::PlayerCommand>(&request.intent);
    if (!command || command->player != PlayerSlot::spotify) {
        return std::nullopt;
    }
    const double position = positionLocked(now);
    switch (command->action) {
        case MediaAction::playPause:
            if (m_playing) {
                m_pausedAt = position;
            } else {
                m_trackStart = now - m_pausedAt;
            }
            m_playing = !m_playing;
            break;
        case MediaAction::next:
            skipLocked(1, now);
            break;
        case MediaAction::previous:
            skipLocked(position > 3 ? 0 : -1, now);  // like a player: first back to the start
            break;
        case MediaAction::seek: {
            const double to = std::clamp(command->value, 0.0, kPlaylist[m_track].duration - 1);
            m_trackStart = now - to;
            m_pausedAt = to;
            break;
        }
        case MediaAction::setVolume:
            m_volume = std::clamp(static_cast<int>(command->value), 0, 100);
            break;
    }
    return ScriptResult{QString(), {}};
}

}  // namespace korvo
