#include "core/ActivityEngine.h"
#include "core/VirtualLoop.h"

#include <benchmark/benchmark.h>

using namespace korvo;

// One activity update and one toast through the bus and the engine, as every poll does.
static void BM_EngineEventHandling(benchmark::State& st) {
    VirtualLoop loop;
    EventBus bus(loop);
    DebugLog log{QString()};
    ActivityEngine engine(loop, bus, log);
    engine.start();
    Activity a;
    a.id = "nowplaying.system";
    a.kind = Activity::Kind::nowPlaying;
    a.startedAt = loop.wallNow();
    a.payload = NowPlayingInfo{};
    for (auto _ : st) {
        bus.post(ActivityUpdated{a});
        bus.post(TransientNotification::make("music.note", "Song", "Artist", 2.5,
                                             ActivityPriority::normal));
        loop.advance(3);
    }
}
BENCHMARK(BM_EngineEventHandling)->Unit(benchmark::kMicrosecond);
