#include "SnapshotTour.h"

#include "core/ActivityEngine.h"
#include "core/IslandViewModel.h"
#include "core/VirtualLoop.h"
#include "settings/SettingsStore.h"
#include "ui/island/IslandRenderer.h"
#include "ui/island/IslandRootView.h"
#include "ui/kit/Layout.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QUuid>

#include <cmath>

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

// A cover for the sample track: warm, so the card's accent shows.
SharedImage sampleCover() {
    auto img = std::make_shared<QImage>(64, 64, QImage::Format_RGB32);
    QPainter p(img.get());
    QLinearGradient g(0, 0, 64, 64);
    g.setColorAt(0, QColor(0xFF, 0x8A, 0x3D));
    g.setColorAt(1, QColor(0xC2, 0x2E, 0x8C));
    p.fillRect(img->rect(), g);
    return img;
}

QDateTime at(const QDateTime& day, int hour, int minute) {
    return QDateTime(day.date(), QTime(hour, minute));
}

// What the cards show: a working morning's calendar, a few copies and a busy machine.
struct SampleFeeds {
    std::vector<CalendarEventInfo> upcoming;
    std::vector<ClipboardEntry> history;
    StatsSnapshot stats;
    std::vector<double> cpuHistory;

    explicit SampleFeeds(const QDateTime& now) {
        auto event = [&](const QString& title, QDateTime start, int minutes,
                         std::optional<QString> provider, std::optional<QColor> colour) {
            CalendarEventInfo e;
            e.title = title;
            e.start = start;
            e.end = start.addSecs(minutes * 60);
            if (provider) {
                e.joinURL = QUrl(QStringLiteral("https://meet.example.com/") + title.toLower());
                e.provider = provider;
            }
            e.color = colour;
            return e;
        };
        upcoming = {
            event(QStringLiteral("Stand-up"), at(now, 9, 45), 30, QStringLiteral("Meet"),
                  QColor(0x30, 0xD1, 0x58)),
            event(QStringLiteral("Design review"), now.addSecs(600), 50, QStringLiteral("Meet"),
                  QColor(0x0A, 0x84, 0xFF)),
            event(QStringLiteral("Lunch with Ana"), at(now, 12, 30), 60, std::nullopt,
                  std::nullopt),
            event(QStringLiteral("Planning"), at(now.addDays(1), 9, 0), 60, QStringLiteral("Zoom"),
                  QColor(0xFF, 0x9F, 0x0A)),
        };
        const QStringList texts = {
            QStringLiteral("482913"),
            QStringLiteral("https://example.com/releases/korvo/notes-for-the-island-and-cards"),
            QStringLiteral("git rebase --onto main feature~3 feature"),
            QStringLiteral("Meet me at the north entrance at 6"),
            QStringLiteral("korvo --snapshots /tmp/shots"),
        };
        const int agesSeconds[] = {20, 95, 14 * 60, 2 * 3600 + 300, 27 * 3600};
        for (int i = 0; i < texts.size(); ++i) {
            history.push_back(
                {QUuid::createUuidV5(QUuid(), texts[i]), texts[i], now.addSecs(-agesSeconds[i])});
        }
        stats.cpu = 0.37;
        stats.gpu = 0.12;
        stats.ramTotal = 16ULL << 30;
        stats.ramUsed = 11ULL << 30;
        stats.memoryPressure = 11.0 / 16.0;
        stats.swapUsed = 768ULL << 20;
        stats.swapTotal = 2ULL << 30;
        stats.diskTotal = 512LL << 30;
        stats.diskFree = 188LL << 30;
        stats.netDown = 2.4 * 1048576;
        stats.netUp = 86 * 1024;
        stats.diskRead = 310 * 1024;
        stats.diskWrite = 1.6 * 1048576;
        stats.battery = 82;
        stats.isCharging = true;
        stats.thermal = ThermalState::fair;
        for (int i = 0; i < 40; ++i) {
            cpuHistory.push_back(0.3 + 0.2 * std::sin(i / 3.0) + 0.1 * std::sin(i * 1.7));
        }
    }

    IslandServices services(MediaControls* media) const {
        IslandServices s;
        s.media = media;
        s.lowPowerMode = [] { return false; };
        s.openURL = [](const QUrl&) {};  // the tour opens nothing
        s.calendar.upcoming = [this] { return upcoming; };
        s.clipboard.history = [this] { return history; };
        s.stats.snapshot = [this] { return stats; };
        s.stats.cpuHistory = [this] { return cpuHistory; };
        return s;
    }
};

