#pragma once

#include "activities/Activity.h"
#include "core/Cancellable.h"
#include "core/EventBus.h"
#include "core/MainLoop.h"
#include "core/MediaControls.h"
#include "settings/Preferences.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

namespace korvo {

class ArtworkFetcher;
class MediaPlayers;

/// Shows what the desktop's players play as the one now-playing activity, with cover art and a
/// toast on a change of track, and drives the player it shows. It follows the players' own
/// notices; only while a track plays does it look again once a second, to move the time on.
/// Main-thread object.
class MediaService final : public MediaControls {
public:
    static const QString activityID;
    /// Covers kept decoded; the cache empties itself when one more would pass this.
    static constexpr int kArtworkCacheLimit = 61;

    MediaService(MainLoop& loop, EventBus& bus, MediaPreferences& settings, MediaPlayers& players,
                 ArtworkFetcher& artwork);
    ~MediaService() override;
    MediaService(const MediaService&) = delete;
    MediaService& operator=(const MediaService&) = delete;

    /// Follows the players from now on, and reads them once at once.
    void start();

    // Controls, addressed to the player shown; a control the player does not offer, or any
    // control while nothing plays, does nothing.
    void togglePlayPause() override;
    void next() override;
    void previous() override;
    void seek(double seconds) override;
    void setVolume(double level) override;

    const std::optional<NowPlayingInfo>& lastInfo() const { return m_lastInfo; }
    /// The bus name of the player shown; empty while nothing is.
    const QString& shownPlayer() const { return m_shown; }
    int artworkCacheSize() const { return static_cast<int>(m_artworkCache.size()); }
    int artworkFailuresKept() const { return static_cast<int>(m_artworkFailed.size()); }
    /// Whether the once-a-second look is running (only while a track plays).
    bool isTicking() const { return m_tick.isActive(); }

private:
    void refresh();
    void publish(std::optional<NowPlayingInfo> info);
    void requestArtwork(const NowPlayingInfo& info, const QString& key);
    void storeArtwork(SharedImage image, const QString& key, const QString& track);
    Activity makeActivity(const NowPlayingInfo& info) const;
    void followPlayback();

    MainLoop& m_loop;
    EventBus& m_bus;
    MediaPreferences& m_settings;
    MediaPlayers& m_players;
    ArtworkFetcher& m_artwork;

    Subscription m_playersWatch;
    Subscription m_settingsWatch;
    TaskHandle m_tick;
    std::optional<NowPlayingInfo> m_lastInfo;
    QString m_shown;    // bus name of the player the reading came from
    QString m_trackId;  // its track, for jumps within it
    QString m_track;    // what identifies the track shown, for remembering failed covers
    QHash<QString, SharedImage> m_artworkCache;
    QSet<QString> m_artworkInFlight;
    QHash<QString, QString> m_artworkFailed;  // cover key → the track it failed for
    LifeToken m_life;
};

}  // namespace korvo
