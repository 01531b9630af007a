#include "app/AppContext.h"
#include "app/CardFeeds.h"
#include "app/ControlProtocol.h"
#include "app/ControlService.h"
#include "app/IslandScreens.h"
#include "app/NotchWindowController.h"
#include "app/PanelBackend.h"
#include "app/SnapshotTour.h"
#include "app/TrayMenu.h"
#include "platform/demo/DemoTour.h"
#include "platform/linux/X11PanelSurface.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandFullScreenWatch.h"
#include "platform/linux/wayland/WaylandPanelSurface.h"
#include "platform/linux/wayland/WaylandPasteboard.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QElapsedTimer>
#include <QMenu>
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

bool hasArgument(int argc, char** argv, const char* name) {
    const QByteArray wanted(name);
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == wanted || arg.startsWith(wanted + '=')) {
            return true;
        }
    }
    return false;
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
    // Qt would take --platform for its own plugin option: it is Korvo's, and read here.
    const korvo::PlatformRequest request =
        korvo::parsePlatformRequest(korvo::takePlatformArgument(argc, argv));
    if (request.invalid) {
        std::fprintf(stderr, "korvo: --platform wants wayland or x11\n");
        return 2;
    }
    const bool snapshotMode = hasArgument(argc, argv, "--snapshots");

    // Where the island goes is decided before Qt starts, since it decides Qt's platform too.
    std::unique_ptr<korvo::wayland::Connection> wayland;
    korvo::BackendChoice choice;
    if (!snapshotMode) {
        korvo::DesktopProbe desk;
        desk.waylandDisplay = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
        desk.x11Display = !qEnvironmentVariableIsEmpty("DISPLAY");
        if (desk.waylandDisplay && request.backend != korvo::PanelBackend::x11) {
            wayland = korvo::wayland::Connection::connect();
            desk.waylandConnected = wayland != nullptr;
            desk.layerShell =
                wayland && wayland->layerShell() && wayland->compositor() && wayland->shm();
        }
        choice = korvo::choosePanelBackend(request.backend, desk);
        if (choice.backend != korvo::PanelBackend::wayland) {
            wayland.reset();
        }
    }
    if (choice.backend == korvo::PanelBackend::x11) {
        qputenv("QT_QPA_PLATFORM", "xcb");  // the panel relies on X11 shapes
    } else if (choice.backend == korvo::PanelBackend::wayland) {
        // The island has its own connection; the settings window, menus and tray go through
        // Qt's Wayland platform unless the user chose another.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM",
                    qEnvironmentVariableIsEmpty("DISPLAY") ? "wayland" : "wayland;xcb");
        }
    } else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
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
    // Taken out of the arguments before Qt started; listed here for --help.
    QCommandLineOption platform(
        QStringLiteral("platform"),
        QStringLiteral("Draw the island on <wayland> (layer-shell) or <x11>; by default Wayland "
                       "where the compositor offers layer-shell, else X11."),
        QStringLiteral("platform"));
    parser.addOption(demo);
    parser.addOption(snapshots);
    parser.addOption(scale);
    parser.addOption(platform);
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
    if (!choice.backend) {
        std::fprintf(stderr, "korvo: %s; use --snapshots DIR to render the tour\n",
                     qPrintable(choice.reason));
        return 1;
    }
    if (handOverToRunningIsland()) {
        std::printf("korvo: already running; handed over to the running island\n");
        return 0;
    }

    korvo::PasteboardFactory pasteboard;
    if (wayland) {
        wayland->attachToEventLoop();
        wayland->onLost = [] {
            std::fprintf(stderr, "korvo: the Wayland compositor closed the connection\n");
            QCoreApplication::exit(1);
        };
        // Qt sees the Wayland clipboard only while it has the keyboard, which the island never
        // takes: the history reads it through data-control instead.
        pasteboard = [&wayland](korvo::MainLoop& loop) {
            return std::make_unique<korvo::WaylandPasteboard>(*wayland, loop);
        };
    }
    korvo::AppContext context(QCoreApplication::applicationFilePath(), parser.isSet(demo),
                              pasteboard);
    const QString chosen = QStringLiteral("island on ") + korvo::backendName(*choice.backend) +
                           QStringLiteral(" (") + choice.reason + QLatin1Char(')');
    std::fprintf(stderr, "korvo: %s\n", qPrintable(chosen));
    context.debugLog.write(QStringLiteral("app: ") + chosen);
    context.start();

    std::unique_ptr<korvo::PanelSurface> surface;
    if (wayland) {
        surface = std::make_unique<korvo::WaylandPanelSurface>(*wayland);
    } else {
        surface = std::make_unique<korvo::X11PanelSurface>();
    }
    korvo::IslandServices services = korvo::islandServicesFor(context);
    korvo::NotchWindowController window(context.loop, context.engine, context.settings,
                                        context.debugLog, *surface, services.calendar.upcoming,
                                        services);
    if (qEnvironmentVariableIsSet("KORVO_TRACE_STARTUP")) {
        window.onFirstFrame = [&sinceStart] {
            std::fprintf(stderr, "korvo: first frame %.1f ms after start\n",
                         static_cast<double>(sinceStart.nsecsElapsed()) / 1e6);
        };
    }
    // The Display preference chooses the output; a full-screen window there hides the island
    // on X11. On Wayland the `top` layer is beneath full-screen windows already: toasts wait
    // while the compositor reports one on the island's output; and the compositor places the
    // island unless a named display is chosen.
    std::unique_ptr<korvo::IslandScreens> islandScreens;
    if (wayland) {
        islandScreens = std::make_unique<korvo::IslandScreens>(
            context.loop, context.settings, context.engine, nullptr,
            korvo::WaylandFullScreenWatch::create(*wayland, context.loop),
            korvo::FullScreenGuard::Surface::beneathFullScreen);
        islandScreens->followLayerSurface(static_cast<korvo::WaylandPanelSurface&>(*surface));
    } else {
        islandScreens =
            std::make_unique<korvo::IslandScreens>(context.loop, context.settings, context.engine);
    }
    window.chooseOutput = [&islandScreens] {
        const QScreen* screen = islandScreens->screen();
        return screen ? screen->name() : QString();
    };
    window.reanchor();
    window.show();
    const korvo::Subscription placement =
        islandScreens->attach([&window] { window.reanchor(); },
                              [&window](bool hide) { hide ? window.hide() : window.show(); });

    korvo::TrayMenu tray(context.settings);
    if (!tray.install()) {
        if (wayland) {
            // Qt's menus need a Qt window to hang from, which the island on its own connection
            // is not: the menu comes as a small window of its own, whose fixed size tells the
            // compositor to float it rather than tile it.
            window.onContextMenu = [&tray](QPoint at) {
                QMenu& menu = tray.menu();
                menu.setFixedSize(menu.sizeHint());
                tray.popup(at);
            };
        } else {
            window.onContextMenu = [&tray](QPoint at) { tray.popup(at); };
        }
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