// A whole island on a virtual clock, with a throw-away settings file. The clock stands on a
// fixed morning so the calendar card always has a day to show.
struct World {
    QTemporaryDir settingsDir;
    VirtualLoop loop{QDateTime(QDate(2026, 12, 7), QTime(10, 0)).toUTC()};
    EventBus bus{loop};
    DebugLog log{QString()};
    ActivityEngine engine{loop, bus, log};
    SettingsStore settings{settingsDir.filePath(QStringLiteral("korvo.conf"))};
    IslandViewModel viewModel{loop, engine, settings, log, NotchGeometry{}};
    ui::Animator animator{[this] { return loop.monotonicNow(); }};
    ui::Interaction interaction;
    NoMediaControls media;
    SampleFeeds feeds{loop.wallNow().toLocalTime()};
    IslandRootView root{viewModel, engine,      settings, loop,
                        animator,  interaction, {},       feeds.services(&media)};

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
    QStringList written;
    int shot = 0;
    walkSnapshotTour([&](const QString& name, const SnapshotRender& render) {
        const QString file =
            QStringLiteral("%1-%2.png").arg(++shot, 2, 10, QLatin1Char('0')).arg(name);
        const QString path = QDir(directory).filePath(file);
        if (render(scale).save(path)) {
            written << path;
        }
    });
    return written;
}

namespace {

using ShotVisitor = std::function<void(const QString& name, World& world)>;

void walk(const ShotVisitor& visit) {
    World w;
    auto shoot = [&](const QString& name) { visit(name, w); };
    auto show = [&](IslandState s) { w.viewModel.state.set(s); };

    shoot(QStringLiteral("hidden"));

    NowPlayingInfo track;
    track.title = QStringLiteral("Midnight City");
    track.artist = QStringLiteral("Night Drive");
    track.isPlaying = true;
    track.duration = 243;
    track.elapsed = 61;
    track.sourceApp = MediaSource::spotify;
    track.volume = 0.55;
    track.artwork = sampleCover();
    track.canPlayPause = track.canGoNext = track.canGoPrevious = true;
    track.canSeek = track.canSetVolume = true;
    NowPlayingInfo paused = track;
    paused.artwork.reset();
    paused.isPlaying = false;
    paused.title = QStringLiteral("Lecture 4: Entropy");
    paused.artist = QStringLiteral("Open Courses");
    paused.sourceApp = MediaSource::browser;
    paused.sourceLabel = QStringLiteral("YouTube");
    paused.duration = 3120;
    paused.elapsed = 2200;
    paused.volume.reset();
    paused.canSetVolume = false;
    NowPlayingInfo live = paused;
    live.isPlaying = true;
    live.title = QStringLiteral("Harbour cam, live");
    live.artist.clear();
    live.duration = 0;
    live.elapsed = 0;
    // A live stream: nothing to seek, skip or go back to.
    live.canSeek = live.canGoNext = live.canGoPrevious = false;

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
         std::nullopt, true},
        {QStringLiteral("d"), QStringLiteral("Pocket phone"), ConnectedDeviceInfo::Kind::iphone,
         std::nullopt, std::nullopt, false}};
    devices[0].isCharging = true;

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
    expanded(QStringLiteral("nowplaying-browser-live"),
             make(QStringLiteral("nowplaying.system"), Activity::Kind::nowPlaying, live, 0));
    {
        // Late in the day: nothing left today, tomorrow's planning next.
        const auto today = w.feeds.upcoming;
        w.feeds.upcoming = {today.back()};
        CalendarEventInfo tomorrow = today.back();
        expanded(QStringLiteral("calendar-day-done"),
                 make(QStringLiteral("calendar.next"), Activity::Kind::meeting, tomorrow, 2));
        w.feeds.upcoming = today;
    }
    {
        const auto history = w.feeds.history;
        w.feeds.history.clear();
        expanded(QStringLiteral("clipboard-empty"),
                 make(QStringLiteral("clipboard.system"), Activity::Kind::clipboard,
                      ClipboardInfo{QString(), 0, false}, 3));
        w.feeds.history = history;
    }
    expanded(QStringLiteral("battery-low"),
             make(QStringLiteral("battery.system"), Activity::Kind::battery,
                  BatteryInfo{18, false, 7500}, 1));
    expanded(
        QStringLiteral("bluetooth"),
        make(QStringLiteral("bluetooth.notice"), Activity::Kind::bluetooth,
             BluetoothDeviceInfo{QStringLiteral("Studio Buds"), QStringLiteral("airpods.pro"), 76},
             5));
    expanded(QStringLiteral("system"),
             make(QStringLiteral("system.stats"), Activity::Kind::custom, SystemStatsPayload{}, 7));
    show(IslandState::hud);
    shoot(QStringLiteral("hud"));
}

}  // namespace

void walkSnapshotTour(
    const std::function<void(const QString& name, const SnapshotRender&)>& visit) {
    walk([&](const QString& name, World& w) {
        const SnapshotRender render = [&w](double scale) {
            return renderPanel(w.root, w.animator, scale);
        };
        visit(name, render);
    });
}

void walkSnapshotLayouts(
    const std::function<void(const QString& name, const ui::View& root)>& visit) {
    walk([&](const QString& name, World& w) {
        w.animator.beginFrame();
        ui::View root = w.root.build();
        w.animator.endFrame();
        ui::layout(*root.node(), {kPanelWidth, kPanelHeight});
        visit(name, root);
    });
}

}  // namespace korvo
