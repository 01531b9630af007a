#include "ui/island/BatteryViews.h"
#include "ui/island/Presentations.h"
#include "ui/style/IslandMetrics.h"
#include "ui/style/MediumRows.h"
#include "ui/style/Palette.h"
#include "ui/style/Pieces.h"

#include "core/EngineScene.h"
#include "fakes/PlainPreferences.h"
#include "ui/ViewTree.h"
#include "ui/kit/Layout.h"

#include <gtest/gtest.h>

using namespace korvo;
using namespace korvo::ui;

namespace {

using Tree = test::ViewTree;
using test::RecordingMedia;

Activity activity(ActivityPayload payload) {
    return test::activity("a", std::move(payload));
}

ConnectedDeviceInfo device(const QString& name, std::optional<int> battery,
                           ConnectedDeviceInfo::Kind kind = ConnectedDeviceInfo::Kind::mouse) {
    return {name, name, kind, battery, std::nullopt, true};
}

NowPlayingInfo track(bool playing, double elapsed = 0, double duration = 0) {
    NowPlayingInfo t;
    t.title = "Song";
    t.artist = "Band";
    t.isPlaying = playing;
    t.elapsed = elapsed;
    t.duration = duration;
    t.canPlayPause = t.canGoNext = true;
    return t;
}

// Presentations on a virtual clock, with recorded media commands and opened links.
struct Scene {
    VirtualLoop loop;
    Animator animator{[this] { return loop.monotonicNow(); }};
    Interaction interaction;
    RecordingMedia media;
    bool lowPower = false;
    QList<QUrl> opened;
    IslandServices services{&media, [this] { return lowPower; },
                            [this](const QUrl& u) { opened << u; }};
    test::PlainViewPreferences settings;

    Tree frame(const std::function<View(const PresentationContext&)>& build, QSizeF size) {
        animator.beginFrame();
        View v = build({{animator, interaction}, loop.wallNow(), services, settings});
        animator.endFrame();
        layout(*v.node(), size);
        return Tree(v);
    }
    Tree compact(const std::optional<Activity>& a, NotchGeometry notch = {}) {
        return frame([&](const auto& c) { return compactActivityView(c, a, notch); },
                     {notch.width + 96, notch.height});
    }
    Tree medium(const ActivityPayload& p) {
        return frame([&](const auto& c) { return mediumActivityView(c, activity(p)); }, {380, 72});
    }
    Tree expanded(const std::optional<Activity>& a, QSizeF size = {370, 128}) {
        return frame([&](const auto& c) { return expandedActivityView(c, a); }, size);
    }
};

// The compact island's trailing glyph as text and colour (empty: none).
QStringList trailing(Scene& s, ActivityPayload p) {
    const auto g = s.compact(activity(std::move(p))).glyphs();
    QStringList shown;
    if (g.size() > 1) {
        shown << g[1].node->text << g[1].node->color.name();
    }
    return shown;
}

}  // namespace

TEST(CompactActivityView, WithoutFocusOrWithAGenericActivityTheHalvesHoldPlaceholders) {
    Scene s;
    const Tree t = s.compact(std::nullopt);
    // Without a notch the halves close in on the pill's middle; they span the compact island.
    EXPECT_LT(t.frame("compact.gap").width(), NotchGeometry{}.width);
    EXPECT_DOUBLE_EQ(t.frame("compact.trailing").right(),
                     islandSize(IslandState::compact, {}, std::nullopt, {}).width());
    ASSERT_EQ(t.glyphs().size(), 2u);
    for (const auto& g : t.glyphs()) {
        EXPECT_EQ(g.node->text, "circle.fill");
        EXPECT_LE(g.opacity, 0.001);
    }
    // Over a real notch the gap is the notch itself.
    EXPECT_EQ(s.compact(std::nullopt, {200, 37, true}).frame("compact.gap").width(), 200);
    // A generic activity keeps its leading placeholder.
    EXPECT_LE(s.compact(activity(GenericPayload{"star.fill", "t", {}, {}})).glyphs()[0].opacity,
              0.001);
}

