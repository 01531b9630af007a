// The texts the now-playing service sends and the answers it reads, without any player.
#include "services/nowplaying/MediaService.h"

#include "fakes/QtPrinters.h"

#include <gtest/gtest.h>

#include <limits>

using namespace korvo;

namespace {
const MediaService::BrowserApp& chrome() {
    return MediaService::browsers()[0];
}
const MediaService::BrowserApp& safari() {
    return MediaService::browsers()[3];
}
}  // namespace

TEST(NowPlayingAnswers, SpotifyFieldsAndTheOptionalTail) {
    auto full = MediaService::parseSpotifyAnswer(
        QStringLiteral("Tune||Band||LP||215.5||12.25||true||https://i.example/a.jpg||55"));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->title, "Tune");
    EXPECT_EQ(full->album, QStringLiteral("LP"));
    EXPECT_EQ(full->artworkURL, QStringLiteral("https://i.example/a.jpg"));
    EXPECT_TRUE(full->isPlaying);
    EXPECT_DOUBLE_EQ(full->duration, 215.5);
    EXPECT_DOUBLE_EQ(full->elapsed, 12.25);
    EXPECT_DOUBLE_EQ(full->volume.value(), 0.55);
    EXPECT_EQ(full->sourceApp, MediaSource::spotify);
    EXPECT_EQ(full->sourceLabel, QStringLiteral("Spotify"));

    auto six = MediaService::parseSpotifyAnswer(QStringLiteral("Tune||Band||||abc||x||false"));
    ASSERT_TRUE(six);
    EXPECT_EQ(six->album, QString());  // present, though empty
    EXPECT_FALSE(six->artworkURL);
    EXPECT_FALSE(six->volume);
    EXPECT_FALSE(six->isPlaying);
    EXPECT_EQ(six->duration, 0);
    EXPECT_EQ(six->elapsed, 0);

    auto emptyArt = MediaService::parseSpotifyAnswer(QStringLiteral("T||A||L||1||1||True||||v"));
    ASSERT_TRUE(emptyArt);
    EXPECT_FALSE(emptyArt->artworkURL);
    EXPECT_FALSE(emptyArt->volume);
    EXPECT_FALSE(emptyArt->isPlaying);  // only "true" exactly

    EXPECT_FALSE(MediaService::parseSpotifyAnswer(QString()));
    EXPECT_FALSE(MediaService::parseSpotifyAnswer(QStringLiteral("T||A||L||1||1")));
}

TEST(NowPlayingAnswers, MusicKeepsSecondsAndHasNoArtworkURL) {
    auto music = MediaService::parseMusicAnswer(
        QStringLiteral("Song||Band||LP||241.3||3||true||http://not.a/cover||80"));
    ASSERT_TRUE(music);
    EXPECT_DOUBLE_EQ(music->duration, 241.3);
    EXPECT_FALSE(music->artworkURL);
    EXPECT_FALSE(music->volume);  // field 6 is not a number here
    EXPECT_EQ(music->sourceApp, MediaSource::appleMusic);
    EXPECT_EQ(music->sourceLabel, QStringLiteral("Music"));
    EXPECT_DOUBLE_EQ(
        MediaService::parseMusicAnswer(QStringLiteral("S||B||L||1||2||true||80"))->volume.value(),
        0.8);
}

TEST(NowPlayingAnswers, NumbersMustBeWholeFiniteAndInTheCLocale) {
    EXPECT_EQ(MediaService::parseNumber(QStringLiteral("12.5")), 12.5);
    EXPECT_EQ(MediaService::parseNumber(QStringLiteral("-3")), -3);
    EXPECT_EQ(MediaService::parseNumber(QStringLiteral("1e3")), 1000);
    EXPECT_EQ(MediaService::parseNumber(QStringLiteral("+7")), 7);
    for (const char* bad :
         {"", " 12", "\t1", "\n1", "12 ", "1,5", "12abc", "inf", "nan", "1e999", "abc"}) {
        EXPECT_FALSE(MediaService::parseNumber(QString::fromLatin1(bad))) << bad;
    }
}

TEST(NowPlayingAnswers, ArtworkKeyIsTheURLOrTheTrack) {
    NowPlayingInfo info;
    info.title = QStringLiteral("Song");
    info.artist = QStringLiteral("Band");
    info.album = QStringLiteral("LP");
    info.sourceApp = MediaSource::appleMusic;
    EXPECT_EQ(MediaService::artworkKey(info), "appleMusic|Song|Band|LP");
    info.album.reset();
    EXPECT_EQ(MediaService::artworkKey(info), "appleMusic|Song|Band|");
    info.artworkURL = QStringLiteral("https://x/y?z=1");
    EXPECT_EQ(MediaService::artworkKey(info), "https://x/y?z=1");
}

