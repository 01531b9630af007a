// What a copy costs the clipboard's main-thread tick: a 100 MB text from a pasteboard that holds
// it whole, and the capped head the X11 reader hands over.
#include "core/VirtualLoop.h"
#include "fakes/FakePasteboard.h"
#include "fakes/FakeSelectionOwner.h"
#include "services/clipboard/ClipboardService.h"
#include "settings/SettingsStore.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace korvo;

namespace {

const QString kLine = QStringLiteral("2026-01-05 10:00:00 worker 7 charged 12,50 \u20AC ok\n");

// One tick per iteration, each taking in a new copy of `text` (its first character changed).
void takeIn(benchmark::State& st, QString text, bool cut) {
    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus(loop);
    SettingsStore settings(dir.filePath(QStringLiteral("korvo.conf")));
    FakePasteboard pasteboard;
    ClipboardService service(loop, bus, settings, pasteboard, DebugLog(QString()), nullptr);
    service.start();
    pasteboard.copy(text);
    pasteboard.cut = cut;
    text.clear();
    int i = 0;
    for (auto _ : st) {
        (*pasteboard.text)[0] = QChar(u'a' + i++ % 26);
        ++pasteboard.count;
        loop.advance(ClipboardService::kPollInterval);
    }
}

}  // namespace

// The tick that takes in a 100 MB copy held whole by the pasteboard (an in-memory one).
static void BM_ClipboardTickHugeCopy(benchmark::State& st) {
    takeIn(st, kLine.repeated(50'000'000 / kLine.size()), false);
}
BENCHMARK(BM_ClipboardTickHugeCopy)->Unit(benchmark::kMillisecond);

// The same copy as the X11 reader hands it over: the first 1 MiB, marked cut.
static void BM_ClipboardTickCappedCopy(benchmark::State& st) {
    FakeSelectionOwner owner;
    const QByteArray line = kLine.toUtf8();
    FakeSelectionOwner::Offer offer = FakeSelectionOwner::huge(100'000'000);
    offer.byteAt = [line](std::int64_t i) { return line[static_cast<qsizetype>(i % line.size())]; };
    owner.offer("UTF8_STRING", offer);
    const auto reading =
        readClipboard(owner, ClipboardReadingRules::keeping(ClipboardService::kMaxTextBytes));
    takeIn(st, reading && reading->text ? *reading->text : QString(), true);
}
BENCHMARK(BM_ClipboardTickCappedCopy)->Unit(benchmark::kMillisecond);