TEST(CompactActivityView, TrailingGlyphByPayload) {
    Scene s;
    const QString green = palette::green().name();
    // Devices: the first device's level (green above 20), else a count from two devices on.
    EXPECT_EQ(trailing(s, std::vector{device("A", 21)}), (QStringList{"21%", green}));
    EXPECT_EQ(trailing(s, std::vector{device("A", 20)}),
              (QStringList{"20%", palette::red().name()}));
    EXPECT_EQ(trailing(s, std::vector{device("A", {})}), QStringList{});
    EXPECT_EQ(trailing(s, std::vector{device("A", {}), device("B", 80), device("C", 10)}),
              (QStringList{"3", palette::teal().name()}));
    CalendarEventInfo ev;
    ev.start = s.loop.wallNow().addSecs(12 * 60 + 5);
    ev.end = ev.start.addSecs(1800);
    EXPECT_EQ(trailing(s, ev), (QStringList{"in 12m", palette::systemPurple().name()}));
    ev.color = QColor(Qt::blue);
    EXPECT_EQ(trailing(s, ev), (QStringList{"in 12m", QColor(Qt::blue).name()}));
    EXPECT_EQ(trailing(s, track(false)), QStringList{});
}

TEST(CompactActivityView, BatteryBouncesOnEachChargingFlipAndDigitsRoll) {
    Scene s;
    auto at = [&](int pct, bool charging) {
        return s.compact(activity(BatteryInfo{pct, charging, {}}));
    };
    EXPECT_EQ(at(50, false).glyphs()[0].scale, 1);  // no bounce when it first shows
    s.loop.advance(0.2);
    at(51, true);
    s.loop.advance(0.2);
    const Tree up = at(51, true);
    EXPECT_GT(up.entry("bolt.fill")->scale, 1.15);
    EXPECT_LT(up.entry("50%")->offsetY, 0);  // 50% leaves upwards while 51% rises from below
    EXPECT_GT(up.entry("51%")->offsetY, 0);
    s.loop.advance(0.4);
    const Tree settled = at(51, true);
    EXPECT_EQ(settled.entry("bolt.fill")->scale, 1);
    EXPECT_FALSE(settled.draws("50%"));
    at(49, false);  // falling numbers roll the other way, and unplugging bounces again
    s.loop.advance(0.2);
    const Tree down = at(49, false);
    EXPECT_GT(down.entry("51%")->offsetY, 0);
    EXPECT_LT(down.entry("49%")->offsetY, 0);
    EXPECT_GT(down.entry("battery.75")->scale, 1.15);
}

TEST(CompactActivityView, CountdownDropsInFromAbove) {
    Scene s;
    CalendarEventInfo ev;
    ev.start = s.loop.wallNow().addSecs(10 * 60 + 30);
    ev.end = ev.start.addSecs(600);
    s.compact(activity(ev));
    s.loop.advance(60);
    s.compact(activity(ev));
    s.loop.advance(0.1);
    const Tree t = s.compact(activity(ev));
    EXPECT_GT(t.entry("in 10m")->offsetY, 0);
    EXPECT_LT(t.entry("in 9m")->offsetY, 0);
}

TEST(EqualizerBars, RestThenSwingOneAfterAnotherForAsLongAsTheyShow) {
    Scene s;
    auto heights = [&] {
        std::vector<double> h;
        for (const auto& e : s.compact(activity(track(true))).all) {
            if (e.node->kind == Node::Kind::shape &&
                e.node->frame.width() < e.node->frame.height()) {
                h.push_back(e.node->frame.height());
            }
        }
        return h;
    };
    const auto rest = heights();
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_TRUE(rest[0] == rest[1] && rest[1] == rest[2]);
    s.loop.advance(0.2);
    const auto moving = heights();
    EXPECT_GT(moving[0], rest[0]);
    EXPECT_GT(moving[0] - rest[0], moving[2] - rest[2]);  // the first leads
    EXPECT_FALSE(s.animator.isSettled());
}

