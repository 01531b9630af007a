// On a private session bus (CTest runs these under dbus-run-session): fake MPRIS players exported
// by this process, followed through their signals by the real backend and the now-playing
// service on the real main loop.
#include "platform/linux/MprisPlayers.h"

#include "Png.h"
#include "core/QtMainLoop.h"
#include "fakes/FakeArtworkFetcher.h"
#include "fakes/FakeMprisPlayer.h"
#include "fakes/QtPrinters.h"
#include "platform/DBusTestBus.h"
#include "services/nowplaying/MediaService.h"
#include "settings/SettingsStore.h"

#include <QDBusConnectionInterface>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace korvo;
using korvo::testing::settle;
using korvo::testing::waitUntil;

namespace {

const QString kSpotify = QStringLiteral("org.mpris.MediaPlayer2.spotify");
const QString kVlc = QStringLiteral("org.mpris.MediaPlayer2.vlc");
const QString kMpv = QStringLiteral("org.mpris.MediaPlayer2.mpv");

class MprisBus : public ::testing::Test {
protected:
    void SetUp() override {
        KORVO_REQUIRE_SESSION_BUS();
        auto* names = QDBusConnection::sessionBus().interface();
        const QStringList existing =
            names ? names->registeredServiceNames().value() : QStringList();
        for (const QString& name : existing) {
            if (name.startsWith(QLatin1String("org.mpris.MediaPlayer2."))) {
                GTEST_SKIP() << "a desktop session with players, not a private bus";
            }
        }
    }

    std::unique_ptr<FakeMprisPlayer> player(const QString& name, const QString& title,
                                            const QString& identity = QStringLiteral("Fake"),
                                            const QString& status = QStringLiteral("Playing")) {
        auto fake = std::make_unique<FakeMprisPlayer>(name, identity);
        fake->setTrack(title, {QStringLiteral("Band")}, 200);
        fake->setStatus(status);
        EXPECT_TRUE(fake->attach()) << name.toStdString();
        return fake;
    }
};

/// The backend and the service on the real loop and bus, with what the service shows.
struct Island {
    explicit Island(int timeoutMs = MprisPlayers::kCallTimeoutMs)
        : players(loop, bus(), timeoutMs) {
        sub = events.subscribe([this](const IslandEvent& e) {
            if (const auto* s = std::get_if<ActivityStarted>(&e)) {
                shown = std::get<NowPlayingInfo>(s->activity.payload);
            } else if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
                shown = std::get<NowPlayingInfo>(u->activity.payload);
            } else if (std::holds_alternative<ActivityEnded>(e)) {
                shown.reset();
            }
        });
        service.start();
    }
    ~Island() { loop.waitForBackground(); }
    static QDBusConnection bus() { return QDBusConnection::sessionBus(); }
    bool showing(const QString& title, int timeoutMs = 5000) {
        return waitUntil([&] { return shown && shown->title == title; }, timeoutMs);
    }
    /// Every call answered or given up, and what followed from it applied.
    bool quiet() {
        return waitUntil([&] { return players.callsPending() == 0; }) && (settle(100), true);
    }
    const MediaPlayer* reading(const QString& name) {
        static thread_local std::vector<MediaPlayer> all;
        all = players.players();
        for (const auto& p : all) {
            if (p.busName == name) {
                return &p;
            }
        }
        return nullptr;
    }

    QtMainLoop loop;
    EventBus events{loop};
    QTemporaryDir dir;
    SettingsStore settings{dir.filePath("korvo.conf")};
    MprisPlayers players;
    FakeArtworkFetcher artwork;
    MediaService service{loop, events, settings, players, artwork};
    Subscription sub;
    std::optional<NowPlayingInfo> shown;
};

}  // namespace

