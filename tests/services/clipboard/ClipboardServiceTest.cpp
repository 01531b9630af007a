#include "services/clipboard/ClipboardActivityProvider.h"
#include "services/clipboard/ClipboardService.h"

#include "core/VirtualLoop.h"
#include "fakes/FakePasteboard.h"
#include "fakes/PlainPreferences.h"
#include "platform/SystemLog.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

class RecordingSystemLog : public SystemLog {
public:
    void error(const QString& line) override { lines << "error " + line; }
    void info(const QString& line) override { lines << "info " + line; }
    QStringList lines;
};

class Clipboard : public ::testing::Test {
protected:
    Clipboard() : bus(loop) {
        sub = bus.subscribe([this](const IslandEvent& e) {
            if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
                activities.push_back(u->activity);
                return;
            }
            // icon|title|subtitle|duration|priority, and no action
            const auto& t = std::get<TransientNotification>(e);
            toasts << QStringList{t.icon, t.title, t.subtitle.value_or("(none)"),
                                  QString::number(t.duration),
                                  QString::number(rawValue(t.priority))}
                          .join('|');
            EXPECT_FALSE(t.action);
        });
    }

    QString logPath() const { return dir.filePath("clipboard.log"); }
    QStringList logMessages() const {
        QFile f(logPath());
        QStringList out;
        for (const QString& line : QString::fromUtf8(f.open(QIODevice::ReadOnly) ? f.readAll() : "")
                                       .split('\n', Qt::SkipEmptyParts)) {
            out << line.mid(26);  // after "yyyy-MM-dd HH:mm:ss +0000 "
        }
        return out;
    }
    ClipboardService& started() {
        service = std::make_unique<ClipboardService>(
            loop, bus, settings, pasteboard, DebugLog(logPath(), [this] { return loop.wallNow(); }),
            &systemLog);
        ClipboardActivityProvider(*service).start();
        return *service;
    }
    // Someone copies `text`; the next tick takes it in.
    void copy(const QString& text, const QStringList& extraTypes = {}) {
        pasteboard.copy(text, extraTypes);
        loop.advance(ClipboardService::kPollInterval);
    }
    QStringList texts() const {
        QStringList out;
        for (const auto& item : service->history.get()) {
            out << item.text;
        }
        return out;
    }
    const ClipboardInfo& latest() const {
        return std::get<ClipboardInfo>(activities.back().payload);
    }
    QString lastSubtitle() const { return toasts.last().section('|', 2, 2); }

    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus;
    test::PlainClipboardPreferences settings;
    FakePasteboard pasteboard;
    RecordingSystemLog systemLog;
    std::unique_ptr<ClipboardService> service;
    std::vector<Activity> activities;
    QStringList toasts;
    Subscription sub;
};

}  // namespace

TEST_F(Clipboard, WhatIsOnTheClipboardAtLaunchStaysOut) {
    pasteboard.copy("from before");
    pasteboard.copy("also before");
    auto& s = started();
    loop.advance(5);
    EXPECT_TRUE(s.history.get().empty());
    EXPECT_TRUE(activities.empty());
    EXPECT_EQ(systemLog.lines,
              QStringList{"info [clipboard] service started, initial changeCount=2"});
}

TEST_F(Clipboard, ACopyIsTakenInAtTheNextTick) {
    auto& s = started();
    pasteboard.copy("  Ship it on Friday \n");
    loop.advance(0.4);
    EXPECT_TRUE(activities.empty());
    loop.advance(0.1);
    ASSERT_EQ(texts(), QStringList{"Ship it on Friday"});
    EXPECT_EQ(s.history.get()[0].date, loop.wallNow());

    ASSERT_EQ(activities.size(), 1u);
    EXPECT_EQ(latest(), (ClipboardInfo{"Ship it on Friday", 1, false}));
    EXPECT_EQ(toasts, QStringList{"doc.on.clipboard.fill|Copied|Ship it on Friday|2.5|0"});
}

TEST_F(Clipboard, OnlyTheNewestEntryIsComparedForDuplicates) {
    started();
    copy("alpha");
    copy("alpha ");
    EXPECT_EQ(activities.size(), 1u);
    EXPECT_EQ(toasts.size(), 1);
    copy("beta");
    copy("alpha");
    EXPECT_EQ(texts(), (QStringList{"alpha", "beta", "alpha"}));
    EXPECT_EQ(latest().count, 3);
}

TEST_F(Clipboard, CopiesMadeWhileSwitchedOffAreUsedUp) {
    started();
    settings.enabled = false;
    copy("secret plan");
    settings.enabled = true;
    loop.advance(2);
    EXPECT_TRUE(toasts.isEmpty());
    copy("after");
    EXPECT_EQ(texts(), QStringList{"after"});
}

TEST_F(Clipboard, OneTimeCodes) {
    started();
    copy("  123 456 \n");
    EXPECT_EQ(texts(), QStringList{"123 456"});  // the inner blank is kept
    EXPECT_EQ(latest(), (ClipboardInfo{"123 456", 1, true}));
    EXPECT_EQ(toasts, QStringList{"key.fill|Code copied|123456|4|2"});

    // Any numeric characters count, not only ASCII digits.
    for (const char* code : {"\u0661\u0662\u0663\u0664", "1 2 3 4 5 6 7 8"}) {
        copy(QString::fromUtf8(code));
        EXPECT_TRUE(latest().isOTP) << code;
    }
    for (const char* text : {"123-456", "123", "123456789", "12\t34", "12a456"}) {
        copy(QString::fromUtf8(text));
        EXPECT_FALSE(latest().isOTP) << text;
        EXPECT_TRUE(toasts.last().startsWith("doc.on.clipboard.fill|Copied|")) << text;
    }
    settings.otp = false;
    copy("654321");
    EXPECT_FALSE(latest().isOTP);
    EXPECT_TRUE(toasts.last().startsWith("doc.on.clipboard.fill|Copied|"));
}