TEST(MediumActivityView, NowPlayingRowButtonsAndProgressLine) {
    Scene s;
    s.animator.setImmediate(true);
    const Tree playing = s.medium(track(true, 60, 240));
    EXPECT_TRUE(playing.draws("pause.fill"));
    // The progress line: a track and its fill, a quarter of it a quarter of the way in.
    auto filled = [](const Tree& t) {
        const auto bars = t.inside(Node::Kind::shape, "medium.progress");
        EXPECT_EQ(bars.size(), 2u);
        return bars.size() == 2 ? bars[1]->frame.width() / bars[0]->frame.width() : -1.0;
    };
    EXPECT_DOUBLE_EQ(filled(playing), 0.25);
    EXPECT_DOUBLE_EQ(filled(s.medium(track(true, 300, 240))), 1);  // full, never beyond
    playing.click("medium.playPause");
    playing.click("medium.next");
    EXPECT_EQ(s.media.calls, (QStringList{"toggle", "next"}));
    NowPlayingInfo last = track(true, 60, 240);
    last.canGoNext = false;  // the player has no next track to offer
    const Tree noNext = s.medium(last);
    EXPECT_TRUE(noNext.draws("forward.fill"));
    EXPECT_FALSE(findById(*noNext.view.node(), "medium.next")->onClick);

    const Tree paused = s.medium(track(false));
    EXPECT_TRUE(paused.draws("play.fill"));
    EXPECT_TRUE(paused.frame("medium.progress").isNull());  // no length known
}

TEST(MediumActivityView, BrowserSubtitleRule) {
    NowPlayingInfo t = track(true);
    t.sourceLabel = "YouTube";
    EXPECT_EQ(nowPlayingSubtitle(t), "Band");  // not a browser tab
    t.sourceApp = MediaSource::browser;
    EXPECT_EQ(nowPlayingSubtitle(t), "Band · YouTube");
    t.artist.clear();
    EXPECT_EQ(nowPlayingSubtitle(t), "YouTube");
}

TEST(MediumRows, CalendarClipboardAndDevices) {
    Scene s;
    CalendarEventInfo ev;
    ev.start = s.loop.wallNow().addSecs(300);
    ev.end = ev.start.addSecs(900);
    ev.joinURL = QUrl("https://zoom.us/j/1");
    ev.provider = "Zoom";
    const Tree cal = s.medium(ev);
    EXPECT_TRUE(cal.draws(eventTimeRange(ev) + " · in 5m"));
    cal.first(Node::Kind::interactive)->onClick();
    EXPECT_EQ(s.opened, QList<QUrl>{*ev.joinURL});
    ev.provider.reset();
    EXPECT_TRUE(s.medium(ev).draws("Join"));

    EXPECT_TRUE(s.medium(ClipboardInfo{"482913", 1, true}).draws("Clipboard · 1 item"));
    EXPECT_TRUE(s.medium(ClipboardInfo{"a", 2, false}).draws("Clipboard · 2 items"));

    EXPECT_TRUE(s.medium(std::vector{device("Solo", {})}).draws("1 device"));
    std::vector<ConnectedDeviceInfo> seven;
    for (int i = 0; i < 7; ++i) {
        seven.push_back(device(QString("D%1").arg(i), i == 1 ? std::optional(30) : std::nullopt));
    }
    const Tree many = s.medium(seven);
    EXPECT_TRUE(many.draws("7 devices"));
    EXPECT_TRUE(many.draws("D0 · D1"));
    EXPECT_EQ(many.glyph("30%")->color, palette::orange());  // first device with a level
    EXPECT_EQ(deviceBatteryColor(20), palette::red());
    EXPECT_EQ(deviceBatteryColor(35), palette::orange());
    EXPECT_EQ(deviceBatteryColor(36), palette::green());
}

