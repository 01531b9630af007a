#include "SnapshotTour.h"

#include "core/ActivityEngine.h"
#include "core/IslandViewModel.h"
#include "core/VirtualLoop.h"
#include "settings/SettingsStore.h"
#include "ui/island/IslandRenderer.h"
#include "ui/island/IslandRootView.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

namespace korvo {

namespace {

Activity make(const QString& id, Activity::Kind kind, ActivityPayload payload, int minute) {
    Activity a;
    a.id = id;
    a.kind = kind;
    a.priority = ActivityPriority::normal;
    a.startedAt = QDateTime(QDate(2026, 12, 6), QTime(9, minute), Qt::UTC);
    a.payload = std::move(payload);
    return a;
}

// A whole island on a virtual clock, with a throw-away settings file.
struct World {
    QTemporaryDir settingsDir;
    VirtualLoop loop{QDateTime::currentDateTimeUtc()};
    EventBus bus{loop};
    DebugLog log{QString()};
    ActivityEngine engine{loop, bus, log};
    SettingsStore settings{settingsDir.filePath(QStringLiteral("korvo.conf")), loop, bus, nullptr,
                           nullptr};
    IslandViewModel viewModel{loop, engine, settings, log, NotchGeometry{}};
    ui::Animator animator{[this] { return loop.monotonicNow(); }};
    ui::Interaction interaction;
    IslandRootView root{viewModel, engine, settings, loop, animator, interaction};

    World() {
        animator.setImmediate(true);
        engine.start();
        loop.runUntilIdle();
    }
    void post(IslandEvent e) {
        bus.post(std::move(e));
        loop.runUntilIdle();
    }
    void clearToasts() { loop.advance(10); }
};

}  // namespace

QStringList writeSnapshotTour(const QString& directory, double scale) {
    if (!QDir().mkpath(directory)) {
        return {};
    }
    World w;
    QStringList written;
    int shot = 0;
    auto shoot = [&](const QString& name) {
        const QString file =
            QStringLiteral("%1-%2.png").arg(++shot, 2, 10, QLatin1Char('0')).arg(name);
        const QString path = QDir(directory).filePath(file);
        if (renderPanel(w.root, w.animator, scale).save(path)) {
            written << path;
        }
    };
    auto show = [&](IslandState s) { w.viewModel.state.set(s); };

    shoot(QStringLiteral("hidden"));

    NowPlayingInfo track;
    track.title = QStringLiteral("Midnight City");
    track.artist = QStringLiteral("Night Drive");
    track.isPlaying = true;
    track.duration = 243;
    track.elapsed = 61;
    track.sourceApp = MediaSource::spotify;
    NowPlayingInfo paused = track;
    paused.isPlaying = false;
    paused.title = QStringLiteral("Lecture 4: Entropy");
    paused.artist = QStringLiteral("Open Courses");
    paused.sourceApp = MediaSource::browser;
    paused.sourceLabel = QStringLiteral("YouTube");
    paused.duration = 3120;
    paused.elapsed = 2200;

    CalendarEventInfo meeting;
    meeting.title = QStringLiteral("Design review");
    meeting.start = w.loop.wallNow().addSecs(600);
    meeting.end = w.loop.wallNow().addSecs(3600);
    meeting.joinURL = QUrl(QStringLiteral("https://meet.example.com/abc"));
    meeting.provider = QStringLiteral("Meet");
    meeting.color = QColor(0x0A, 0x84, 0xFF);
    std::vector<ConnectedDeviceInfo> devices = {
        {QStringLiteral("a"), QStringLiteral("Studio Buds"), ConnectedDeviceInfo::Kind::airpodsPro,
         76, false, true},
        {QStringLiteral("b"), QStringLiteral("Keyboard"), ConnectedDeviceInfo::Kind::keyboard, 54,
         std::nullopt, true},
        {QStringLiteral("c"), QStringLiteral("Mouse"), ConnectedDeviceInfo::Kind::mouse, 18,
         std::nullopt, true}};

    const std::vector<std::pair<QString, Activity>> kinds = {
        {QStringLiteral("nowplaying"),
         make(QStringLiteral("nowplaying.system"), Activity::Kind::nowPlaying, track, 0)},
        {QStringLiteral("nowplaying-paused-browser"),
         make(QStringLiteral("nowplaying.system"), Activity::Kind::nowPlaying, paused, 0)},
        {QStringLiteral("battery"), make(QStringLiteral("battery.system"), Activity::Kind::battery,
                                         BatteryInfo{82, true, 2400}, 1)},
        {QStringLiteral("calendar"),
         make(QStringLiteral("calendar.next"), Activity::Kind::meeting, meeting, 2)},
        {QStringLiteral("clipboard"),
         make(QStringLiteral("clipboard.system"), Activity::Kind::clipboard,
              ClipboardInfo{QStringLiteral("482913"), 4, true}, 3)},
        {QStringLiteral("devices"),
         make(QStringLiteral("devices.connected"), Activity::Kind::bluetooth, devices, 4)},
        {QStringLiteral("generic"),
         make(QStringLiteral("download.1"), Activity::Kind::download,
              GenericPayload{QStringLiteral("arrow.down.circle.fill"),
                             QStringLiteral("Downloading"), QStringLiteral("korvo.tar.gz"), 0.6},
              6)},
    };
    // One activity at a time, so each row is seen without carousel dots.
    for (const auto& [name, a] : kinds) {
        w.post(ActivityStarted{a});
        show(IslandState::compact);
        shoot(QStringLiteral("compact-") + name);
        show(IslandState::medium);
        shoot(QStringLiteral("medium-") + name);
        w.post(ActivityEnded{a.id});
    }

    w.post(ActivityStarted{kinds.front().second});
    w.post(TransientNotification::make(QStringLiteral("bolt.fill"), QStringLiteral("Charging"),
                                       QStringLiteral("82% · 40 min to full"), 2.5,
                                       ActivityPriority::normal));
    show(IslandState::medium);
    shoot(QStringLiteral("medium-toast"));
    w.clearToasts();

    auto expanded = [&](const QString& name, const Activity& a) {
        w.post(ActivityStarted{a});
        show(IslandState::expanded);
        shoot(QStringLiteral("expanded-") + name);
    };
    for (const auto& [name, a] : kinds) {
        expanded(name, a);
    }
    expanded(QStringLiteral("battery-low"),
             make(QStringLiteral("battery.system"), Activity::Kind::battery,
                  BatteryInfo{18, false, 7500}, 1));
    expanded(QStringLiteral("bluetooth"),
             make(QStringLiteral("bluetooth.notice"), Activity::Kind::bluetooth,
                  BluetoothDeviceInfo{QStringLiteral("Studio Buds"), QStringLiteral("airpods.pro"),
                                      76},
                  5));
    expanded(QStringLiteral("system"),
             make(QStringLiteral("system.stats"), Activity::Kind::custom, SystemStatsPayload{}, 7));
    show(IslandState::hud);
    shoot(QStringLiteral("hud"));
    return written;
}

}  // namespace korvo
