// Which player is shown and what its reading says, without any bus.
#include "services/nowplaying/NowPlayingRules.h"

#include "fakes/FakeMediaPlayers.h"
#include "fakes/QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvo;
using namespace korvo::nowplaying;

namespace {

MediaPlayer make(const QString& name, PlayerFamily family, PlaybackStatus status,
                 unsigned long long started = 0) {
    MediaPlayer p = FakeMediaPlayers::player(name, family, name);
    p.status = status;
    p.playbackStarted = started;
    return p;
}

QString chosen(const std::vector<MediaPlayer>& players, bool browserMedia = true) {
    const auto i = choosePlayer(players, browserMedia);
    return i ? players[*i].busName : QStringLiteral("-");
}

MediaPlayer tab(const QString& title, const QString& url = {}) {
    MediaPlayer p = FakeMediaPlayers::player("org.mpris.MediaPlayer2.chromium.instance7",
                                             PlayerFamily::browser, title, 0);
    p.metadata.artists.clear();
    p.metadata.url = url;
    p.identity = "Brave";
    return p;
}

}  // namespace

TEST(ChoosingAPlayer, RankFirstThenPlayingThenTheLatestStart) {
    using PS = PlaybackStatus;
    using PF = PlayerFamily;
    EXPECT_EQ(chosen({make("b", PF::other, PS::playing, 1), make("a", PF::other, PS::playing, 2)}),
              "a");  // the most recently started
    EXPECT_EQ(chosen({make("a", PF::other, PS::paused, 9), make("b", PF::other, PS::playing, 1)}),
              "b");  // playing before paused, however recent
    EXPECT_EQ(
        chosen({make("tab", PF::browser, PS::playing, 5), make("s", PF::spotify, PS::paused)}),
        "s");  // the Spotify client outranks a playing tab, even paused
    EXPECT_EQ(chosen({make("tab", PF::browser, PS::playing), make("v", PF::other, PS::paused)}),
              "v");
    EXPECT_EQ(chosen({make("tab", PF::browser, PS::playing)}, false), "-");
    EXPECT_EQ(chosen({make("s", PF::spotify, PS::stopped), make("v", PF::other, PS::paused)}), "v");
    // Equal in every way: the same one every time, whatever the order they come in.
    EXPECT_EQ(chosen({make("y", PF::other, PS::paused), make("x", PF::other, PS::paused)}), "x");
    EXPECT_EQ(chosen({make("x", PF::other, PS::paused), make("y", PF::other, PS::paused)}), "x");

    MediaPlayer empty = make("s", PF::spotify, PS::playing, 7);
    empty.metadata = {};  // nothing but an empty Metadata
    EXPECT_EQ(chosen({empty, make("v", PF::other, PS::paused)}), "v");
    EXPECT_EQ(chosen({}), "-");
}

