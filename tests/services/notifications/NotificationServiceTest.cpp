#include "services/notifications/NotificationActivityProvider.h"
#include "services/notifications/NotificationService.h"

#include "core/ActivityEngine.h"
#include "core/Posted.h"
#include "core/VirtualLoop.h"
#include "fakes/PlainPreferences.h"
#include "fakes/QtPrinters.h"
#include "settings/NotificationApps.h"
#include "ui/kit/Symbols.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

class FakeNotificationMonitor : public NotificationMonitor {
public:
    Subscription watch(std::function<void(const DesktopNotification&)> seen,
                       std::function<void(NotificationMonitorStatus)> status) override {
        ++watches;
        m_seen = std::move(seen);
        lastSeen = m_seen;
        m_status = std::move(status);
        return Subscription([this] {
            ++stops;
            m_seen = nullptr;
            m_status = nullptr;
        });
    }
    bool watching() const { return static_cast<bool>(m_seen); }
    void send(const DesktopNotification& n) {
        ASSERT_TRUE(m_seen) << "nobody watches";
        m_seen(n);
    }
    void report(NotificationMonitorStatus s) { m_status(s); }

    int watches = 0;
    int stops = 0;
    std::function<void(const DesktopNotification&)> lastSeen;  // outlives the watch

private:
    std::function<void(const DesktopNotification&)> m_seen;
    std::function<void(NotificationMonitorStatus)> m_status;
};

DesktopNotification note(const QString& app, const QString& summary, const QString& body = {}) {
    DesktopNotification n;
    n.appName = app;
    n.summary = summary;
    n.body = body;
    return n;
}

class NotificationServiceTest : public ::testing::Test {
protected:
    NotificationServiceTest() : bus(loop), service(loop, bus, settings, monitor) {}
    ~NotificationServiceTest() override {
        EXPECT_TRUE(posted.activities.empty()) << "notifications post toasts only";
    }
    void startWatching() {
        settings.set(settings.on, true, "desktopNotifications");
        service.start();
        ASSERT_TRUE(monitor.watching());
    }
    QStringList titles() const { return posted.toastTitles(); }
    QStringList listedApps() const {
        QStringList list;
        for (const auto& app : notificationapps::parse(settings.notificationApps())) {
            list << app.name + (app.allowed ? QString() : QStringLiteral(" (off)"));
        }
        return list;
    }

    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus;
    test::PlainNotificationPreferences settings;
    FakeNotificationMonitor monitor;
    NotificationService service;
    test::Posted posted{bus};
    std::vector<TransientNotification>& toasts = posted.toasts;
};

}  // namespace

TEST_F(NotificationServiceTest, NothingIsWatchedUntilSwitchedOnAndWatchingEndsWhenSwitchedOff) {
    NotificationActivityProvider provider(service);
    provider.start();
    EXPECT_EQ(monitor.watches, 0) << "off for a fresh user";
    EXPECT_EQ(settings.status(), NotificationMonitorStatus::off);

    settings.set(settings.on, true, "desktopNotifications");
    EXPECT_EQ(monitor.watches, 1);
    EXPECT_EQ(settings.status(), NotificationMonitorStatus::starting);
    monitor.report(NotificationMonitorStatus::refused);
    EXPECT_EQ(settings.status(), NotificationMonitorStatus::refused);
    settings.set(settings.on, true, "desktopNotifications");  // written again: still one watch
    EXPECT_EQ(monitor.watches, 1);

    settings.set(settings.on, false, "desktopNotifications");
    EXPECT_EQ(monitor.stops, 1);
    EXPECT_EQ(settings.status(), NotificationMonitorStatus::off);
    settings.set(settings.on, true, "desktopNotifications");
    EXPECT_EQ(monitor.watches, 2) << "switching on again tries again";
}

TEST_F(NotificationServiceTest, ToastCarriesPlainTextsUrgencyAndDuration) {
    startWatching();
    settings.set(settings.toastSeconds, 6, "toastDuration");
    auto critical = note("Pager", "  Disk   full ", "<b>/home</b> is at 99&#160;%");
    critical.urgency = 2;
    auto low = note("Updates", "Updates ready");
    low.urgency = 0;
    monitor.send(critical);
    monitor.send(low);
    monitor.send(note("Chat", "", "Sent a photo"));
    ASSERT_EQ(toasts.size(), 3u);
    EXPECT_EQ(toasts[0].title, "Disk full");
    EXPECT_EQ(toasts[0].subtitle, "/home is at 99 %");
    EXPECT_GT(toasts[0].priority, toasts[2].priority);
    EXPECT_LT(toasts[1].priority, toasts[2].priority);
    EXPECT_FALSE(toasts[1].subtitle) << "no body, no second line";
    EXPECT_EQ(toasts[2].title, "Chat") << "no summary: the application's name";
    EXPECT_EQ(toasts[0].duration, 6);
    for (const auto& t : toasts) {
        EXPECT_FALSE(t.action);
    }
}

