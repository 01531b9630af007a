#include "ui/island/IslandRenderer.h"
#include "ui/island/IslandRootView.h"
#include "ui/style/IslandMetrics.h"

#include "core/EngineScene.h"
#include "fakes/PlainPreferences.h"
#include "settings/HUDStat.h"
#include "ui/ViewTree.h"
#include "ui/kit/Layout.h"
#include "ui/kit/Painter.h"

#include <gtest/gtest.h>

using namespace korvo;
using namespace korvo::ui;

namespace {

const NotchGeometry kNoNotch{180, 32, false};
const NotchGeometry kNotch{200, 37, true};

Activity activity(const QString& id, ActivityPayload payload, int minute = 0,
                  Activity::Kind kind = Activity::Kind::custom) {
    return test::activity(id, std::move(payload), kind, minute);
}

NowPlayingInfo track(double duration) {
    NowPlayingInfo t;
    t.title = "Song";
    t.artist = "Band";
    t.duration = duration;
    return t;
}

std::vector<ConnectedDeviceInfo> devices(int n) {
    std::vector<ConnectedDeviceInfo> out;
    for (int i = 0; i < n; ++i) {
        out.push_back(
            {QString::number(i), "Dev", ConnectedDeviceInfo::Kind::mouse, 50, {}, i == 0});
    }
    return out;
}

// A small world: engine, view model and settings on a virtual clock.
class IslandWorld : public test::EngineScene {
protected:
    IslandWorld()
        : viewModel(loop, engine, settings, log, kNoNotch),
          animator([this] { return loop.monotonicNow(); }),
          root(viewModel, engine, settings, loop, animator, interaction,
               [this] { return upcoming; }) {
        animator.setImmediate(true);
        loop.runUntilIdle();
    }

    void toast(const QString& icon, const QString& title) {
        EngineScene::toast(title, 4, ActivityPriority::normal, icon, QStringLiteral("sub"));
    }
    View built() {
        animator.beginFrame();
        View v = root.build();
        animator.endFrame();
        layout(*v.node(), {kPanelWidth, kPanelHeight});
        return v;
    }
    QRectF islandFrame() {
        View v = built();
        const Node* n = findById(*v.node(), "island");
        return n ? n->frame : QRectF();
    }
    test::ViewTree tree() { return test::ViewTree(built()); }
    QSizeF sizeIn(IslandState state) const {
        return islandSize(state, kNoNotch, engine.focused.get(), {});
    }

    test::PlainWindowPreferences settings;
    IslandViewModel viewModel;
    Animator animator;
    Interaction interaction;
    IslandRootView root;
    std::vector<CalendarEventInfo> upcoming;
};

}  // namespace

TEST(IslandMetrics, ExpandedSizeFollowsThePayload) {
    auto size = [&](ActivityPayload p, SizeInputs in = {}) {
        return expandedSize(kNotch, activity("a", std::move(p)), in);
    };
    // A progress line only for a track of known length.
    EXPECT_GT(size(track(200)).height(), size(track(0)).height());
    // One row per device up to five; one row per event up to three, a lone event as tall as none.
    EXPECT_LT(size(devices(2)).height(), size(devices(5)).height());
    EXPECT_EQ(size(devices(5)), size(devices(7)));
    EXPECT_EQ(size(CalendarEventInfo{}, {8, 0}), size(CalendarEventInfo{}, {8, 1}));
    EXPECT_LT(size(CalendarEventInfo{}, {8, 1}).height(),
              size(CalendarEventInfo{}, {8, 2}).height());
    EXPECT_EQ(size(CalendarEventInfo{}, {8, 3}), size(CalendarEventInfo{}, {8, 5}));
    // The statistics grid: four to a row, a second row from the fifth statistic on.
    EXPECT_EQ(size(SystemStatsPayload{}, {0, 0}), size(SystemStatsPayload{}, {1, 0}));
    EXPECT_EQ(size(SystemStatsPayload{}, {4, 0}).width(),
              size(SystemStatsPayload{}, {8, 0}).width());
    EXPECT_LT(size(SystemStatsPayload{}, {4, 0}).height(),
              size(SystemStatsPayload{}, {5, 0}).height());
}

