#include "ui/cards/SystemHUDView.h"

#include "ui/cards/CardScene.h"
#include "ui/style/Palette.h"
#include "ui/style/Theme.h"

using namespace korvo;
using namespace korvo::ui;
using korvo::cardtest::CardScene;
using korvo::cardtest::Tree;

namespace {

Tree hud(CardScene& s, const QString& key = "hud") {
    return s.frame([&](const auto& c) { return systemHUDView(c, key); }, {524, 140});
}

QRectF tile(const Tree& t, HUDStat stat) {
    const Node* n = t.byId("hud.tile." + hudstat::rawValue(stat));
    return n ? n->frame : QRectF();
}

// The coloured fill of a tile's meter, and how much of the meter's width it takes.
const Node* meterFill(const Tree& t, HUDStat stat) {
    for (const Node* n : t.inside(Node::Kind::shape, "hud.tile." + hudstat::rawValue(stat))) {
        if (n->frame.height() == 3 && n->fill.color.alpha() == 255) {
            return n;
        }
    }
    return nullptr;
}
double meterShare(const Tree& t, HUDStat stat) {
    return meterFill(t, stat)->frame.width() / (tile(t, stat).width() - 14);
}

}  // namespace

TEST(SystemHUD, FormatsColoursAndSparklinePoints) {
    EXPECT_EQ(hudSpeed(1023), "0 KB/s");
    EXPECT_EQ(hudSpeed(1024), "1 KB/s");
    EXPECT_EQ(hudSpeed(1048576), "1.0 MB/s");
    EXPECT_EQ(hudGigabytes(8.0 * (1ULL << 30)), "8.0 GB");
    EXPECT_EQ(hudPercent(0.375), "38%");
    EXPECT_EQ(memoryMeterTint(0.86), palette::red());
    EXPECT_EQ(memoryMeterTint(0.75), palette::orange());
    EXPECT_EQ(memoryMeterTint(0.5), palette::purple());
    EXPECT_TRUE(sparklinePoints({0.4}, {60, 12}).empty());
    EXPECT_EQ(sparklinePoints({0, 0.5, 1}, {60, 12}),
              (std::vector<QPointF>{{0, 12}, {30, 6}, {60, 0}}));
    EXPECT_EQ(sparklinePoints({-0.5, 1.5}, {10, 12}), (std::vector<QPointF>{{0, 12}, {10, 0}}));
}

TEST(SystemHUD, GridColumnsFollowTheEnabledStatistics) {
    CardScene s;
    const Tree all = hud(s);  // eight: two rows of four
    EXPECT_EQ(tile(all, HUDStat::gpu).top(), tile(all, HUDStat::cpu).top());
    EXPECT_GT(tile(all, HUDStat::gpu).left(), tile(all, HUDStat::cpu).right());
    EXPECT_EQ(tile(all, HUDStat::storage).left(), tile(all, HUDStat::cpu).left());
    EXPECT_GT(tile(all, HUDStat::storage).top(), tile(all, HUDStat::cpu).bottom());

    s.settings.stats = {HUDStat::memory};
    EXPECT_EQ(tile(hud(s), HUDStat::memory).width(), 524);
    s.settings.stats = {HUDStat::cpu, HUDStat::gpu, HUDStat::memory, HUDStat::swap, HUDStat::power};
    const Tree five = hud(s);  // a short last row keeps the columns
    EXPECT_EQ(tile(five, HUDStat::power).width(), tile(five, HUDStat::cpu).width());
    s.settings.stats = {};
    EXPECT_TRUE(hud(s).inside(Node::Kind::text).empty());
}

TEST(SystemHUD, TileContents) {
    CardScene s;
    s.stats.cpu = 0.42;
    s.stats.ramUsed = 8ULL << 30;
    s.stats.memoryPressure = 0.86;
    s.stats.swapUsed = 1ULL << 29;
    s.stats.swapTotal = 2ULL << 30;
    s.stats.diskTotal = 100LL << 30;
    s.stats.diskFree = 25LL << 30;
    s.stats.netDown = 2048;
    s.stats.netUp = 3 * 1048576;
    s.stats.diskWrite = 5 * 1024;
    s.stats.lowPowerMode = true;
    s.cpuHistory = {0.2};
    const Tree t = hud(s);
    for (const char* shown : {"42%", "8.0 GB", "0.5 GB", "of 2.0 GB", "25.0 GB free", "↓ 2 KB/s",
                              "↑ 3.0 MB/s", "R 0 KB/s", "W 5 KB/s", "· Low Power", "battery.75"}) {
        EXPECT_TRUE(t.draws(shown)) << shown;
    }
    EXPECT_EQ(t.glyph("Cool")->color, Theme::secondaryText());
    EXPECT_EQ(t.count("—"), 2);                               // no accelerator, no battery
    EXPECT_GT(meterFill(t, HUDStat::gpu)->frame.width(), 0);  // an empty meter still shows
    EXPECT_EQ(meterFill(t, HUDStat::memory)->fill.color, palette::red());
    EXPECT_NEAR(meterShare(t, HUDStat::storage), 0.75, 1e-9);
    EXPECT_TRUE(t.inside(Node::Kind::shape, "hud.tile.cpu").size() == 2u);  // one value: no line

    s.stats.gpu = 1.4;
    s.stats.battery = 64;
    s.stats.isCharging = true;
    s.stats.thermal = ThermalState::critical;
    s.stats.lowPowerMode = false;
    s.cpuHistory = {0.2, 0.6, 0.4};
    const Tree busy = hud(s);
    EXPECT_NEAR(meterShare(busy, HUDStat::gpu), 1, 1e-9);  // beyond full stays full
    EXPECT_TRUE(busy.draws("battery.100.bolt"));
    EXPECT_TRUE(busy.draws("bolt.fill"));
    EXPECT_EQ(busy.glyph("Critical")->color, palette::red());
    EXPECT_FALSE(busy.draws("· Low Power"));
    const auto cpuShapes = busy.inside(Node::Kind::shape, "hud.tile.cpu");
    EXPECT_TRUE(std::any_of(cpuShapes.begin(), cpuShapes.end(), [](const Node* n) {
        return n->shape.type == Outline::Type::polyline;
    }));
}

TEST(SystemHUD, CountsAsOneViewerPerCardWhileOnScreen) {
    CardScene s;
    hud(s);
    hud(s);
    EXPECT_EQ(s.viewers, 1);  // rebuilt every frame, registered once
    s.animator.beginFrame();
    s.animator.endFrame();
    EXPECT_EQ(s.viewers, 0);  // a frame without it: it left the screen
    s.frame([](const auto& c) {
        return vstack(0, HAlign::center, {systemHUDView(c, "hud"), systemHUDView(c, "card")});
    });
    EXPECT_EQ(s.viewers, 2);  // the HUD and the expanded card at once
    hud(s, "card");
    EXPECT_EQ(s.viewers, 1);
    {
        Animator snapshot([] { return 0.0; });  // a throw-away frame lets go when it goes
        snapshot.beginFrame();
        systemHUDView({{snapshot, s.interaction}, s.now(), s.services, s.settings}, "hud");
        snapshot.endFrame();
        EXPECT_EQ(s.viewers, 2);
    }
    EXPECT_EQ(s.viewers, 1);
}
