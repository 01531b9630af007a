// On a private session bus (CTest runs these under dbus-run-session): fake MPRIS players exported
// by this process, read and driven through the real bridge and the now-playing service.
#include "platform/linux/MprisScriptBridge.h"

#include "core/QtMainLoop.h"
#include "fakes/FakeMprisPlayer.h"
#include "fakes/FakeScriptBridge.h"
#include "fakes/QtPrinters.h"
#include "services/nowplaying/MediaService.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <future>

using namespace korvo;

namespace {

const QString kSpotify = QStringLiteral("org.mpris.MediaPlayer2.spotify");

bool spinUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The bridge blocks, and the fake players answer from this thread's event loop, so bridge calls
// are made from another thread while this one spins.
template <typename Fn>
auto offMain(Fn fn) {
    auto future = std::async(std::launch::async, std::move(fn));
    spinUntil([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              10000);
    return future.get();
}

QVariantMap trackExtras(const QString& url, const QString& art = QString()) {
    QVariantMap extra{{QStringLiteral("mpris:trackid"),
                       QVariant::fromValue(QDBusObjectPath("/org/korvo/track/1"))}};
    if (!url.isEmpty()) {
        extra.insert(QStringLiteral("xesam:url"), url);
    }
    if (!art.isEmpty()) {
        extra.insert(QStringLiteral("mpris:artUrl"), art);
    }
    return extra;
}

class MprisSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
            GTEST_SKIP() << "no session bus; run under dbus-run-session";
        }
        auto* names = QDBusConnection::sessionBus().interface();
        const QStringList existing =
            names ? names->registeredServiceNames().value() : QStringList();
        for (const QString& name : existing) {
            if (name.startsWith(QLatin1String("org.mpris.MediaPlayer2."))) {
                GTEST_SKIP() << "a desktop session with players, not a private bus";
            }
        }
    }

    std::unique_ptr<FakeMprisPlayer> player(const QString& name, const QString& identity = {}) {
        auto fake = std::make_unique<FakeMprisPlayer>(
            name, identity.isEmpty() ? QStringLiteral("Fake Player") : identity);
        EXPECT_TRUE(fake->attach()) << name.toStdString();
        return fake;
    }
};

/// The service on the real loop and bus, recording what it posts.
struct LiveService {
    LiveService() {
        sub = bus.subscribe([this](const IslandEvent& e) {
            if (const auto* s = std::get_if<ActivityStarted>(&e)) {
                shown = std::get<NowPlayingInfo>(s->activity.payload);
            } else if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
                shown = std::get<NowPlayingInfo>(u->activity.payload);
            } else if (std::holds_alternative<ActivityEnded>(e)) {
                shown.reset();
                ++ended;
            }
        });
    }
    QtMainLoop loop;
    EventBus bus{loop};
    QTemporaryDir dir;
    SettingsStore settings{dir.filePath("korvo.conf"), loop, bus, nullptr, nullptr};
    std::shared_ptr<MprisScriptBridge> bridge = std::make_shared<MprisScriptBridge>();
    std::shared_ptr<FakeMediaKeys> keys = std::make_shared<FakeMediaKeys>();
    FakeArtworkFetcher artwork;
    MediaService service{loop, bus, settings, bridge, artwork, keys};
    Subscription sub;
    std::optional<NowPlayingInfo> shown;
    int ended = 0;
};

}  // namespace

TEST_F(MprisSession, APlayingSpotifyShowsWithinOneTickAndTakesCommands) {
    auto spotify = player(kSpotify, QStringLiteral("Spotify"));
    spotify->setTrack(QStringLiteral("Tune"), {QStringLiteral("Band"), QStringLiteral("Guest")},
                      200, trackExtras({}, QStringLiteral("https://open.spotify.com/image/ab67")));
    spotify->setPosition(12.5);
    spotify->setVolume(0.55);

    LiveService live;
    QElapsedTimer clock;
    clock.start();
    live.service.start();
    ASSERT_TRUE(spinUntil([&] { return live.shown.has_value(); }, 3000));
    EXPECT_LT(clock.elapsed(), 1000);  // the first poll runs at once
    EXPECT_EQ(live.shown->title, "Tune");
    EXPECT_EQ(live.shown->artist, "Band, Guest");
    EXPECT_EQ(live.shown->sourceApp, MediaSource::spotify);
    EXPECT_DOUBLE_EQ(live.shown->duration, 200);
    EXPECT_DOUBLE_EQ(live.shown->elapsed, 12.5);
    EXPECT_EQ(live.shown->artworkURL, QStringLiteral("https://i.scdn.co/image/ab67"));
    EXPECT_EQ(live.artwork.urls, QStringList{"https://i.scdn.co/image/ab67"});

    live.service.togglePlayPause();
    live.service.seek(30);
    live.service.setVolume(0.25);
    // The three commands run in the background side by side; they may arrive in any order.
    ASSERT_TRUE(spinUntil([&] {
        const auto calls = spotify->calls();
        return calls.contains("Set org.mpris.MediaPlayer2.Player") && calls.contains("PlayPause") &&
               calls.contains("SetPosition /org/korvo/track/1 30000000");
    }));
    EXPECT_DOUBLE_EQ(spotify->volume(), 0.25);

    spotify->setStatus(QStringLiteral("Stopped"));
    ASSERT_TRUE(spinUntil([&] { return live.ended == 1; }, 3000));
    live.loop.waitForBackground();
}