TEST(IslandMetrics, CalendarCountsTodaysAndOngoingEvents) {
    const QDateTime now = QDateTime(QDate(2026, 3, 2), QTime(12, 0)).toUTC();
    auto ev = [&](int startH, int endH, int dayOffset = 0) {
        CalendarEventInfo e;
        e.start = now.addDays(dayOffset).addSecs(startH * 3600);
        e.end = now.addDays(dayOffset).addSecs(endH * 3600);
        return e;
    };
    EXPECT_EQ(countTodayOrOngoing({ev(1, 2), ev(-1, 1), ev(0, 1, 1), ev(-30, 2)}, now), 3);
}

TEST_F(IslandWorld, RenderedIslandSitsAtTheTopCentreWithItsExactSizeInEveryState) {
    start(activity("gen", GenericPayload{"star.fill", "Build", {}, 0.5}));
    for (IslandState state : {IslandState::hidden, IslandState::compact, IslandState::medium,
                              IslandState::expanded, IslandState::hud}) {
        viewModel.state.set(state);
        const QImage img = renderPanel(root, animator, 2);
        const QSizeF size = sizeIn(state);
        const QRect expected(static_cast<int>(2 * (350 - size.width() / 2)), 0,
                             static_cast<int>(2 * size.width()),
                             static_cast<int>(2 * size.height()));
        EXPECT_EQ(opaqueBounds(img, 128), expected) << toString(state).toStdString();
        EXPECT_EQ(QColor(img.pixel(700, 10)), QColor(Qt::black));
    }
}

TEST_F(IslandWorld, ContentIsPushedBelowARealNotchOnlyFromMediumUp) {
    viewModel.notchGeometry.set(kNotch);
    start(activity("gen", GenericPayload{"star.fill", "Build", {}, {}}));
    toast("bolt.fill", "Charging");
    EXPECT_EQ(viewModel.state.get(), IslandState::medium);
    // The toast title sits below the camera band, inside the island.
    const auto t = tree();
    const Node* title = t.glyph("Charging");
    ASSERT_NE(title, nullptr);
    EXPECT_GT(title->frame.top(), kNotch.height);
    EXPECT_LT(title->frame.bottom(), t.frame("island").bottom());
}

TEST_F(IslandWorld, ExpandedCardsStartBelowTheHeaderEvenWithoutANotch) {
    start(activity("bat", BatteryInfo{18, false, 7500}, 0, Activity::Kind::battery));
    viewModel.state.set(IslandState::expanded);
    // Nothing of the card is drawn in the header's band.
    const auto t = tree();
    const QRectF header = t.frame("island.header");
    ASSERT_FALSE(header.isNull());
    for (const auto& g : t.glyphs()) {
        if (!header.contains(g.node->frame)) {
            EXPECT_GE(g.node->frame.top(), header.bottom()) << g.node->text.toStdString();
        }
    }
}