TEST_F(NotificationServiceTest, AppsAreListedOnceAndSwitchedOffAppsStayQuiet) {
    startWatching();
    monitor.send(note("Mail", "One"));
    monitor.send(note("Mail", "Two"));
    auto typing = note("Chat", "Ada is typing");
    typing.transient = true;
    monitor.send(typing);
    monitor.send(note("", "No name"));
    EXPECT_EQ(listedApps(), (QStringList{"Mail", "Unknown app"}))
        << "a transient notification shows but is not kept";
    EXPECT_EQ(titles(), (QStringList{"One", "Two", "Ada is typing", "No name"}));

    auto apps = notificationapps::parse(settings.notificationApps());
    notificationapps::setAllowed(apps, "Mail", false);
    settings.set(settings.apps, notificationapps::serialise(apps), "notificationApps");
    toasts.clear();
    monitor.send(note("Mail", "Three"));
    auto transientMail = note("Mail", "Four");
    transientMail.transient = true;
    monitor.send(transientMail);
    EXPECT_TRUE(toasts.empty()) << titles().join(", ").toStdString();
    EXPECT_EQ(listedApps(), (QStringList{"Mail (off)", "Unknown app"}));

    // A notification still on its way when the switch goes off is dropped.
    const auto late = monitor.lastSeen;
    settings.set(settings.on, false, "desktopNotifications");
    EXPECT_FALSE(monitor.watching());
    late(note("Chat", "Too late"));
    EXPECT_TRUE(toasts.empty());
}

TEST_F(NotificationServiceTest, ABurstFoldsIntoOneToastOnTheVirtualClock) {
    startWatching();
    for (int i = 1; i <= 8; ++i) {
        monitor.send(note("Build", QStringLiteral("Step %1").arg(i)));
        monitor.send(note("Mail", QStringLiteral("Mail %1").arg(i)));
        loop.advance(0.1);
    }
    // Five of each app show; both bursts are held apart.
    EXPECT_EQ(toasts.size(), 10u);
    auto critical = note("Build", "Build failed");
    critical.urgency = 2;
    monitor.send(critical);
    EXPECT_EQ(toasts.back().title, "Build failed") << "a critical notification is never held";
    const auto before = toasts.size();
    loop.advance(2);
    ASSERT_EQ(toasts.size(), before + 2);
    EXPECT_EQ(toasts[before].title, "3 notifications from Build");
    EXPECT_EQ(toasts[before + 1].title, "3 notifications from Mail");

    // A steady stream gives five toasts and then one summary per window, never a toast each.
    toasts.clear();
    loop.advance(10);
    for (int i = 0; i < 40; ++i) {
        monitor.send(note("Build", "tick"));
        loop.advance(0.1);
    }
    loop.advance(2);
    int single = 0;
    int summarised = 0;
    for (const auto& t : toasts) {
        if (t.title == "tick") {
            ++single;
        } else {
            EXPECT_TRUE(t.title.endsWith(" notifications from Build")) << t.title.toStdString();
            summarised += t.title.section(' ', 0, 0).toInt();
        }
    }
    EXPECT_EQ(single, 5);
    EXPECT_LE(toasts.size(), 5u + 3u) << titles().join(", ").toStdString();
    EXPECT_EQ(single + summarised, 40) << "every notification is counted once";

    // Spread out, nothing is held back; a lone one past the limit shows as itself.
    toasts.clear();
    loop.advance(10);
    for (int i = 0; i < 7; ++i) {
        monitor.send(note("Calendar", QStringLiteral("Event %1").arg(i)));
        loop.advance(i < 4 ? 0.6 : 0.01);
    }
    EXPECT_EQ(toasts.size(), 6u) << "the seventh is the sixth within two seconds";
    loop.advance(3);
    EXPECT_EQ(titles(), (QStringList{"Event 0", "Event 1", "Event 2", "Event 3", "Event 4",
                                     "Event 5", "Event 6"}));
}

TEST_F(NotificationServiceTest, SwitchingOffDropsWhatABurstHeldBack) {
    startWatching();
    for (int i = 0; i < 9; ++i) {
        monitor.send(note("Build", "step"));
    }
    settings.set(settings.on, false, "desktopNotifications");
    loop.advance(5);
    EXPECT_EQ(toasts.size(), 5u);
}

TEST_F(NotificationServiceTest, TheBodyNeverReachesTheDebugLog) {
    const QString path = dir.filePath(QStringLiteral("debug.log"));
    DebugLog log(path);
    ActivityEngine engine(loop, bus, log);
    engine.registerProvider(std::make_unique<NotificationActivityProvider>(service));
    settings.set(settings.on, true, "desktopNotifications");
    engine.start();
    monitor.send(note("Bank", "Payment received", "Card ending 4242: <b>1,200.00</b> from Ada"));
    loop.runUntilIdle();
    ASSERT_EQ(engine.toastQueue.get().size(), 1u);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(written.contains("Payment received")) << "the title is what the engine logs";
    EXPECT_FALSE(written.contains("4242")) << written.toStdString();
    EXPECT_FALSE(written.contains("1,200")) << written.toStdString();
}

