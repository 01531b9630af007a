#pragma once

#include "activities/Activity.h"
#include "platform/MediaPlayers.h"

#include <QString>

#include <optional>
#include <vector>

namespace korvo::nowplaying {

/// Which player the island shows: the Spotify client, then any other player, then browser tabs
/// (only with `browserMedia`); within one of those, a playing one before a paused one, and the
/// one whose playback started last. Stopped players and players that publish no metadata are
/// passed over. Nothing when no player qualifies.
std::optional<std::size_t> choosePlayer(const std::vector<MediaPlayer>& players, bool browserMedia);

/// The reading of one player at `now` (the main loop's monotonic clock).
NowPlayingInfo readingOf(const MediaPlayer& player, double now);

struct TabTitle {
    QString title;
    QString artist;
};

/// A tab title without the site's suffix and an unread counter, split at " - " into artist and
/// title: "(3) Band - Tune | YouTube" gives Tune by Band.
TabTitle parseTabTitle(const QString& title);

/// The media site a page address belongs to ("YouTube Music", "YouTube", "SoundCloud",
/// "Spotify Web"), or nothing.
std::optional<QString> siteOfUrl(const QString& url);

/// The media site a tab title names by its suffix, or nothing.
std::optional<QString> siteOfTitle(const QString& title);

/// A video page's thumbnail, when the address names the video.
std::optional<QString> youtubeThumbnail(const QString& url);

/// The key a cover is cached under: its address, or (with none) the source, title, artist and
/// album. Very long addresses (a `data:` cover) are keyed by their digest.
QString artworkKey(const NowPlayingInfo& info);

/// A level clamped to 0...1; nothing for a level that is not a number.
std::optional<double> clampLevel(double level);

}  // namespace korvo::nowplaying
