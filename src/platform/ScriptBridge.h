#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace korvo {

/// Application identifiers the now-playing service asks about. A bridge maps them onto whatever
/// stands for that application on its platform.
namespace bundle {
inline constexpr char spotify[] = "com.spotify.client";
inline constexpr char music[] = "com.apple.Music";
inline constexpr char chrome[] = "com.google.Chrome";
inline constexpr char brave[] = "com.brave.Browser";
inline constexpr char edge[] = "com.microsoft.edgemac";
inline constexpr char safari[] = "com.apple.Safari";
}  // namespace bundle

/// The two desktop player slots: the Spotify client and the system's music player.
enum class PlayerSlot { spotify, music };

enum class MediaAction { playPause, next, previous, seek, setVolume };

/// What a script means, so that a bridge that cannot run scripts still answers without ever
/// reading the script text.
namespace intent {

/// The player's reading, answered as "||"-joined fields (Spotify: title, artist, album, duration,
/// position, playing, artwork URL, volume 0-100; music player: the same without the artwork URL),
/// or the empty text when the player is stopped.
struct ReadPlayer {
    PlayerSlot player = PlayerSlot::spotify;
};

/// The raw bytes of the current track's cover, or the empty text.
struct ReadArtwork {
    PlayerSlot player = PlayerSlot::music;
};

/// A transport command to a desktop player. `value` is the position in seconds for `seek` and
/// the volume as a whole percentage for `setVolume`. The answer is not examined.
struct PlayerCommand {
    PlayerSlot player = PlayerSlot::spotify;
    MediaAction action = MediaAction::playPause;
    double value = 0;
};

/// The first media tab of a browser: a tab whose address contains one of `urlMarkers`. Answered
/// as "~|~"-joined fields, either eight probe fields, "JS" and the URL, or the tab's title,
/// "TAB" and the URL; the empty text when no tab matches.
struct BrowserScan {
    QString bundleId;
    QStringList urlMarkers;
};

/// A page script in the browser's first media tab. `value` is the position in whole seconds
/// for `seek` and the level 0-1 for `setVolume`. Answered "ok" when it ran, else the empty text.
struct PageScript {
    QString bundleId;
    QStringList urlMarkers;
    MediaAction action = MediaAction::playPause;
    double value = 0;
    QString javaScript;
};

}  // namespace intent

using ScriptIntent = std::variant<intent::ReadPlayer, intent::ReadArtwork, intent::PlayerCommand,
                                  intent::BrowserScan, intent::PageScript>;

struct ScriptRequest {
    QString script;  // the exact script text
    ScriptIntent intent;
    double timeout = 1.5;  // seconds the whole run may take before it counts as failed
};

/// What a script gave back: text, raw bytes, or both.
struct ScriptResult {
    std::optional<QString> text;
    QByteArray data;
};

/// Runs scripts against other applications. Every call may block up to the request's timeout,
/// so callers use it off the main thread only. Thread-safe.
class ScriptBridge {
public:
    virtual ~ScriptBridge() = default;
    /// Whether the application is running; never launches it.
    virtual bool isRunning(const QString& bundleId) = 0;
    /// The script's result, or nothing when it failed or timed out.
    virtual std::optional<ScriptResult> run(const ScriptRequest& request) = 0;
    /// False only when it is known, without blocking, that no player or browser runs at all, so
    /// a poll has nothing to ask. Main thread.
    virtual bool anyRunning() { return true; }
};

}  // namespace korvo
