// The clipboard service on a real X server: copies made by other clients with xclip, a copy
// that a password manager flags, and an entry put back for others to paste.
#include "core/EventBus.h"
#include "core/QtMainLoop.h"
#include "platform/linux/QtPasteboard.h"
#include "services/clipboard/ClipboardService.h"
#include "settings/SettingsStore.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>

using namespace korvo;

namespace {

constexpr char kServeSecret[] = "--serve-secret";
constexpr char kSecret[] = "correct-horse-battery-staple";

bool spinUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

void spinFor(int ms) {
    spinUntil([] { return false; }, ms);
}

// Runs xclip while our event loop keeps answering selection requests (we may own the clipboard).
QByteArray xclip(const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    const bool reads = args.contains(QStringLiteral("-o"));
    if (!reads) {
        // The copy stays with a forked child; it must not hold our pipe open.
        process.setStandardOutputFile(QProcess::nullDevice());
    }
    process.start(QStringLiteral("xclip"), QStringList{"-selection", "clipboard"} + args);
    if (!process.waitForStarted(5000)) {
        return "<xclip did not start>";
    }
    if (!input.isNull()) {
        process.write(input);
    }
    process.closeWriteChannel();
    spinUntil([&] { return process.state() == QProcess::NotRunning; }, 10000);
    return reads ? process.readAllStandardOutput() : QByteArray();
}

void copy(const QByteArray& text) {
    xclip({QStringLiteral("-i")}, text);
}

// A password manager: owns the clipboard with a text and the hint that it is a secret, until
// someone else copies.
int serveSecret(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    auto* data = new QMimeData;
    data->setText(QString::fromLatin1(kSecret));
    data->setData(QtPasteboard::kPasswordHint, "secret");
    QGuiApplication::clipboard()->setMimeData(data);
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &app,
                     &QCoreApplication::quit);
    QTimer::singleShot(30000, &app, &QCoreApplication::quit);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return app.exec();
}

class X11Clipboard : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            GTEST_SKIP() << "needs an X server";
        }
        settings = std::make_unique<SettingsStore>(dir.filePath("korvo.conf"), loop, bus, nullptr,
                                                   nullptr);
        sub = bus.subscribe([this](const IslandEvent& e) {
            if (const auto* t = std::get_if<TransientNotification>(&e)) {
                toasts << t->title + QLatin1Char('|') + t->subtitle.value_or(QString());
            } else {
                ++updates;
            }
        });
    }

    ClipboardService& startService() {
        board = std::make_unique<QtPasteboard>();
        service = std::make_unique<ClipboardService>(loop, bus, *settings, *board,
                                                     DebugLog(logPath()), nullptr);
        service->start();
        return *service;
    }

    QString logPath() const { return dir.filePath("clipboard.log"); }
    QByteArray logText() const {
        QFile f(logPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList texts() const {
        QStringList out;
        for (const auto& item : service->history.get()) {
            out << item.text;
        }
        return out;
    }

    QtMainLoop loop;
    EventBus bus{loop};
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<QtPasteboard> board;
    std::unique_ptr<ClipboardService> service;
    Subscription sub;
    QStringList toasts;
    int updates = 0;
};

}  // namespace

TEST_F(X11Clipboard, CopiesFromAnotherClientReachTheService) {
    copy("there before launch");
    spinFor(500);  // let the server's notice of that copy arrive before the service starts
    auto& s = startService();
    spinFor(1200);
    EXPECT_TRUE(s.history.get().empty());

    copy("  Ship the island on Friday \n");
    ASSERT_TRUE(spinUntil([&] { return s.history.get().size() == 1; }));
    EXPECT_EQ(texts(), QStringList{"Ship the island on Friday"});
    EXPECT_EQ(toasts, QStringList{"Copied|Ship the island on Friday"});

    copy("482 913");
    ASSERT_TRUE(spinUntil([&] { return toasts.size() == 2; }));
    EXPECT_EQ(toasts.last().toStdString(), "Code copied|482913");
    EXPECT_TRUE(logText().contains("string read: ok(7 chars)"));
}

TEST_F(X11Clipboard, APasswordManagersCopyChangesNothing) {
    auto& s = startService();
    QProcess manager;
    manager.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kServeSecret)});
    ASSERT_TRUE(manager.waitForStarted(5000));
    ASSERT_TRUE(spinUntil([&] { return manager.canReadLine(); }, 10000));
    // The service sees the change, looks at the types and stops there.
    ASSERT_TRUE(spinUntil([&] { return s.lastChangeCount() > 0; }));
    spinFor(1200);
    EXPECT_TRUE(s.history.get().empty());
    EXPECT_EQ(updates, 0);
    EXPECT_TRUE(toasts.isEmpty());
    const QByteArray log = logText();
    EXPECT_TRUE(log.contains("org.nspasteboard.ConcealedType")) << log.constData();
    EXPECT_FALSE(log.contains(kSecret));
    EXPECT_FALSE(log.contains("string read"));

    copy("an ordinary copy");  // takes the clipboard over from the manager
    ASSERT_TRUE(spinUntil([&] { return s.history.get().size() == 1; }));
    spinUntil([&] { return manager.state() == QProcess::NotRunning; }, 3000);
}

TEST_F(X11Clipboard, ARecopiedEntryIsOfferedMarkedTransient) {
    auto& s = startService();
    copy("first");
    ASSERT_TRUE(spinUntil([&] { return s.history.get().size() == 1; }));
    copy("second");
    ASSERT_TRUE(spinUntil([&] { return s.history.get().size() == 2; }));
    const auto before = s.history.get();
    const int toastsBefore = static_cast<int>(toasts.size());

    s.copyToPasteboard(before[1]);
    EXPECT_EQ(xclip({"-o"}).toStdString(), "first");
    const QByteArray targets = xclip({"-o", "-t", "TARGETS"});
    EXPECT_TRUE(targets.contains("org.nspasteboard.TransientType")) << targets.constData();
    spinFor(1200);
    EXPECT_EQ(s.history.get(), before);
    EXPECT_EQ(toasts.size(), toastsBefore);
}

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], kServeSecret) == 0) {
        return serveSecret(argc, argv);
    }
    // Without a display the tests skip; the application still needs a platform to start.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