TEST(NotificationText, MarkupEntitiesWhiteSpaceAndLength) {
    auto plain = [](const QString& s, int max = 140) {
        return NotificationService::plainText(s, max);
    };
    EXPECT_EQ(plain("<b>Bold</b> and <i>it</i>alic <u>under</u>"), "Bold and italic under");
    EXPECT_EQ(plain("see <a href=\"https://example.org/?a=1&amp;b=2\">the report</a>"),
              "see the report");
    EXPECT_EQ(plain("R&amp;D &lt;b&gt;not bold&lt;/b&gt;"), "R&D <b>not bold</b>")
        << "escaped markup is text, not markup";
    EXPECT_EQ(plain("&#65;&#x42;&quot;&apos;"), "AB\"'");
    EXPECT_EQ(plain("&#0; &#xD800; &#1114112; &unknown; &amp"), "&unknown; &amp")
        << "no NUL, no lone surrogate, nothing past the last code point";
    EXPECT_EQ(plain("line one\nline\ttwo\r\n\n  three"), "line one line two three");
    EXPECT_EQ(plain("a < b and c > d"), "a < b and c > d");
    EXPECT_EQ(plain("<img src=\"x.png\" alt=\"pic\"/>"), "");
    EXPECT_EQ(plain(QString("bell\a and escape\x1b[31m"), 140), "bell and escape[31m");

    const QString cut = plain(QString(200, 'x'), 20);
    EXPECT_EQ(cut.size(), 20);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026)));
    EXPECT_EQ(plain("exactly ten", 11), "exactly ten");
    // An emoji straddling the cut is dropped whole, never halved.
    const QString emoji = QString(18, 'a') + QString::fromUtf8("\xF0\x9F\x98\x80") + "tail";
    const QString cutEmoji = plain(emoji, 20);
    EXPECT_FALSE(cutEmoji.at(cutEmoji.size() - 2).isHighSurrogate());
    EXPECT_TRUE(cutEmoji.isValidUtf16());
}

TEST(NotificationText, SymbolsComeFromTheCategoryThenTheNamesAndAllDraw) {
    auto symbol = [](QString category, QString icon, QString entry, QString app) {
        DesktopNotification n;
        n.category = std::move(category);
        n.appIcon = std::move(icon);
        n.desktopEntry = std::move(entry);
        n.appName = std::move(app);
        return NotificationService::symbolFor(n);
    };
    EXPECT_EQ(symbol("im.received", "mail-unread", "", "Mail"),
              symbol("im.error", "", "", "Whatever"))
        << "the category decides before any name";
    EXPECT_NE(symbol("email.arrived", "", "", ""), symbol("im.received", "", "", ""));
    EXPECT_EQ(symbol("", "mail-unread", "", ""), symbol("email", "", "", ""));
    EXPECT_EQ(symbol("", "/home/ada/.cache/mail.png", "", "Shop"), "bell.fill")
        << "an image file's name says nothing";
    EXPECT_EQ(symbol("x-vendor.custom", "", "", "Shop"), "bell.fill");

    std::vector<QString> all{symbol("", "", "", "")};
    for (const char* c : {"email", "im", "call", "presence", "network", "transfer", "device"}) {
        all.push_back(symbol(c, "", "", ""));
    }
    for (const char* name : {"mail", "chat", "messages", "phone", "calendar", "battery", "power",
                             "bluetooth", "network", "wifi", "download", "music", "player"}) {
        all.push_back(symbol("", name, "", ""));
    }
    for (const auto& s : all) {
        const auto file = ui::Symbols::fileFor(s);
        ASSERT_TRUE(file) << s.toStdString();
        EXPECT_TRUE(QFile::exists(*file)) << file->toStdString();
    }
}

TEST(NotificationAppRules, StoredListSurvivesDamageAndStaysBounded) {
    using namespace notificationapps;
    EXPECT_TRUE(parse("").empty());
    EXPECT_TRUE(parse("not json").empty());
    EXPECT_TRUE(parse("{\"name\":\"Mail\"}").empty());
    const auto apps = parse(
        R"([{"name":"Mail","allowed":false},{"name":"Mail"},{"allowed":true},7,{"name":"Chat"}])");
    EXPECT_EQ(apps, (std::vector<NotificationApp>{{"Mail", false}, {"Chat", true}}));
    EXPECT_EQ(parse(serialise(apps)), apps);
    EXPECT_TRUE(isAllowed(apps, "Never seen"));
    EXPECT_FALSE(isAllowed(apps, "Mail"));

    std::vector<NotificationApp> many;
    const QString longName(200, 'n');
    EXPECT_TRUE(remember(many, longName));
    EXPECT_FALSE(remember(many, longName)) << "the cut name is the same app";
    EXPECT_TRUE(isAllowed(many, longName));
    setAllowed(many, many.front().name, false);
    EXPECT_FALSE(isAllowed(many, longName)) << "a long name finds its cut entry";
    for (int i = 0; many.size() < kMaxApps; ++i) {
        remember(many, QString::number(i));
    }
    EXPECT_FALSE(remember(many, "One too many"));
    EXPECT_EQ(parse(serialise(many)).size(), kMaxApps);
    EXPECT_FALSE(remember(many, ""));
}
