// Desktop notifications seen as a bus monitor, against a notification daemon exported by the
// test on a private session bus and the real notify-send: the daemon keeps getting every call.
#include "platform/linux/DBusNotificationMonitor.h"

#include "DBusTestBus.h"
#include "core/QtMainLoop.h"
#include "fakes/QtPrinters.h"
#include "services/notifications/NotificationService.h"
#include "settings/NotificationApps.h"
#include "settings/SettingsStore.h"

#include <QDBusPendingCall>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>
#include <variant>

using namespace korvo;
using korvo::testing::FakeService;
using korvo::testing::waitUntil;

namespace {

/// A notification daemon: owns the name, answers every call and counts the Notify ones.
class FakeNotificationDaemon : public FakeService {
public:
    FakeNotificationDaemon()
        : FakeService(QStringLiteral("org.freedesktop.Notifications"),
                      QStringLiteral("/org/freedesktop/Notifications")) {}

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QDBusMessage reply;
        const QString member = message.member();
        if (member == QLatin1String("Notify")) {
            reply = message.createReply(QVariant::fromValue(uint(++notifies)));
        } else if (member == QLatin1String("GetCapabilities")) {
            reply = message.createReply(QStringList{"body", "body-markup"});
        } else if (member == QLatin1String("GetServerInformation")) {
            reply = message.createReply(QVariantList{"Fake", "Korvo tests", "1.0", "1.2"});
        } else if (member == QLatin1String("CloseNotification")) {
            reply = message.createReply();
        } else {
            return false;
        }
        connection.send(reply);
        return true;
    }

    std::atomic<int> notifies{0};
};

class NotificationBusTest : public ::testing::Test {
protected:
    NotificationBusTest() : bus(loop), settings(dir.filePath("korvo.conf")) {
        sub = bus.subscribe([this](const IslandEvent& e) {
            if (const auto* t = std::get_if<TransientNotification>(&e)) {
                toasts.push_back(*t);
            }
        });
    }
    void SetUp() override { KORVO_REQUIRE_SESSION_BUS(); }

    /// Runs notify-send to the end; true when it succeeded, that is, a daemon answered it.
    bool notifySend(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral("notify-send"), args);
        // The daemon answers on this thread's loop, so wait by spinning it.
        const bool ended = waitUntil([&] { return p.state() == QProcess::NotRunning; }, 20000);
        return ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    bool toastTitled(const QString& title) const {
        return std::any_of(toasts.begin(), toasts.end(),
                           [&](const TransientNotification& t) { return t.title == title; });
    }
    QStringList titles() const {
        QStringList list;
        for (const auto& t : toasts) {
            list << t.title;
        }
        return list;
    }

    QTemporaryDir dir;
    QtMainLoop loop;
    EventBus bus;
    SettingsStore settings;
    std::vector<TransientNotification> toasts;
    Subscription sub;
};

}  // namespace

TEST_F(NotificationBusTest, NotificationsBecomeToastsWhileTheDaemonStillGetsEveryCall) {
    if (QStandardPaths::findExecutable(QStringLiteral("notify-send")).isEmpty()) {
        GTEST_SKIP() << "needs notify-send (libnotify-bin)";
    }
    FakeNotificationDaemon daemon;
    ASSERT_TRUE(daemon.publish());
    settings.setDesktopNotifications(true);
    settings.setNotificationApps(notificationapps::serialise({{"Blocked", false}}));
    DBusNotificationMonitor monitor;
    NotificationService service(loop, bus, settings, monitor);
    service.start();
    ASSERT_TRUE(waitUntil([&] {
        return settings.notificationMonitorStatus.get() == NotificationMonitorStatus::watching;
    }));

    // The monitor sees the calls in the order the bus routes them, so once a later one has
    // become a toast, every earlier one has been dealt with.
    ASSERT_TRUE(notifySend({"-a", "Blocked", "Hidden", "not for the island"}));
    ASSERT_TRUE(notifySend({"-a", "Mail", "New mail", "<b>Ada</b>: lunch &amp; <i>coffee</i>?"}));
    ASSERT_TRUE(notifySend({"-a", "Pager", "-u", "critical", "Disk full", "/home is at 99 %"}));
    ASSERT_TRUE(notifySend({"-a", "Chat", "-h", "boolean:transient:true", "Ada is typing"}));
    ASSERT_TRUE(waitUntil([&] { return toastTitled("Ada is typing"); }));
    EXPECT_EQ(titles(), (QStringList{"New mail", "Disk full", "Ada is typing"}));
    const auto& mail = toasts.at(0);
    EXPECT_EQ(mail.subtitle, "Ada: lunch & coffee?");
    EXPECT_EQ(mail.icon, "envelope.fill");
    EXPECT_GT(toasts.at(1).priority, mail.priority);

    EXPECT_TRUE(waitUntil([&] { return daemon.notifies == 4; }))
        << "the daemon receives every notification";
    QStringList listed;
    for (const auto& app : notificationapps::parse(settings.notificationApps())) {
        listed << app.name + (app.allowed ? "" : " (off)");
    }
    EXPECT_EQ(listed, (QStringList{"Blocked (off)", "Mail", "Pager"}));

    // Switched off, nothing is watched; switched on again, watching resumes.
    settings.setDesktopNotifications(false);
    ASSERT_TRUE(notifySend({"-a", "Mail", "While off"}));
    settings.setDesktopNotifications(true);
    ASSERT_TRUE(waitUntil([&] {
        return settings.notificationMonitorStatus.get() == NotificationMonitorStatus::watching;
    }));
    ASSERT_TRUE(notifySend({"-a", "Mail", "Back on"}));
    ASSERT_TRUE(waitUntil([&] { return toastTitled("Back on"); }));
    EXPECT_FALSE(toastTitled("While off"));
    EXPECT_EQ(daemon.notifies, 6);
    loop.waitForBackground();
}

