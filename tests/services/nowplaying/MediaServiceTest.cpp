// The now-playing service on the virtual clock, fed by players the test sets up by hand.
#include "services/nowplaying/MediaService.h"

#include "Png.h"
#include "core/VirtualLoop.h"
#include "fakes/FakeArtworkFetcher.h"
#include "fakes/FakeMediaPlayers.h"
#include "fakes/PlainPreferences.h"
#include "fakes/QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {

using test::png;

const QString kVlc = QStringLiteral("org.mpris.MediaPlayer2.vlc");
const QString kSpotify = QStringLiteral("org.mpris.MediaPlayer2.spotify");

class NowPlaying : public ::testing::Test {
protected:
    NowPlaying() {
        sub = bus.subscribe([this](const IslandEvent& e) { record(e); });
    }

    void record(const IslandEvent& e) {
        if (const auto* s = std::get_if<ActivityStarted>(&e)) {
            log << "started " + info(s->activity).title;
            last = s->activity;
        } else if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
            log << "updated " + info(u->activity).title;
            last = u->activity;
        } else if (std::holds_alternative<ActivityEnded>(e)) {
            log << QStringLiteral("ended");
        } else {
            const auto& t = std::get<TransientNotification>(e);
            log << "toast " + t.title + "/" + t.subtitle.value_or("-");
        }
    }
    static const NowPlayingInfo& info(const Activity& a) {
        return std::get<NowPlayingInfo>(a.payload);
    }
    QStringList take() {
        loop.runUntilIdle();
        return std::exchange(log, {});
    }
    MediaPlayer& vlc() { return players.list.at(kVlc); }
    void startWith(const MediaPlayer& p) {
        players.list[p.busName] = p;
        service.start();
    }

    VirtualLoop loop;
    EventBus bus{loop};
    test::PlainMediaPreferences settings;
    FakeMediaPlayers players;
    FakeArtworkFetcher artwork;
    MediaService service{loop, bus, settings, players, artwork};
    Subscription sub;
    QStringList log;
    std::optional<Activity> last;
};

}  // namespace

TEST_F(NowPlaying, ChangesArriveAsThePlayersTellThemWithToastsOnlyForANewTrackWhilePlaying) {
    startWith(FakeMediaPlayers::player(kVlc, PlayerFamily::other, "A"));
    EXPECT_EQ(take(), QStringList{"started A"});  // read at once, without waiting for a tick
    EXPECT_EQ(last->priority, ActivityPriority::normal);
    EXPECT_EQ(info(*last).sourceApp, MediaSource::player);

    vlc().metadata.title = "B";
    vlc().metadata.trackId = "/track/b";
    players.changed();
    EXPECT_EQ(take(), (QStringList{"toast B/Band", "updated B"}));

    vlc().status = PlaybackStatus::paused;
    players.changed();
    EXPECT_EQ(take(), QStringList{"updated B"});  // pausing is news, but no toast
    EXPECT_EQ(last->priority, ActivityPriority::low);
    vlc().metadata.title = "C";
    players.changed();
    EXPECT_EQ(take(), QStringList{"updated C"});  // a change while paused never toasts

    vlc().metadata.title = "   ";  // between two tracks: the last reading stays
    players.changed();
    EXPECT_TRUE(take().isEmpty());
    EXPECT_EQ(service.lastInfo()->title, "C");

    vlc().volume = 0.1;  // volume alone is not news
    players.changed();
    EXPECT_TRUE(take().isEmpty());

    players.remove(kVlc);
    players.changed();
    EXPECT_EQ(take(), QStringList{"ended"});  // once
    EXPECT_FALSE(service.lastInfo());
    EXPECT_TRUE(service.shownPlayer().isEmpty());

    settings.set(settings.trackToast, false, "trackChangeToast");
    players.put(FakeMediaPlayers::player(kVlc, PlayerFamily::other, "D"));
    EXPECT_EQ(take(), QStringList{"started D"});  // the first reading after nothing never toasts
    vlc().metadata.title = "E";
    players.changed();
    EXPECT_EQ(take(), QStringList{"updated E"});
}

TEST_F(NowPlaying, TheTimeMovesOnOnlyWhileATrackPlays) {
    MediaPlayer p = FakeMediaPlayers::player(kVlc, PlayerFamily::other, "A");
    p.position = 12.2;
    startWith(p);
    take();
    EXPECT_TRUE(service.isTicking());
    loop.advance(0.5);  // 12.7: the same whole second
    EXPECT_TRUE(take().isEmpty());
    loop.advance(0.5);
    EXPECT_EQ(take(), QStringList{"updated A"});
    EXPECT_EQ(static_cast<int>(info(*last).elapsed), 13);

    // Paused, nothing runs: no timer, no update, however long it stays so.
    vlc().status = PlaybackStatus::paused;
    vlc().position = 13.2;
    vlc().positionReadAt = loop.monotonicNow();
    players.changed();
    take();
    EXPECT_FALSE(service.isTicking());
    loop.advance(600);
    EXPECT_TRUE(take().isEmpty());

    vlc().status = PlaybackStatus::playing;
    vlc().positionReadAt = loop.monotonicNow();
    players.changed();
    loop.advance(2);
    take();
    EXPECT_EQ(static_cast<int>(info(*last).elapsed), 15);
    players.remove(kVlc);
    EXPECT_FALSE(service.isTicking());
}

