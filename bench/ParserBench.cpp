// The parsers of outside input, on typical answers and files.
#include "app/ControlProtocol.h"
#include "core/VirtualLoop.h"
#include "fakes/FakePasteboard.h"
#include "platform/linux/IcsCalendarStore.h"
#include "platform/linux/MprisProperties.h"
#include "platform/linux/UrlFinder.h"
#include "services/clipboard/ClipboardService.h"
#include "services/devices/DevicesService.h"
#include "services/nowplaying/NowPlayingRules.h"
#include "settings/SettingsStore.h"

#include <QDBusObjectPath>
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

// The metadata map a player sends when its track changes, as it comes off the bus.
static void BM_MprisMetadata(benchmark::State& st) {
    const QVariantMap meta{
        {"mpris:trackid", QVariant::fromValue(QDBusObjectPath("/org/mpris/MediaPlayer2/Track/42"))},
        {"xesam:title", QStringLiteral("Midnight City")},
        {"xesam:artist", QStringList{QStringLiteral("Night Drive")}},
        {"xesam:album", QStringLiteral("Dead Cities")},
        {"mpris:length", qlonglong(243'500'000)},
        {"mpris:artUrl", QStringLiteral("https://i.example/a.jpg")},
        {"xesam:url", QStringLiteral("file:///music/midnight-city.flac")}};
    const QVariant value(meta);
    for (auto _ : st) {
        benchmark::DoNotOptimize(mpris::parseMetadata(value));
    }
}
BENCHMARK(BM_MprisMetadata)->Unit(benchmark::kMicrosecond);

// A player read whole (its `GetAll`), then the reading the island shows for a browser tab.
static void BM_MprisReadingOfATab(benchmark::State& st) {
    const QVariantMap props{
        {"PlaybackStatus", QStringLiteral("Playing")},
        {"Rate", 1.0},
        {"Metadata",
         QVariantMap{
             {"xesam:title", QStringLiteral("(2) Open Courses - Lecture 4: Entropy - YouTube")},
             {"mpris:length", qlonglong(3'120'000'000)},
             {"xesam:url", QStringLiteral("https://www.youtube.com/watch?v=abc123&t=10")}}},
        {"Position", qlonglong(2'200'500'000)},
        {"Volume", 0.4},
        {"CanControl", true},
        {"CanPlay", true},
        {"CanPause", true},
        {"CanSeek", true},
        {"CanGoNext", true},
        {"CanGoPrevious", false}};
    for (auto _ : st) {
        MediaPlayer p;
        p.busName = QStringLiteral("org.mpris.MediaPlayer2.firefox.instance_1_7");
        p.family = PlayerFamily::browser;
        mpris::applyPlayerProperties(p, props, 1.0);
        benchmark::DoNotOptimize(nowplaying::readingOf(p, 2.0));
    }
}
BENCHMARK(BM_MprisReadingOfATab)->Unit(benchmark::kMicrosecond);

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
    SettingsStore settings(dir.filePath(QStringLiteral("korvo.conf")));
    FakePasteboard pasteboard;
    ClipboardService service(loop, bus, settings, pasteboard, DebugLog(QString()), nullptr);
    service.start();
    for (auto _ : st) {
        loop.advance(ClipboardService::kPollInterval);
    }
}
BENCHMARK(BM_ClipboardTick)->Unit(benchmark::kMicrosecond);
