#pragma once

#include "core/Cancellable.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace korvo {

/// What kind of program stands behind a player: the Spotify client, a web browser publishing
/// the media session of a tab, or any other player.
enum class PlayerFamily { spotify, browser, other };

/// MPRIS `PlaybackStatus`.
enum class PlaybackStatus { stopped, paused, playing };

/// The current track as MPRIS metadata describes it (`xesam:` and `mpris:` keys), typed.
struct TrackMetadata {
    QString trackId;      // mpris:trackid, an object path
    QString title;        // xesam:title
    QStringList artists;  // xesam:artist
    QString album;        // xesam:album
    double length = 0;    // mpris:length in seconds; 0 when unknown
    QString artUrl;       // mpris:artUrl
    QString url;          // xesam:url

    /// Nothing published at all, as a player between tracks or with nothing loaded.
    bool isEmpty() const {
        return trackId.isEmpty() && title.isEmpty() && artists.isEmpty() && album.isEmpty() &&
               length <= 0 && artUrl.isEmpty() && url.isEmpty();
    }
    bool operator==(const TrackMetadata&) const = default;
};

/// The controls a player announces (`CanPlay`, `CanSeek`, ...). A player that says nothing
/// about one does not offer it; only `CanControl`, which takes all the others away, is taken as
/// true until the player says otherwise.
struct PlayerCapabilities {
    bool canControl = true;
    bool canPlay = false;
    bool canPause = false;
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canSeek = false;

    bool operator==(const PlayerCapabilities&) const = default;
};

/// One player on the desktop, as last read.
struct MediaPlayer {
    QString busName;       // e.g. org.mpris.MediaPlayer2.vlc
    QString identity;      // `Identity`, e.g. "VLC media player"
    QString desktopEntry;  // `DesktopEntry`, e.g. "vlc"
    PlayerFamily family = PlayerFamily::other;
    TrackMetadata metadata;
    PlaybackStatus status = PlaybackStatus::stopped;
    double rate = 1;
    double position = 0;           // seconds into the track at `positionReadAt`
    double positionReadAt = 0;     // the main loop's monotonic clock
    std::optional<double> volume;  // absent when the player has no `Volume`
    PlayerCapabilities caps;
    /// Orders the players by the last time their playback started: the larger, the later.
    /// 0 for a player never seen playing.
    unsigned long long playbackStarted = 0;

    /// The position at `now`: the last reading moved on at the player's rate while it plays,
    /// held within the track.
    double positionAt(double now) const {
        double p = position;
        if (status == PlaybackStatus::playing && now > positionReadAt && rate > 0) {
            p += (now - positionReadAt) * rate;
        }
        if (metadata.length > 0) {
            p = std::min(p, metadata.length);
        }
        return std::max(0.0, p);
    }
};

/// The media players present, kept current from their own notices, and the commands they
/// take. Main thread; nothing here blocks.
class MediaPlayers {
public:
    virtual ~MediaPlayers() = default;

    /// The players as last known, in no particular order. Asks no player anything.
    virtual std::vector<MediaPlayer> players() const = 0;

    /// `changed` runs on the main thread after a player appears, leaves or changes, until the
    /// subscription ends.
    virtual Subscription observe(std::function<void()> changed) = 0;

    // Commands go out and are not waited for; the player's own notices show their effect.
    virtual void playPause(const QString& busName) = 0;
    virtual void next(const QString& busName) = 0;
    virtual void previous(const QString& busName) = 0;
    /// Jumps within the track `trackId` (ignored by the player once another track plays).
    virtual void setPosition(const QString& busName, const QString& trackId, double seconds) = 0;
    virtual void setVolume(const QString& busName, double level) = 0;
};

}  // namespace korvo