TEST(BrowserMedia, TabTitles) {
    auto check = [](const char* raw, const char* title, const char* artist) {
        const auto parsed = MediaService::parseTabTitle(QString::fromUtf8(raw));
        EXPECT_EQ(parsed.title, QString::fromUtf8(title)) << raw;
        EXPECT_EQ(parsed.artist, QString::fromUtf8(artist)) << raw;
    };
    check("Artist - Song - Live | YouTube Music", "Song - Live", "Artist");
    check("Band - Tune - YouTube", "Tune", "Band");
    check("(12) Tune", "Tune", "");
    check("(3)  \tBand - Tune | SoundCloud", "Tune", "Band");
    check("Tune - YouTube - YouTube", "YouTube", "Tune");  // one suffix removed at most
    check("Lonely (feat. X) - Spotify", "Lonely (feat. X)", "");
    check("(unclosed - Tune", "Tune", "(unclosed");
    check("", "", "");
}

TEST(BrowserMedia, SitesAndThumbnails) {
    EXPECT_EQ(MediaService::siteName(QStringLiteral("https://music.youtube.com/watch?v=1")),
              "YouTube Music");
    EXPECT_EQ(MediaService::siteName(QStringLiteral("https://www.youtube.com/watch?v=1")),
              "YouTube");
    EXPECT_EQ(MediaService::siteName(QStringLiteral("https://soundcloud.com/a/b")), "SoundCloud");
    EXPECT_EQ(MediaService::siteName(QStringLiteral("https://open.spotify.com/track/1")),
              "Spotify Web");
    EXPECT_EQ(MediaService::siteName(QString()), "Browser");

    EXPECT_EQ(MediaService::youtubeThumbnail(
                  QStringLiteral("https://www.youtube.com/watch?list=L&v=abc123&v=zzz")),
              QStringLiteral("https://i.ytimg.com/vi/abc123/mqdefault.jpg"));
    EXPECT_FALSE(
        MediaService::youtubeThumbnail(QStringLiteral("https://www.youtube.com/watch?v=")));
    EXPECT_FALSE(MediaService::youtubeThumbnail(QStringLiteral("https://www.youtube.com/watch")));
    EXPECT_FALSE(MediaService::youtubeThumbnail(QStringLiteral("https://vimeo.com/watch?v=abc")));
}

