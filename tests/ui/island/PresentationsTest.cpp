#include "ui/island/BatteryViews.h"
#include "ui/island/MediumRows.h"
#include "ui/island/Palette.h"
#include "ui/island/Pieces.h"
#include "ui/island/Presentations.h"

#include "core/VirtualLoop.h"
#include "ui/kit/Layout.h"
#include "ui/kit/Painter.h"

#include <gtest/gtest.h>

#include <array>

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

// A text or symbol as drawn: with the opacity, scale and vertical offset of its wrappers.
struct Drawn {
    const Node* node;
    double opacity;
    double scale;
    double offsetY;
    NodePtr tree;  // keeps `node` alive
};

void collect(const Node& n, std::vector<Drawn>& out, double opacity, double scale, double dy) {
    if (n.kind == Node::Kind::text || n.kind == Node::Kind::symbol) {
        out.push_back({&n, opacity, scale, dy, nullptr});
    }
    opacity *= n.kind == Node::Kind::opacity ? n.opacity : 1;
    scale *= n.kind == Node::Kind::scale ? n.scale : 1;
    dy += n.kind == Node::Kind::offset ? n.offset.y() : 0;
    for (const auto& c : n.children) {
        collect(*c, out, opacity, scale, dy);
    }
}

std::vector<Drawn> drawn(const View& v) {
    std::vector<Drawn> out;
    collect(*v.node(), out, 1, 1, 0);
    for (auto& d : out) {
        d.tree = v.node();
    }
    return out;
}

// The first drawn text or symbol with this string; fails the test when there is none.
Drawn find(const View& v, const QString& s) {
    for (const auto& d : drawn(v)) {
        if (d.node->text == s) {
            return d;
        }
    }
    ADD_FAILURE() << "nothing draws " << s.toStdString();
    static const Node none;
    return {&none, 0, 0, 0, nullptr};
}

bool draws(const View& v, const QString& s) {
    const auto all = drawn(v);
    return std::any_of(all.begin(), all.end(), [&](const Drawn& d) { return d.node->text == s; });
}

const Node* firstOf(const Node& n, Node::Kind kind) {
    if (n.kind == kind) {
        return &n;
    }
    for (const auto& c : n.children) {
        if (const Node* found = firstOf(*c, kind)) {
            return found;
        }
    }
    return nullptr;
}

// Shapes laid out at exactly this size.
int shapesSized(const Node& n, double w, double h) {
    int count = n.kind == Node::Kind::shape && n.frame.width() == w && n.frame.height() == h;
    for (const auto& c : n.children) {
        count += shapesSized(*c, w, h);
    }
    return count;
}

QRectF frameOf(const View& v, const QString& id) {
    const Node* n = findById(*v.node(), id);
    return n ? n->frame : QRectF();
}

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
    return t;
}

// Presentations on a virtual clock, with recorded media commands and opened links.
struct Scene {
    VirtualLoop loop;
    Animator animator{[this] {
        return loop.monotonicNow();
    }};
    Interaction interaction;
    RecordingMedia media;
    bool lowPower = false;
    QList<QUrl> opened;
    IslandServices services{&media, [this] { return lowPower; },
                            [this](const QUrl& u) {
                                opened << u;
                            }};

    PresentationContext ctx() { return {{animator, interaction}, loop.wallNow(), services}; }

    View frame(const std::function<View(const PresentationContext&)>& build, QSizeF size) {
        animator.beginFrame();
        View v = build(ctx());
        animator.endFrame();
        layout(*v.node(), size);
        return v;
    }
    View compact(const std::optional<Activity>& a, NotchGeometry notch = {}) {
        return frame([&](const auto& c) { return compactActivityView(c, a, notch); },
                     {notch.width + 96, notch.height});
    }
    View medium(const ActivityPayload& p) {
        return frame([&](const auto& c) { return mediumActivityView(c, activity(p)); }, {380, 72});
    }
    View expanded(const std::optional<Activity>& a, QSizeF size = {370, 128}) {
        return frame([&](const auto& c) { return expandedActivityView(c, a); }, size);
    }
    // Clicks the button named `id` the way the window does: its innermost click handler.
    void click(const View& v, const QString& id) {
        const Node* n = findById(*v.node(), id);
        while (n && !n->onClick) {
            n = n->children.empty() ? nullptr : n->children.front().get();
        }
        ASSERT_TRUE(n) << "no button " << id.toStdString();
        n->onClick();
    }
};

}  // namespace

