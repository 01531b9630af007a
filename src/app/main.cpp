#include "app/AppContext.h"
#include "app/CardFeeds.h"
#include "app/ControlProtocol.h"
#include "app/ControlService.h"
#include "app/IslandScreens.h"
#include "app/NotchWindowController.h"
#include "app/SnapshotTour.h"
#include "app/TrayMenu.h"
#include "platform/demo/DemoTour.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <memory>

#include <malloc.h>

namespace {

// A second start hands over to the running island instead of drawing another.
bool handOverToRunningIsland() {
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusInterface running(QString::fromLatin1(korvo::control::kService),
                           QString::fromLatin1(korvo::control::kPath),
                           QString::fromLatin1(korvo::control::kInterface), bus);
    if (!running.isValid()) {
        return false;
    }
    running.call(QStringLiteral("Activate"));
    return true;
}

void watchScreens(korvo::NotchWindowController& window) {
    auto reanchor = [&window] { window.reanchor(); };
    auto watch = [reanchor](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, qApp, reanchor);
    };
    for (QScreen* s : QGuiApplication::screens()) {
        watch(s);
    }
    QObject::connect(qApp, &QGuiApplication::screenAdded, qApp, [watch, reanchor](QScreen* s) {
        watch(s);
        reanchor();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, qApp, reanchor);
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, qApp, reanchor);
}

}  // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    // Covers are decoded on worker threads into buffers of a few megabytes. Left to itself the
    // allocator raises its threshold for mapping large blocks after the first is freed, and the
    // following covers then stay in the heap as fragments after they are gone: give every large
    // block its own mapping, returned when it is freed.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    const bool hasDisplay = !qEnvironmentVariableIsEmpty("DISPLAY");
    if (!hasDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (hasDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");  // the panel relies on X11 shapes
    }
    // The window paces its own frames: Qt's extra few milliseconds before an update only add a
    // wake-up to every frame.
    if (qEnvironmentVariableIsEmpty("QT_QPA_UPDATE_IDLE_TIME")) {
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
    }
    // Most frames are the equalizer bars' few hundred pixels. Through shared memory every frame
    // first waits on a round trip for the X server to be done with the last one, which costs
    // more than sending those pixels along the connection.
    if (qEnvironmentVariableIsEmpty("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvo"));
    QApplication::setApplicationVersion(QStringLiteral(KORVO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.korvo.Korvo"));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Korvo: a live island at the top of the screen"));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption demo(QStringLiteral("demo"),
                            QStringLiteral("Run the demo tour: every kind of activity, looping."));
    QCommandLineOption snapshots(QStringLiteral("snapshots"),
                                 QStringLiteral("Write a PNG of every presentation into <dir>."),
                                 QStringLiteral("dir"));
    QCommandLineOption scale(QStringLiteral("scale"),
                             QStringLiteral("Device pixels per point for --snapshots."),
                             QStringLiteral("n"), QStringLiteral("2"));
    parser.addOption(demo);
    parser.addOption(snapshots);
    parser.addOption(scale);
    parser.process(app);

    if (parser.isSet(snapshots)) {
        bool ok = false;
        const double s = parser.value(scale).toDouble(&ok);
        if (!ok || s <= 0 || s > 8) {
            std::fprintf(stderr, "korvo: --scale wants a number above 0 and at most 8\n");
            return 2;
        }
        const QStringList files = korvo::writeSnapshotTour(parser.value(snapshots), s);
        for (const QString& f : files) {
            std::printf("%s\n", qPrintable(f));
        }
        return files.isEmpty() ? 1 : 0;
    }
    if (!hasDisplay) {
        std::fprintf(stderr, "korvo: no display; use --snapshots DIR to render the tour\n");
        return 1;
    }
    if (handOverToRunningIsland()) {
        std::printf("korvo: already running; handed over to the running island\n");
        return 0;
    }

    korvo::AppContext context(QCoreApplication::applicationFilePath(), parser.isSet(demo));
    context.start();

    korvo::IslandServices services = korvo::islandServicesFor(context);
    korvo::NotchWindowController window(context.loop, context.engine, context.settings,
                                        context.debugLog, services.calendar.upcoming, services);
    if (qEnvironmentVariableIsSet("KORVO_TRACE_STARTUP")) {
        window.onFirstFrame = [&sinceStart] {
            std::fprintf(stderr, "korvo: first frame %.1f ms after start\n",
                         static_cast<double>(sinceStart.nsecsElapsed()) / 1e6);
        };
    }
    // The Display preference chooses the screen; a full-screen window there hides the island.
    korvo::IslandScreens islandScreens(context.loop, context.settings, context.engine);
    window.chooseScreen = [&islandScreens] { return islandScreens.screen(); };
    window.reanchor();
    window.show();
    watchScreens(window);
    const korvo::Subscription placement = islandScreens.attach(
        [&window] { window.reanchor(); },
        [&window](bool hide) { hide ? window.panel().hide() : window.show(); });

    korvo::TrayMenu tray(context.settings);
    if (!tray.install()) {
        window.onContextMenu = [&tray](QPoint at) { tray.popup(at); };
    }

    korvo::ControlService control(context.loop, context.bus, context.engine, window);
    control.openSettings = [&tray] { tray.openSettings(); };
    if (!control.registerOnSessionBus()) {
        std::fprintf(stderr, "korvo: no session bus; korvoctl will not reach this island\n");
    }

    std::unique_ptr<korvo::DemoTour> tour;
    if (parser.isSet(demo)) {
        auto& vm = window.viewModel();
        tour = std::make_unique<korvo::DemoTour>(
            context.loop, context.bus,
            [&vm](korvo::IslandState s) {
                if (s == korvo::IslandState::expanded) {
                    vm.expand();
                } else if (s == korvo::IslandState::hud) {
                    vm.showHud();
                } else {
                    vm.collapse();
                }
            },
            [&vm](int direction) { vm.scroll(30.0 * direction, 0); });
        tour->start();
    }
    return app.exec();
}
