// MPRIS property maps of any shape, read into typed players, without a bus.
#include "platform/linux/MprisProperties.h"

#include "fakes/QtPrinters.h"

#include <QDBusObjectPath>
#include <QDBusVariant>

#include <gtest/gtest.h>

#include <cmath>

using namespace korvo;
using namespace korvo::mpris;

namespace {

QVariant wrapped(const QVariant& v, int times) {
    QVariant out = v;
    for (int i = 0; i < times; ++i) {
        out = QVariant::fromValue(QDBusVariant(out));
    }
    return out;
}

}  // namespace

TEST(MprisMetadata, TypedFieldsFromWhateverShapeAPlayerSends) {
    const QVariantMap good{
        {"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/org/x/track/7"))},
        {"xesam:title", QStringLiteral("A || B ~|~ C\nD")},
        {"xesam:artist", QStringList{"Band", "Guest"}},
        {"xesam:album", wrapped(QStringLiteral("LP"), 2)},  // variants in variants are legal
        {"mpris:length", qulonglong(241'500'000)},
        {"mpris:artUrl", QStringLiteral("file:///tmp/a.png")},
        {"xesam:url", QStringLiteral("https://example.org/")}};
    const TrackMetadata m = parseMetadata(QVariant(good));
    EXPECT_EQ(m.trackId, "/org/x/track/7");
    EXPECT_EQ(m.title, "A || B ~|~ C\nD");  // no field separators anywhere
    EXPECT_EQ(m.artists, (QStringList{"Band", "Guest"}));
    EXPECT_EQ(m.album, "LP");
    EXPECT_DOUBLE_EQ(m.length, 241.5);
    EXPECT_FALSE(m.isEmpty());

    // A lone artist as text, and a list with things in it that are not text.
    EXPECT_EQ(parseMetadata(QVariantMap{{"xesam:artist", "Solo"}}).artists, QStringList{"Solo"});
    EXPECT_EQ(
        parseMetadata(QVariantMap{{"xesam:artist", QVariantList{1, "x", QVariantMap{}}}}).artists,
        QStringList{"x"});

    const QVariantMap wrong{{"xesam:title", 42},
                            {"xesam:artist", QVariantMap{{"a", 1}}},
                            {"xesam:album", QStringList{"x"}},
                            {"mpris:length", QStringLiteral("long")},
                            {"mpris:artUrl", 3.5},
                            {"mpris:trackid", true}};
    EXPECT_TRUE(parseMetadata(QVariant(wrong)).isEmpty());
    EXPECT_TRUE(parseMetadata(QStringLiteral("garbage")).isEmpty());
    EXPECT_TRUE(parseMetadata(QVariantList{1, "x"}).isEmpty());
    EXPECT_TRUE(parseMetadata(wrapped(QVariantMap{{"xesam:title", "deep"}}, 50)).isEmpty());
    EXPECT_EQ(parseMetadata(wrapped(QVariantMap{{"xesam:title", "T"}}, 3)).title, "T");

    for (const QVariant& length :
         {QVariant(-5'000'000LL), QVariant(std::nan("")), QVariant(1e300), QVariant(-1e300)}) {
        const double s = parseMetadata(QVariantMap{{"mpris:length", length}}).length;
        EXPECT_TRUE(s >= 0 && s < 1e13) << length.toString().toStdString();
    }
}

