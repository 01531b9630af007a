// Which display the island goes to, and how it steps aside for full-screen windows, on a real X
// server with two monitors and openbox (see main.cpp).
#include "Spin.h"
#include "app/IslandScreens.h"
#include "app/NotchWindowController.h"
#include "app/settings/SettingsWindow.h"
#include "core/QtMainLoop.h"
#include "platform/linux/X11FullScreenWatch.h"
#include "platform/linux/X11PanelSurface.h"
#include "platform/linux/X11PointerDisplay.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QProcess>
#include <QRasterWindow>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;
using korvo::test::spinFor;
using korvo::test::spinUntil;

QPoint windowOrigin(WId window);      // main.cpp
void announceFullScreen(WId window);  // main.cpp

namespace {

// Generous: the bounds only keep a broken run from hanging, they time nothing.
constexpr int kDeadlineMs = 15000;

bool tool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(kDeadlineMs)) {
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool xrandr(const QStringList& args) {
    return tool(QStringLiteral("xrandr"), args);
}

const QString kLeft = QStringLiteral("KORVO-LEFT");
const QString kRight = QStringLiteral("KORVO-RIGHT");

QScreen* screenNamed(const QString& name) {
    for (QScreen* s : QGuiApplication::screens()) {
        if (s->name() == name) {
            return s;
        }
    }
    return nullptr;
}

class Island : public ::testing::Test {
protected:
    Island()
        : bus(loop),
          log(QString()),
          engine(loop, bus, log),
          settings(dir.filePath("korvo.conf")),
          window(loop, engine, settings, log, surface) {
        auto fullScreen = X11FullScreenWatch::create();
        watch = fullScreen.get();
        screens = std::make_unique<IslandScreens>(
            loop, settings, engine, std::make_unique<X11PointerDisplay>(loop),
            std::move(fullScreen), FullScreenGuard::Surface::aboveFullScreen);
        // Wired as the application wires it.
        window.chooseOutput = [this] {
            const QScreen* s = screens->screen();
            return s ? s->name() : QString();
        };
        engine.start();
        window.reanchor();
        window.show();
        placement = screens->attach([this] { window.reanchor(); },
                                    [this](bool hide) { hide ? window.hide() : window.show(); });
        spinUntil([&] { return surface.window().isExposed(); });
    }

    void SetUp() override {
        ASSERT_NE(watch, nullptr);
        ASSERT_EQ(QGuiApplication::screens().size(), 2);
    }

    // Every test leaves the two monitors as it found them.
    void TearDown() override {
        auto standard = [&] {
            const QScreen* r = screenNamed(kRight);
            return QGuiApplication::screens().size() == 2 && r &&
                   r->geometry() == QRect(1280, 0, 1280, 800) &&
                   QGuiApplication::primaryScreen()->name() == kLeft;
        };
        if (!standard()) {
            setRight(QStringLiteral("1280/339x800/212+1280+0"));
            ASSERT_TRUE(spinUntil(standard));
        }
    }

    // Unplugs the right-hand monitor, if there, and plugs it in again at `geometry`. The server
    // refuses to redefine a monitor in place, and the toolkit misses a removal undone before it
    // looked, so it is given the time to see each step.
    void setRight(const QString& geometry, bool primary = false) {
        if (screenNamed(kRight)) {
            ASSERT_TRUE(xrandr({"--delmonitor", kRight}));
            ASSERT_TRUE(spinUntil([] { return !screenNamed(kRight); }));
        }
        ASSERT_TRUE(xrandr({"--setmonitor", primary ? "*" + kRight : kRight, geometry, "none"}));
        ASSERT_TRUE(spinUntil([] { return screenNamed(kRight) != nullptr; }));
    }

    // The panel's top-left corner when the island hangs from the top centre of `area`.
    QPoint anchoredOn(QRect area) {
        return {area.x() + (area.width() - surface.window().width()) / 2, area.top()};
    }
    bool panelOn(const QString& name) {
        const QScreen* s = screenNamed(name);
        return s && windowOrigin(surface.window().winId()) == anchoredOn(s->geometry());
    }
    bool pointerAt(int x, int y) {
        return tool(QStringLiteral("xdotool"),
                    {"mousemove", QString::number(x), QString::number(y)});
    }

    QTemporaryDir dir;
    QtMainLoop loop;
    EventBus bus;
    DebugLog log;
    ActivityEngine engine;
    SettingsStore settings;
    X11PanelSurface surface;
    NotchWindowController window;
    X11FullScreenWatch* watch = nullptr;
    std::unique_ptr<IslandScreens> screens;
    Subscription placement;
};

using Screens = Island;
using FullScreen = Island;

QStringList entries(const QComboBox& box) {
    QStringList out;
    for (int i = 0; i < box.count(); ++i) {
        out << box.itemText(i);
    }
    return out;
}

}  // namespace

