// The texts the now-playing service sends and the answers it reads, without any player.
#include "services/nowplaying/MediaService.h"

#include "fakes/QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {
const MediaService::BrowserApp& chrome() {
    return MediaService::browsers()[0];
}
const MediaService::BrowserApp& safari() {
    return MediaService::browsers()[3];
}
}  // namespace

TEST(NowPlayingAnswers, PlayerFieldsNumbersAndTheOptionalTail) {
    auto full = MediaService::parseSpotifyAnswer(
        QStringLiteral("Tune||Band||LP||215.5||12.25||true||https://i.example/a.jpg||55"));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->artworkURL, QStringLiteral("https://i.example/a.jpg"));
    EXPECT_TRUE(full->isPlaying);
    EXPECT_DOUBLE_EQ(full->duration, 215.5);
    EXPECT_DOUBLE_EQ(full->elapsed, 12.25);
    EXPECT_DOUBLE_EQ(full->volume.value(), 0.55);
    EXPECT_EQ(full->sourceLabel, QStringLiteral("Spotify"));

    auto six = MediaService::parseSpotifyAnswer(QStringLiteral("Tune||Band||||abc||x||True"));
    ASSERT_TRUE(six);
    EXPECT_EQ(six->album, QString());                                // present, though empty
    EXPECT_FALSE(six->artworkURL || six->volume || six->isPlaying);  // only "true" plays
    EXPECT_EQ(six->duration + six->elapsed, 0);
    EXPECT_FALSE(MediaService::parseSpotifyAnswer(QString()));
    EXPECT_FALSE(MediaService::parseSpotifyAnswer(QStringLiteral("T||A||L||1||1")));

    auto music = MediaService::parseMusicAnswer(
        QStringLiteral("Song||Band||LP||241.3||3||true||80||http://not.a/cover"));
    ASSERT_TRUE(music);
    EXPECT_FALSE(music->artworkURL);
    EXPECT_DOUBLE_EQ(music->volume.value(), 0.8);
    EXPECT_EQ(music->sourceApp, MediaSource::appleMusic);

    EXPECT_EQ(MediaService::parseNumber(QStringLiteral("-1e3")), -1000);
    EXPECT_EQ(MediaService::parseNumber(QStringLiteral("+7.5")), 7.5);
    for (const char* bad :
         {"", " 12", "\t1", "\n1", "12 ", "1,5", "12abc", "inf", "nan", "1e999"}) {
        EXPECT_FALSE(MediaService::parseNumber(QString::fromLatin1(bad))) << bad;
    }
}

TEST(BrowserMedia, TabTitlesSitesAndThumbnails) {
    auto check = [](const char* raw, const char* title, const char* artist) {
        const auto parsed = MediaService::parseTabTitle(QString::fromUtf8(raw));
        EXPECT_EQ(parsed.title, QString::fromUtf8(title)) << raw;
        EXPECT_EQ(parsed.artist, QString::fromUtf8(artist)) << raw;
    };
    check("Artist - Song - Live | YouTube Music", "Song - Live", "Artist");
    check("(12) Tune", "Tune", "");
    check("(3)  \tBand - Tune | SoundCloud", "Tune", "Band");
    check("Tune - YouTube - YouTube", "YouTube", "Tune");  // one suffix removed at most
    check("(unclosed - Tune", "Tune", "(unclosed");

    EXPECT_EQ(MediaService::siteName(QStringLiteral("https://music.youtube.com/watch?v=1")),
              "YouTube Music");
    EXPECT_EQ(MediaService::siteName(QStringLiteral("https://m.youtube.com/")), "YouTube");
    EXPECT_EQ(MediaService::siteName(QStringLiteral("https://open.spotify.com/x")), "Spotify Web");
    EXPECT_EQ(MediaService::siteName(QString()), "Browser");

    EXPECT_EQ(MediaService::youtubeThumbnail(
                  QStringLiteral("https://www.youtube.com/watch?list=L&v=abc123&v=zzz")),
              QStringLiteral("https://i.ytimg.com/vi/abc123/mqdefault.jpg"));
    EXPECT_FALSE(MediaService::youtubeThumbnail(QStringLiteral("https://youtube.com/watch?v=")));
    EXPECT_FALSE(MediaService::youtubeThumbnail(QStringLiteral("https://youtube.com/watch")));
    EXPECT_FALSE(MediaService::youtubeThumbnail(QStringLiteral("https://vimeo.com/w?v=abc")));
}