TEST(MprisPlayerProperties, ThePositionCarriesOnAcrossStateRateAndTrack) {
    MediaPlayer p;
    PlayerChange c = applyPlayerProperties(
        p,
        {{"PlaybackStatus", "Playing"},
         {"Metadata", QVariantMap{{"xesam:title", "A"}, {"mpris:length", qlonglong(100e6)}}},
         {"Position", qlonglong(10e6)},
         {"Volume", 0.5},
         {"CanSeek", true}},
        50);
    EXPECT_TRUE(c.status && c.track);
    EXPECT_DOUBLE_EQ(p.positionAt(52), 12);  // the batch's position wins over the new track's 0

    applyPlayerProperties(p, {{"Rate", 2.0}}, 54);  // 14 s in, then twice as fast
    EXPECT_DOUBLE_EQ(p.positionAt(55), 16);
    c = applyPlayerProperties(p, {{"PlaybackStatus", "Paused"}}, 56);
    EXPECT_TRUE(c.status);
    EXPECT_DOUBLE_EQ(p.positionAt(90), 18);  // frozen where it paused
    applyPlayerProperties(p, {{"PlaybackStatus", "Playing"}}, 90);
    EXPECT_DOUBLE_EQ(p.positionAt(91), 20);

    // More of the same track (a cover that came late) keeps the position; a new track starts at 0.
    c = applyPlayerProperties(p,
                              {{"Metadata", QVariantMap{{"xesam:title", "A"},
                                                        {"mpris:length", qlonglong(100e6)},
                                                        {"mpris:artUrl", "file:///a.png"}}}},
                              91);
    EXPECT_TRUE(c.any && !c.track);
    EXPECT_DOUBLE_EQ(p.positionAt(91), 20);
    c = applyPlayerProperties(p, {{"Metadata", QVariantMap{{"xesam:title", "B"}}}}, 92);
    EXPECT_TRUE(c.track);
    EXPECT_DOUBLE_EQ(p.positionAt(92), 0);

    c = applyPlayerProperties(p, {{"PlaybackStatus", "Playing"}, {"Volume", 0.5}}, 93);
    EXPECT_FALSE(c.any);  // nothing new: nothing to tell

    // Wild values read as the nearest sane ones.
    applyPlayerProperties(p,
                          {{"Rate", std::nan("")},
                           {"Position", -7e6},
                           {"Volume", 1e300},
                           {"PlaybackStatus", 42},
                           {"CanControl", "yes"},
                           {"CanSeek", 1}},
                          94);
    EXPECT_EQ(p.rate, 1);
    EXPECT_EQ(p.positionAt(94), 0);
    EXPECT_EQ(p.volume, 1.0);
    EXPECT_EQ(p.status, PlaybackStatus::paused);  // something loaded, not known to play
    EXPECT_TRUE(p.caps.canControl);               // not said clearly: not taken away
    EXPECT_FALSE(p.caps.canSeek);                 // not said clearly: not offered
    applyPlayerProperties(p, {{"Volume", "loud"}}, 95);
    EXPECT_FALSE(p.volume);
}

TEST(MprisNames, FamiliesByNameIdentityAndDesktopEntry) {
    EXPECT_FALSE(isPlayerName("org.mpris.MediaPlayer2.playerctld"));  // a mirror of the others
    EXPECT_FALSE(isPlayerName("org.mpris.MediaPlayer2."));
    EXPECT_FALSE(isPlayerName("org.freedesktop.Notifications"));
    EXPECT_TRUE(isPlayerName("org.mpris.MediaPlayer2.vlc.instance42"));

    EXPECT_EQ(familyOf("org.mpris.MediaPlayer2.spotify", {}, {}), PlayerFamily::spotify);
    EXPECT_EQ(familyOf("org.mpris.MediaPlayer2.spotifyd.instance1", {}, {}), PlayerFamily::other);
    EXPECT_EQ(familyOf("org.mpris.MediaPlayer2.firefox.instance_1_4", {}, {}),
              PlayerFamily::browser);
    EXPECT_EQ(familyOf("org.mpris.MediaPlayer2.mpv", "mpv", "mpv"), PlayerFamily::other);
    // Browsers that publish under another name are known by what they call themselves.
    EXPECT_EQ(familyOf("org.mpris.MediaPlayer2.x.instance2", "Microsoft Edge", {}),
              PlayerFamily::browser);
    EXPECT_EQ(familyOf("org.mpris.MediaPlayer2.y", {}, "vivaldi-stable"), PlayerFamily::browser);
}
