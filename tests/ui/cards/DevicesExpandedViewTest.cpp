#include "ui/cards/DevicesExpandedView.h"

#include "ui/cards/CardScene.h"
#include "ui/style/MediumRows.h"
#include "ui/style/Palette.h"

using namespace korvo;
using namespace korvo::ui;
using korvo::cardtest::CardScene;
using korvo::cardtest::Tree;
using Kind = ConnectedDeviceInfo::Kind;

namespace {

ConnectedDeviceInfo device(const QString& name, Kind kind, std::optional<int> battery,
                           std::optional<bool> charging = {}, bool linked = true) {
    return {name, name, kind, battery, charging, linked};
}

Tree card(CardScene& s, const std::vector<ConnectedDeviceInfo>& devices) {
    return s.settled([&](const auto& c) { return devicesExpandedView(c, devices); }, {360, 170});
}

// The filled part of the battery bar in `colour`.
double fillWidth(const Tree& t, QColor colour) {
    for (const Node* n : t.inside(Node::Kind::shape)) {
        if (n->frame.height() == 4 && n->fill.color == colour) {
            return n->frame.width();
        }
    }
    return -1;
}

}  // namespace

TEST(DevicesCard, BatteryBarsFillByLevelInTheLevelsColour) {
    EXPECT_GT(batteryBarFill(0), 0);  // an almost empty battery still shows a sliver
    EXPECT_DOUBLE_EQ(batteryBarFill(100), 2 * batteryBarFill(50));
    EXPECT_DOUBLE_EQ(batteryBarFill(150), batteryBarFill(100));
    CardScene s;
    EXPECT_EQ(fillWidth(card(s, {device("Mouse", Kind::mouse, 0)}), palette::red()),
              batteryBarFill(0));
    EXPECT_EQ(fillWidth(card(s, {device("Buds", Kind::airpodsPro, 100)}), palette::green()),
              batteryBarFill(100));
}

TEST(DevicesCard, ConnectedPairedAndChargingRowsAtMostFive) {
    CardScene s;
    const Tree t = card(
        s, {device("Buds", Kind::airpods, 80, true), device("Keys", Kind::keyboard, std::nullopt),
            device("Phone", Kind::iphone, std::nullopt, std::nullopt, false),
            device("Pad", Kind::ipad, 50, false)});
    double paired = 0;
    double connected = 0;
    EXPECT_TRUE(t.glyph("Paired", &paired));
    EXPECT_TRUE(t.glyph("Connected", &connected));
    EXPECT_NEAR(paired, 0.65, 1e-9);  // a device that is only paired is faded
    EXPECT_NEAR(connected, 1, 1e-9);
    const auto symbols = t.inside(Node::Kind::symbol);
    EXPECT_EQ(std::count_if(symbols.begin(), symbols.end(),
                            [](const Node* n) { return n->text == "bolt.fill"; }),
              1);  // only the charging earbuds
    EXPECT_EQ(t.glyph("bolt.fill")->color, palette::green());

    std::vector<ConnectedDeviceInfo> six;
    for (int i = 0; i < 6; ++i) {
        six.push_back(device(QString("D%1").arg(i), Kind::mouse, 40 + i));
    }
    const Tree rows = card(s, six);
    EXPECT_TRUE(rows.draws("D4"));
    EXPECT_FALSE(rows.draws("D5"));
}