TEST(CompactActivityView, WithoutFocusBothHalvesHoldInvisiblePlaceholders) {
    Scene s;
    const View v = s.compact(std::nullopt);
    EXPECT_DOUBLE_EQ(frameOf(v, "compact.gap").width(), 99);  // 0.55 × 180 without a notch
    EXPECT_DOUBLE_EQ(frameOf(v, "compact.leading").width(), 88.5);
    EXPECT_DOUBLE_EQ(frameOf(v, "compact.trailing").left(), 187.5);
    EXPECT_DOUBLE_EQ(frameOf(v, "compact.trailing").width(), 88.5);
    const auto glyphs = drawn(v);
    ASSERT_EQ(glyphs.size(), 2u);
    for (const auto& g : glyphs) {
        EXPECT_EQ(g.node->text, "circle.fill");
        EXPECT_LE(g.opacity, 0.001);
    }
    // Over a real notch the gap is the notch itself.
    EXPECT_EQ(frameOf(s.compact(std::nullopt, {200, 37, true}), "compact.gap").width(), 200);
}

TEST(CompactActivityView, LeadingGlyphByPayload) {
    Scene s;
    auto leading = [&](ActivityPayload p) {
        return drawn(s.compact(activity(std::move(p))))[0];
    };
    auto is = [](const Drawn& d, const char* name, QColor color) {
        EXPECT_EQ(d.node->text, name);
        EXPECT_EQ(d.node->color, color) << name;
    };
    is(leading(BatteryInfo{40, true, {}}), "bolt.fill", palette::green());
    is(leading(BatteryInfo{100, false, {}}), "battery.75", Qt::white);
    is(leading(BluetoothDeviceInfo{"Buds", "headphones", {}}), "airpods.pro", palette::green());
    is(leading(CalendarEventInfo{}), "calendar", palette::systemRed());
    is(leading(ClipboardInfo{"482913", 2, true}), "key.fill", palette::cyan());
    is(leading(ClipboardInfo{"text", 2, false}), "doc.on.clipboard.fill", palette::cyan());
    is(leading(std::vector<ConnectedDeviceInfo>{}), "macbook.and.iphone", palette::teal());
    is(leading(std::vector{device("K", 50, ConnectedDeviceInfo::Kind::keyboard)}), "keyboard.fill",
       palette::teal());
    is(leading(SystemStatsPayload{}), "gauge.with.dots.needle.67percent", palette::teal());
    EXPECT_LE(leading(GenericPayload{"star.fill", "t", {}, {}}).opacity, 0.001);
    // Now playing: an 18-point thumb centred in its half.
    const View np = s.compact(activity(track(false)));
    EXPECT_EQ(find(np, "music.note").node->font.size, 9);
}

TEST(CompactActivityView, TrailingGlyphByPayload) {
    Scene s;
    auto trailing = [&](ActivityPayload p) {
        const auto all = drawn(s.compact(activity(std::move(p))));
        QStringList shown;
        if (all.size() > 1) {
            shown << all[1].node->text << all[1].node->color.name();
        }
        return shown;
    };
    EXPECT_EQ(trailing(BatteryInfo{100, false, {}}),
              (QStringList{"100%", palette::green().name()}));
    EXPECT_EQ(trailing(ClipboardInfo{"x", 7, false}), (QStringList{"7", palette::cyan().name()}));
    // Devices: the first device's level (green above 20), else a count from two devices on.
    EXPECT_EQ(trailing(std::vector{device("A", 21)}),
              (QStringList{"21%", palette::green().name()}));
    EXPECT_EQ(trailing(std::vector{device("A", 20)}), (QStringList{"20%", palette::red().name()}));
    EXPECT_EQ(trailing(std::vector{device("A", {})}), QStringList{});
    EXPECT_EQ(trailing(std::vector{device("A", {}), device("B", 80), device("C", 10)}),
              (QStringList{"3", palette::teal().name()}));
    CalendarEventInfo ev;
    ev.start = s.loop.wallNow().addSecs(12 * 60 + 5);
    ev.end = ev.start.addSecs(1800);
    EXPECT_EQ(trailing(ev), (QStringList{"in 12m", palette::systemPurple().name()}));
    ev.color = QColor(Qt::blue);
    EXPECT_EQ(trailing(ev), (QStringList{"in 12m", QColor(Qt::blue).name()}));
    EXPECT_EQ(trailing(track(false)), QStringList{});
    EXPECT_EQ(trailing(BluetoothDeviceInfo{"Buds", "airpods", 50}), QStringList{});
}

