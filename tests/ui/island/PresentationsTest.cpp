#include "ui/island/BatteryViews.h"
#include "ui/island/MediumRows.h"
#include "ui/island/Palette.h"
#include "ui/island/Pieces.h"
#include "ui/island/Presentations.h"

#include "core/VirtualLoop.h"
#include "fakes/PlainPreferences.h"
#include "ui/kit/Layout.h"

#include <gtest/gtest.h>

using namespace korvo;
using namespace korvo::ui;

namespace {

struct RecordingMedia : MediaControls {
    QStringList calls;
    void togglePlayPause() override { calls << "toggle"; }
    void next() override { calls << "next"; }
    void previous() override { calls << "previous"; }
    void seek(double) override { calls << "seek"; }
    void setVolume(double) override { calls << "volume"; }
};

// A laid-out tree, flattened: each node with the opacity, scale and vertical offset its
// wrappers give it.
struct Tree {
    struct Entry {
        const Node* node;
        double opacity;
        double scale;
        double offsetY;
        NodePtr root;  // keeps `node` alive after the tree is gone
    };
    View view;
    std::vector<Entry> all;

    explicit Tree(View v) : view(std::move(v)) { walk(*view.node(), 1, 1, 0); }
    void walk(const Node& n, double o, double s, double dy) {
        all.push_back({&n, o, s, dy, view.node()});
        o *= n.kind == Node::Kind::opacity ? n.opacity : 1;
        s *= n.kind == Node::Kind::scale ? n.scale : 1;
        dy += n.kind == Node::Kind::offset ? n.offset.y() : 0;
        for (const auto& c : n.children) {
            walk(*c, o, s, dy);
        }
    }
    // Texts and symbols in drawing order.
    std::vector<Entry> glyphs() const {
        std::vector<Entry> out;
        std::copy_if(all.begin(), all.end(), std::back_inserter(out), [](const Entry& e) {
            return e.node->kind == Node::Kind::text || e.node->kind == Node::Kind::symbol;
        });
        return out;
    }
    bool draws(const QString& s) const { return find(s) != nullptr; }
    const Entry* find(const QString& s) const {
        for (const auto& e : glyphs()) {
            if (e.node->text == s) {
                return &*std::find_if(all.begin(), all.end(),
                                      [&](const Entry& x) { return x.node == e.node; });
            }
        }
        return nullptr;
    }
    Entry glyph(const QString& s) const {
        const Entry* e = find(s);
        EXPECT_TRUE(e) << "nothing draws " << s.toStdString();
        return e ? *e : Entry{view.node().get(), 0, 0, 0, view.node()};
    }
    int shapes(double w, double h) const {
        return static_cast<int>(std::count_if(all.begin(), all.end(), [&](const Entry& e) {
            return e.node->kind == Node::Kind::shape && e.node->frame.size() == QSizeF(w, h);
        }));
    }
    const Node* first(Node::Kind kind) const {
        for (const auto& e : all) {
            if (e.node->kind == kind) {
                return e.node;
            }
        }
        return nullptr;
    }
    QRectF frame(const QString& id) const {
        const Node* n = findById(*view.node(), id);
        return n ? n->frame : QRectF();
    }
    // Clicks the button named `id` as the window does: its click handler.
    void click(const QString& id) const {
        const Node* n = findById(*view.node(), id);
        while (n && !n->onClick) {
            n = n->children.empty() ? nullptr : n->children.front().get();
        }
        ASSERT_TRUE(n) << "no button " << id.toStdString();
        n->onClick();
    }
};

Activity activity(ActivityPayload payload) {
    Activity a;
    a.id = "a";
    a.payload = std::move(payload);
    return a;
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

TEST(CompactActivityView, WithoutFocusBothHalvesHoldInvisiblePlaceholders) {
    Scene s;
    const Tree t = s.compact(std::nullopt);
    EXPECT_DOUBLE_EQ(t.frame("compact.gap").width(), 99);  // 0.55 × 180 without a notch
    EXPECT_DOUBLE_EQ(t.frame("compact.trailing").right(), 276);
    ASSERT_EQ(t.glyphs().size(), 2u);
    for (const auto& g : t.glyphs()) {
        EXPECT_EQ(g.node->text, "circle.fill");
        EXPECT_LE(g.opacity, 0.001);
    }
    // Over a real notch the gap is the notch itself.
    EXPECT_EQ(s.compact(std::nullopt, {200, 37, true}).frame("compact.gap").width(), 200);
}

TEST(CompactActivityView, LeadingGlyphByPayload) {
    Scene s;
    auto is = [&](ActivityPayload p, const char* name, QColor color) {
        const auto g = s.compact(activity(std::move(p))).glyphs()[0];
        EXPECT_EQ(g.node->text, name);
        EXPECT_EQ(g.node->color, color) << name;
    };
    is(BatteryInfo{40, true, {}}, "bolt.fill", palette::green());
    is(BatteryInfo{100, false, {}}, "battery.75", Qt::white);
    is(ClipboardInfo{"482913", 2, true}, "key.fill", palette::cyan());  // a one-time code
    is(std::vector<ConnectedDeviceInfo>{}, "macbook.and.iphone", palette::teal());
    is(std::vector{device("K", 50, ConnectedDeviceInfo::Kind::keyboard)}, "keyboard.fill",
       palette::teal());
    EXPECT_LE(s.compact(activity(GenericPayload{"star.fill", "t", {}, {}})).glyphs()[0].opacity,
              0.001);
    // Now playing: an 18-point thumb, its note half as big.
    EXPECT_EQ(s.compact(activity(track(false))).glyph("music.note").node->font.size, 9);
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
    EXPECT_EQ(at(50, false).glyphs()[0].scale, 1);
    at(51, true);
    s.loop.advance(0.2);
    const Tree up = at(51, true);
    EXPECT_GT(up.glyph("bolt.fill").scale, 1.15);
    EXPECT_LT(up.glyph("50%").offsetY, 0);  // 50% leaves upwards while 51% rises from below
    EXPECT_GT(up.glyph("51%").offsetY, 0);
    s.loop.advance(0.4);
    const Tree settled = at(51, true);
    EXPECT_EQ(settled.glyph("bolt.fill").scale, 1);
    EXPECT_FALSE(settled.draws("50%"));
    at(49, false);  // falling numbers roll the other way, and unplugging bounces again
    s.loop.advance(0.2);
    const Tree down = at(49, false);
    EXPECT_GT(down.glyph("51%").offsetY, 0);
    EXPECT_LT(down.glyph("49%").offsetY, 0);
    EXPECT_GT(down.glyph("battery.75").scale, 1.15);
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
    EXPECT_GT(t.glyph("in 10m").offsetY, 0);
    EXPECT_LT(t.glyph("in 9m").offsetY, 0);
}

TEST(EqualizerBars, RestThenSwingToTheirPeaks) {
    Scene s;
    auto heights = [&] {
        std::vector<double> h;
        for (const auto& e : s.compact(activity(track(true))).all) {
            if (e.node->kind == Node::Kind::shape && e.node->frame.width() == 3) {
                h.push_back(e.node->frame.height());
            }
        }
        return h;
    };
    EXPECT_EQ(heights(), (std::vector<double>{4, 4, 4}));
    const double peaks[] = {14, 8, 11};
    for (std::size_t i = 0; i < 3; ++i) {
        s.loop.advance(i == 0 ? 0.4 : 0.13);  // each bar peaks 0.13 s after the one before
        EXPECT_NEAR(heights()[i], peaks[i], 1e-6);
    }
    EXPECT_FALSE(s.animator.isSettled());  // they keep moving while shown
    s.animator.setImmediate(true);
    EXPECT_EQ(heights(), (std::vector<double>{14, 8, 11}));
}

TEST(MediumActivityView, NowPlayingRowButtonsAndProgressLine) {
    Scene s;
    s.animator.setImmediate(true);
    const Tree playing = s.medium(track(true, 60, 240));
    EXPECT_TRUE(playing.draws("pause.fill"));
    EXPECT_EQ(playing.glyph("music.note").node->font.size, 15);  // a 30-point thumb
    // The line lies 10 above the bottom, 16 in from each side; its fill is a quarter of 348.
    EXPECT_EQ(playing.frame("medium.progress"), QRectF(0, 72 - 12.5, 380, 12.5));
    EXPECT_EQ(playing.shapes(348, 2.5), 1);
    EXPECT_EQ(playing.shapes(87, 2.5), 1);
    EXPECT_EQ(s.medium(track(true, 300, 240)).shapes(348, 2.5), 2);  // full, never beyond
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
    EXPECT_EQ(cal.shapes(3, 26), 1);  // the accent bar
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
    EXPECT_EQ(many.glyph("30%").node->color, palette::orange());  // first device with a level
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
    // The meter spans the padded card (370 − 40) and fills a quarter of it.
    EXPECT_EQ(card.shapes(330, 4), 1);
    EXPECT_EQ(card.shapes(82.5, 4), 1);
    s.lowPower = true;
    EXPECT_EQ(s.expanded(battery).glyph("LOW POWER").node->color, palette::yellow());
}

TEST(ExpandedActivityView, FeatureCardsSpanThePaddedCardFromItsTop) {
    Scene s;
    const QRectF nowPlaying =
        s.expanded(activity(track(true, 10, 100)), {430, 170}).frame("card.nowPlaying");
    EXPECT_EQ(nowPlaying.topLeft(), QPointF(20, 6));
    EXPECT_EQ(nowPlaying.width(), 390);
    const QRectF stats =
        s.expanded(activity(SystemStatsPayload{}), {564, 198}).frame("card.systemStats");
    EXPECT_EQ(stats.width(), 524);
    EXPECT_LE(stats.height(), 198 - 18);  // two rows of tiles fit the card the island gives
    EXPECT_EQ(s.expanded(std::nullopt, {340, 88}).glyph("Nothing playing").node->frame.top(), 6);
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
    EXPECT_EQ(build().frame("b").size(), QSizeF(32, 32));
    s.interaction.setHovered({"b"});
    build();
    s.loop.advance(1);
    const Tree hovered = build();
    EXPECT_NEAR(hovered.first(Node::Kind::scale)->scale, 1.18, 0.01);
    EXPECT_NEAR(hovered.first(Node::Kind::shadow)->shadowColor.alphaF(), 0.4, 0.01);

    hovered.click("b");
    EXPECT_EQ(log, QStringList{"action"});
    build();
    s.loop.advance(0.1);
    EXPECT_LT(scale(), 1.0);  // still pressed 0.1 s after the click
    s.loop.advance(0.05);
    build();  // the press is over: back towards the hover size
    s.loop.advance(1);
    EXPECT_NEAR(scale(), 1.18, 0.01);
    s.interaction.setPressed("b");  // held down
    build();
    s.loop.advance(1);
    EXPECT_NEAR(scale(), 0.8, 0.01);
}