TEST(BrowserMedia, ScanAnswers) {
    const QString url = QStringLiteral("https://www.youtube.com/watch?v=abc123");
    auto js = [&](const QString& title, const QString& artist, const QString& art) {
        return MediaService::parseBrowserAnswer(QStringList{
            title, artist, QString(), QStringLiteral("200"), QStringLiteral("12.5"),
            QStringLiteral("true"), QStringLiteral("0.4"), art, QStringLiteral("JS"), url}
                                                    .join(QStringLiteral("~|~")));
    };
    auto split = js(QStringLiteral("Band - Tune - YouTube"), QString(), QString());
    ASSERT_TRUE(split);
    EXPECT_EQ(split->title, "Tune");
    EXPECT_EQ(split->artist, "Band");
    EXPECT_FALSE(split->album);
    EXPECT_EQ(split->artworkURL, QStringLiteral("https://i.ytimg.com/vi/abc123/mqdefault.jpg"));
    EXPECT_DOUBLE_EQ(split->volume.value(), 0.4);  // already a 0-1 level
    EXPECT_EQ(split->sourceLabel, QStringLiteral("YouTube"));
    EXPECT_EQ(split->sourceApp, MediaSource::browser);

    auto kept = js(QStringLiteral("Tune - YouTube"), QStringLiteral("Band"),
                   QStringLiteral("https://art/big.png"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->title, "Tune - YouTube");
    EXPECT_EQ(kept->artworkURL, QStringLiteral("https://art/big.png"));

    // A title holding the separator shifts the fields so that neither marker is in place.
    EXPECT_FALSE(js(QStringLiteral("A~|~B"), QStringLiteral("x"), QString()));

    auto tab = MediaService::parseBrowserAnswer(
        QStringLiteral("Tune | SoundCloud~|~TAB~|~https://soundcloud.com/band/tune"));
    ASSERT_TRUE(tab);
    EXPECT_TRUE(tab->isPlaying);
    EXPECT_EQ(tab->title, "Tune");
    EXPECT_EQ(tab->sourceLabel, QStringLiteral("SoundCloud"));
    EXPECT_FALSE(tab->artworkURL);
    EXPECT_FALSE(tab->volume);
    EXPECT_EQ(tab->duration, 0);
    EXPECT_FALSE(MediaService::parseBrowserAnswer(QStringLiteral(" | YouTube~|~TAB~|~u")));
    EXPECT_FALSE(MediaService::parseBrowserAnswer(QStringLiteral("just text")));
}

TEST(BrowserMedia, TheScanScriptIsBuiltExactly) {
    EXPECT_EQ(MediaService::probeJS().size(), 465);
    const QString condition = QStringLiteral(
        "u contains \"youtube.com/watch\" or u contains \"music.youtube.com\" or "
        "u contains \"soundcloud.com\" or u contains \"open.spotify.com\"");
    EXPECT_EQ(MediaService::browserScanScript(chrome()),
              QStringLiteral("tell application \"Google Chrome\"\n"
                             "    repeat with w in windows\n"
                             "        repeat with t in tabs of w\n"
                             "            try\n"
                             "                set u to URL of t\n"
                             "                if ") +
                  condition +
                  QStringLiteral(" then\n"
                                 "                    try\n"
                                 "                        set r to execute t javascript \"") +
                  MediaService::probeJS() +
                  QStringLiteral("\"\n"
                                 "                        if r is not missing value and r is not "
                                 "\"\" then return (r as text) & \"~|~JS~|~\" & u\n"
                                 "                    end try\n"
                                 "                    return (title of t) & \"~|~TAB~|~\" & u\n"
                                 "                end if\n"
                                 "            end try\n"
                                 "        end repeat\n"
                                 "    end repeat\n"
                                 "    return \"\"\n"
                                 "end tell"));
    const QString safariScan = MediaService::browserScanScript(safari());
    EXPECT_TRUE(safariScan.startsWith(QStringLiteral("tell application \"Safari\"\n")));
    EXPECT_TRUE(safariScan.contains(QStringLiteral("set r to do JavaScript \"") +
                                    MediaService::probeJS() + QStringLiteral("\" in t\n")));
    EXPECT_TRUE(safariScan.contains(QStringLiteral("return (name of t) & \"~|~TAB~|~\" & u")));
}

TEST(MediaControlTexts, PlayerCommandsPositionsAndVolumes) {
    EXPECT_EQ(MediaService::commandScript(MediaSource::spotify, QStringLiteral("next track")),
              "tell application \"Spotify\" to next track");
    EXPECT_EQ(MediaService::positionScript(MediaSource::spotify, 42),
              QStringLiteral("tell application \"Spotify\" to set player position to 42.0"));
    EXPECT_EQ(MediaService::positionScript(MediaSource::appleMusic, 12.5),
              QStringLiteral("tell application \"Music\" to set player position to 12.5"));
    EXPECT_EQ(MediaService::positionScript(MediaSource::spotify, 0.1),
              QStringLiteral("tell application \"Spotify\" to set player position to 0.1"));
    EXPECT_FALSE(MediaService::positionScript(MediaSource::spotify,
                                              std::numeric_limits<double>::infinity()));
    const QString volume = QStringLiteral("tell application \"Music\" to set sound volume to ");
    EXPECT_EQ(MediaService::volumeScript(MediaSource::appleMusic, 1.7), volume + "100");
    EXPECT_EQ(MediaService::volumeScript(MediaSource::appleMusic, -0.2), volume + "0");
    EXPECT_EQ(MediaService::volumeScript(MediaSource::appleMusic, 0.555), volume + "55");
    EXPECT_FALSE(MediaService::volumeScript(MediaSource::appleMusic, std::nan("")));
}

TEST(MediaControlTexts, PageScripts) {
    const QString element =
        QStringLiteral("var v=document.querySelector('video')||document.querySelector('audio');");
    EXPECT_EQ(MediaService::pageSeekJS(75.9), element + "if(v){v.currentTime=75}");
    EXPECT_EQ(MediaService::pageSeekJS(-0.5), element + "if(v){v.currentTime=0}");
    EXPECT_FALSE(MediaService::pageSeekJS(std::nan("")));
    EXPECT_EQ(MediaService::pageVolumeJS(0.5), element + "if(v){v.volume=0.50}");
    EXPECT_EQ(MediaService::pageVolumeJS(3), element + "if(v){v.volume=1.00}");
    EXPECT_EQ(MediaService::pageToggleJS(),
              element + "if(v){if(v.paused){v.play()}else{v.pause()}}");

    const QString wrapped = MediaService::browserJSScript(chrome(), QStringLiteral("say(\"hi\")"));
    EXPECT_EQ(wrapped, QStringLiteral("tell application \"Google Chrome\"\n"
                                      "    repeat with w in windows\n"
                                      "        repeat with t in tabs of w\n"
                                      "            try\n"
                                      "                set u to URL of t\n"
                                      "                if ") +
                           MediaService::urlCondition() +
                           QStringLiteral(" then\n"
                                          "                    execute t javascript "
                                          "\"say(\\\"hi\\\")\"\n"
                                          "                    return \"ok\"\n"
                                          "                end if\n"
                                          "            end try\n"
                                          "        end repeat\n"
                                          "    end repeat\n"
                                          "    return \"\"\n"
                                          "end tell"));
    EXPECT_TRUE(
        MediaService::browserJSScript(safari(), QStringLiteral("x()"))
            .contains(QStringLiteral("\n                    do JavaScript \"x()\" in t\n")));
}
