#include "platform/demo/DemoScriptBridge.h"

#include "core/VirtualLoop.h"
#include "fakes/QtPrinters.h"
#include "services/nowplaying/MediaService.h"

#include <gtest/gtest.h>

using namespace korvo;

TEST(DemoScriptBridge, APlaylistThatPlaysOnTheClockAndObeys) {
    VirtualLoop loop;
    DemoScriptBridge bridge(loop);
    auto read = [&] { return MediaService::readSpotify(bridge).value_or(NowPlayingInfo{}); };
    auto send = [&](MediaAction action, double value = 0) {
        bridge.run(ScriptRequest{{}, intent::PlayerCommand{PlayerSlot::spotify, action, value}});
    };
    EXPECT_FALSE(MediaService::readAppleMusic(bridge));
    const NowPlayingInfo first = read();
    EXPECT_TRUE(first.isPlaying);
    loop.advance(first.duration);  // the track ends and the next begins
    EXPECT_NE(read().title, first.title);

    send(MediaAction::previous);  // some way in: back to the start
    EXPECT_EQ(read().elapsed, 0);
    send(MediaAction::previous);
    EXPECT_EQ(read().title, first.title);

    send(MediaAction::seek, 20);
    send(MediaAction::playPause);
    loop.advance(5);
    EXPECT_FALSE(read().isPlaying);
    EXPECT_DOUBLE_EQ(read().elapsed, 20);
    send(MediaAction::playPause);
    loop.advance(1);
    EXPECT_DOUBLE_EQ(read().elapsed, 21);
}
