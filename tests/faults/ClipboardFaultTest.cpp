// A 100 MB copy on the clipboard: the tick that takes it in stays short, and the history keeps
// only cut texts, however many such copies are made.
#include "services/clipboard/ClipboardService.h"

#include "core/VirtualLoop.h"
#include "fakes/FakePasteboard.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ctime>

using namespace korvo;

namespace {

// CPU time of this thread: what the tick costs the main loop, whatever else the machine runs.
double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

}  // namespace

TEST(FaultClipboard, AHundredMegabyteCopyIsTakenInCutWithoutStallingTheTick) {
    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus(loop);
    SettingsStore settings(dir.filePath("korvo.conf"), loop, bus, nullptr, nullptr);
    settings.setClipboardHistoryLimit(10);
    QStringList toasts;
    int updates = 0;
    auto sub = bus.subscribe([&](const IslandEvent& e) {
        if (std::holds_alternative<ActivityUpdated>(e)) {
            ++updates;
        } else if (const auto* t = std::get_if<TransientNotification>(&e)) {
            toasts << t->title + QLatin1Char('|') + t->subtitle.value_or(QString());
        }
    });
    FakePasteboard pasteboard;
    ClipboardService service(
        loop, bus, settings, pasteboard,
        DebugLog(dir.filePath("clipboard.log"), [&] { return loop.wallNow(); }), nullptr);
    service.start();

    // 100 MB of text as the pasteboard holds it: lines of a log dump, with a euro sign in each so
    // the text is not plain ASCII, and the dump's final line break. Only the pasteboard keeps it.
    {
        const QString line =
            QStringLiteral("2026-01-05 10:00:00 worker 7 charged 12,50 \u20AC ok\n");
        pasteboard.copy(line.repeated(50'000'000 / line.size()));
    }
    QString& onBoard = *pasteboard.text;
    ASSERT_GE(onBoard.size() * qsizetype(sizeof(QChar)), 99'000'000);
    auto copyAgain = [&](QChar first) {
        onBoard[0] = first;  // the pasteboard's own copy, changed in place
        ++pasteboard.count;
    };

    double worstMs = 0;
    auto tick = [&] {
        const double before = threadCpuMs();
        loop.advance(ClipboardService::kPollInterval);
        worstMs = std::max(worstMs, threadCpuMs() - before);
    };
    tick();
    ASSERT_EQ(service.history.get().size(), 1u);
    const QString kept = service.history.get().front().text;
    EXPECT_LE(kept.toUtf8().size(), ClipboardService::kMaxTextBytes);
    EXPECT_GT(kept.toUtf8().size(), ClipboardService::kMaxTextBytes - 64);
    EXPECT_TRUE(onBoard.startsWith(kept));
    // The log counts what was kept, one character per unit here, and says there was more.
    QFile log(dir.filePath("clipboard.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        log.readAll().contains("string read: ok(" + QByteArray::number(kept.size()) + "+ chars)"));
    EXPECT_EQ(toasts,
              QStringList{"Copied|2026-01-05 10:00:00 worker 7 charged 12,50 \u20AC\u2026"});

    // The same copy again is a duplicate; twelve different ones leave the ten newest.
    ++pasteboard.count;
    tick();
    EXPECT_EQ(updates, 1);
    for (int i = 0; i < 12; ++i) {
        copyAgain(QChar(u'a' + i));
        tick();
    }
    EXPECT_EQ(updates, 13);
    const auto& history = service.history.get();
    ASSERT_EQ(history.size(), 10u);
    EXPECT_TRUE(history.front().text.startsWith(QStringLiteral("l026")));
    EXPECT_TRUE(history.back().text.startsWith(QStringLiteral("c026")));
    for (const auto& item : history) {
        // Each entry owns a buffer of its cut size, not a share of the 100 MB text.
        EXPECT_LE(item.text.capacity(), ClipboardService::kMaxTextBytes);
    }
    EXPECT_LT(worstMs, 50);
}
