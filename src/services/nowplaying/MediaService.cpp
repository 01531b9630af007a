#include "MediaService.h"

#include "ArtworkImage.h"
#include "TextTrim.h"
#include "platform/ArtworkFetcher.h"
#include "platform/MediaKeys.h"
#include "settings/SettingsStore.h"

#include <QUrl>

#include <cmath>

namespace korvo {

namespace {

constexpr double kPollInterval = 1.0;
constexpr double kPollTolerance = 0.25;
constexpr double kCommandTimeout = 3.0;
constexpr int kArtworkCacheLimit = 61;

constexpr int kKeyPlayPause = 16;
constexpr int kKeyNext = 17;
constexpr int kKeyPrevious = 18;

PlayerSlot slotOf(MediaSource source) {
    return source == MediaSource::appleMusic ? PlayerSlot::music : PlayerSlot::spotify;
}

// A press and then a release; the release is tried even when the press could not be made.
void sendMediaKey(MediaKeys& keys, int code) {
    if (!keys.isTrusted()) {
        return;
    }
    keys.post(code, true);
    keys.post(code, false);
}

}  // namespace

const QString MediaService::activityID = QStringLiteral("nowplaying.system");

MediaService::MediaService(MainLoop& loop, EventBus& bus, SettingsStore& settings,
                           std::shared_ptr<ScriptBridge> bridge, ArtworkFetcher& artwork,
                           std::shared_ptr<MediaKeys> keys)
    : m_loop(loop),
      m_bus(bus),
      m_settings(settings),
      m_bridge(std::move(bridge)),
      m_artwork(artwork),
      m_keys(std::move(keys)) {}

MediaService::~MediaService() = default;

void MediaService::start() {
    m_timer = m_loop.scheduleRepeating(kPollInterval, kPollTolerance, [this] { poll(); });
    poll();
}

void MediaService::poll() {
    if (m_readInFlight) {
        return;  // the previous read is still waiting on a player; this tick is skipped
    }
    if (!m_bridge->anyRunning()) {
        // Nobody to ask: the reading is nothing, without a trip to the background.
        m_activeBrowser.reset();
        publish(std::nullopt);
        return;
    }
    m_readInFlight = true;
    // The store is main-thread only, so the setting travels with the read.
    const bool browserMedia = m_settings.browserMedia();
    m_loop.runInBackground(Qos::utility, [this, loop = &m_loop, weak = m_life.weak(),
                                          bridge = m_bridge, browserMedia] {
        std::optional<BrowserApp> found;
        auto reading = readSpotify(*bridge);
        if (!reading) {
            reading = readAppleMusic(*bridge);
        }
        if (!reading) {
            reading = readBrowsers(*bridge, browserMedia, found);
        }
        loop->post([this, weak, reading = std::move(reading), found = std::move(found)] {
            if (!weak.lock()) {
                return;
            }
            m_readInFlight = false;
            const bool fromBrowser = reading && reading->sourceApp == MediaSource::browser;
            m_activeBrowser = fromBrowser ? found : std::nullopt;
            publish(reading);
        });
    });
}

Activity MediaService::makeActivity(const NowPlayingInfo& info) const {
    Activity activity;
    activity.id = activityID;
    activity.kind = Activity::Kind::nowPlaying;
    activity.priority = info.isPlaying ? ActivityPriority::normal : ActivityPriority::low;
    activity.startedAt = m_loop.wallNow();
    activity.payload = info;
    return activity;
}

void MediaService::publish(std::optional<NowPlayingInfo> info) {
    if (info && trimSpacesAndTabs(info->title).isEmpty()) {
        return;
    }
    if (!info) {
        if (m_lastInfo) {
            m_lastInfo.reset();
            m_bus.post(ActivityEnded{activityID});
        }
        return;
    }
    if (!info->artwork) {
        const QString key = artworkKey(*info);
        const auto cached = m_artworkCache.constFind(key);
        if (cached != m_artworkCache.constEnd()) {
            info->artwork = *cached;
        } else {
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
    } else if (!(*info == *m_lastInfo)) {
        m_bus.post(ActivityUpdated{makeActivity(*info)});
    }
    m_lastInfo = std::move(info);
}

void MediaService::requestArtwork(const NowPlayingInfo& info, const QString& key) {
    if (m_artworkInFlight.contains(key)) {
        return;
    }
    m_artworkInFlight.insert(key);
    auto store = [this, weak = m_life.weak(), key](SharedImage image) {
        if (weak.lock()) {
            storeArtwork(std::move(image), key);
        }
    };
    if (info.artworkURL) {
        const QUrl url(*info.artworkURL, QUrl::StrictMode);
        if (url.isValid() && !url.isRelative()) {
            m_artwork.fetch(url, [this, weak = m_life.weak(), store](auto bytes) {
                if (!weak.lock()) {
                    return;
                }
                if (!bytes) {
                    store(nullptr);
                    return;
                }
                // Decoding a cover can take milliseconds; it stays off the main thread.
                m_loop.runInBackground(
                    Qos::utility, [loop = &m_loop, store, bytes = std::move(*bytes)] {
                        loop->post([store, image = decodeArtwork(bytes)] { store(image); });
                    });
            });
            return;
        }
    }
    if (info.sourceApp == MediaSource::appleMusic) {
        m_loop.runInBackground(Qos::utility, [loop = &m_loop, store, bridge = m_bridge] {
            loop->post([store, image = readAppleMusicArtwork(*bridge)] { store(image); });
        });
        return;
    }
    m_artworkInFlight.remove(key);
}

void MediaService::storeArtwork(SharedImage image, const QString& key) {
    m_artworkInFlight.remove(key);
    if (!image) {
        return;  // nothing is remembered, so the next tick asks again
    }
    if (m_artworkCache.size() >= kArtworkCacheLimit) {
        m_artworkCache.clear();
    }
    m_artworkCache.insert(key, image);
    if (m_lastInfo && artworkKey(*m_lastInfo) == key) {
        m_lastInfo->artwork = std::move(image);
        m_bus.post(ActivityUpdated{makeActivity(*m_lastInfo)});
    }
}

// --- Controls ---------------------------------------------------------------------------------

void MediaService::togglePlayPause() {
    transport(MediaAction::playPause, QStringLiteral("playpause"), pageToggleJS(), kKeyPlayPause);
}

void MediaService::next() {
    transport(MediaAction::next, QStringLiteral("next track"), pageNextJS(), kKeyNext);
}

void MediaService::previous() {
    transport(MediaAction::previous, QStringLiteral("previous track"), pagePreviousJS(),
              kKeyPrevious);
}

void MediaService::seek(double seconds) {
    if (!m_lastInfo) {
        return;
    }
    switch (m_lastInfo->sourceApp) {
        case MediaSource::spotify:
        case MediaSource::appleMusic:
            if (const auto script = positionScript(m_lastInfo->sourceApp, seconds)) {
                playerScript(*script, slotOf(m_lastInfo->sourceApp), MediaAction::seek, seconds);
            }
            break;
        case MediaSource::browser:
            if (const auto js = pageSeekJS(seconds)) {
                pageScript(*js, MediaAction::seek, std::trunc(seconds), std::nullopt);
            }
            break;
        case MediaSource::unknown:
            break;
    }
}

void MediaService::setVolume(double level) {
    if (!m_lastInfo) {
        return;
    }
    const auto clamped = clampLevel(level);
    switch (m_lastInfo->sourceApp) {
        case MediaSource::spotify:
        case MediaSource::appleMusic:
            if (const auto script = volumeScript(m_lastInfo->sourceApp, level)) {
                playerScript(*script, slotOf(m_lastInfo->sourceApp), MediaAction::setVolume,
                             static_cast<int>(*clamped * 100));
            }
            break;
        case MediaSource::browser:
            if (const auto js = pageVolumeJS(level)) {
                pageScript(*js, MediaAction::setVolume, *clamped, std::nullopt);
            }
            break;
        case MediaSource::unknown:
            break;
    }
}

void MediaService::transport(MediaAction action, const QString& word, const QString& pageJS,
                             int mediaKey) {
    if (!m_lastInfo) {
        return;
    }
    switch (m_lastInfo->sourceApp) {
        case MediaSource::spotify:
        case MediaSource::appleMusic:
            playerScript(commandScript(m_lastInfo->sourceApp, word), slotOf(m_lastInfo->sourceApp),
                         action, 0);
            break;
        case MediaSource::browser:
            pageScript(pageJS, action, 0, mediaKey);
            break;
        case MediaSource::unknown:
            break;
    }
}

void MediaService::playerScript(const QString& script, PlayerSlot slot, MediaAction action,
                                double value) {
    ScriptRequest request{script, intent::PlayerCommand{slot, action, value}, kCommandTimeout};
    m_loop.runInBackground(Qos::userInitiated, [bridge = m_bridge, request = std::move(request)] {
        bridge->run(request);  // the next poll shows the effect
    });
}

void MediaService::pageScript(const QString& js, MediaAction action, double value,
                              std::optional<int> fallbackKey) {
    const std::optional<BrowserApp> browser = m_activeBrowser;
    std::optional<ScriptRequest> request;
    if (browser) {
        request =
            ScriptRequest{browserJSScript(*browser, js),
                          intent::PageScript{browser->bundleID, siteMarkers(), action, value, js},
                          kPageScriptWait};
    }
    // Waiting for the page and deciding on the media key both happen here, off the main thread.
    m_loop.runInBackground(Qos::userInitiated, [loop = &m_loop, bridge = m_bridge, keys = m_keys,
                                                request = std::move(request), fallbackKey] {
        bool ran = false;
        if (request) {
            const double started = loop->monotonicNow();
            const auto result = bridge->run(*request);
            const bool inTime = loop->monotonicNow() - started <= kPageScriptWait;
            ran = inTime && result && result->text == QLatin1String("ok");
        }
        if (!ran && fallbackKey) {
            sendMediaKey(*keys, *fallbackKey);
        }
    });
}

}  // namespace korvo