TEST(CompactActivityView, BatteryBouncesOnEachChargingFlipAndDigitsRoll) {
    Scene s;
    auto at = [&](int pct, bool charging) {
        return s.compact(activity(BatteryInfo{pct, charging, {}}));
    };
    EXPECT_EQ(drawn(at(50, false))[0].scale, 1);  // no bounce when it first shows
    s.loop.advance(0.2);
    EXPECT_EQ(drawn(at(50, false))[0].scale, 1);
    at(51, true);
    s.loop.advance(0.2);
    View mid = at(51, true);
    EXPECT_GT(find(mid, "bolt.fill").scale, 1.15);
    // 50% leaves upwards while 51% rises from below.
    EXPECT_LT(find(mid, "50%").offsetY, 0);
    EXPECT_GT(find(mid, "51%").offsetY, 0);
    EXPECT_GT(find(mid, "50%").opacity, 0);
    s.loop.advance(0.4);
    View settled = at(51, true);
    EXPECT_EQ(find(settled, "bolt.fill").scale, 1);
    EXPECT_FALSE(draws(settled, "50%"));
    at(49, false);  // falling numbers roll the other way, and unplugging bounces again
    s.loop.advance(0.2);
    View down = at(49, false);
    EXPECT_GT(find(down, "51%").offsetY, 0);
    EXPECT_LT(find(down, "49%").offsetY, 0);
    EXPECT_GT(find(down, "battery.75").scale, 1.15);
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
    const View v = s.compact(activity(ev));
    EXPECT_GT(find(v, "in 10m").offsetY, 0);
    EXPECT_LT(find(v, "in 9m").offsetY, 0);
}

TEST(EqualizerBars, RestThenSwingToTheirPeaks) {
    Scene s;
    auto heights = [&] {
        const View v = s.compact(activity(track(true)));
        std::vector<double> h;
        std::function<void(const Node&)> walk = [&](const Node& n) {
            if (n.kind == Node::Kind::shape && n.frame.width() == 3) {
                h.push_back(n.frame.height());
            }
            for (const auto& c : n.children) {
                walk(*c);
            }
        };
        walk(*v.node());
        return h;
    };
    EXPECT_EQ(heights(), (std::vector<double>{4, 4, 4}));
    for (int i = 0; i < 3; ++i) {
        s.loop.advance(i == 0 ? 0.4 : 0.13);  // each bar peaks 0.13 s after the one before
        EXPECT_NEAR(heights()[static_cast<std::size_t>(i)], (std::array{14.0, 8.0, 11.0})[i], 1e-6);
    }
    EXPECT_FALSE(s.animator.isSettled());  // they keep moving while shown
    s.animator.setImmediate(true);
    EXPECT_EQ(heights(), (std::vector<double>{14, 8, 11}));
}

TEST(MediumActivityView, NowPlayingRowButtonsAndProgressLine) {
    Scene s;
    s.animator.setImmediate(true);
    const View playing = s.medium(track(true, 60, 240));
    EXPECT_TRUE(draws(playing, "pause.fill"));
    EXPECT_EQ(find(playing, "music.note").node->font.size, 15);  // a 30-point thumb
    // The line lies 10 above the bottom, 16 in from each side; its fill is a quarter of 348.
    EXPECT_EQ(frameOf(playing, "medium.progress"), QRectF(0, 72 - 12.5, 380, 12.5));
    EXPECT_EQ(shapesSized(*playing.node(), 348, 2.5), 1);
    EXPECT_EQ(shapesSized(*playing.node(), 87, 2.5), 1);
    s.click(playing, "medium.playPause");
    s.click(playing, "medium.next");
    EXPECT_EQ(s.media.calls, (QStringList{"toggle", "next"}));

    const View paused = s.medium(track(false));
    EXPECT_TRUE(draws(paused, "play.fill"));
    EXPECT_TRUE(frameOf(paused, "medium.progress").isNull());  // no length known
}

