#include "core/ActivityEngine.h"
#include "core/IslandViewModel.h"
#include "core/VirtualLoop.h"
#include "settings/SettingsStore.h"
#include "ui/island/IslandRootView.h"
#include "ui/kit/Painter.h"

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
    SettingsStore settings{dir.filePath("korvo.conf"), loop, bus, nullptr, nullptr};
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

void BM_IslandExpandedFrame(benchmark::State& st) { renderFrame(st, IslandState::expanded); }
void BM_IslandCompactFrame(benchmark::State& st) { renderFrame(st, IslandState::compact); }
void BM_IslandMediumFrame(benchmark::State& st) { renderFrame(st, IslandState::medium); }

}  // namespace

BENCHMARK(BM_IslandExpandedFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IslandMediumFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IslandCompactFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