TEST_F(IslandWorld, OverlaysAppearExactlyWhenTheirConditionsHold) {
    // The carousel dots: one per activity, the focused one wider, from medium up, when wanted.
    auto dots = [&] {
        std::vector<double> widths;
        for (const Node* n : tree().inside(Node::Kind::shape, "island.dots")) {
            widths.push_back(n->frame.width());
        }
        return widths;
    };
    start(activity("a", GenericPayload{"star.fill", "A", {}, {}}, 0));
    viewModel.state.set(IslandState::expanded);
    EXPECT_TRUE(dots().empty()) << "one activity: no dots";

    start(activity("b", ClipboardInfo{"x", 2, false}, 1, Activity::Kind::clipboard));
    viewModel.state.set(IslandState::expanded);
    const auto widths = dots();
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_NE(widths[0], widths[1]) << "the focused one is wider";
    EXPECT_TRUE(tree().draws("Clipboard"));
    EXPECT_TRUE(tree().draws("2 items"));
    viewModel.state.set(IslandState::compact);
    EXPECT_TRUE(dots().empty());
    viewModel.state.set(IslandState::medium);
    EXPECT_EQ(dots().size(), 2u);
    settings.dots = false;
    EXPECT_TRUE(dots().empty());

    // The pill shows only in expanded and hud while a toast is queued.
    viewModel.state.set(IslandState::expanded);
    EXPECT_FALSE(tree().draws("Copied — sub"));
    toast("doc.on.clipboard.fill", "Copied");
    viewModel.state.set(IslandState::expanded);
    EXPECT_TRUE(tree().draws("Copied — sub"));
    viewModel.state.set(IslandState::hud);
    EXPECT_TRUE(tree().draws("Copied — sub"));
    EXPECT_FALSE(tree().draws("Clipboard"));  // header only when expanded
    loop.advance(5);
    viewModel.state.set(IslandState::hud);
    EXPECT_FALSE(tree().draws("Copied — sub"));
}

TEST_F(IslandWorld, TrackToastDoesNotReplaceTheNowPlayingRowButReplacesOthers) {
    start(activity("np", track(100), 0, Activity::Kind::nowPlaying));
    toast("music.note", "Next Song");
    EXPECT_EQ(viewModel.state.get(), IslandState::medium);
    EXPECT_FALSE(tree().draws("Next Song"));
    loop.advance(5);

    start(activity("cal", CalendarEventInfo{}, 1, Activity::Kind::meeting));
    toast("music.note", "Another Song");
    EXPECT_TRUE(tree().draws("Another Song"));
}

TEST_F(IslandWorld, ExpandedHeaderTexts) {
    const QDateTime now = loop.wallNow();
    auto header = [&](ActivityPayload p) {
        return IslandRootView::headerFor(activity("x", std::move(p)), now);
    };
    NowPlayingInfo browserTrack = track(10);
    browserTrack.sourceLabel = "Chrome";
    EXPECT_EQ(header(browserTrack).detail, "Chrome");
    EXPECT_EQ(header(track(10)).detail, "");
    auto two = devices(2);
    EXPECT_EQ(header(two).detail, "1 connected");
    two[0].isLinkActive = false;
    EXPECT_EQ(header(two).detail, "2 paired");
    EXPECT_TRUE(header(GenericPayload{}).title.isEmpty());
    EXPECT_TRUE(header(BluetoothDeviceInfo{}).title.isEmpty());
}

TEST_F(IslandWorld, SizeChangesAnimateWithTheViewModelsSpringAndSettle) {
    animator.setImmediate(false);
    built();
    start(activity("a", GenericPayload{"star.fill", "A", {}, {}}));
    EXPECT_EQ(viewModel.state.get(), IslandState::compact);
    EXPECT_EQ(viewModel.animationSpring(), springs::compact);
    // The move starts now; how a spring moves is the animator's.
    EXPECT_DOUBLE_EQ(islandFrame().width(), sizeIn(IslandState::hidden).width());
    EXPECT_FALSE(animator.isSettled());
    loop.advance(3);
    EXPECT_NEAR(islandFrame().width(), sizeIn(IslandState::compact).width(), 0.01);
}

TEST_F(IslandWorld, HoverInCompactScalesTheIsland) {
    start(activity("a", GenericPayload{"star.fill", "A", {}, {}}));
    settings.hover = false;
    View v = built();
    const auto hits = collectHits(*v.node());
    const HitRegion* hover =
        hitTest(hits, {350, 10}, [](const Node& n) { return static_cast<bool>(n.onHover); });
    ASSERT_NE(hover, nullptr);
    hover->node->onHover(true);
    EXPECT_TRUE(viewModel.isHovering.get());
    built();
    const double compact = sizeIn(IslandState::compact).width();
    EXPECT_GT(root.islandRect().width(), compact);
    hover->node->onHover(false);
    built();
    EXPECT_NEAR(root.islandRect().width(), compact, 1e-6);
}
