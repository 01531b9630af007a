#include "X11Panel.h"

#include <qguiapplication_platform.h>
#include <QGuiApplication>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <vector>

namespace korvo::x11 {

namespace {

Display* display() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

Atom atom(Display* d, const char* name) {
    return XInternAtom(d, name, False);
}

// Qt reads this dynamic property to pick the window type; 0x4 is a dock.
constexpr int kQtDockWindowType = 0x000004;

void sendState(Display* d, Window w, const char* first, const char* second) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = atom(d, "_NET_WM_STATE");
    e.xclient.format = 32;
    e.xclient.data.l[0] = 1;  // add
    e.xclient.data.l[1] = static_cast<long>(atom(d, first));
    e.xclient.data.l[2] = second ? static_cast<long>(atom(d, second)) : 0;
    e.xclient.data.l[3] = 1;  // from an application
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &e);
}

std::vector<XRectangle> rectangles(const QRegion& region) {
    std::vector<XRectangle> out;
    for (const QRect& r : region) {
        out.push_back({static_cast<short>(r.x()), static_cast<short>(r.y()),
                       static_cast<unsigned short>(std::max(0, r.width())),
                       static_cast<unsigned short>(std::max(0, r.height()))});
    }
    return out;
}

void applyShape(Window w, int kind, const QRegion& region) {
    Display* d = display();
    auto rects = rectangles(region);
    XShapeCombineRectangles(d, w, kind, 0, 0, rects.data(), static_cast<int>(rects.size()),
                            ShapeSet, YXBanded);
    XFlush(d);
}

}  // namespace

bool available() {
    return display() != nullptr;
}

void prepareOverlay(QWindow& window) {
    window.setFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                    Qt::WindowDoesNotAcceptFocus | Qt::Tool | Qt::NoDropShadowWindowHint);
    window.setProperty("_q_xcb_wm_window_type", kQtDockWindowType);
    window.setProperty("_q_showWithoutActivating", true);
    Display* d = display();
    if (!d) {
        return;
    }
    const auto w = static_cast<Window>(window.winId());
    const unsigned long allDesktops = 0xFFFFFFFFUL;
    XChangeProperty(d, w, atom(d, "_NET_WM_DESKTOP"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&allDesktops), 1);
    XFlush(d);
}

void assertOverlayState(QWindow& window) {
    Display* d = display();
    if (!d) {
        return;
    }
    const auto w = static_cast<Window>(window.winId());
    sendState(d, w, "_NET_WM_STATE_STICKY", "_NET_WM_STATE_ABOVE");
    sendState(d, w, "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER");
    const unsigned long allDesktops = 0xFFFFFFFFUL;
    XChangeProperty(d, w, atom(d, "_NET_WM_DESKTOP"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&allDesktops), 1);
    XFlush(d);
}

void setInputRegion(QWindow& window, const QRegion& region) {
    if (display()) {
        applyShape(static_cast<Window>(window.winId()), ShapeInput, region);
    }
}

void setVisibleRegion(QWindow& window, const std::optional<QRegion>& region) {
    Display* d = display();
    if (!d) {
        return;
    }
    const auto w = static_cast<Window>(window.winId());
    if (region) {
        applyShape(w, ShapeBounding, *region);
    } else {
        XShapeCombineMask(d, w, ShapeBounding, 0, 0, None, ShapeSet);
        XFlush(d);
    }
}

bool compositorRunning() {
    Display* d = display();
    if (!d) {
        return false;
    }
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(d));
    return XGetSelectionOwner(d, atom(d, name.constData())) != None;
}

}  // namespace korvo::x11