TEST(BatteryExpandedView, SymbolColourAndStatusLine) {
    auto symbolAt = [](int p, bool charging = false) {
        return Tree(batteryExpandedView(BatteryInfo{p, charging, {}}, false)).glyphs()[0];
    };
    EXPECT_EQ(symbolAt(14).node->text, "battery.25percent");
    EXPECT_EQ(symbolAt(15).node->text, "battery.50percent");
    EXPECT_EQ(symbolAt(80).node->text, "battery.100percent");
    EXPECT_EQ(symbolAt(10, true).node->text, "battery.100.bolt");
    EXPECT_EQ(symbolAt(20).node->color, palette::red());
    EXPECT_EQ(symbolAt(21).node->color, palette::orange());
    EXPECT_EQ(symbolAt(10, true).node->color, palette::green());  // charging is never red

    EXPECT_EQ(batteryStatusLine({100, true, 600}), "Fully charged · AC Power");
    EXPECT_EQ(batteryStatusLine({60, true, {}}), "Charging on AC Power");
    EXPECT_EQ(batteryStatusLine({60, false, 125 * 60 + 30}), "On battery · 2 h 5 min remaining");
    EXPECT_EQ(batteryDuration(45 * 60 + 59), "45 min");  // whole minutes, rounded down
}

TEST(ExpandedActivityView, BatteryCardMeterAndLowPowerBadge) {
    Scene s;
    const Activity battery = activity(BatteryInfo{25, false, {}});
    const Tree card = s.expanded(battery);
    EXPECT_FALSE(card.draws("LOW POWER"));
    EXPECT_TRUE(card.draws("minus.plug.fill"));
    // The meter: a bar and its fill, a quarter as wide at 25 %.
    std::vector<double> meter;
    for (const auto& e : card.all) {
        if (e.node->kind == Node::Kind::shape &&
            e.node->frame.width() > 10 * e.node->frame.height()) {
            meter.push_back(e.node->frame.width());
        }
    }
    ASSERT_EQ(meter.size(), 2u);
    EXPECT_DOUBLE_EQ(meter[1] / meter[0], 0.25);
    s.lowPower = true;
    EXPECT_EQ(s.expanded(battery).glyph("LOW POWER")->color, palette::yellow());
}

TEST(ControlButton, HoverGrowsAndGlowsPressShrinksClickActsFirst) {
    Scene s;
    QStringList log;
    auto build = [&] {
        return s.frame(
            [&](const auto& c) {
                return controlButton(c.ui, "b", "play.fill", 20, [&] {
                    log << (s.animator.isPulsing("b") ? "pressed" : "action");
                });
            },
            {100, 100});
    };
    auto scale = [&] { return build().first(Node::Kind::scale)->scale; };
    EXPECT_EQ(scale(), 1);
    s.interaction.setHovered({"b"});
    build();
    s.loop.advance(1);
    const Tree hovered = build();
    const double hoverScale = hovered.first(Node::Kind::scale)->scale;
    EXPECT_GT(hoverScale, 1);
    EXPECT_GT(hovered.first(Node::Kind::shadow)->shadowColor.alphaF(), 0);

    hovered.click("b");
    EXPECT_EQ(log, QStringList{"action"});
    build();
    s.loop.advance(0.1);
    EXPECT_LT(scale(), 1.0);  // still pressed 0.1 s after the click
    s.loop.advance(0.05);
    build();  // the press is over: back to the hover size
    s.loop.advance(1);
    EXPECT_NEAR(scale(), hoverScale, 0.01);
    s.interaction.setPressed("b");  // held down
    build();
    s.loop.advance(1);
    EXPECT_LT(scale(), 1.0);
}