TEST(MediumActivityView, BrowserSubtitleRule) {
    NowPlayingInfo t = track(true);
    t.sourceLabel = "YouTube";
    EXPECT_EQ(nowPlayingSubtitle(t), "Band");  // not a browser tab
    t.sourceApp = MediaSource::browser;
    EXPECT_EQ(nowPlayingSubtitle(t), "Band · YouTube");
    t.artist.clear();
    EXPECT_EQ(nowPlayingSubtitle(t), "YouTube");
    t.sourceLabel.reset();
    EXPECT_EQ(nowPlayingSubtitle(t), "");
}

TEST(MediumActivityView, GenericBatteryAndBluetoothRows) {
    Scene s;
    View charging = s.medium(BatteryInfo{80, true, 45 * 60 + 59});
    EXPECT_TRUE(draws(charging, "Charging — 80%"));
    EXPECT_TRUE(draws(charging, "45 min to full"));
    View onBattery = s.medium(BatteryInfo{80, false, 125 * 60});
    EXPECT_TRUE(draws(onBattery, "Battery 80%"));
    EXPECT_TRUE(draws(onBattery, "125 min remaining"));
    EXPECT_EQ(drawn(s.medium(BatteryInfo{80, false, {}})).size(), 2u);  // no minutes line
    EXPECT_EQ(find(s.medium(BluetoothDeviceInfo{"Buds", "airpods", 64}), "64%").node->color,
              palette::green());
    View download = s.medium(GenericPayload{"arrow.down.circle.fill", "Downloading", {}, 0.5});
    EXPECT_TRUE(draws(download, "Downloading"));
    EXPECT_TRUE(draws(s.medium(SystemStatsPayload{}), "CPU · GPU · Memory · Network"));
}

TEST(MediumRows, CalendarClipboardAndDevices) {
    Scene s;
    CalendarEventInfo ev;
    ev.title = "Standup";
    ev.start = s.loop.wallNow().addSecs(300);
    ev.end = ev.start.addSecs(900);
    ev.joinURL = QUrl("https://zoom.us/j/1");
    ev.provider = "Zoom";
    View cal = s.medium(ev);
    EXPECT_TRUE(draws(cal, eventTimeRange(ev) + " · in 5m"));
    EXPECT_TRUE(draws(cal, "Join Zoom"));
    for (const auto& hit : collectHits(*cal.node())) {
        if (hit.node->onClick) {
            hit.node->onClick();
        }
    }
    EXPECT_EQ(s.opened, QList<QUrl>{*ev.joinURL});
    ev.provider.reset();
    EXPECT_TRUE(draws(s.medium(ev), "Join"));
    EXPECT_EQ(eventAccent(ev), palette::systemPurple());

    View code = s.medium(ClipboardInfo{"482913", 1, true});
    EXPECT_TRUE(draws(code, "key.fill"));
    EXPECT_TRUE(draws(code, "Clipboard · 1 item"));
    EXPECT_TRUE(draws(s.medium(ClipboardInfo{"a", 2, false}), "Clipboard · 2 items"));

    EXPECT_TRUE(draws(s.medium(std::vector{device("Solo", {})}), "1 device"));
    std::vector<ConnectedDeviceInfo> seven;
    for (int i = 0; i < 7; ++i) {
        seven.push_back(device(QString("D%1").arg(i), i == 1 ? std::optional(30) : std::nullopt));
    }
    View many = s.medium(seven);
    EXPECT_TRUE(draws(many, "7 devices"));
    EXPECT_TRUE(draws(many, "D0 · D1"));
    EXPECT_EQ(find(many, "30%").node->color, palette::orange());  // the first device with a level
    const auto symbols = drawn(many);
    EXPECT_EQ(std::count_if(symbols.begin(), symbols.end(),
                            [](const Drawn& d) { return d.node->kind == Node::Kind::symbol; }),
              3);
    EXPECT_EQ(deviceBatteryColor(20), palette::red());
    EXPECT_EQ(deviceBatteryColor(35), palette::orange());
    EXPECT_EQ(deviceBatteryColor(36), palette::green());
}

