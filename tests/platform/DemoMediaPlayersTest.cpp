#include "platform/demo/DemoMediaPlayers.h"

#include "core/VirtualLoop.h"
#include "fakes/QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvo;

TEST(DemoMediaPlayers, APlaylistThatPlaysOnTheClockTellsItsChangesAndObeys) {
    VirtualLoop loop;
    DemoMediaPlayers demo(loop);
    int told = 0;
    auto sub = demo.observe([&] { ++told; });
    auto now = [&] { return demo.players().at(0); };
    const QString bus = DemoMediaPlayers::kBusName;
    const MediaPlayer first = now();
    EXPECT_EQ(first.family, PlayerFamily::spotify);
    EXPECT_EQ(first.status, PlaybackStatus::playing);

    // The track ends by itself and the next begins, with a notice.
    loop.advance(first.metadata.length - first.positionAt(loop.monotonicNow()) + 0.01);
    EXPECT_NE(now().metadata.title, first.metadata.title);
    EXPECT_EQ(told, 1);

    loop.advance(5);
    demo.previous(bus);  // some way in: back to the start
    EXPECT_EQ(now().positionAt(loop.monotonicNow()), 0);
    demo.previous(bus);
    EXPECT_EQ(now().metadata.title, first.metadata.title);

    demo.setPosition(bus, now().metadata.trackId, 20);
    demo.setPosition(bus, QStringLiteral("/another/track"), 5);  // meant for another track
    demo.playPause(bus);
    loop.advance(100);  // paused: the track does not end
    EXPECT_EQ(now().status, PlaybackStatus::paused);
    EXPECT_DOUBLE_EQ(now().positionAt(loop.monotonicNow()), 20);
    demo.playPause(bus);
    loop.advance(1);
    EXPECT_DOUBLE_EQ(now().positionAt(loop.monotonicNow()), 21);

    demo.setVolume(bus, 1.7);
    EXPECT_EQ(now().volume, 1.0);
    const int before = told;
    demo.next(QStringLiteral("org.mpris.MediaPlayer2.other"));  // nobody else plays here
    EXPECT_EQ(told, before);
}
