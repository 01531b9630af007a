// What the screen-reader layer costs a frame: nothing measurable while no reader listens, and
// what reading and comparing a tree costs when one does.
#include "BenchWorld.h"
#include "app/IslandAccessibility.h"
#include "core/ActivityEngine.h"
#include "core/IslandViewModel.h"
#include "core/VirtualLoop.h"
#include "settings/SettingsStore.h"
#include "ui/island/IslandRootView.h"
#include "ui/kit/Accessibility.h"
#include "ui/kit/Layout.h"
#include "ui/kit/Painter.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

using namespace korvo;

namespace {

struct PlayingIsland : bench::IslandWorld {
    explicit PlayingIsland(IslandState state) {
        engine.start();
        Activity a;
        a.id = "nowplaying.system";
        a.kind = Activity::Kind::nowPlaying;
        a.startedAt = loop.wallNow();
        NowPlayingInfo info;
        info.title = "Midnight City";
        info.artist = "Night Drive";
        info.isPlaying = true;
        info.duration = 240;
        info.elapsed = 75;
        info.volume = 0.5;
        a.payload = info;
        bus.post(ActivityStarted{a});
        loop.runUntilIdle();
        viewModel.state.set(state);
        loop.advance(2);  // the island has grown to its size
    }
    ui::NodePtr frame() {
        animator.beginFrame();
        ui::NodePtr tree = root.build().node();
        animator.endFrame();
        ui::layout(*tree, {kPanelWidth, kPanelHeight});
        return tree;
    }
};

// One frame of the playing compact island while only the bars move, as the window draws it
// (build, lay out, hand the tree to the layer, paint the bars' rectangles, hit regions), with
// the accessibility layer installed on a window (1) or not (0). No reader listens.
void BM_BarsFrameAccessibility(benchmark::State& st) {
    PlayingIsland w(IslandState::compact);
    for (int i = 0; i < 60; ++i) {  // the island grows to its compact look and settles
        w.frame();
        w.loop.advance(1.0 / 25);
    }
    QWindow window;
    std::unique_ptr<IslandAccessibility> layer;
    if (st.range(0) != 0) {
        layer = std::make_unique<IslandAccessibility>(window);
    }
    if (QAccessible::isActive()) {
        st.SkipWithError("a reader is listening; this measures the layer without one");
        return;
    }
    QImage target(QSize(static_cast<int>(kPanelWidth), static_cast<int>(kPanelHeight)),
                  QImage::Format_ARGB32_Premultiplied);
    QRegion bars;
    ui::NodePtr kept;  // the window keeps its latest tree until the next frame
    for (auto _ : st) {
        w.loop.advance(1.0 / 25);
        kept = w.frame();
        if (layer) {
            layer->update(kept);
        }
        {
            QPainter p(&target);
            if (!bars.isEmpty()) {
                p.setClipRegion(bars);
            }
            ui::paint(*kept, p);
        }
        const auto hits = ui::collectHits(*kept);
        bars = QRegion();
        for (const auto& hit : hits) {
            if (w.animator.activeRegions().contains(hit.node->id)) {
                bars += hit.rect.toAlignedRect().adjusted(-1, -1, 1, 1);
            }
        }
    }
}
BENCHMARK(BM_BarsFrameAccessibility)
    ->ArgName("layer")
    ->Arg(0)
    ->Arg(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

// The layer's own share of such a frame with no reader: taking the new tree.
void BM_AccessibilityUpdateWithoutReader(benchmark::State& st) {
    PlayingIsland w(IslandState::compact);
    QWindow window;
    IslandAccessibility layer(window);
    const ui::NodePtr a = w.frame();
    w.loop.advance(1.0 / 25);
    const ui::NodePtr b = w.frame();
    bool flip = false;
    for (auto _ : st) {
        layer.update((flip = !flip) ? a : b);
    }
}
BENCHMARK(BM_AccessibilityUpdateWithoutReader);

// What the views pay for their names on every frame, reader or not: one description on a
// control, as the transport buttons get theirs. `labels` counts the described nodes of the
// playing compact island's frame.
void BM_AccessibilityLabelOnAControl(benchmark::State& st) {
    const ui::View button = ui::symbol(QStringLiteral("pause.fill"), {20})
                                .frame(32, 32)
                                .onClick([] {})
                                .id(QStringLiteral("nowPlaying.playPause"));
    for (auto _ : st) {
        ui::View named = button.accessibilityLabel(QStringLiteral("Pause"));
        benchmark::DoNotOptimize(named.node().get());
    }
    PlayingIsland w(IslandState::compact);
    const ui::NodePtr tree = w.frame();
    int labels = 0;
    std::function<void(const ui::Node&)> count = [&](const ui::Node& n) {
        labels += n.accessible ? 1 : 0;
        for (const auto& c : n.children) {
            count(*c);
        }
    };
    count(*tree);
    st.counters["labels"] = labels;
}
BENCHMARK(BM_AccessibilityLabelOnAControl);

// What a listening reader adds to a frame of the expanded card: reading the tree and comparing
// it with the last reading (which says the same, as while only the bars move).
void BM_AccessibilityReadAndCompare(benchmark::State& st) {
    PlayingIsland w(IslandState::expanded);
    for (int i = 0; i < 60; ++i) {  // the card comes in and settles
        w.frame();
        w.loop.advance(1.0 / 25);
    }
    const ui::NodePtr tree = w.frame();
    auto last = ui::a11y::collect(*tree);
    for (auto _ : st) {
        auto items = ui::a11y::collect(*tree);
        const auto changes = ui::a11y::diff(last, items);
        benchmark::DoNotOptimize(changes.size());
        last = std::move(items);
    }
    st.counters["items"] = static_cast<double>(last.size());
}
BENCHMARK(BM_AccessibilityReadAndCompare)->Unit(benchmark::kMicrosecond);

}  // namespace