TEST(BrowserMedia, ScanAnswers) {
    auto js = [](const QString& title, const QString& artist, const QString& art) {
        return MediaService::parseBrowserAnswer(title + "~|~" + artist +
                                                "~|~~|~200~|~12.5~|~true~|~0.4~|~" + art +
                                                "~|~JS~|~https://www.youtube.com/watch?v=abc123");
    };
    auto split = js(QStringLiteral("Band - Tune - YouTube"), QString(), QString());
    ASSERT_TRUE(split);
    EXPECT_EQ(split->title + "/" + split->artist, "Tune/Band");
    EXPECT_FALSE(split->album);
    EXPECT_EQ(split->artworkURL, QStringLiteral("https://i.ytimg.com/vi/abc123/mqdefault.jpg"));
    EXPECT_DOUBLE_EQ(split->volume.value(), 0.4);  // already a 0-1 level
    EXPECT_EQ(split->sourceLabel, QStringLiteral("YouTube"));

    auto kept = js(QStringLiteral("Tune - YouTube"), QStringLiteral("Band"), QStringLiteral("a"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->title, "Tune - YouTube");
    EXPECT_EQ(kept->artworkURL, QStringLiteral("a"));
    // A title holding the separator shifts the fields so that neither marker is in place.
    EXPECT_FALSE(js(QStringLiteral("A~|~B"), QStringLiteral("x"), QString()));

    auto tab = MediaService::parseBrowserAnswer(
        QStringLiteral("Tune | SoundCloud~|~TAB~|~https://soundcloud.com/band/tune"));
    ASSERT_TRUE(tab);
    EXPECT_TRUE(tab->isPlaying);
    EXPECT_EQ(tab->title, "Tune");
    EXPECT_EQ(tab->sourceLabel, QStringLiteral("SoundCloud"));
    EXPECT_FALSE(tab->artworkURL || tab->volume);
    EXPECT_FALSE(MediaService::parseBrowserAnswer(QStringLiteral(" | YouTube~|~TAB~|~u")));
}

TEST(MediaControlTexts, PlayerAndPageScripts) {
    EXPECT_EQ(MediaService::positionScript(MediaSource::spotify, 42),
              QStringLiteral("tell application \"Spotify\" to set player position to 42.0"));
    EXPECT_EQ(MediaService::positionScript(MediaSource::appleMusic, 12.5),
              QStringLiteral("tell application \"Music\" to set player position to 12.5"));
    EXPECT_FALSE(MediaService::positionScript(MediaSource::spotify, std::nan("")));
    const QString volume = QStringLiteral("tell application \"Music\" to set sound volume to ");
    EXPECT_EQ(MediaService::volumeScript(MediaSource::appleMusic, 1.7), volume + "100");
    EXPECT_EQ(MediaService::volumeScript(MediaSource::appleMusic, -0.2), volume + "0");
    EXPECT_EQ(MediaService::volumeScript(MediaSource::appleMusic, 0.555), volume + "55");
    EXPECT_FALSE(MediaService::volumeScript(MediaSource::appleMusic, std::nan("")));

    const QString element =
        QStringLiteral("var v=document.querySelector('video')||document.querySelector('audio');");
    EXPECT_EQ(MediaService::pageSeekJS(75.9), element + "if(v){v.currentTime=75}");
    EXPECT_EQ(MediaService::pageSeekJS(-0.5), element + "if(v){v.currentTime=0}");
    EXPECT_FALSE(MediaService::pageSeekJS(std::nan("")));
    EXPECT_EQ(MediaService::pageVolumeJS(0.5), element + "if(v){v.volume=0.50}");
    EXPECT_EQ(MediaService::pageVolumeJS(3), element + "if(v){v.volume=1.00}");
    // Quotes in the page script are escaped for the outer script's string.
    EXPECT_TRUE(MediaService::browserJSScript(chrome(), QStringLiteral("say(\"hi\")"))
                    .contains(QStringLiteral("execute t javascript \"say(\\\"hi\\\")\"\n")));
    EXPECT_TRUE(
        MediaService::browserJSScript(safari(), QStringLiteral("x()"))
            .contains(QStringLiteral("\n                    do JavaScript \"x()\" in t\n")));
}
