// The desktop around the island on a headless sway with two outputs of its own: a full-screen
// window on the island's output holds the toasts, one on another output does not, and a named
// display gets the island once it is connected, the compositor's pick until then.
#include "ClickCatcher.h"
#include "Spin.h"
#include "SwaySession.h"
#include "app/IslandScreens.h"
#include "app/NotchWindowController.h"
#include "core/QtMainLoop.h"
#include "fakes/QtPrinters.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandFullScreenWatch.h"
#include "platform/linux/wayland/WaylandPanelSurface.h"
#include "settings/SettingsStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvo;
using korvo::test::spinUntil;

namespace {

// Whether the island hangs at the top centre of the screenshot, where an empty output shows its
// background as in the bottom-left corner.
bool islandDrawn(const QImage& shot) {
    return !shot.isNull() && shot.pixel(shot.width() / 2, 1) != shot.pixel(0, shot.height() - 1);
}

class SwayDesktop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_sway = new test::SwaySession();
        if (s_sway->running()) {
            s_sway->swaymsg({"create_output"});
        }
    }
    static void TearDownTestSuite() {
        delete s_sway;
        s_sway = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_sway->running()); }

    static test::SwaySession& sway() { return *s_sway; }
    static QByteArray socket() { return QFile::encodeName(s_sway->socket()); }
    static QStringList outputNames() {
        QStringList names;
        const auto outputs = QJsonDocument::fromJson(sway().swaymsg({"-t", "get_outputs"}).out);
        for (const auto& o : outputs.array()) {
            names << o.toObject()[QStringLiteral("name")].toString();
        }
        return names;
    }
    static void swaymsg(const QStringList& args) {
        ASSERT_EQ(sway().swaymsg(args).code, 0) << args.join(' ').toStdString();
    }

    static inline test::SwaySession* s_sway = nullptr;
};

// The island as main.cpp builds it on Wayland, in this process: placed by the compositor, toasts
// held while the compositor reports a full-screen window on its output.
struct Island {
    explicit Island(const QByteArray& socket)
        : connection(wayland::Connection::connect(socket)),
          bus(loop),
          log(QString()),
          engine(loop, bus, log),
          settings(dir.filePath("korvo.conf")) {
        if (!connection) {
            return;
        }
        connection->attachToEventLoop();
        surface = std::make_unique<WaylandPanelSurface>(*connection);
        window = std::make_unique<NotchWindowController>(loop, engine, settings, log, *surface);
        auto fullScreen = WaylandFullScreenWatch::create(*connection, loop);
        watch = fullScreen.get();
        screens =
            std::make_unique<IslandScreens>(loop, settings, engine, nullptr, std::move(fullScreen),
                                            FullScreenGuard::Surface::beneathFullScreen);
        screens->followLayerSurface(*surface);
        engine.start();
        window->reanchor();
        window->show();
        placement = screens->attach([this] { window->reanchor(); }, [](bool) {});
    }

    QString output() const { return surface->outputName(); }
    bool fullScreenOn(const QString& output) const {
        const auto w = watch->activeFullScreen();
        return w && w->displays == QStringList{output};
    }
    IslandState state() { return window->viewModel().state.get(); }

    QTemporaryDir dir;
    std::unique_ptr<wayland::Connection> connection;
    QtMainLoop loop;
    EventBus bus;
    DebugLog log;
    ActivityEngine engine;
    SettingsStore settings;
    std::unique_ptr<WaylandPanelSurface> surface;
    std::unique_ptr<NotchWindowController> window;
    WaylandFullScreenWatch* watch = nullptr;
    std::unique_ptr<IslandScreens> screens;
    Subscription placement;
};

}  // namespace

TEST_F(SwayDesktop, AFullScreenWindowOnTheIslandsOutputHoldsAToastUntilItLeavesFullScreen) {
    Island island(socket());
    ASSERT_TRUE(island.watch) << "sway offers foreign-toplevel management";
    // Placed by the compositor, which says where once the surface is up.
    ASSERT_TRUE(spinUntil([&] { return !island.output().isEmpty(); }));
    const QString on = island.output();

    test::ClickCatcher video(socket(), "video");
    ASSERT_TRUE(spinUntil([&] { return video.shown; }));
    swaymsg({"[title=\"video\"]", "move", "container", "to", "output", on});
    swaymsg({"[title=\"video\"]", "focus"});
    video.setFullScreen(true);
    ASSERT_TRUE(spinUntil([&] { return island.fullScreenOn(on); }));
    EXPECT_TRUE(island.engine.toastsHeld());

    // The island beneath plays the toast out, but the toast itself waits.
    int shown = 0;
    const Subscription states = island.window->viewModel().state.subscribe(
        [&](IslandState s) { shown += s == IslandState::medium; });
    island.bus.post(
        TransientNotification::make("bell.fill", "Held", {}, 0.3, ActivityPriority::normal));
    ASSERT_TRUE(spinUntil([&] { return shown > 0 && island.state() == IslandState::hidden; }));
    ASSERT_EQ(island.engine.toastQueue.get().size(), 1u);

    // Out of full screen the island returns, shows the toast, and lets it go in its own time.
    const int before = shown;
    video.setFullScreen(false);
    EXPECT_TRUE(spinUntil([&] { return !island.engine.toastsHeld(); }));
    EXPECT_FALSE(island.watch->activeFullScreen());
    EXPECT_TRUE(spinUntil([&] { return shown > before; }));
    EXPECT_TRUE(spinUntil([&] { return island.engine.toastQueue.get().empty(); }));
}

