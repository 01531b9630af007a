#include "BenchWorld.h"
#include "app/NotchWindowController.h"
#include "core/ActivityEngine.h"
#include "core/IslandViewModel.h"
#include "core/VirtualLoop.h"
#include "settings/SettingsStore.h"
#include "ui/island/IslandRootView.h"
#include "ui/kit/Layout.h"
#include "ui/kit/Painter.h"
#include "ui/kit/Reuse.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace korvo;

namespace {

struct World : bench::IslandWorld {
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

namespace {

// A track playing: in the compact island only the equalizer bars move.
Activity playingTrack() {
    Activity a;
    a.id = "nowplaying.system";
    a.kind = Activity::Kind::nowPlaying;
    NowPlayingInfo info;
    info.title = "Midnight City";
    info.artist = "Night Drive";
    info.isPlaying = true;
    info.duration = 240;
    a.payload = info;
    return a;
}

// A panel surface in memory that takes every frame at once.
class MemorySurface final : public PanelSurface {
public:
    QImage image{700, 320, QImage::Format_ARGB32_Premultiplied};
    std::vector<ScreenInfo> outputs() const override { return {ScreenInfo{}}; }
    std::size_t mainOutput() const override { return 0; }
    void placeAtTopCentre(std::size_t) override {}
    void show() override {}
    void hide() override {}
    double scale() const override { return 1; }
    void requestFrame() override { onFrame(); }
    void drawFrame(const QRegion& dirty, const std::function<void(QPainter&)>& paint) override {
        QPainter p(&image);
        p.setClipRegion(dirty);
        paint(p);
    }
    void setInputRegion(const QPolygonF&) override {}
};

}  // namespace

// One frame of the playing compact island while only the equalizer bars move, step by step as
// the window does it: the laid-out tree is kept, the bars alone are built again and laid out in
// their place, and the tree is painted clipped to them.
static void BM_PlayingBarsFrame(benchmark::State& st) {
    World w(IslandState::compact);
    w.bus.post(ActivityStarted{playingTrack()});
    w.loop.advance(2);  // grown and settled
    w.animator.beginFrame();
    const ui::NodePtr tree = w.root.build().node();
    w.animator.endFrame();
    ui::layout(*tree, {kPanelWidth, kPanelHeight});
    const QSet<QString> pieces = w.animator.activeRegions();
    const std::vector<ui::Node*> barPieces = ui::piecesIn(*tree, pieces);
    QRegion bars;
    for (const auto& hit : ui::collectHits(*tree)) {
        if (pieces.contains(hit.node->id)) {
            bars += hit.rect.toAlignedRect().adjusted(-1, -1, 1, 1);
        }
    }
    QImage target(QSize(static_cast<int>(kPanelWidth), static_cast<int>(kPanelHeight)),
                  QImage::Format_ARGB32_Premultiplied);
    double tBuild = 0, tPaint = 0;
    std::uint64_t nodes = 0;
    QElapsedTimer clock;
    auto lap = [&](double& into) {
        into += static_cast<double>(clock.nsecsElapsed()) / 1e3;
        clock.restart();
    };
    for (auto _ : st) {
        w.loop.advance(NotchWindowController::kPieceInterval);
        clock.start();
        const std::uint64_t before = ui::nodesMade();
        w.animator.beginPieceFrame();
        for (ui::Node* piece : barPieces) {
            ui::rebuildPiece(*piece);
        }
        nodes += ui::nodesMade() - before;
        lap(tBuild);
        {
            QPainter p(&target);
            p.setClipRegion(bars);
            ui::paint(*tree, p);
        }
        lap(tPaint);
    }
    const auto n = static_cast<double>(st.iterations());
    st.counters["build_us"] = tBuild / n;
    st.counters["paint_us"] = tPaint / n;
    st.counters["nodes"] = static_cast<double>(nodes) / n;
    st.counters["bars_px"] = bars.boundingRect().width() * bars.boundingRect().height();
}
BENCHMARK(BM_PlayingBarsFrame)->Unit(benchmark::kMicrosecond);

// The same frames through the window itself, pacing included: one bar frame per iteration, and
// with the argument 1 a reading that changes nothing visible once a second, as while a track
// plays.
static void BM_PlayingWindowFrame(benchmark::State& st) {
    bench::EngineWorld w;
    auto& loop = w.loop;
    auto& bus = w.bus;
    MemorySurface surface;
    w.engine.start();
    NotchWindowController window(loop, w.engine, w.settings, w.log, surface);
    window.reanchor();
    window.show();
    Activity a = playingTrack();
    bus.post(ActivityStarted{a});
    loop.advance(2);
    const bool readings = st.range(0) == 1;
    const auto perSecond =
        static_cast<std::int64_t>(std::lround(1 / NotchWindowController::kPieceInterval));
    std::int64_t frame = 0;
    for (auto _ : st) {
        if (readings && ++frame % perSecond == 0) {
            std::get<NowPlayingInfo>(a.payload).elapsed += 1;
            bus.post(ActivityUpdated{a});
        }
        loop.advance(NotchWindowController::kPieceInterval);
    }
    st.counters["frames"] = static_cast<double>(window.framesDrawn());
}
BENCHMARK(BM_PlayingWindowFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
