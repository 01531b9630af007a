#include "ui/island/IslandMetrics.h"
#include "ui/island/IslandRenderer.h"
#include "ui/island/IslandRootView.h"

#include "core/VirtualLoop.h"
#include "fakes/PlainPreferences.h"
#include "settings/HUDStat.h"
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
    Activity a;
    a.id = id;
    a.kind = kind;
    a.priority = ActivityPriority::normal;
    a.startedAt = QDateTime(QDate(2026, 3, 2), QTime(10, minute), Qt::UTC);
    a.payload = std::move(payload);
    return a;
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
class IslandWorld : public ::testing::Test {
protected:
    IslandWorld()
        : bus(loop),
          log(QString()),
          engine(loop, bus, log),
          viewModel(loop, engine, settings, log, kNoNotch),
          animator([this] { return loop.monotonicNow(); }),
          root(viewModel, engine, settings, loop, animator, interaction,
               [this] { return upcoming; }) {
        engine.start();
        animator.setImmediate(true);
        loop.runUntilIdle();
    }

    void start(const Activity& a) {
        bus.post(ActivityStarted{a});
        loop.runUntilIdle();
    }
    void toast(const QString& icon, const QString& title) {
        bus.post(TransientNotification::make(icon, title, QStringLiteral("sub"), 4,
                                             ActivityPriority::normal));
        loop.runUntilIdle();
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
    static bool hasText(const Node& n, const QString& s) {
        if (n.kind == Node::Kind::text && n.text == s) {
            return true;
        }
        return std::any_of(n.children.begin(), n.children.end(),
                           [&](const NodePtr& c) { return c && hasText(*c, s); });
    }
    static int countWidth(const Node& n, double w, double h) {
        int count = n.kind == Node::Kind::shape && n.frame.width() == w && n.frame.height() == h;
        for (const auto& c : n.children) {
            count += countWidth(*c, w, h);
        }
        return count;
    }

    VirtualLoop loop;
    EventBus bus;
    DebugLog log;
    ActivityEngine engine;
    test::PlainWindowPreferences settings;
    IslandViewModel viewModel;
    Animator animator;
    Interaction interaction;
    IslandRootView root;
    std::vector<CalendarEventInfo> upcoming;
};

}  // namespace

TEST(IslandMetrics, ExpandedSizeFollowsThePayload) {
    const double h = kNotch.height;
    auto size = [&](ActivityPayload p, SizeInputs in = {}) {
        return expandedSize(kNotch, activity("a", std::move(p)), in);
    };
    EXPECT_EQ(size(track(200)).height() - size(track(0)).height(), 28);  // the progress line
    EXPECT_EQ(size(devices(7)), QSizeF(400, h + 188));
    EXPECT_EQ(size(devices(2)).height(), h + 86);
    for (auto [n, extra] : {std::pair{0, 88}, {1, 88}, {2, 114}, {5, 158}}) {
        EXPECT_EQ(size(CalendarEventInfo{}, {8, n}).height(), h + extra) << n;
    }
    EXPECT_EQ(size(SystemStatsPayload{}, {8, 0}), QSizeF(564, h + 166));
    EXPECT_EQ(size(SystemStatsPayload{}, {0, 0}), QSizeF(330, h + 94));
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
    struct Case {
        IslandState state;
        QSizeF size;
    };
    for (const auto& c :
         {Case{IslandState::hidden, {180, 32}}, Case{IslandState::compact, {276, 32}},
          Case{IslandState::medium, {380, 72}}, Case{IslandState::expanded, {340, 88}},
          Case{IslandState::hud, {560, 184}}}) {
        viewModel.state.set(c.state);
        const QImage img = renderPanel(root, animator, 2);
        const QRect b = opaqueBounds(img, 128);
        const QRect expected(static_cast<int>(2 * (350 - c.size.width() / 2)), 0,
                             static_cast<int>(2 * c.size.width()),
                             static_cast<int>(2 * c.size.height()));
        EXPECT_EQ(b, expected) << toString(c.state).toStdString();
        EXPECT_EQ(QColor(img.pixel(700, 10)), QColor(Qt::black));
    }
}

TEST_F(IslandWorld, ContentIsPushedBelowARealNotchOnlyFromMediumUp) {
    viewModel.notchGeometry.set(kNotch);
    start(activity("gen", GenericPayload{"star.fill", "Build", {}, {}}));
    toast("bolt.fill", "Charging");
    EXPECT_EQ(viewModel.state.get(), IslandState::medium);
    View v = built();
    // The toast title sits below the 37-point camera band.
    std::function<const Node*(const Node&)> findText = [&](const Node& n) -> const Node* {
        if (n.kind == Node::Kind::text && n.text == "Charging") {
            return &n;
        }
        for (const auto& c : n.children) {
            if (const Node* f = findText(*c)) {
                return f;
            }
        }
        return nullptr;
    };
    const Node* title = findText(*v.node());
    ASSERT_NE(title, nullptr);
    EXPECT_GT(title->frame.top(), 37);
    EXPECT_LT(title->frame.bottom(), 37 + 40);
}

