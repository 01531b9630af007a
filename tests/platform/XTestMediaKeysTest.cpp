// Media keys on a real X server (CTest runs this under Xvfb); skipped without a display.
#include "platform/linux/XTestMediaKeys.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <X11/XF86keysym.h>
#include <X11/Xlib.h>

using namespace korvo;

TEST(XTestMediaKeys, NothingIsSentWithoutADisplay) {
    XTestMediaKeys keys(":9999");
    EXPECT_FALSE(keys.isTrusted());
    EXPECT_FALSE(keys.post(16, true));
    EXPECT_FALSE(XTestMediaKeys().post(99, true));  // not a media key, whatever the display
}

TEST(XTestMediaKeys, APressAndAReleaseReachTheDisplay) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        GTEST_SKIP() << "no X display";
    }
    const KeyCode next = XKeysymToKeycode(display, XF86XK_AudioNext);
    ASSERT_NE(next, 0);
    const Window root = DefaultRootWindow(display);
    XGrabKey(display, next, AnyModifier, root, True, GrabModeAsync, GrabModeAsync);
    XSync(display, False);

    XTestMediaKeys keys;
    EXPECT_TRUE(keys.isTrusted());
    EXPECT_TRUE(keys.post(17, true));
    EXPECT_TRUE(keys.post(17, false));

    std::vector<int> seen;
    QElapsedTimer clock;
    clock.start();
    while (seen.size() < 2 && clock.elapsed() < 3000) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if ((event.type == KeyPress || event.type == KeyRelease) &&
                event.xkey.keycode == next) {
                seen.push_back(event.type);
            }
        }
    }
    EXPECT_EQ(seen, (std::vector<int>{KeyPress, KeyRelease}));
    XUngrabKey(display, next, AnyModifier, root);
    XCloseDisplay(display);
}