TEST_F(MprisSession, BrowserSessionsAreMediaTabsByTheirPage) {
    auto chromium = player(QStringLiteral("org.mpris.MediaPlayer2.chromium.instance4242"),
                           QStringLiteral("Chromium"));
    chromium->setTrack(QStringLiteral("Band - Tune - YouTube"), {}, 0,
                       trackExtras(QStringLiteral("https://www.youtube.com/watch?v=abc123")));
    chromium->setProperty(QStringLiteral("CanGoNext"), false);

    LiveService live;
    live.service.start();
    ASSERT_TRUE(spinUntil([&] { return live.shown.has_value(); }, 3000));
    EXPECT_EQ(live.shown->sourceLabel, QStringLiteral("YouTube"));
    EXPECT_EQ(live.shown->title, "Tune");
    EXPECT_EQ(live.shown->artist, "Band");
    EXPECT_EQ(live.shown->artworkURL,
              QStringLiteral("https://i.ytimg.com/vi/abc123/mqdefault.jpg"));
    EXPECT_EQ(live.service.activeBrowser()->bundleID, QString::fromLatin1(bundle::chrome));

    // The page has no next control: the media key stands in.
    live.service.next();
    ASSERT_TRUE(spinUntil([&] { return live.keys->posted.size() == 2; }));
    EXPECT_EQ(live.keys->posted.front(), std::make_pair(17, true));
    EXPECT_FALSE(chromium->calls().contains("Next"));
    live.service.togglePlayPause();
    ASSERT_TRUE(spinUntil([&] { return chromium->calls().contains("PlayPause"); }));

    // A session on an ordinary page is no media tab; one that names no page is.
    chromium->setTrack(QStringLiteral("Docs"), {}, 0,
                       trackExtras(QStringLiteral("https://example.org/")));
    auto firefox = player(QStringLiteral("org.mpris.MediaPlayer2.firefox.instance_1_7"),
                          QStringLiteral("Firefox"));
    firefox->setTrack(QStringLiteral("Radio"), {QStringLiteral("Station")}, 0);
    ASSERT_TRUE(spinUntil([&] { return live.shown && live.shown->title == "Radio"; }, 3000));
    EXPECT_EQ(live.shown->sourceLabel, QStringLiteral("Browser"));
    EXPECT_EQ(live.service.activeBrowser()->bundleID, QString::fromLatin1(bundle::safari));
    live.loop.waitForBackground();
}

TEST_F(MprisSession, APlayerThatNeverAnswersDoesNotStallTheLoop) {
    auto hung = player(kSpotify);
    hung->hang();
    auto vlc = player(QStringLiteral("org.mpris.MediaPlayer2.vlc"), QStringLiteral("VLC"));
    vlc->setTrack(QStringLiteral("Song"), {QStringLiteral("Band")}, 100);

    LiveService live;
    QElapsedTimer clock;
    qint64 lastBeat = 0;
    qint64 longestGap = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - lastBeat);
        lastBeat = clock.elapsed();
    });
    clock.start();
    heartbeat.start(20);
    live.service.start();
    ASSERT_TRUE(spinUntil([&] { return live.shown.has_value(); }, 4000));
    EXPECT_EQ(live.shown->title, "Song");
    EXPECT_EQ(live.shown->sourceApp, MediaSource::appleMusic);
    spinUntil([] { return false; }, 2500);  // a few more ticks

    EXPECT_LT(longestGap, 250);
    // One read waited for the hung player; later ticks neither piled up nor asked it again.
    EXPECT_EQ(hung->calls().count("GetAll org.mpris.MediaPlayer2.Player"), 1);
    live.loop.waitForBackground();
}

