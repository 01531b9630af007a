#pragma once

#include "activities/Activity.h"
#include "core/Cancellable.h"
#include "core/EventBus.h"
#include "core/MainLoop.h"
#include "platform/ScriptBridge.h"
#include "ui/island/MediaControls.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace korvo {

class ArtworkFetcher;
class MediaKeys;
class SettingsStore;

/// Finds out once a second what the desktop players or a browser tab are playing and publishes
/// it as the one now-playing activity, with cover art and a toast on a change of track. It also
/// drives the player it last read. Main-thread object; every script runs in the background.
class MediaService final : public MediaControls {
public:
    struct BrowserApp {
        QString bundleID;
        QString appName;
        bool isSafari = false;

        bool operator==(const BrowserApp& other) const = default;
    };

    struct TabTitle {
        QString title;
        QString artist;
    };

    static const QString activityID;

    /// The bridge and the keys are shared with background work that may outlive a call.
    MediaService(MainLoop& loop, EventBus& bus, SettingsStore& settings,
                 std::shared_ptr<ScriptBridge> bridge, ArtworkFetcher& artwork,
                 std::shared_ptr<MediaKeys> keys);
    ~MediaService() override;
    MediaService(const MediaService&) = delete;
    MediaService& operator=(const MediaService&) = delete;

    /// Polls every second from now on, and once at once.
    void start();

    // Controls, addressed to the source of the last reading; no-ops while nothing plays.
    void togglePlayPause() override;
    void next() override;
    void previous() override;
    void seek(double seconds) override;
    void setVolume(double level) override;

    const std::optional<NowPlayingInfo>& lastInfo() const { return m_lastInfo; }
    const std::optional<BrowserApp>& activeBrowser() const { return m_activeBrowser; }
    int artworkCacheSize() const { return static_cast<int>(m_artworkCache.size()); }

    static QString artworkKey(const NowPlayingInfo& info);

    // Desktop players.
    static const QString& spotifyScript();
    static const QString& musicScript();
    static const QString& musicArtworkScript();
    static std::optional<NowPlayingInfo> parseSpotifyAnswer(const QString& answer);
    static std::optional<NowPlayingInfo> parseMusicAnswer(const QString& answer);
    /// A number only when the whole text is a finite C-locale floating-point number.
    static std::optional<double> parseNumber(const QString& text);

    // Readers; they run in the background and touch no service state.
    static std::optional<NowPlayingInfo> readSpotify(ScriptBridge& bridge);
    static std::optional<NowPlayingInfo> readAppleMusic(ScriptBridge& bridge);
    static std::optional<NowPlayingInfo> readBrowsers(ScriptBridge& bridge, bool browserMedia,
                                                      std::optional<BrowserApp>& found);
    static std::optional<NowPlayingInfo> readBrowser(ScriptBridge& bridge, const BrowserApp& app);
    static SharedImage readAppleMusicArtwork(ScriptBridge& bridge);

    // Browser media.
    static const std::vector<BrowserApp>& browsers();
    static const QString& probeJS();
    static const QStringList& siteMarkers();
    static QString urlCondition();
    static QString browserScanScript(const BrowserApp& app);
    static std::optional<NowPlayingInfo> parseBrowserAnswer(const QString& answer);
    static TabTitle parseTabTitle(const QString& title);
    static QString siteName(const QString& url);
    static std::optional<QString> youtubeThumbnail(const QString& url);

    // Control texts.
    static QString commandScript(MediaSource source, const QString& word);
    static std::optional<QString> positionScript(MediaSource source, double seconds);
    static std::optional<QString> volumeScript(MediaSource source, double level);
    static const QString& pageToggleJS();
    static const QString& pageNextJS();
    static const QString& pagePreviousJS();
    static std::optional<QString> pageSeekJS(double seconds);
    static std::optional<QString> pageVolumeJS(double level);
    static QString browserJSScript(const BrowserApp& app, const QString& pageScript);

    /// A level clamped to 0...1; nothing for a level that is not a number.
    static std::optional<double> clampLevel(double level);

    /// How long a page script may take before it counts as not run.
    static constexpr double kPageScriptWait = 1.5;

private:
    void poll();
    void publish(std::optional<NowPlayingInfo> info);
    void requestArtwork(const NowPlayingInfo& info, const QString& key);
    void storeArtwork(SharedImage image, const QString& key);
    Activity makeActivity(const NowPlayingInfo& info) const;

    void transport(MediaAction action, const QString& word, const QString& pageJS, int mediaKey);
    void playerScript(const QString& script, PlayerSlot slot, MediaAction action, double value);
    void pageScript(const QString& js, MediaAction action, double value,
                    std::optional<int> fallbackKey);

    MainLoop& m_loop;
    EventBus& m_bus;
    SettingsStore& m_settings;
    std::shared_ptr<ScriptBridge> m_bridge;
    ArtworkFetcher& m_artwork;
    std::shared_ptr<MediaKeys> m_keys;

    TaskHandle m_timer;
    std::optional<NowPlayingInfo> m_lastInfo;
    QHash<QString, SharedImage> m_artworkCache;
    QSet<QString> m_artworkInFlight;
    std::optional<BrowserApp> m_activeBrowser;
    bool m_readInFlight = false;  // a hung player must not pile up one blocked read per tick
    LifeToken m_life;
};

}  // namespace korvo