TEST_F(MprisBus, ASignalReachesTheServiceInTheSameTurnAndNothingIsAskedWhileNothingChanges) {
    auto vlc = player(kVlc, QStringLiteral("A"), QStringLiteral("VLC media player"),
                      QStringLiteral("Paused"));  // on the bus before Korvo looks
    Island island;
    ASSERT_TRUE(island.showing(QStringLiteral("A")));
    EXPECT_EQ(island.shown->sourceApp, MediaSource::player);
    EXPECT_EQ(island.shown->sourceLabel, QStringLiteral("VLC media player"));
    ASSERT_TRUE(island.quiet());
    EXPECT_FALSE(island.service.isTicking());  // paused: no timer at all

    // Quiet: a paused player is asked nothing, however long it stays so.
    const int calls = vlc->callCount();
    const int sent = island.players.callsSent();
    settle(1500);
    EXPECT_EQ(vlc->callCount(), calls);
    EXPECT_EQ(island.players.callsSent(), sent);

    // What the signal carries is shown when the signal is handled, before anything else runs.
    std::optional<QString> seenByThen;
    auto watch = island.players.observe([&] {
        seenByThen = island.service.lastInfo() ? island.service.lastInfo()->title : QString();
    });
    const QString title = QStringLiteral("A || B ~|~ C\nD ") + QString(10'000, QChar(0x266B));
    vlc->setTrack(title, {QStringLiteral("x||y"), QStringLiteral("~|~")}, 100);
    ASSERT_TRUE(island.showing(title));
    EXPECT_EQ(seenByThen, title);
    EXPECT_EQ(island.shown->artist, QStringLiteral("x||y, ~|~"));
    EXPECT_FALSE(island.shown->isPlaying);
    ASSERT_TRUE(island.quiet());
    // A new track costs one question, where it stands; the rest came with the signal.
    EXPECT_EQ(vlc->calls().mid(calls), QStringList{"Get org.mpris.MediaPlayer2.Player Position"});

    vlc->invalidate(QStringLiteral("Volume"));  // changed, value not sent: asked once
    ASSERT_TRUE(island.quiet());
    EXPECT_EQ(vlc->calls().mid(calls + 1), QStringList{"Get org.mpris.MediaPlayer2.Player Volume"});

    vlc->detach();
    EXPECT_TRUE(waitUntil([&] { return !island.shown; }));
}

TEST_F(MprisBus, ThePlayerShownIsTheLatestToStartPlaying) {
    Island island;
    auto vlc = player(kVlc, QStringLiteral("Vlc song"));
    ASSERT_TRUE(island.showing(QStringLiteral("Vlc song")));
    auto mpv =
        player(kMpv, QStringLiteral("Mpv song"), QStringLiteral("mpv"), QStringLiteral("Paused"));
    ASSERT_TRUE(island.quiet());
    EXPECT_EQ(island.shown->title, QStringLiteral("Vlc song"));  // the paused one waits
    mpv->setStatus(QStringLiteral("Playing"));
    ASSERT_TRUE(island.showing(QStringLiteral("Mpv song")));
    vlc->setStatus(QStringLiteral("Paused"));
    vlc->setStatus(QStringLiteral("Playing"));
    ASSERT_TRUE(island.showing(QStringLiteral("Vlc song")));
    vlc.reset();
    mpv.reset();
    ASSERT_TRUE(waitUntil([&] { return !island.shown; }));
}

TEST_F(MprisBus, SeekedMovesThePositionAndTheControlsDriveThePlayerWhereItOffersThem) {
    Island island;
    auto vlc = player(kVlc, QStringLiteral("Song"));
    vlc->setPosition(10);
    ASSERT_TRUE(island.showing(QStringLiteral("Song")));
    ASSERT_TRUE(island.quiet());
    EXPECT_TRUE(island.service.isTicking());

    vlc->seekTo(120);
    ASSERT_TRUE(waitUntil([&] {
        const auto* p = island.reading(kVlc);
        return p && p->position == 120;
    }));
    ASSERT_TRUE(waitUntil([&] { return island.shown->elapsed >= 120; }));

    island.service.togglePlayPause();
    ASSERT_TRUE(waitUntil([&] { return !island.shown->isPlaying; }));
    EXPECT_FALSE(island.service.isTicking());
    island.service.seek(30);
    ASSERT_TRUE(waitUntil([&] {
        const auto* p = island.reading(kVlc);
        return p && p->position == 30;
    }));
    EXPECT_TRUE(vlc->calls()
                    .filter(QRegularExpression("^SetPosition /org/korvo/track/\\d+ 30000000$"))
                    .size() == 1);
    island.service.setVolume(0.25);
    island.service.next();
    island.service.previous();
    ASSERT_TRUE(waitUntil([&] { return vlc->calls().contains("Previous"); }));
    EXPECT_DOUBLE_EQ(vlc->volume(), 0.25);
    EXPECT_TRUE(vlc->calls().contains("Next"));

    // A player that takes back seeking, or has no volume, is read so.
    vlc->setProperty(QStringLiteral("CanSeek"), false);
    ASSERT_TRUE(waitUntil([&] { return !island.shown->canSeek; }));

    auto mute = std::make_unique<FakeMprisPlayer>(kMpv, QStringLiteral("mpv"));
    mute->dropVolume();
    mute->setTrack(QStringLiteral("Quiet"), {}, 60);
    vlc->setStatus(QStringLiteral("Stopped"));
    ASSERT_TRUE(mute->attach());
    ASSERT_TRUE(island.showing(QStringLiteral("Quiet")));
    EXPECT_FALSE(island.shown->volume);
    EXPECT_FALSE(island.shown->canSetVolume);
}

TEST_F(MprisBus, ACoverIsFetchedOnceAndADeadOneIsNotAskedAgainForTheSameTrack) {
    Island island;
    const QString art = QStringLiteral("https://covers.example/a.jpg");
    auto vlc = std::make_unique<FakeMprisPlayer>(kVlc, QStringLiteral("VLC"));
    vlc->setTrack(QStringLiteral("Song"), {}, 100, {{QStringLiteral("mpris:artUrl"), art}});
    ASSERT_TRUE(vlc->attach());
    ASSERT_TRUE(island.showing(QStringLiteral("Song")));
    vlc->setVolume(0.3);
    vlc->setStatus(QStringLiteral("Paused"));
    vlc->setStatus(QStringLiteral("Playing"));
    ASSERT_TRUE(island.quiet());
    EXPECT_EQ(island.artwork.urls, QStringList{art});
    island.artwork.completeAll(std::nullopt);  // dead

    vlc->setStatus(QStringLiteral("Paused"));
    vlc->setVolume(0.6);
    ASSERT_TRUE(island.quiet());
    EXPECT_EQ(island.artwork.urls, QStringList{art});
    vlc->setTrack(QStringLiteral("Next song"), {}, 100, {{QStringLiteral("mpris:artUrl"), art}});
    ASSERT_TRUE(island.showing(QStringLiteral("Next song")));
    EXPECT_EQ(island.artwork.urls, (QStringList{art, art}));  // a new track may have it
}

TEST_F(MprisBus, AHungPlayerCostsOneTimeoutPerSignalAndTheIslandKeepsGoing) {
    Island island(800);
    auto hung = std::make_unique<FakeMprisPlayer>(kSpotify, QStringLiteral("Spotify"));
    hung->setTrack(QStringLiteral("Never read"), {}, 100);
    hung->hang();
    ASSERT_TRUE(hung->attach());
    auto vlc = player(kVlc, QStringLiteral("Song"));

    // While the hung player's calls wait, the loop runs everything else.
    std::optional<int> pendingWhenRun;
    ASSERT_TRUE(waitUntil([&] { return hung->callCount() == 2; }));
    QTimer::singleShot(0, [&] { pendingWhenRun = island.players.callsPending(); });
    ASSERT_TRUE(island.showing(QStringLiteral("Song")));
    ASSERT_TRUE(waitUntil([&] { return pendingWhenRun.has_value(); }));
    EXPECT_GE(*pendingWhenRun, 2);  // the hung calls were still out
    ASSERT_TRUE(island.quiet());    // ...and were given up after their time
    EXPECT_EQ(hung->callCount(), 2);
    EXPECT_EQ(island.shown->title, QStringLiteral("Song"));

    // Its next signal brings one more try at reading it whole, and no more than that.
    hung->setStatus(QStringLiteral("Paused"));
    hung->setVolume(0.2);
    ASSERT_TRUE(island.quiet());
    EXPECT_EQ(hung->callCount(), 3);
    settle(1000);
    EXPECT_EQ(hung->callCount(), 3);
}

TEST_F(MprisBus, APlayerThatLeavesInTheMiddleOfACallCostsNothing) {
    Island island(60'000);  // a call is not given up before the test ends
    auto leaving = std::make_unique<FakeMprisPlayer>(kVlc, QStringLiteral("VLC"));
    leaving->setTrack(QStringLiteral("Gone"), {}, 100);
    leaving->hang();
    ASSERT_TRUE(leaving->attach());
    ASSERT_TRUE(waitUntil([&] { return leaving->callCount() == 2; }));
    EXPECT_EQ(island.players.callsPending(), 2);
    leaving->detach();
    // The bus answers for it at once: nothing waits out the minute.
    ASSERT_TRUE(waitUntil([&] { return island.players.callsPending() == 0; }));
    EXPECT_TRUE(island.players.players().empty());

    auto back = player(kVlc, QStringLiteral("Back"));
    ASSERT_TRUE(island.showing(QStringLiteral("Back")));
    ASSERT_TRUE(island.quiet());
    back->detach();  // calls that are over are not counted out a second time
    ASSERT_TRUE(waitUntil([&] { return island.players.players().empty(); }));
    EXPECT_EQ(island.players.callsPending(), 0);
}

TEST_F(MprisBus, AThousandTrackChangesKeepEveryCacheWithinItsCap) {
    Island island;
    auto vlc = player(kVlc, QStringLiteral("Track 0"));
    ASSERT_TRUE(island.showing(QStringLiteral("Track 0")));
    const QByteArray png = test::png(4, 4);
    for (int i = 1; i <= 1000; ++i) {
        vlc->setTrack(
            QStringLiteral("Track %1").arg(i), {QStringLiteral("Band")}, 200,
            {{QStringLiteral("mpris:artUrl"), QStringLiteral("https://c.example/%1").arg(i)}});
        if (i % 50 == 0) {
            ASSERT_TRUE(island.showing(QStringLiteral("Track %1").arg(i)));
            island.artwork.completeAll(i % 100 ? std::optional(png) : std::nullopt);
            EXPECT_LE(island.service.artworkCacheSize(), MediaService::kArtworkCacheLimit);
            EXPECT_LE(island.service.artworkFailuresKept(), MediaService::kArtworkCacheLimit);
        }
    }
    ASSERT_TRUE(island.showing(QStringLiteral("Track 1000")));
    ASSERT_TRUE(island.quiet());
    island.artwork.completeAll(png);
    island.loop.waitForBackground();
    settle(100);
    EXPECT_LE(island.service.artworkCacheSize(), MediaService::kArtworkCacheLimit);
    EXPECT_EQ(island.players.players().size(), 1u);
    EXPECT_EQ(island.players.callsPending(), 0);
    // One question per track (where it stands), besides the first reading.
    EXPECT_LE(vlc->callCount(), 2 + 1000 + 1);
}
