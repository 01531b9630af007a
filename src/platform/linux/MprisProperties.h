#pragma once

#include "platform/MediaPlayers.h"

#include <QVariant>
#include <QVariantMap>

namespace korvo::mpris {

inline const QString kNamePrefix = QStringLiteral("org.mpris.MediaPlayer2.");
inline const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
inline const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
inline const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
inline const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

/// Whether a bus name is a player Korvo reads. A proxy that mirrors the other players is not:
/// reading it would count them twice.
bool isPlayerName(const QString& busName);

/// The family of a player, from its bus name, `Identity` and `DesktopEntry`.
PlayerFamily familyOf(const QString& busName, const QString& identity, const QString& desktopEntry);

/// A property map as it comes off the bus: a map, or a D-Bus argument holding `a{sv}`, possibly
/// inside variants. Any other shape is an empty map.
QVariantMap toMap(const QVariant& value);

/// The `Metadata` value, whatever shape a player gave it: wrong types read as absent, times as
/// whole microseconds within an int64.
TrackMetadata parseMetadata(const QVariant& value);

/// What a batch of properties changed.
struct PlayerChange {
    bool any = false;
    bool status = false;    // PlaybackStatus changed
    bool track = false;     // another track (id, title or address changed)
    bool metadata = false;  // Metadata changed, the same track or another
};

/// Applies `org.mpris.MediaPlayer2.Player` properties (a `GetAll` answer, a `PropertiesChanged`
/// or one `Get`) read at `now`. The position carries on from the last reading across changes of
/// state and rate; a new track starts at 0 unless the batch says where it is.
PlayerChange applyPlayerProperties(MediaPlayer& player, const QVariantMap& properties, double now);

/// Applies `org.mpris.MediaPlayer2` properties (`Identity`, `DesktopEntry`) and the family they
/// give. True when anything changed.
bool applyRootProperties(MediaPlayer& player, const QVariantMap& properties);

/// Microseconds as MPRIS sends them (any integer or floating type), as seconds within an int64
/// of microseconds; nothing for another type or a value that is not finite.
std::optional<double> seconds(const QVariant& microseconds);

}  // namespace korvo::mpris
