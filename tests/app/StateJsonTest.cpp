// What `korvoctl state` reports: the payloads' fields as their readers expect them, absent ones as
// null.
#include "app/StateJson.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

// Every key of `o` with its value, for a readable failure.
std::string dump(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

TEST(StateJson, FieldsAreConvertedAsReadersExpectThem) {
    NowPlayingInfo track;
    track.title = "Song";
    track.artist = "Band";
    track.album = "Record";
    track.artwork = std::make_shared<QImage>(4, 4, QImage::Format_ARGB32);
    track.artworkURL = "https://img.example/cover.jpg";
    track.isPlaying = true;
    track.duration = 215;
    track.elapsed = 61.5;
    track.sourceApp = MediaSource::browser;
    track.sourceLabel = "Firefox";
    track.volume = 0.7;
    track.canPlayPause = track.canGoNext = true;  // a live stream: no going back, no seeking
    track.canSetVolume = true;
    const QJsonObject np = payloadJson(track);
    EXPECT_EQ(np["type"], "nowPlaying");
    EXPECT_EQ(np["title"], "Song");
    EXPECT_EQ(np["hasArtwork"], true);
    EXPECT_EQ(np["artworkURL"], "https://img.example/cover.jpg");
    EXPECT_EQ(np["isPlaying"], true);
    EXPECT_EQ(np["duration"], 215);
    EXPECT_EQ(np["elapsed"], 61.5);
    EXPECT_EQ(np["source"], "browser");
    EXPECT_EQ(np["sourceLabel"], "Firefox");
    EXPECT_EQ(np["volume"], 0.7) << dump(np);
    const QJsonObject can = np["capabilities"].toObject();
    EXPECT_EQ(can["playPause"], true);
    EXPECT_EQ(can["previous"], false);
    EXPECT_EQ(can["seek"], false) << dump(np);
    EXPECT_EQ(payloadJson(BatteryInfo{42, true, 5700})["timeRemaining"], 5700);

    const QDateTime start(QDate(2026, 3, 2), QTime(9, 30), Qt::UTC);
    const QJsonObject cal = payloadJson(CalendarEventInfo{"Stand-up", start, start.addSecs(900),
                                                          QUrl("https://meet.example/abc-defg"),
                                                          "Meet", QColor(255, 59, 48)});
    EXPECT_EQ(QDateTime::fromString(cal["start"].toString(), Qt::ISODate), start);
    EXPECT_EQ(QDateTime::fromString(cal["end"].toString(), Qt::ISODate), start.addSecs(900));
    EXPECT_EQ(cal["joinURL"], "https://meet.example/abc-defg");
    EXPECT_EQ(cal["provider"], "Meet");
    EXPECT_EQ(QColor(cal["color"].toString()), QColor(255, 59, 48)) << dump(cal);
    EXPECT_EQ(payloadJson(ClipboardInfo{"482913", 3, true})["isOTP"], true);

    const QJsonObject devices = payloadJson(std::vector<ConnectedDeviceInfo>{
        {"AC:90:85:00:00:02", "Buds", ConnectedDeviceInfo::Kind::airpodsPro, 80, true, true},
        {"Ada's Phone", "Ada's Phone", ConnectedDeviceInfo::Kind::iphone, std::nullopt,
         std::nullopt, false}});
    const QJsonArray list = devices["devices"].toArray();
    ASSERT_EQ(list.size(), 2) << dump(devices);
    const QJsonObject buds = list[0].toObject();
    EXPECT_EQ(buds["id"], "AC:90:85:00:00:02");
    EXPECT_EQ(buds["kind"], "airpodsPro");
    EXPECT_EQ(buds["battery"], 80);
    EXPECT_EQ(buds["isCharging"], true);
    EXPECT_EQ(buds["isLinkActive"], true);
    EXPECT_FALSE(buds["symbol"].toString().isEmpty());
    const QJsonObject phone = list[1].toObject();
    EXPECT_TRUE(phone["battery"].isNull()) << "unknown, not missing: " << dump(phone);
    EXPECT_TRUE(phone["isCharging"].isNull());
    EXPECT_EQ(phone["isLinkActive"], false);
    EXPECT_EQ(payloadJson(GenericPayload{"timer", "Tea", "3 min left", 0.25})["progress"], 0.25);
    EXPECT_EQ(payloadJson(SystemStatsPayload{})["type"], "systemStats");
}

TEST(StateJson, AbsentFieldsAreNullNotMissing) {
    const QJsonObject np = payloadJson(NowPlayingInfo{});
    for (const char* key : {"album", "artworkURL", "sourceLabel", "volume"}) {
        EXPECT_TRUE(np.contains(key) && np[key].isNull()) << key << " " << dump(np);
    }
    EXPECT_EQ(np["hasArtwork"], false);
    const QJsonObject cal = payloadJson(CalendarEventInfo{});
    for (const char* key : {"joinURL", "provider", "color"}) {
        EXPECT_TRUE(cal.contains(key) && cal[key].isNull()) << key << " " << dump(cal);
    }
    EXPECT_TRUE(payloadJson(BatteryInfo{})["timeRemaining"].isNull());
    EXPECT_TRUE(payloadJson(BluetoothDeviceInfo{})["batteryLevel"].isNull());
    EXPECT_TRUE(payloadJson(GenericPayload{})["progress"].isNull());
}
