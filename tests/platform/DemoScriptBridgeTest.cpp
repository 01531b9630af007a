#include "platform/demo/DemoScriptBridge.h"

#include "core/VirtualLoop.h"
#include "fakes/QtPrinters.h"
#include "services/nowplaying/MediaService.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {
NowPlayingInfo read(DemoScriptBridge& bridge) {
    auto info = MediaService::readSpotify(bridge);
    EXPECT_TRUE(info);
    return info.value_or(NowPlayingInfo{});
}
void send(DemoScriptBridge& bridge, MediaAction action, double value = 0) {
    bridge.run(ScriptRequest{QString(), intent::PlayerCommand{PlayerSlot::spotify, action, value}});
}
}  // namespace

TEST(DemoScriptBridge, APlaylistThatPlaysOnTheClockAndObeys) {
    VirtualLoop loop;
    DemoScriptBridge bridge(loop);
    EXPECT_FALSE(MediaService::readAppleMusic(bridge));
    const NowPlayingInfo first = read(bridge);
    EXPECT_TRUE(first.isPlaying);
    EXPECT_DOUBLE_EQ(first.volume.value(), 0.7);

    loop.advance(2);
    EXPECT_DOUBLE_EQ(read(bridge).elapsed, first.elapsed + 2);
    loop.advance(first.duration);  // the track ends and the next begins
    EXPECT_NE(read(bridge).title, first.title);

    send(bridge, MediaAction::previous, 0);  // more than 3 s in: back to the start
    EXPECT_EQ(read(bridge).elapsed, 0);
    send(bridge, MediaAction::previous);
    EXPECT_EQ(read(bridge).title, first.title);

    send(bridge, MediaAction::seek, 20);
    send(bridge, MediaAction::playPause);
    loop.advance(5);
    const NowPlayingInfo paused = read(bridge);
    EXPECT_FALSE(paused.isPlaying);
    EXPECT_DOUBLE_EQ(paused.elapsed, 20);
    send(bridge, MediaAction::playPause);
    loop.advance(1);
    EXPECT_DOUBLE_EQ(read(bridge).elapsed, 21);

    send(bridge, MediaAction::setVolume, 35);
    EXPECT_DOUBLE_EQ(read(bridge).volume.value(), 0.35);
    send(bridge, MediaAction::next);
    EXPECT_NE(read(bridge).title, first.title);
}
