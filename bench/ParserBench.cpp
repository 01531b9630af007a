// The parsers of outside input, on typical answers and files.
#include "app/ControlProtocol.h"
#include "core/VirtualLoop.h"
#include "fakes/FakePasteboard.h"
#include "platform/linux/IcsCalendarStore.h"
#include "platform/linux/UrlFinder.h"
#include "services/clipboard/ClipboardService.h"
#include "services/devices/DevicesService.h"
#include "services/nowplaying/MediaService.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace korvo;

namespace {

QByteArray sourceFile(const char* relative) {
    QFile file(QStringLiteral(KORVO_SOURCE_DIR "/") + QLatin1String(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

static void BM_ParsePlayerAnswer(benchmark::State& st) {
    const QString answer = QStringLiteral(
        "Midnight City||Night Drive||Dead Cities||243.5||61.25||true||https://i.example/a.jpg||55");
    for (auto _ : st) {
        benchmark::DoNotOptimize(MediaService::parseSpotifyAnswer(answer));
    }
}
BENCHMARK(BM_ParsePlayerAnswer)->Unit(benchmark::kMicrosecond);

static void BM_ParseTabScanAnswer(benchmark::State& st) {
    const QString js = QStringLiteral(
        "Lecture 4: Entropy~|~Open Courses~|~~|~3120~|~2200.5~|~true~|~0.4~|~~|~JS~|~"
        "https://www.youtube.com/watch?v=abc123&t=10");
    const QString tab = QStringLiteral(
        "Night Drive - Midnight City | SoundCloud~|~TAB~|~"
        "https://soundcloud.com/night-drive/midnight-city");
    for (auto _ : st) {
        benchmark::DoNotOptimize(MediaService::parseBrowserAnswer(js));
        benchmark::DoNotOptimize(MediaService::parseBrowserAnswer(tab));
    }
}
BENCHMARK(BM_ParseTabScanAnswer)->Unit(benchmark::kMicrosecond);

static void BM_ProfilerJson(benchmark::State& st) {
    const QByteArray json = sourceFile("tests/fixtures/profiler/bluetooth.json");
    for (auto _ : st) {
        benchmark::DoNotOptimize(DevicesService::parseProfilerBatteries(json));
    }
}
BENCHMARK(BM_ProfilerJson)->Unit(benchmark::kMicrosecond);

// A weekly meeting with a moved occurrence and a time zone, expanded over two days.
static void BM_CalendarFile(benchmark::State& st) {
    const QByteArray text = sourceFile("fuzz/corpus/CalendarFileFuzz/window.ics");
    const QDateTime from(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);
    for (auto _ : st) {
        benchmark::DoNotOptimize(IcsCalendarStore::parse(text, from, from.addDays(2)));
    }
}
BENCHMARK(BM_CalendarFile)->Unit(benchmark::kMicrosecond);

static void BM_LinkFinder(benchmark::State& st) {
    const QString notes = QStringLiteral(
        "Hi all, agenda in the doc (https://docs.example.com/d/1a2b3c/edit?usp=sharing).\n"
        "Join: <https://meet.example.com/abc-defg-hij>\nDial-in: +1 555 0100, PIN 1234#\n"
        "More on www.example.org/wiki/Design_review.");
    const UrlFinder finder;
    for (auto _ : st) {
        benchmark::DoNotOptimize(finder.links(notes));
    }
}
BENCHMARK(BM_LinkFinder)->Unit(benchmark::kMicrosecond);

static void BM_ControlArguments(benchmark::State& st) {
    const control::ActivityRequest request{QStringLiteral("build-42"),
                                           QStringLiteral("build"),
                                           QStringLiteral("hammer.fill"),
                                           QStringLiteral("Building korvo"),
                                           QStringLiteral("412 of 980"),
                                           0.42,
                                           2};
    for (auto _ : st) {
        benchmark::DoNotOptimize(control::validate(request, true));
        benchmark::DoNotOptimize(control::parsePriority(QStringLiteral("high")));
    }
}
BENCHMARK(BM_ControlArguments)->Unit(benchmark::kMicrosecond);

// One clipboard poll with nothing new copied, as it runs twice a second.
static void BM_ClipboardTick(benchmark::State& st) {
    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus(loop);
    SettingsStore settings(dir.filePath(QStringLiteral("korvo.conf")), loop, bus, nullptr, nullptr);
    FakePasteboard pasteboard;
    ClipboardService service(loop, bus, settings, pasteboard, DebugLog(QString()), nullptr);
    service.start();
    for (auto _ : st) {
        loop.advance(ClipboardService::kPollInterval);
    }
}
BENCHMARK(BM_ClipboardTick)->Unit(benchmark::kMicrosecond);
