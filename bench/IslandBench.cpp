#include "core/ActivityEngine.h"
#include "core/IslandViewModel.h"
#include "core/VirtualLoop.h"
#include "settings/SettingsStore.h"
#include "ui/island/IslandRootView.h"
#include "ui/kit/Layout.h"
#include "ui/kit/Painter.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace korvo;

namespace {

struct World {
    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus{loop};
    DebugLog log{QString()};
    ActivityEngine engine{loop, bus, log};
    SettingsStore settings{dir.filePath("korvo.conf")};
    IslandViewModel viewModel{loop, engine, settings, log, NotchGeometry{}};
    ui::Animator animator{[this] { return loop.monotonicNow(); }};
    ui::Interaction interaction;
    IslandRootView root{viewModel, engine, settings, loop, animator, interaction};

    explicit World(IslandState state) {
        engine.start();
        Activity a;
        a.id = "clipboard.system";
        a.kind = Activity::Kind::clipboard;
        a.startedAt = loop.wallNow();
        a.payload = ClipboardInfo{"482913", 4, true};
        bus.post(ActivityStarted{a});
        Activity b = a;
        b.id = "battery.system";
        b.payload = BatteryInfo{80, true, 1200};
        bus.post(ActivityStarted{b});
        loop.runUntilIdle();
        viewModel.state.set(state);
    }
};

void renderFrame(benchmark::State& st, IslandState state) {
    World w(state);
    const double scale = static_cast<double>(st.range(0));
    for (auto _ : st) {
        w.animator.beginFrame();
        ui::View v = w.root.build();
        w.animator.endFrame();
        QImage img = ui::renderToImage(*v.node(), {kPanelWidth, kPanelHeight}, scale);
        benchmark::DoNotOptimize(img.constBits());
    }
}

void BM_IslandExpandedFrame(benchmark::State& st) {
    renderFrame(st, IslandState::expanded);
}
void BM_IslandCompactFrame(benchmark::State& st) {
    renderFrame(st, IslandState::compact);
}
void BM_IslandMediumFrame(benchmark::State& st) {
    renderFrame(st, IslandState::medium);
}

}  // namespace

BENCHMARK(BM_IslandExpandedFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IslandMediumFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IslandCompactFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// One frame of the playing compact island while only the equalizer bars move, step by step as
// the window does it: build, layout, paint clipped to the bars, hit regions, the input outline.
static void BM_PlayingBarsFrame(benchmark::State& st) {
    World w(IslandState::compact);
    Activity a;
    a.id = "nowplaying.system";
    a.kind = Activity::Kind::nowPlaying;
    a.startedAt = w.loop.wallNow();
    NowPlayingInfo info;
    info.title = "Midnight City";
    info.artist = "Night Drive";
    info.isPlaying = true;
    info.duration = 240;
    a.payload = info;
    w.bus.post(ActivityStarted{a});
    w.loop.runUntilIdle();
    w.loop.advance(2);  // the island has grown to the compact track
    QImage target(QSize(static_cast<int>(kPanelWidth), static_cast<int>(kPanelHeight)),
                  QImage::Format_ARGB32_Premultiplied);
    QRegion bars;
    double tBuild = 0, tLayout = 0, tPaint = 0, tHits = 0, tOutline = 0;
    QElapsedTimer clock;
    auto lap = [&](double& into) {
        into += static_cast<double>(clock.nsecsElapsed()) / 1e3;
        clock.restart();
    };
    for (auto _ : st) {
        w.loop.advance(1.0 / 30);
        clock.start();
        w.animator.beginFrame();
        ui::View v = w.root.build();
        w.animator.endFrame();
        lap(tBuild);
        ui::layout(*v.node(), {kPanelWidth, kPanelHeight});
        lap(tLayout);
        {
            QPainter p(&target);
            if (!bars.isEmpty()) {
                p.setClipRegion(bars);
            }
            ui::paint(*v.node(), p);
        }
        lap(tPaint);
        const auto hits = ui::collectHits(*v.node());
        bars = QRegion();
        for (const auto& hit : hits) {
            if (w.animator.activeRegions().contains(hit.node->id)) {
                bars += hit.rect.toAlignedRect().adjusted(-1, -1, 1, 1);
            }
        }
        lap(tHits);
        const QRegion outline(w.root.islandOutline().toFillPolygon().toPolygon());
        benchmark::DoNotOptimize(outline.rectCount());
        lap(tOutline);
    }
    const auto n = static_cast<double>(st.iterations());
    st.counters["build_us"] = tBuild / n;
    st.counters["layout_us"] = tLayout / n;
    st.counters["paint_us"] = tPaint / n;
    st.counters["hits_us"] = tHits / n;
    st.counters["outline_us"] = tOutline / n;
    st.counters["bars_px"] = bars.boundingRect().width() * bars.boundingRect().height();
}
BENCHMARK(BM_PlayingBarsFrame)->Unit(benchmark::kMicrosecond);