TEST_F(NotificationBusTest, CallsOfAnotherShapeAreLeftToTheDaemon) {
    FakeNotificationDaemon daemon;
    ASSERT_TRUE(daemon.publish());
    DBusNotificationMonitor monitor;
    std::vector<DesktopNotification> seen;
    auto watching = std::make_shared<bool>(false);
    auto watch = monitor.watch([&](const DesktopNotification& n) { seen.push_back(n); },
                               [watching](NotificationMonitorStatus s) {
                                   *watching = s == NotificationMonitorStatus::watching;
                               });
    ASSERT_TRUE(waitUntil([&] { return *watching; }));

    auto call = [](const QVariantList& args) {
        auto m = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                "/org/freedesktop/Notifications",
                                                "org.freedesktop.Notifications", "Notify");
        m.setArguments(args);
        return QDBusConnection::sessionBus().asyncCall(m);
    };
    call({QString("Odd"), 7});  // too few arguments
    call({1, uint(0), QString(), QString("x"), QString("y"), QStringList(), QVariantMap(), -1});
    const QVariantMap hints{{"urgency", QVariant::fromValue(uchar(0))},
                            {"category", QString("email.arrived")},
                            {"desktop-entry", QString("org.example.Mailer")},
                            {"transient", 1},
                            {"image-path", QString("/tmp/avatar.png")}};
    call({QString("Mailer"), uint(0), QString("mail-unread"), QString("Re: plans"),
          QString("See you"), QStringList{"default", "Open"}, hints, 5000});
    ASSERT_TRUE(waitUntil([&] { return !seen.empty(); }));
    ASSERT_EQ(seen.size(), 1u);
    DesktopNotification expected{"Mailer",        "mail-unread",        "Re: plans", "See you",
                                 "email.arrived", "org.example.Mailer", 0,           true};
    EXPECT_EQ(seen.front(), expected);
    // Korvo skipped two of them; the daemon still got all three.
    EXPECT_TRUE(waitUntil([&] { return daemon.notifies == 3; }));
}

TEST_F(NotificationBusTest, ABusThatRefusesMonitoringIsReported) {
    // A session bus whose policy forbids becoming a monitor.
    QFile config(dir.filePath("deny-monitoring.conf"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
    <deny send_destination="org.freedesktop.DBus"
          send_interface="org.freedesktop.DBus.Monitoring"/>
  </policy>
</busconfig>
)")
                     .arg(dir.path())
                     .toUtf8());
    config.close();
    QProcess daemon;
    daemon.start("dbus-daemon",
                 {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon.waitForStarted());
    ASSERT_TRUE(waitUntil([&] { return daemon.canReadLine(); }, 20000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();

    // No bus at all, watched first, so its answer is in before the refusal is.
    DBusNotificationMonitor nowhere(QStringLiteral("unix:path=") + dir.filePath("no-such-bus"));
    std::optional<NotificationMonitorStatus> status;
    auto watch = nowhere.watch([](const DesktopNotification&) {},
                               [&](NotificationMonitorStatus s) { status = s; });

    settings.setDesktopNotifications(true);
    DBusNotificationMonitor monitor(address);
    NotificationService service(loop, bus, settings, monitor);
    service.start();
    EXPECT_TRUE(waitUntil([&] {
        return settings.notificationMonitorStatus.get() == NotificationMonitorStatus::refused;
    }));
    EXPECT_EQ(status, NotificationMonitorStatus::unavailable);

    daemon.terminate();
    daemon.waitForFinished();
}