TEST_F(Screens, MainDisplayThenANamedOneThatComesAndGoesAndMoves) {
    EXPECT_TRUE(spinUntil([&] { return panelOn(kLeft); }));  // the primary monitor

    SettingsWindow settingsWindow(settings, "1.0", "");
    auto* picker = settingsWindow.findChild<QComboBox*>("display.picker");
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(entries(*picker),
              (QStringList{"Main display", "Display with the pointer", kLeft, kRight}));
    picker->setCurrentIndex(picker->findText(kRight));
    EXPECT_TRUE(spinUntil([&] { return panelOn(kRight); }));
    EXPECT_EQ(surface.window().screen()->name(), kRight);

    // Unplugged: back to the main display; the picker keeps the absent choice.
    ASSERT_TRUE(xrandr({"--delmonitor", kRight}));
    EXPECT_TRUE(spinUntil([&] { return QGuiApplication::screens().size() == 1; }));
    EXPECT_TRUE(spinUntil([&] { return panelOn(kLeft); }));
    EXPECT_TRUE(spinUntil([&] { return picker->count() == 4; }));
    EXPECT_EQ(picker->currentText(), kRight + " (not connected)");

    // Plugged in again.
    setRight(QStringLiteral("1280/339x800/212+1280+0"));
    EXPECT_TRUE(spinUntil([&] { return panelOn(kRight); }));
    EXPECT_EQ(picker->currentText(), kRight);

    // Plugged in elsewhere, and narrower.
    setRight(QStringLiteral("1000/265x800/212+1560+0"));
    EXPECT_TRUE(spinUntil([&] {
        return windowOrigin(surface.window().winId()) == anchoredOn(QRect(1560, 0, 1000, 800));
    }));

    // The main display, and then the right-hand one becomes main.
    picker->setCurrentIndex(0);
    EXPECT_EQ(settings.display(), "main");
    EXPECT_TRUE(spinUntil([&] { return panelOn(kLeft); }));
    setRight(QStringLiteral("1280/339x800/212+1280+0"), true);
    EXPECT_TRUE(spinUntil([&] { return panelOn(kRight); }));
}

TEST_F(Screens, PointerDisplayIsFollowedOnlyWhileChosen) {
    ASSERT_TRUE(pointerAt(300, 400));
    const int beats = loop.beatTaskCount();
    EXPECT_FALSE(screens->selection().watchingPointer());

    settings.setDisplay("pointer");
    EXPECT_EQ(loop.beatTaskCount(), beats + 1);  // one read on the shared beat, no timer of its own
    EXPECT_TRUE(spinUntil([&] { return panelOn(kLeft); }));
    ASSERT_TRUE(pointerAt(1900, 400));
    EXPECT_TRUE(spinUntil([&] { return panelOn(kRight); }));
    ASSERT_TRUE(pointerAt(200, 700));
    EXPECT_TRUE(spinUntil([&] { return panelOn(kLeft); }));

    settings.setDisplay("main");
    EXPECT_EQ(loop.beatTaskCount(), beats);
    ASSERT_TRUE(pointerAt(1900, 400));
    spinFor(2500);  // more than long enough to settle there, were it still followed
    EXPECT_TRUE(panelOn(kLeft));
}

namespace {

// An ordinary application window that the test makes full screen through the window manager.
class Player : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {}
};

}  // namespace

