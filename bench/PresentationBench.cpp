#include "PresentationBench.h"

#include "app/SnapshotTour.h"

#include <benchmark/benchmark.h>

namespace korvo {

// Build, layout and paint of one whole-panel frame of every presentation and card the island
// has, as the snapshot tour shows them, at scales 1 and 2. The CPU time is the whole process's:
// Qt hands the blending of large fills and images to its thread pool.
void registerPresentationBenchmarks() {
    QStringList names;
    walkSnapshotTour([&](const QString& name, const SnapshotRender&) { names << name; });
    for (const QString& name : names) {
        for (const int scale : {1, 2}) {
            const std::string label =
                "BM_Frame/" + name.toStdString() + "/" + std::to_string(scale);
            benchmark::RegisterBenchmark(
                label.c_str(),
                [name, scale](benchmark::State& st) {
                    walkSnapshotTour([&](const QString& shown, const SnapshotRender& render) {
                        if (shown != name) {
                            return;
                        }
                        for (auto _ : st) {
                            const QImage frame = render(scale);
                            benchmark::DoNotOptimize(frame.constBits());
                        }
                    });
                })
                ->MeasureProcessCPUTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
}

}  // namespace korvo
