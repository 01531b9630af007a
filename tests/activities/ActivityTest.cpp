#include "activities/Activity.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

QDateTime at(int h, int m, int s = 0) {
    return QDateTime(QDate(2026, 3, 2), QTime(h, m, s), Qt::UTC);
}

CalendarEventInfo event(QDateTime start, QDateTime end) {
    CalendarEventInfo e;
    e.title = QStringLiteral("Standup");
    e.start = std::move(start);
    e.end = std::move(end);
    return e;
}

}  // namespace

TEST(ActivityModel, RawValuesParseExactlyAndRejectEverythingElse) {
    EXPECT_EQ(activityKindFromRaw(QStringLiteral("meeting")), Activity::Kind::meeting);
    EXPECT_FALSE(activityKindFromRaw(QStringLiteral("Meeting")));
    EXPECT_FALSE(activityKindFromRaw(QString()));
    EXPECT_EQ(activityKindFromRaw(rawValue(Activity::Kind::custom)), Activity::Kind::custom);

    EXPECT_EQ(mediaSourceFromRaw(QStringLiteral("player")), MediaSource::player);
    EXPECT_FALSE(mediaSourceFromRaw(QStringLiteral("music")));
    EXPECT_EQ(deviceKindFromRaw(QStringLiteral("airpodsPro")),
              ConnectedDeviceInfo::Kind::airpodsPro);
    EXPECT_FALSE(deviceKindFromRaw(QStringLiteral("AirPods")));
}

TEST(ActivityModel, PriorityRange) {
    EXPECT_FALSE(activityPriorityFromRaw(4));
    EXPECT_FALSE(activityPriorityFromRaw(-1));
    EXPECT_EQ(activityPriorityFromRaw(0), ActivityPriority::low);
    EXPECT_EQ(activityPriorityFromRaw(3), ActivityPriority::critical);
}

TEST(ActivityModel, NowPlayingEqualityIgnoresVolumeAlbumDurationButNotSecondsOrArtwork) {
    NowPlayingInfo a;
    a.title = QStringLiteral("Song");
    a.artist = QStringLiteral("Band");
    a.isPlaying = true;
    a.elapsed = 12.2;
    NowPlayingInfo b = a;
    b.volume = 0.3;
    b.album = QStringLiteral("Album");
    b.duration = 999;
    b.elapsed = 12.9;
    b.sourceApp = MediaSource::browser;
    EXPECT_EQ(a, b);

    NowPlayingInfo c = b;
    c.elapsed = 13.0;
    EXPECT_NE(b, c);

    NowPlayingInfo d = a;
    d.artwork = std::make_shared<QImage>(4, 4, QImage::Format_ARGB32);
    EXPECT_NE(a, d);
    NowPlayingInfo e = a;
    e.artwork = std::make_shared<QImage>(8, 8, QImage::Format_ARGB32);
    EXPECT_EQ(d, e);  // images themselves are not compared

    NowPlayingInfo paused = a;
    paused.isPlaying = false;
    EXPECT_NE(a, paused);
}

TEST(ActivityModel, CountdownBeforeDuringAndAfter) {
    const auto e = event(at(12, 0), at(12, 30));
    EXPECT_EQ(e.countdown(at(11, 0, 1)), QStringLiteral("in 59m"));  // 59 m 59 s ahead
    EXPECT_EQ(e.countdown(at(11, 0)), QStringLiteral("in 1h 0m"));
    EXPECT_EQ(e.countdown(at(10, 55)), QStringLiteral("in 1h 5m"));
    EXPECT_EQ(e.countdown(at(11, 59, 30)), QStringLiteral("now"));
    EXPECT_EQ(e.countdown(at(12, 0)), QStringLiteral("30m left"));
    EXPECT_EQ(e.countdown(at(12, 18)), QStringLiteral("12m left"));
    EXPECT_EQ(e.countdown(at(12, 29, 30)), QStringLiteral("ending"));
    EXPECT_EQ(e.countdown(at(13, 0)), QStringLiteral("ending"));

    const auto longOne = event(at(12, 0), at(14, 0));
    EXPECT_EQ(longOne.countdown(at(0, 0)), QStringLiteral("in 12h 0m"));  // no grouping
}

TEST(ActivityModel, OngoingIncludesBothEndsAndNeverForInvertedEvents) {
    const auto e = event(at(12, 0), at(12, 30));
    EXPECT_TRUE(e.isOngoing(at(12, 0)));
    EXPECT_TRUE(e.isOngoing(at(12, 30)));
    EXPECT_FALSE(e.isOngoing(at(11, 59, 59)));
    EXPECT_FALSE(e.isOngoing(at(12, 30, 1)));
    const auto inverted = event(at(12, 30), at(12, 0));
    EXPECT_FALSE(inverted.isOngoing(at(12, 15)));
    EXPECT_FALSE(inverted.isOngoing(at(12, 0)));
}