TEST(BatteryExpandedView, SymbolColourAndStatusLine) {
    auto symbolAt = [](int p, bool charging = false) {
        return drawn(batteryExpandedView(BatteryInfo{p, charging, {}}, false))[0];
    };
    EXPECT_EQ(symbolAt(14).node->text, "battery.25percent");
    EXPECT_EQ(symbolAt(15).node->text, "battery.50percent");
    EXPECT_EQ(symbolAt(79).node->text, "battery.75percent");
    EXPECT_EQ(symbolAt(80).node->text, "battery.100percent");
    EXPECT_EQ(symbolAt(10, true).node->text, "battery.100.bolt");
    EXPECT_EQ(symbolAt(20).node->color, palette::red());
    EXPECT_EQ(symbolAt(21).node->color, palette::orange());
    EXPECT_EQ(symbolAt(35).node->color, palette::orange());
    EXPECT_EQ(symbolAt(36).node->color, palette::green());
    EXPECT_EQ(symbolAt(10, true).node->color, palette::green());

    EXPECT_EQ(batteryStatusLine({100, true, 600}), "Fully charged · AC Power");
    EXPECT_EQ(batteryStatusLine({60, true, {}}), "Charging on AC Power");
    EXPECT_EQ(batteryStatusLine({60, true, 45 * 60}), "Charging on AC Power · 45 min to full");
    EXPECT_EQ(batteryStatusLine({60, false, {}}), "On battery");
    EXPECT_EQ(batteryStatusLine({60, false, 125 * 60 + 30}), "On battery · 2 h 5 min remaining");
    EXPECT_EQ(batteryDuration(45 * 60 + 59), "45 min");
    EXPECT_EQ(batteryDuration(60 * 60), "1 h 0 min");
}

TEST(ExpandedActivityView, BatteryCardMeterAndLowPowerBadge) {
    Scene s;
    const Activity battery = activity(BatteryInfo{25, false, {}});
    View card = s.expanded(battery);
    EXPECT_FALSE(draws(card, "LOW POWER"));
    EXPECT_TRUE(draws(card, "minus.plug.fill"));
    // The meter spans the padded card (370 − 40) and fills a quarter of it.
    EXPECT_EQ(shapesSized(*card.node(), 330, 4), 1);
    EXPECT_EQ(shapesSized(*card.node(), 82.5, 4), 1);
    s.lowPower = true;
    EXPECT_EQ(find(s.expanded(battery), "LOW POWER").node->color, palette::yellow());
}

TEST(ExpandedActivityView, CardsStillToComeFillThePaddedCard) {
    Scene s;
    EXPECT_EQ(frameOf(s.expanded(activity(track(true)), {430, 170}), "card.nowPlaying"),
              QRectF(20, 6, 390, 152));
    EXPECT_EQ(frameOf(s.expanded(activity(SystemStatsPayload{}), {564, 198}), "card.systemStats"),
              QRectF(20, 6, 524, 180));
    const View none = s.expanded(std::nullopt, {340, 88});
    EXPECT_EQ(find(none, "Nothing playing").node->frame.top(), 6);
    EXPECT_TRUE(draws(s.expanded(activity(GenericPayload{"star.fill", "Timer", {}, {}})), "Timer"));
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
    auto scaleNode = [](const View& v) {
        return firstOf(*v.node(), Node::Kind::scale);
    };
    View v = build();
    EXPECT_EQ(frameOf(v, "b").size(), QSizeF(32, 32));
    s.interaction.setHovered({"b"});
    build();
    s.loop.advance(1);
    v = build();
    EXPECT_NEAR(scaleNode(v)->scale, 1.18, 0.01);
    EXPECT_NEAR(firstOf(*v.node(), Node::Kind::shadow)->shadowColor.alphaF(), 0.4, 0.01);

    s.click(v, "b");
    EXPECT_EQ(log, QStringList{"action"});
    build();
    s.loop.advance(0.1);
    EXPECT_LT(scaleNode(build())->scale, 1.0);  // still pressed 0.1 s after the click
    s.loop.advance(0.05);
    build();  // the press is over: back towards the hover size
    s.loop.advance(1);
    EXPECT_NEAR(scaleNode(build())->scale, 1.18, 0.01);
    s.interaction.setPressed("b");  // held down
    build();
    s.loop.advance(1);
    EXPECT_NEAR(scaleNode(build())->scale, 0.8, 0.01);
}