TEST_F(FullScreen, AFullScreenWindowOnTheIslandsDisplayHidesItAndAToastWaits) {
    ASSERT_TRUE(spinUntil([&] { return panelOn(kLeft); }));
    Player player;
    player.setGeometry(200, 200, 400, 300);
    player.show();
    ASSERT_TRUE(spinUntil([&] { return watch->activeWindow() == player.winId(); }));

    player.showFullScreen();
    EXPECT_TRUE(spinUntil([&] { return !surface.window().isVisible(); }));
    ASSERT_TRUE(watch->activeFullScreen());
    EXPECT_EQ(watch->activeFullScreen()->frame, QRect(0, 0, 1280, 800));

    bus.post(TransientNotification::make("camera.fill", "Screenshot saved", {}, 1.0,
                                         ActivityPriority::normal));
    spinFor(2500);  // well past the toast's own second
    ASSERT_EQ(engine.toastQueue.get().size(), 1u);
    EXPECT_FALSE(surface.window().isVisible());

    player.showNormal();
    EXPECT_TRUE(
        spinUntil([&] { return surface.window().isVisible() && surface.window().isExposed(); }));
    EXPECT_TRUE(spinUntil([&] { return panelOn(kLeft); }));  // back where it was
    EXPECT_TRUE(spinUntil([&] { return window.viewModel().state.get() == IslandState::medium; }));
    EXPECT_TRUE(spinUntil([&] { return engine.toastQueue.get().empty(); }));
}

TEST_F(FullScreen, FullScreenElsewhereOrWithThePreferenceOffLeavesTheIslandAlone) {
    ASSERT_TRUE(spinUntil([&] { return panelOn(kLeft); }));
    Player other;
    other.setGeometry(1500, 200, 400, 300);
    other.show();
    ASSERT_TRUE(spinUntil([&] { return watch->activeWindow() == other.winId(); }));
    other.showFullScreen();
    ASSERT_TRUE(spinUntil([&] {
        return watch->activeFullScreen() &&
               watch->activeFullScreen()->frame == QRect(1280, 0, 1280, 800);
    }));
    spinFor(300);
    EXPECT_TRUE(surface.window().isVisible());
    EXPECT_FALSE(engine.toastsHeld());

    // The island follows the pointer onto the covered display and steps aside there.
    settings.setDisplay("pointer");
    ASSERT_TRUE(tool("xdotool", {"mousemove", "1900", "400"}));
    EXPECT_TRUE(spinUntil([&] { return !surface.window().isVisible(); }));

    // Switched off in the settings window, the island comes back over the full-screen window.
    SettingsWindow settingsWindow(settings, "1.0", "");
    auto* hide = settingsWindow.findChild<QCheckBox*>("toggle.hideInFullScreen");
    ASSERT_NE(hide, nullptr);
    EXPECT_TRUE(hide->isChecked());
    hide->click();
    EXPECT_FALSE(settings.hideInFullScreen());
    EXPECT_TRUE(spinUntil([&] { return surface.window().isVisible(); }));
    EXPECT_TRUE(spinUntil([&] { return panelOn(kRight); }));
    EXPECT_FALSE(engine.toastsHeld());
}

TEST_F(FullScreen, AWindowResizedAfterItsStateSaysFullScreenIsMeasuredAgain) {
    // Window managers differ in the order of the two; this one announces first.
    Player bare;
    bare.setFlags(Qt::X11BypassWindowManagerHint);
    bare.setGeometry(100, 100, 200, 200);
    bare.show();
    ASSERT_TRUE(spinUntil([&] { return bare.isExposed(); }));
    announceFullScreen(bare.winId());
    ASSERT_TRUE(spinUntil([&] { return watch->activeFullScreen().has_value(); }));
    EXPECT_EQ(watch->activeFullScreen()->frame, QRect(100, 100, 200, 200));
    EXPECT_TRUE(surface.window().isVisible());  // a small window covers no display

    bare.setGeometry(0, 0, 1280, 800);
    EXPECT_TRUE(spinUntil([&] { return !surface.window().isVisible(); }));
    EXPECT_EQ(watch->activeFullScreen()->frame, QRect(0, 0, 1280, 800));
}
