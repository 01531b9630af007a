#include "XTestMediaKeys.h"

#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <memory>

namespace korvo {

namespace {

struct CloseDisplay {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, CloseDisplay>;

DisplayPtr open(const QByteArray& name) {
    return DisplayPtr(XOpenDisplay(name.isEmpty() ? nullptr : name.constData()));
}

bool hasXTest(Display* display) {
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    return XTestQueryExtension(display, &event, &error, &major, &minor) != 0;
}

KeySym keySymFor(int code) {
    switch (code) {
        case 16:
            return XF86XK_AudioPlay;
        case 17:
            return XF86XK_AudioNext;
        case 18:
            return XF86XK_AudioPrev;
        default:
            return NoSymbol;
    }
}

}  // namespace

bool XTestMediaKeys::isTrusted() {
    const DisplayPtr display = open(m_display);
    return display && hasXTest(display.get());
}

bool XTestMediaKeys::post(int code, bool press) {
    const KeySym sym = keySymFor(code);
    const DisplayPtr display = open(m_display);
    if (sym == NoSymbol || !display || !hasXTest(display.get())) {
        return false;
    }
    const KeyCode key = XKeysymToKeycode(display.get(), sym);
    if (key == 0) {
        return false;  // the keyboard map has no such key
    }
    const bool sent = XTestFakeKeyEvent(display.get(), key, press ? True : False, CurrentTime) != 0;
    XSync(display.get(), False);
    return sent;
}

}  // namespace korvo
