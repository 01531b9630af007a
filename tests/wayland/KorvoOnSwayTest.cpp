// korvo itself on a headless sway with a private session bus: it chooses the Wayland island,
// korvoctl drives it, and the clipboard history follows copies made by other clients through
// data-control, leaving a password manager's copy alone.
#include "Spin.h"
#include "SwaySession.h"
#include "core/QtMainLoop.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandPasteboard.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;
using korvo::test::spinUntil;

namespace korvo::test {
SwaySession& sway();
}

namespace {

using korvo::test::sway;

QString korvoctl() {
    return QStringLiteral(KORVO_BINARY_DIR "/tools/korvoctl");
}

class KorvoOnSway : public ::testing::Test {
protected:
    void SetUp() override {
        QProcessEnvironment env = sway().clientEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        korvo.setProcessEnvironment(env);
        korvo.start(QStringLiteral(KORVO_BINARY_DIR "/src/app/korvo"), {});
        ASSERT_TRUE(korvo.waitForStarted(10000));
        // Up once the control interface answers.
        ASSERT_TRUE(spinUntil([&] { return ctl({"state"}).code == 0; }))
            << korvo.readAllStandardError().toStdString();
    }
    void TearDown() override {
        korvo.terminate();
        if (!korvo.waitForFinished(10000)) {
            korvo.kill();
            korvo.waitForFinished();
        }
    }

    test::SwaySession::Run ctl(const QStringList& args) { return sway().run(korvoctl(), args); }
    QJsonObject state() { return QJsonDocument::fromJson(ctl({"state"}).out).object(); }
    // The clipboard activity's entry count, -1 while there is none.
    int clipboardCount() {
        for (const auto& a : state()[QStringLiteral("activities")].toArray()) {
            const QJsonObject payload = a.toObject()[QStringLiteral("payload")].toObject();
            if (payload[QStringLiteral("type")].toString() == QLatin1String("clipboard")) {
                return payload[QStringLiteral("count")].toInt();
            }
        }
        return -1;
    }
    bool toasted(const QString& subtitle) {
        for (const auto& t : state()[QStringLiteral("toasts")].toArray()) {
            if (t.toObject()[QStringLiteral("subtitle")].toString() == subtitle) {
                return true;
            }
        }
        return false;
    }

    QTemporaryDir config;
    QTemporaryDir runtime;
    QProcess korvo;
};

}  // namespace

TEST_F(KorvoOnSway, ChoosesTheWaylandIslandAndKorvoctlDrivesIt) {
    // The choice is logged once, on standard error, before the control interface is up.
    QByteArray err;
    spinUntil([&] {
        err += korvo.readAllStandardError();
        return err.contains('\n');
    });
    EXPECT_EQ(err.count("island on "), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("island on wayland")) << err.toStdString();

    EXPECT_EQ(ctl({"activity", "start", "dl", "--kind", "download", "--icon",
                   "arrow.down.circle.fill", "--title", "Downloading", "--progress", "0.4"})
                  .code,
              0);
    EXPECT_EQ(ctl({"toast", "--icon", "bell.fill", "--title", "Hello"}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return state()["state"].toString() == "medium"; }));
    EXPECT_EQ(state()["focused"].toString(), "dl");
    EXPECT_EQ(ctl({"expand"}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return state()["state"].toString() == "expanded"; }));
}

TEST_F(KorvoOnSway, CopiesOfOtherClientsReachTheHistoryAndAPasswordManagersCopyDoesNot) {
    ASSERT_EQ(sway().run(QStringLiteral("wl-copy"), {QStringLiteral("first copy")}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return toasted(QStringLiteral("first copy")); }));
    EXPECT_EQ(clipboardCount(), 1);

    // A password manager offers the secret as text with the hint beside it, from one client.
    auto other = wayland::Connection::connect(QFile::encodeName(sway().socket()));
    ASSERT_TRUE(other);
    other->attachToEventLoop();
    QtMainLoop loop;
    WaylandPasteboard manager(*other, loop);
    ASSERT_TRUE(manager.isAvailable());
    const QString hint = QString::fromLatin1(WaylandPasteboard::kPasswordHint);
    manager.declareTypes({QString::fromLatin1(Pasteboard::kPlainText), hint});
    manager.setString(QStringLiteral("hunter2"), QString::fromLatin1(Pasteboard::kPlainText));
    manager.setString(QStringLiteral("secret"), hint);
    // It really is on the clipboard, readable by anyone who asks (this process serves it)...
    QProcess paste;
    paste.setProcessEnvironment(sway().clientEnvironment());
    paste.start(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline")});
    ASSERT_TRUE(spinUntil([&] { return paste.state() == QProcess::NotRunning; }));
    EXPECT_EQ(paste.readAllStandardOutput(), "hunter2");
    // ...and the next ordinary copy is taken in after it, the secret never: the count says so.
    ASSERT_EQ(sway().run(QStringLiteral("wl-copy"), {QStringLiteral("second copy")}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return toasted(QStringLiteral("second copy")); }));
    EXPECT_EQ(clipboardCount(), 2);
    EXPECT_FALSE(toasted(QStringLiteral("hunter2")));
}