TEST_F(SwayDesktop, TheCompositorPicksTheFocusedOutputAndAFullScreenWindowElsewhereHoldsNothing) {
    // The main display is the compositor's pick: the output in focus, not the first one.
    const QStringList outputs = outputNames();
    ASSERT_GE(outputs.size(), 2);
    const QString on = outputs.last();
    const QString other = outputs.first();
    swaymsg({"focus", "output", on});
    Island island(socket());
    ASSERT_TRUE(island.watch);
    ASSERT_TRUE(spinUntil([&] { return !island.output().isEmpty(); }));
    EXPECT_EQ(island.output(), on);

    test::ClickCatcher video(socket(), "video");
    ASSERT_TRUE(spinUntil([&] { return video.shown; }));
    swaymsg({"[title=\"video\"]", "move", "container", "to", "output", other});
    swaymsg({"[title=\"video\"]", "focus"});
    video.setFullScreen(true);
    // Active and full screen, but elsewhere: a toast is not held.
    ASSERT_TRUE(spinUntil([&] { return island.fullScreenOn(other); }));
    EXPECT_FALSE(island.engine.toastsHeld());
    EXPECT_EQ(island.output(), on);

    swaymsg({"[title=\"video\"]", "move", "container", "to", "output", on});
    swaymsg({"[title=\"video\"]", "focus"});
    EXPECT_TRUE(spinUntil([&] { return island.fullScreenOn(on); }));
    EXPECT_TRUE(island.engine.toastsHeld());
}

TEST_F(SwayDesktop, ANamedDisplayGetsTheIslandOnceConnectedAndTheCompositorsPickUntilThen) {
    // korvo itself, its Display preference naming the output sway will add next.
    const QStringList before = outputNames();
    int last = 0;
    for (const QString& name : before) {
        last = std::max(last, name.section(QLatin1Char('-'), -1).toInt());
    }
    const QString named = QStringLiteral("HEADLESS-%1").arg(last + 1);
    QTemporaryDir config;
    QTemporaryDir runtime;
    {
        QSettings stored(config.filePath("korvo/korvo.conf"), QSettings::IniFormat);
        DisplayDescription d;
        d.name = named;
        stored.setValue("display", DisplayPreference::named(d).toString());
    }
    QProcessEnvironment env = sway().clientEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess korvo;
    korvo.setProcessEnvironment(env);
    korvo.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    korvo.start(QStringLiteral(KORVO_BINARY_DIR "/src/app/korvo"), {});
    ASSERT_TRUE(korvo.waitForStarted(10000));
    auto drawnOn = [&](const QStringList& outputs) {
        QStringList on;
        for (const QString& o : outputs) {
            if (islandDrawn(sway().grim(o))) {
                on << o;
            }
        }
        return on;
    };

    EXPECT_TRUE(spinUntil([&] { return drawnOn(before).size() == 1; }, 20000));
    swaymsg({"create_output"});
    const QStringList after = before + QStringList{named};
    EXPECT_TRUE(spinUntil([&] { return drawnOn(after) == QStringList{named}; }, 20000))
        << drawnOn(after).join(' ').toStdString();

    korvo.terminate();
    if (!korvo.waitForFinished(10000)) {
        korvo.kill();
        korvo.waitForFinished();
    }
}

TEST_F(SwayDesktop, WhenTheNamedOutputGoesTheCompositorPicksAnother) {
    // A sway nested in this one: its outputs are windows here, and closing one removes it.
    test::SwaySession nested(1, sway().socket());
    ASSERT_TRUE(nested.running());
    ASSERT_EQ(nested.swaymsg({"create_output"}).code, 0);
    Island island(QFile::encodeName(nested.socket()));
    ASSERT_TRUE(spinUntil([&] { return island.surface->outputs().size() == 2; }));
    island.surface->outputChoice = [] { return QStringLiteral("WL-1"); };
    island.window->reanchor();
    ASSERT_TRUE(spinUntil([&] { return island.output() == QStringLiteral("WL-1"); }));

    ASSERT_EQ(sway().swaymsg({"[title=\"wlroots - WL-1\"]", "kill"}).code, 0);
    EXPECT_TRUE(spinUntil([&] { return island.output() == QStringLiteral("WL-2"); }));
    EXPECT_TRUE(spinUntil([&] { return islandDrawn(nested.grim(QStringLiteral("WL-2"))); }));
}
