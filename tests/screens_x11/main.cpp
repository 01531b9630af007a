// The island among several displays and beside full-screen windows, on a real X server: Xvfb's
// one screen is split into two monitors, which the toolkit reports as two screens, and openbox
// manages the windows.
#include <qguiapplication_platform.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRasterWindow>

#include <gtest/gtest.h>

#include <cstdio>

#include <X11/Xatom.h>
#include <X11/Xlib.h>  // last: its macros clash with the headers above

namespace {

bool run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The window manager announces itself on the root window once it manages the screen.
bool windowManagerRunning() {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* d = x11 ? x11->display() : nullptr;
    if (!d) {
        return false;
    }
    const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False,
                                          AnyPropertyType, &type, &format, &count, &after, &data);
    if (data) {
        XFree(data);
    }
    return status == Success && count == 1;
}

}  // namespace

// Where the window really is on the X server: the toolkit's own idea may lag behind while the
// window manager takes the window in.
QPoint windowOrigin(WId window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* d = x11 ? x11->display() : nullptr;
    if (!d) {
        return {};
    }
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(d, static_cast<Window>(window), DefaultRootWindow(d), 0, 0, &x, &y,
                          &child);
    return {x, y};
}

// Plays the window manager's part: says `window` is full screen, and names it the active one.
void announceFullScreen(WId window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* d = x11->display();
    const Atom fullScreen = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(d, static_cast<Window>(window), XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM,
                    32, PropModeReplace, reinterpret_cast<const unsigned char*>(&fullScreen), 1);
    const Window active = static_cast<Window>(window);
    XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_ACTIVE_WINDOW", False), XA_WINDOW,
                    32, PropModeReplace, reinterpret_cast<const unsigned char*>(&active), 1);
    XFlush(d);
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Before the toolkit connects, so it finds both monitors from the start. The server must
    // run with -noreset: each xrandr is its only client while it runs.
    if (!run("xrandr", {"--setmonitor", "KORVO-LEFT", "1280/339x800/212+0+0", "screen"}) ||
        !run("xrandr", {"--setmonitor", "KORVO-RIGHT", "1280/339x800/212+1280+0", "none"})) {
        std::fprintf(stderr, "screens: xrandr could not define the two monitors\n");
        return 1;
    }
    QApplication app(argc, argv);

    QProcess wm;
    wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    QElapsedTimer waited;
    waited.start();
    while (!windowManagerRunning()) {
        if (waited.elapsed() > 20000 || wm.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "screens: openbox did not start\n");
            return 1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    // Openbox names itself on the root window before it has settled, and a window mapped in
    // between may never be shown: it has settled once it shows a window of ours.
    bool settled = false;
    for (int attempt = 0; attempt < 10 && !settled; ++attempt) {
        QRasterWindow probe;
        probe.setGeometry(100, 100, 100, 100);
        probe.show();
        waited.restart();
        while (!probe.isExposed() && waited.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        settled = probe.isExposed();
    }
    if (!settled) {
        std::fprintf(stderr, "screens: openbox shows no window\n");
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    wm.terminate();
    wm.waitForFinished(5000);
    return result;
}
