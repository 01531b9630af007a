#include "DemoTour.h"

namespace korvo {

namespace {

Activity make(const QString& id, Activity::Kind kind, ActivityPriority p, const QDateTime& now,
              ActivityPayload payload) {
    Activity a;
    a.id = id;
    a.kind = kind;
    a.priority = p;
    a.startedAt = now;
    a.payload = std::move(payload);
    return a;
}

TransientNotification toast(const char* icon, const char* title, const char* subtitle,
                            double duration = 2.5) {
    return TransientNotification::make(QString::fromUtf8(icon), QString::fromUtf8(title),
                                       subtitle ? std::optional<QString>(QString::fromUtf8(subtitle))
                                                : std::nullopt,
                                       duration, ActivityPriority::normal);
}

}  // namespace

DemoTour::DemoTour(MainLoop& loop, EventBus& bus, std::function<void(IslandState)> present,
                   std::function<void(int)> swipe)
    : m_loop(loop), m_bus(bus), m_present(std::move(present)), m_swipe(std::move(swipe)) {}

void DemoTour::start() { round(); }

void DemoTour::at(double seconds, std::function<void()> step) {
    m_steps.push_back(m_loop.postDelayed(seconds, std::move(step)));
}

void DemoTour::round() {
    m_steps.clear();
    auto now = [this] { return m_loop.wallNow(); };

    at(0.5, [this, now] {
        NowPlayingInfo t;
        t.title = QStringLiteral("Midnight City");
        t.artist = QStringLiteral("Night Drive");
        t.isPlaying = true;
        t.duration = 243;
        t.elapsed = 61;
        t.sourceApp = MediaSource::spotify;
        m_bus.post(ActivityStarted{make(QStringLiteral("nowplaying.system"),
                                        Activity::Kind::nowPlaying, ActivityPriority::normal,
                                        now(), t)});
    });
    at(4, [this] { m_bus.post(toast("music.note", "Midnight City", "Night Drive")); });
    at(8, [this, now] {
        m_bus.post(toast("bolt.fill", "Charging", "82%"));
        m_bus.post(ActivityStarted{make(QStringLiteral("battery.system"), Activity::Kind::battery,
                                        ActivityPriority::normal, now(),
                                        BatteryInfo{82, true, 2400})});
    });
    at(12, [this] { m_present(IslandState::expanded); });
    at(16, [this] { m_present(IslandState::compact); });
    at(17, [this, now] {
        CalendarEventInfo e;
        e.title = QStringLiteral("Design review");
        e.start = now().addSecs(12 * 60);
        e.end = now().addSecs(42 * 60);
        m_bus.post(ActivityStarted{make(QStringLiteral("calendar.next"), Activity::Kind::meeting,
                                        ActivityPriority::high, now(), e)});
    });
    at(21, [this, now] {
        m_bus.post(toast("key.fill", "Code copied", "482913"));
        m_bus.post(ActivityStarted{make(QStringLiteral("clipboard.system"),
                                        Activity::Kind::clipboard, ActivityPriority::low, now(),
                                        ClipboardInfo{QStringLiteral("482913"), 4, true})});
    });
    at(25, [this, now] {
        std::vector<ConnectedDeviceInfo> devices = {
            {QStringLiteral("buds"), QStringLiteral("Studio Buds"),
             ConnectedDeviceInfo::Kind::airpodsPro, 76, false, true},
            {QStringLiteral("kbd"), QStringLiteral("Keyboard"), ConnectedDeviceInfo::Kind::keyboard,
             54, std::nullopt, true}};
        m_bus.post(toast("airpods.pro", "Studio Buds", "Connected"));
        m_bus.post(ActivityStarted{make(QStringLiteral("devices.connected"),
                                        Activity::Kind::bluetooth, ActivityPriority::low, now(),
                                        devices)});
    });
    for (int step = 0; step <= 10; ++step) {
        at(29 + step * 0.6, [this, now, step] {
            const Activity a = make(QStringLiteral("demo.download"), Activity::Kind::download,
                                    ActivityPriority::normal, now(),
                                    GenericPayload{QStringLiteral("arrow.down.circle.fill"),
                                                   QStringLiteral("Downloading"),
                                                   QStringLiteral("korvo-demo.tar.gz"),
                                                   step / 10.0});
            if (step == 0) {
                m_bus.post(ActivityStarted{a});
            } else {
                m_bus.post(ActivityUpdated{a});
            }
        });
    }
    at(36, [this] {
        m_bus.post(ActivityEnded{QStringLiteral("demo.download")});
        m_present(IslandState::expanded);
    });
    at(38.5, [this] { m_swipe(+1); });
    at(41, [this] { m_swipe(+1); });
    at(43.5, [this] { m_swipe(+1); });
    at(46, [this] { m_present(IslandState::hud); });
    at(50, [this] { m_present(IslandState::compact); });
    at(56, [this] {
        for (const char* id : {"calendar.next", "clipboard.system", "devices.connected",
                               "battery.system", "nowplaying.system"}) {
            m_bus.post(ActivityEnded{QString::fromLatin1(id)});
        }
    });
    at(kRound, [this] { round(); });
}

}  // namespace korvo