TEST(Readings, FieldsTimesAndTheControlsAPlayerAnnounces) {
    MediaPlayer p =
        FakeMediaPlayers::player("org.mpris.MediaPlayer2.vlc", PlayerFamily::other, "Song");
    p.identity = "VLC media player";
    p.metadata.artists = {"Band", "Guest"};
    p.metadata.album = "LP";
    p.metadata.artUrl = "https://open.spotify.com/image/ab67";
    p.position = 10;
    p.positionReadAt = 100;
    p.rate = 1.5;
    NowPlayingInfo r = readingOf(p, 104);
    EXPECT_EQ(r.artist, "Band, Guest");
    EXPECT_EQ(r.album, QStringLiteral("LP"));
    EXPECT_EQ(r.sourceLabel, QStringLiteral("VLC media player"));
    EXPECT_EQ(r.artworkURL, QStringLiteral("https://i.scdn.co/image/ab67"));  // the live host
    EXPECT_DOUBLE_EQ(r.elapsed, 16);                                          // at 1.5 × speed
    EXPECT_DOUBLE_EQ(readingOf(p, 10'000).elapsed, 200);                      // never past the end
    EXPECT_TRUE(r.canPlayPause && r.canGoNext && r.canGoPrevious && r.canSeek && r.canSetVolume);

    p.status = PlaybackStatus::paused;
    p.caps.canPlay = false;
    EXPECT_DOUBLE_EQ(readingOf(p, 104).elapsed, 10);  // paused: where it was read
    EXPECT_FALSE(readingOf(p, 104).canPlayPause);     // cannot start again
    p.caps.canPlay = true;
    p.metadata.length = 0;
    EXPECT_FALSE(readingOf(p, 104).canSeek);  // nowhere to jump without a length
    p.volume.reset();
    EXPECT_FALSE(readingOf(p, 104).canSetVolume);
    p.volume = 0.3;
    p.caps.canControl = false;
    r = readingOf(p, 104);
    EXPECT_FALSE(r.canPlayPause || r.canGoNext || r.canGoPrevious || r.canSeek || r.canSetVolume);
    EXPECT_EQ(r.volume, 0.3);  // still shown as the player reports it
}

TEST(Readings, BrowserTabsAreNamedByTheirPageAndCleanedWhereTheyGiveNoArtist) {
    NowPlayingInfo r = readingOf(
        tab("(3) Band - Tune - Live | YouTube Music", "https://music.youtube.com/watch?v=abc_1-Z"),
        0);
    EXPECT_EQ(r.sourceApp, MediaSource::browser);
    EXPECT_EQ(r.title, "Tune - Live");
    EXPECT_EQ(r.artist, "Band");
    EXPECT_EQ(r.sourceLabel, QStringLiteral("YouTube Music"));
    EXPECT_EQ(r.artworkURL, QStringLiteral("https://i.ytimg.com/vi/abc_1-Z/mqdefault.jpg"));

    // No address: the title's suffix names the site.
    EXPECT_EQ(readingOf(tab("Tune | SoundCloud"), 0).sourceLabel, QStringLiteral("SoundCloud"));
    EXPECT_EQ(readingOf(tab("Tune - Spotify"), 0).sourceLabel, QStringLiteral("Spotify Web"));
    // Another site: the browser's own name.
    EXPECT_EQ(readingOf(tab("Talk", "https://example.org/"), 0).sourceLabel,
              QStringLiteral("Brave"));

    MediaPlayer withArtist = tab("Tune - YouTube", "https://youtu.be/x");
    withArtist.metadata.artists = {"Band"};
    withArtist.metadata.artUrl = "file:///tmp/cover.jpg";
    r = readingOf(withArtist, 0);
    EXPECT_EQ(r.title, "Tune - YouTube");  // a session that names the artist is kept as given
    EXPECT_EQ(r.sourceLabel, QStringLiteral("YouTube"));
    EXPECT_EQ(r.artworkURL, QStringLiteral("file:///tmp/cover.jpg"));
}

TEST(Readings, TabTitlesAndThumbnails) {
    auto check = [](const char* raw, const char* title, const char* artist) {
        const auto parsed = parseTabTitle(QString::fromUtf8(raw));
        EXPECT_EQ(parsed.title, QString::fromUtf8(title)) << raw;
        EXPECT_EQ(parsed.artist, QString::fromUtf8(artist)) << raw;
    };
    check("Artist - Song - Live | YouTube Music", "Song - Live", "Artist");
    check("(12) Tune", "Tune", "");
    check("(3)  \tBand - Tune | SoundCloud", "Tune", "Band");
    check("Tune - YouTube - YouTube", "YouTube", "Tune");  // one suffix removed at most
    check("(unclosed - Tune", "Tune", "(unclosed");

    EXPECT_EQ(youtubeThumbnail("https://www.youtube.com/watch?list=L&v=abc123&v=zzz"),
              QStringLiteral("https://i.ytimg.com/vi/abc123/mqdefault.jpg"));
    EXPECT_FALSE(youtubeThumbnail("https://youtube.com/watch?v="));
    EXPECT_FALSE(youtubeThumbnail("https://youtube.com/watch"));
    EXPECT_FALSE(youtubeThumbnail("https://vimeo.com/w?v=abc"));
    // A page address cannot steer the thumbnail elsewhere.
    EXPECT_FALSE(youtubeThumbnail("https://youtube.com/watch?v=..%2F..%2Fevil"));
}

TEST(Readings, CoverKeysStaySmall) {
    NowPlayingInfo info;
    info.title = "T";
    info.artist = "A";
    info.sourceApp = MediaSource::player;
    EXPECT_EQ(artworkKey(info), "player|T|A|");
    info.artworkURL = QStringLiteral("https://i.example/a.jpg");
    EXPECT_EQ(artworkKey(info), *info.artworkURL);
    const QString big = QStringLiteral("data:image/png;base64,") + QString(100'000, 'A');
    info.artworkURL = big;
    const QString key = artworkKey(info);
    EXPECT_LT(key.size(), 100);
    info.artworkURL = big + "B";
    EXPECT_NE(artworkKey(info), key);
}