TEST_F(IslandWorld, ExpandedCardsStartBelowTheHeaderEvenWithoutANotch) {
    start(activity("bat", BatteryInfo{18, false, 7500}, 0, Activity::Kind::battery));
    viewModel.state.set(IslandState::expanded);
    View v = built();
    const Node* header = nullptr;
    const Node* status = nullptr;
    std::function<void(const Node&)> walk = [&](const Node& n) {
        if (n.kind == Node::Kind::text && n.text == "Battery") {
            header = &n;
        }
        if (n.kind == Node::Kind::text && n.text.startsWith("On battery")) {
            status = status ? status : &n;  // the card's status line, not the header detail
        }
        for (const auto& c : n.children) {
            walk(*c);
        }
    };
    walk(*v.node());
    ASSERT_NE(header, nullptr);
    ASSERT_NE(status, nullptr);
    EXPECT_LE(header->frame.bottom(), 32);
    // Nothing of the card is drawn in the header's band.
    std::function<double(const Node&)> topOfCard = [&](const Node& n) -> double {
        double top = 1e9;
        if ((n.kind == Node::Kind::text || n.kind == Node::Kind::symbol) && &n != header &&
            n.text != "On battery") {
            top = n.frame.top();
        }
        for (const auto& c : n.children) {
            top = std::min(top, topOfCard(*c));
        }
        return top;
    };
    EXPECT_GE(topOfCard(*v.node()), 32);
}

TEST_F(IslandWorld, OverlaysAppearExactlyWhenTheirConditionsHold) {
    start(activity("a", GenericPayload{"star.fill", "A", {}, {}}, 0));
    // One activity: no dots in medium or expanded.
    viewModel.state.set(IslandState::expanded);
    EXPECT_EQ(countWidth(*built().node(), 13, 4), 0);

    start(activity("b", ClipboardInfo{"x", 2, false}, 1, Activity::Kind::clipboard));
    viewModel.state.set(IslandState::expanded);
    View v = built();
    EXPECT_EQ(countWidth(*v.node(), 13, 4), 1);  // the focused one
    EXPECT_EQ(countWidth(*v.node(), 4, 4), 1);
    EXPECT_TRUE(hasText(*v.node(), "Clipboard"));
    EXPECT_TRUE(hasText(*v.node(), "2 items"));

    viewModel.state.set(IslandState::compact);
    EXPECT_EQ(countWidth(*built().node(), 13, 4), 0);
    viewModel.state.set(IslandState::medium);
    EXPECT_EQ(countWidth(*built().node(), 13, 4), 1);
    settings.dots = false;
    EXPECT_EQ(countWidth(*built().node(), 13, 4), 0);

    // The pill shows only in expanded and hud while a toast is queued.
    viewModel.state.set(IslandState::expanded);
    EXPECT_FALSE(hasText(*built().node(), "Copied — sub"));
    toast("doc.on.clipboard.fill", "Copied");
    viewModel.state.set(IslandState::expanded);
    EXPECT_TRUE(hasText(*built().node(), "Copied — sub"));
    viewModel.state.set(IslandState::hud);
    EXPECT_TRUE(hasText(*built().node(), "Copied — sub"));
    EXPECT_FALSE(hasText(*built().node(), "Clipboard"));  // header only when expanded
    loop.advance(5);
    viewModel.state.set(IslandState::hud);
    EXPECT_FALSE(hasText(*built().node(), "Copied — sub"));
}

TEST_F(IslandWorld, TrackToastDoesNotReplaceTheNowPlayingRowButReplacesOthers) {
    start(activity("np", track(100), 0, Activity::Kind::nowPlaying));
    toast("music.note", "Next Song");
    EXPECT_EQ(viewModel.state.get(), IslandState::medium);
    EXPECT_FALSE(hasText(*built().node(), "Next Song"));
    loop.advance(5);

    start(activity("cal", CalendarEventInfo{}, 1, Activity::Kind::meeting));
    toast("music.note", "Another Song");
    EXPECT_TRUE(hasText(*built().node(), "Another Song"));
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
    EXPECT_DOUBLE_EQ(islandFrame().width(), 180);  // the move starts now
    EXPECT_FALSE(animator.isSettled());
    loop.advance(0.1);
    const double mid = islandFrame().width();
    EXPECT_GT(mid, 180);
    EXPECT_LT(mid, 276);
    loop.advance(3);
    EXPECT_NEAR(islandFrame().width(), 276, 0.01);
    EXPECT_TRUE(animator.isSettled());
}

TEST_F(IslandWorld, HoverInCompactScalesTheIslandAndClicksReachTheViewModel) {
    start(activity("a", GenericPayload{"star.fill", "A", {}, {}}));
    settings.hover = false;
    View v = built();
    const auto hits = collectHits(*v.node());
    const HitRegion* island =
        hitTest(hits, {350, 10}, [](const Node& n) { return static_cast<bool>(n.onClick); });
    ASSERT_NE(island, nullptr);
    EXPECT_EQ(hitTest(hits, {10, 300}, [](const Node& n) { return static_cast<bool>(n.onClick); }),
              nullptr);
    island->node->onClick();
    EXPECT_EQ(viewModel.state.get(), IslandState::expanded);
    island->node->onClick();
    EXPECT_EQ(viewModel.state.get(), IslandState::compact);

    const HitRegion* hover =
        hitTest(hits, {350, 10}, [](const Node& n) { return static_cast<bool>(n.onHover); });
    ASSERT_NE(hover, nullptr);
    hover->node->onHover(true);
    EXPECT_TRUE(viewModel.isHovering.get());
    built();
    EXPECT_NEAR(root.islandRect().width(), 276 * 1.04, 1e-6);
    hover->node->onHover(false);
    built();
    EXPECT_NEAR(root.islandRect().width(), 276, 1e-6);
}