TEST_F(MprisSession, TheBridgeFillsTheSlotsAndAnswersInTheScriptForms) {
    QTemporaryDir dir;
    const QString cover = dir.filePath("cover.png");
    {
        QFile file(cover);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not really a png");
    }
    auto proxy = player(QStringLiteral("org.mpris.MediaPlayer2.playerctld"));
    auto paused = player(QStringLiteral("org.mpris.MediaPlayer2.aaa"));
    paused->setStatus(QStringLiteral("Paused"));
    paused->setTrack(QStringLiteral("Paused one"), {}, 10);
    auto playing = player(QStringLiteral("org.mpris.MediaPlayer2.rhythmbox"));
    playing->setTrack(QStringLiteral("Song"), {QStringLiteral("Band")}, 241.5,
                      trackExtras({}, QUrl::fromLocalFile(cover).toString()));
    playing->setPosition(3);
    playing->setVolume(0.8);
    auto brave = player(QStringLiteral("org.mpris.MediaPlayer2.chromium.instance77"),
                        QStringLiteral("Brave"));
    brave->setTrack(QStringLiteral("Clip"), {}, 60,
                    trackExtras(QStringLiteral("https://soundcloud.com/a/b"),
                                QStringLiteral("file:///tmp/art.jpg")));
    brave->setStatus(QStringLiteral("Paused"));
    brave->setPosition(1.5);

    MprisScriptBridge bridge;
    auto running = [&](const char* id) {
        return offMain([&] { return bridge.isRunning(QString::fromLatin1(id)); });
    };
    EXPECT_FALSE(running(bundle::spotify));
    EXPECT_TRUE(running(bundle::music));
    EXPECT_TRUE(running(bundle::brave));
    EXPECT_FALSE(running(bundle::chrome));

    auto answer = [&](ScriptIntent intent) {
        return offMain([&] { return bridge.run(ScriptRequest{QStringLiteral("-"), intent}); });
    };
    EXPECT_EQ(answer(intent::ReadPlayer{PlayerSlot::music})->text,
              QStringLiteral("Song||Band||||241.5||3||true||80"));
    EXPECT_EQ(answer(intent::ReadArtwork{PlayerSlot::music})->data, "not really a png");
    EXPECT_FALSE(answer(intent::ReadPlayer{PlayerSlot::spotify}));
    EXPECT_EQ(
        answer(intent::BrowserScan{QString::fromLatin1(bundle::brave), MediaService::siteMarkers()})
            ->text,
        QStringLiteral("Clip~|~~|~~|~60~|~1.5~|~false~|~1~|~file:///tmp/art.jpg~|~JS~|~"
                       "https://soundcloud.com/a/b"));
    EXPECT_EQ(
        answer(intent::BrowserScan{QString::fromLatin1(bundle::brave), {"youtube.com"}})->text,
        QString());
    EXPECT_EQ(
        answer(intent::PageScript{QString::fromLatin1(bundle::brave), MediaService::siteMarkers(),
                                  MediaAction::setVolume, 0.5, QString()})
            ->text,
        QStringLiteral("ok"));
    EXPECT_DOUBLE_EQ(brave->volume(), 0.5);
    answer(intent::PlayerCommand{PlayerSlot::music, MediaAction::next, 0});
    EXPECT_EQ(playing->calls().count("Next"), 1);
    EXPECT_TRUE(paused->calls().filter("Next").isEmpty());
    EXPECT_TRUE(proxy->calls().isEmpty());
}

// The bridge follows players joining and leaving the bus without asking it on every poll.
TEST_F(MprisSession, TheNameWatchSeesPlayersComeAndGo) {
    MprisScriptBridge bridge;
    ASSERT_TRUE(spinUntil([&] { return !bridge.anyRunning(); }));
    auto ignored = player(QStringLiteral("org.mpris.MediaPlayer2.playerctld"));
    spinUntil([] { return false; }, 100);
    EXPECT_FALSE(bridge.anyRunning());
    {
        auto fake = player(QStringLiteral("org.mpris.MediaPlayer2.korvotest"));
        EXPECT_TRUE(spinUntil([&] { return bridge.anyRunning(); }));
    }
    EXPECT_TRUE(spinUntil([&] { return !bridge.anyRunning(); }));
}
