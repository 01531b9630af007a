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
    auto shoot = [&](const QString& name) {
        const QString path = QDir(directory).filePath(name + QStringLiteral(".png"));
        if (renderPanel(w.root, w.animator, scale).save(path)) {
            written << path;
        }
    };
    auto show = [&](IslandState s) { w.viewModel.state.set(s); };

    shoot(QStringLiteral("01-hidden"));

    NowPlayingInfo track;
    track.title = QStringLiteral("Midnight City");
    track.artist = QStringLiteral("Night Drive");
    track.isPlaying = true;
    track.duration = 243;
    track.elapsed = 61;
    track.sourceApp = MediaSource::spotify;
    w.post(ActivityStarted{make(QStringLiteral("nowplaying.system"), Activity::Kind::nowPlaying,
                                track, 0)});
    shoot(QStringLiteral("02-compact"));

    w.post(TransientNotification::make(QStringLiteral("bolt.fill"), QStringLiteral("Charging"),
                                       QStringLiteral("82% · 40 min to full"), 2.5,
                                       ActivityPriority::normal));
    shoot(QStringLiteral("03-medium-toast"));
    w.clearToasts();

    auto expanded = [&](const QString& name, const Activity& a) {
        w.post(ActivityStarted{a});
        show(IslandState::expanded);
        shoot(name);
    };
    expanded(QStringLiteral("04-expanded-nowplaying"),
             make(QStringLiteral("nowplaying.system"), Activity::Kind::nowPlaying, track, 0));
    expanded(QStringLiteral("05-expanded-battery"),
             make(QStringLiteral("battery.system"), Activity::Kind::battery,
                  BatteryInfo{82, true, 2400}, 1));
    CalendarEventInfo meeting;
    meeting.title = QStringLiteral("Design review");
    meeting.start = w.loop.wallNow().addSecs(600);
    meeting.end = w.loop.wallNow().addSecs(3600);
    expanded(QStringLiteral("06-expanded-calendar"),
             make(QStringLiteral("calendar.next"), Activity::Kind::meeting, meeting, 2));
    expanded(QStringLiteral("07-expanded-clipboard"),
             make(QStringLiteral("clipboard.system"), Activity::Kind::clipboard,
                  ClipboardInfo{QStringLiteral("482913"), 4, true}, 3));
    std::vector<ConnectedDeviceInfo> devices = {
        {QStringLiteral("a"), QStringLiteral("Studio Buds"), ConnectedDeviceInfo::Kind::airpodsPro,
         76, false, true},
        {QStringLiteral("b"), QStringLiteral("Keyboard"), ConnectedDeviceInfo::Kind::keyboard, 54,
         std::nullopt, true},
        {QStringLiteral("c"), QStringLiteral("Mouse"), ConnectedDeviceInfo::Kind::mouse, 18,
         std::nullopt, true}};
    expanded(QStringLiteral("08-expanded-devices"),
             make(QStringLiteral("devices.connected"), Activity::Kind::bluetooth, devices, 4));
    expanded(QStringLiteral("09-expanded-bluetooth"),
             make(QStringLiteral("bluetooth.notice"), Activity::Kind::bluetooth,
                  BluetoothDeviceInfo{QStringLiteral("Studio Buds"), QStringLiteral("airpods.pro"),
                                      76},
                  5));
    expanded(QStringLiteral("10-expanded-generic"),
             make(QStringLiteral("download.1"), Activity::Kind::download,
                  GenericPayload{QStringLiteral("arrow.down.circle.fill"),
                                 QStringLiteral("Downloading"), QStringLiteral("korvo.tar.gz"),
                                 0.6},
                  6));
    expanded(QStringLiteral("11-expanded-system"),
             make(QStringLiteral("system.stats"), Activity::Kind::custom, SystemStatsPayload{}, 7));
    show(IslandState::hud);
    shoot(QStringLiteral("12-hud"));
    return written;
}

}  // namespace korvo