TEST_F(Clipboard, PreviewIsOneLineOfAtMost44Characters) {
    started();
    copy(QString(44, 'a'));
    EXPECT_EQ(latest().latest, QString(44, 'a'));
    copy(QString(45, 'b'));
    EXPECT_EQ(latest().latest, QString(44, 'b') + QChar(0x2026));
    EXPECT_EQ(lastSubtitle(), latest().latest);

    // Characters are what the reader sees: a family emoji is one of them.
    const QString families =
        QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467").repeated(44);
    copy(families);
    EXPECT_EQ(latest().latest, families);
    copy(families + "!");
    EXPECT_EQ(latest().latest, families + QChar(0x2026));

    copy("first line\nsecond line\r\nthird");
    EXPECT_EQ(texts().first().toStdString(), "first line\nsecond line\r\nthird");
    EXPECT_EQ(latest().latest.toStdString(), "first line second line third");
    EXPECT_EQ(lastSubtitle(), latest().latest);
}

TEST_F(Clipboard, MarkedContentIsNeverRead) {
    started();
    copy("hunter2", {ClipboardService::concealed});
    copy("passing through", {ClipboardService::transient});
    EXPECT_TRUE(texts().isEmpty());
    EXPECT_TRUE(activities.empty());
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_EQ(pasteboard.stringReads, 0);
    EXPECT_FALSE(logMessages().join('\n').contains("hunter2"));
}

TEST_F(Clipboard, ImagesGetAToastOnly) {
    started();
    pasteboard.copyImage();
    loop.advance(0.5);
    pasteboard.copyImage(" \n\t ");
    loop.advance(0.5);
    copy("   ");  // blank text and no image: nothing at all
    EXPECT_EQ(toasts, QStringList(2, "photo.on.rectangle|Image copied|(none)|2.5|0"));
    EXPECT_TRUE(texts().isEmpty());
    EXPECT_TRUE(activities.empty());
}

TEST_F(Clipboard, HistoryLimit) {
    started();
    settings.historyLimit = 10;
    for (int i = 1; i <= 11; ++i) {
        copy(QStringLiteral("copy %1").arg(i));
    }
    ASSERT_EQ(texts().size(), 10);
    EXPECT_EQ(texts().first().toStdString(), "copy 11");
    EXPECT_EQ(texts().last().toStdString(), "copy 2");
    EXPECT_EQ(latest().count, 10);

    // A hand-edited limit below zero keeps nothing, like zero.
    settings.historyLimit = -3;
    copy("kept nowhere");
    EXPECT_TRUE(texts().isEmpty());
    EXPECT_EQ(latest(), (ClipboardInfo{"kept nowhere", 0, false}));
}

TEST_F(Clipboard, ReCopyingAnEntryIsSilent) {
    auto& s = started();
    copy("older");
    copy("newer");
    const auto before = s.history.get();
    s.copyToPasteboard(before[1]);
    EXPECT_EQ(pasteboard.typeList, (QStringList{"text/plain", ClipboardService::transient}));
    EXPECT_EQ(pasteboard.text, QStringLiteral("older"));
    EXPECT_EQ(s.lastChangeCount(), pasteboard.count);  // the next tick sees no change
    loop.advance(3);
    EXPECT_EQ(s.history.get(), before);
    EXPECT_EQ(activities.size(), 2u);
    EXPECT_EQ(toasts.size(), 2);
}

TEST_F(Clipboard, DebugLogLines) {
    pasteboard.count = 7;
    started();
    pasteboard.copy(" \U0001F44B\U0001F3FD hi ");
    loop.advance(0.5);
    pasteboard.copyImage();
    loop.advance(60);  // quiet ticks write nothing: the log grows only with copies
    EXPECT_EQ(logMessages(), (QStringList{"service started, initial changeCount=7",
                                          "change #8 types=text/plain", "string read: ok(6 chars)",
                                          "change #9 types=image/png", "string read: nil"}));
}

TEST_F(Clipboard, HugeTextsAreKeptCut) {
    started();
    // Six bytes a chunk, and one in front: the limit falls inside an emoji.
    const QString huge =
        "a" + QString::fromUtf8("\U0001F600ab").repeated(ClipboardService::kMaxTextBytes / 2);
    copy(huge);
    ASSERT_EQ(texts().size(), 1);
    const QString kept = texts().first();
    EXPECT_LE(kept.toUtf8().size(), ClipboardService::kMaxTextBytes);
    EXPECT_GT(kept.toUtf8().size(), ClipboardService::kMaxTextBytes - 8);
    EXPECT_TRUE(huge.startsWith(kept));
    EXPECT_FALSE(kept.back().isHighSurrogate());

    copy(huge + "  ");  // the same copy again is still a duplicate
    EXPECT_EQ(texts().size(), 1);
    EXPECT_EQ(toasts.size(), 1);
}