TEST_F(NowPlaying, TheBrowserSettingTakesEffectAtOnce) {
    MediaPlayer tab = FakeMediaPlayers::player("org.mpris.MediaPlayer2.firefox.instance_1_2",
                                               PlayerFamily::browser, "Clip - YouTube");
    tab.metadata.artists.clear();
    startWith(tab);
    EXPECT_EQ(take(), QStringList{"started Clip"});
    settings.set(settings.browser, false, "browserMedia");  // not at the next signal
    EXPECT_EQ(take(), QStringList{"ended"});
    settings.set(settings.browser, true, "browserMedia");
    EXPECT_EQ(take(), QStringList{"started Clip"});
}

TEST_F(NowPlaying, AnotherPlayerWithoutATitleEndsTheTrackInsteadOfKeepingAStaleOne) {
    startWith(FakeMediaPlayers::player(kVlc, PlayerFamily::other, "A"));
    take();
    MediaPlayer untitled = FakeMediaPlayers::player(kSpotify, PlayerFamily::spotify, "");
    players.put(untitled);
    EXPECT_EQ(take(), QStringList{"ended"});
    service.togglePlayPause();
    EXPECT_TRUE(players.commands.isEmpty());
}

TEST_F(NowPlaying, CoversAreFetchedOnceDecodedCachedAndAFailedOneWaitsForTheNextTrack) {
    const QString url = QStringLiteral("https://i.example/cover.png");
    MediaPlayer p = FakeMediaPlayers::player(kVlc, PlayerFamily::other, "A");
    p.metadata.artUrl = url;
    startWith(p);
    players.changed();  // still in flight: not asked twice
    EXPECT_EQ(artwork.urls, QStringList{url});
    take();

    artwork.completeAll(png(600, 300));
    EXPECT_EQ(take(), QStringList{"updated A"});
    ASSERT_TRUE(info(*last).artwork);
    EXPECT_EQ(info(*last).artwork->size(), QSize(256, 128));  // decoded at display size

    const QString dead = QStringLiteral("https://i.example/dead");
    vlc().metadata.artUrl = dead;
    vlc().metadata.title = "B";
    for (int i = 0; i < 3; ++i) {
        players.changed();
        artwork.completeAll(std::nullopt);
        loop.advance(1);
    }
    EXPECT_EQ(artwork.urls.count(dead), 1);  // not asked again for the same track
    vlc().metadata.title = "C";              // the next track, same address: asked again
    players.changed();
    EXPECT_EQ(artwork.urls.count(dead), 2);
    artwork.completeAll(std::nullopt);
    take();

    // A cover that arrives after its track is over is cached but left out of the reading.
    vlc().metadata.artUrl = "https://i.example/late";
    vlc().metadata.title = "D";
    players.changed();
    vlc().metadata.artUrl.clear();
    vlc().metadata.title = "E";
    players.changed();
    artwork.completeAll(png(8, 8));
    take();
    EXPECT_FALSE(service.lastInfo()->artwork);
    EXPECT_EQ(service.artworkCacheSize(), 2);
}

TEST_F(NowPlaying, ControlsGoToThePlayerShownAndOnlyWhereItOffersThem) {
    service.togglePlayPause();  // nothing shown: every control is a no-op
    service.seek(3);
    service.setVolume(0.5);
    EXPECT_TRUE(players.commands.isEmpty());

    MediaPlayer p = FakeMediaPlayers::player(kVlc, PlayerFamily::other, "A", 240);
    p.metadata.trackId = "/t/1";
    startWith(p);
    service.togglePlayPause();
    service.next();
    service.previous();
    service.seek(75.5);
    service.seek(9999);  // held within the track
    service.seek(-3);
    service.seek(std::nan(""));
    service.setVolume(1.7);
    service.setVolume(std::nan(""));
    EXPECT_EQ(
        players.commands,
        (QStringList{"PlayPause " + kVlc, "Next " + kVlc, "Previous " + kVlc,
                     "SetPosition " + kVlc + " /t/1 75.5", "SetPosition " + kVlc + " /t/1 240",
                     "SetPosition " + kVlc + " /t/1 0", "Volume " + kVlc + " 1"}));

    players.commands.clear();
    vlc().caps = {true, true, false, false, false, false};  // plays, but cannot pause or seek
    vlc().volume.reset();
    players.changed();
    EXPECT_FALSE(info(*last).canPlayPause);  // the controls are news even when little else is
    service.togglePlayPause();
    service.next();
    service.previous();
    service.seek(10);
    service.setVolume(0.3);
    EXPECT_TRUE(players.commands.isEmpty());
}
