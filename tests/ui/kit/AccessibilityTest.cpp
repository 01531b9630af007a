#include "ui/kit/Accessibility.h"
#include "ui/kit/Layout.h"
#include "ui/kit/View.h"

#include "ui/A11yItems.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace korvo::ui;
using a11y::Change;
using a11y::Item;

namespace {

using Type = Change::Type;
using korvo::test::named;
using korvo::test::names;

std::vector<Item> read(const View& v, QSizeF size = {300, 200}) {
    layout(*v.node(), size);
    return a11y::collect(*v.node());
}

const Font kFont{12};

View button(const QString& id, const QString& label, int* clicks) {
    return text(label, kFont).padding(4).onClick([clicks] { ++*clicks; }).id(id);
}

// The shape of keyed content while it is replaced: the old layer fading out first, then the
// new one, each wrapped only while it moves (as the island's transitions are).
View layers(const View& leaving, const View& entering, double progress) {
    Views v;
    if (progress < 1) {
        v.push_back(leaving.opacity(1 - progress).accessibilityHidden());
        v.push_back(entering.offset(0, 8 * (1 - progress)).opacity(progress));
    } else {
        v.push_back(entering);
    }
    return zstack(Alignment::center(), v);
}

}  // namespace

TEST(AccessibilityMap, WhatIsReadAndWhatStaysSilent) {
    int clicks = 0;
    const View v =
        vstack(4, HAlign::leading,
               {text("Title", kFont), text("   ", kFont),  // blank text says nothing
                symbol("star.fill", kFont),                // decoration
                symbol("bolt.fill", kFont).accessibilityLabel("Charging"),
                capsule(Fill::solid(Qt::white)).frame(20, 3), spacer(),
                symbol("circle.fill", kFont).opacity(0.001),  // a placeholder keeping the layout
                text("secret", kFont).accessibilityHidden(),
                hstack(2, VAlign::center, {symbol("play.fill", kFont), text("Go", kFont)})
                    .onClick([&clicks] { ++clicks; }),
                image(std::make_shared<QImage>(4, 4, QImage::Format_ARGB32)).frame(10, 10)});
    const auto items = read(v);
    EXPECT_EQ(names(items), (QStringList{"Title", "Charging", "Go"}));
    EXPECT_EQ(items[0].role, AccessibleRole::text);
    EXPECT_EQ(items[1].role, AccessibleRole::image);
    // A clickable row is one button named by its texts; the texts inside are not read again.
    EXPECT_EQ(items[2].role, AccessibleRole::button);
    EXPECT_TRUE(a11y::press(items[2]));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(a11y::press(items[0]));
}

TEST(AccessibilityMap, DescriptionsNameTheFirstItemBelowOrMakeOneOfTheirOwn) {
    int clicks = 0;
    const View v =
        vstack(4, HAlign::leading,
               {// An automatic description goes to the first item only; the second keeps its text.
                vstack(2, HAlign::leading, {text("85", kFont), text("%", kFont)})
                    .accessibilityLabel("Level"),
                // A role makes the whole view one item; without a name it says the texts inside.
                hstack(1, VAlign::bottom, {text("85", kFont), text(" %", kFont)})
                    .accessibility({.role = AccessibleRole::text}),
                // A button described from outside its wrappers still presses the click inside.
                symbol("pause.fill", kFont)
                    .frame(20, 20)
                    .onClick([&clicks] { ++clicks; })
                    .id("pause")
                    .scale(1.2)
                    .accessibilityLabel("Pause", AccessibleRole::button),
                // A role on a stack does not reach down into a control beside others.
                hstack(2, VAlign::center, {button("a", "A", &clicks), button("b", "B", &clicks)})
                    .accessibilityLabel("Pair", AccessibleRole::button)});
    const auto items = read(v);
    EXPECT_EQ(names(items), (QStringList{"Level", "%", "85, %", "Pause", "Pair"}));
    EXPECT_EQ(items[3].key, "pause");  // keyed by the control it speaks for
    EXPECT_TRUE(a11y::press(items[3]));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(a11y::press(items[4]));
}

TEST(AccessibilityMap, GroupsHoldTheirItemsAndPressTheirOwnClick) {
    int toggles = 0;
    int inner = 0;
    const View v =
        zstack(Alignment::center(),
               {rectangle(Fill::solid(Qt::black)),
                vstack(2, HAlign::center, {text("Inside", kFont), button("in", "Tap", &inner)})})
            .onClick([&toggles] { ++toggles; })
            .id("island")
            .accessibility(
                {.role = AccessibleRole::group, .name = "Island", .description = "Compact"});
    const auto top = vstack(0, HAlign::center, {text("Above", kFont), v});
    const auto items = read(top);
    ASSERT_EQ(names(items), (QStringList{"Above", "Island", "Inside", "Tap"}));
    EXPECT_EQ(items[0].parent, -1);
    EXPECT_EQ(items[1].parent, -1);
    EXPECT_EQ(items[2].parent, 1);
    EXPECT_EQ(items[3].parent, 1);
    EXPECT_EQ(items[1].description, "Compact");
    EXPECT_TRUE(a11y::press(items[1]));
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(inner, 0);
}

TEST(AccessibilityMap, RectanglesFollowOffsetsScalesAndClips) {
    auto glyph = [](const QString& name) {
        return symbol("circle.fill", {20}).accessibilityLabel(name);  // 20 × 20
    };
    const View v = vstack(0, HAlign::leading,
                          {glyph("Moved").offset(10, 5), glyph("Grown").scale(2),
                           vstack(0, HAlign::leading, {glyph("Shown"), glyph("Scrolled")})
                               .offset(0, -30)
                               .frame(20, 20, Alignment::top())
                               .clip(Outline::rect())})
                       .frame(300, 200, Alignment::topLeading());
    const auto items = read(v);
    EXPECT_EQ(named(items, "Moved").rect, QRectF(10, 5, 20, 20));
    EXPECT_EQ(named(items, "Grown").rect, QRectF(-10, 10, 40, 40));  // doubled about its centre
    // A list scrolled up by 30 in a 20-high clip: the first row is there but out of sight,
    // half of the second shows.
    EXPECT_TRUE(named(items, "Shown").offscreen);
    EXPECT_FALSE(named(items, "Scrolled").offscreen);
    EXPECT_EQ(named(items, "Scrolled").rect, QRectF(0, 40, 20, 10));
}

TEST(AccessibilityMap, KeysFollowIdentitiesAndSurviveTransitionsAndEntrances) {
    int clicks = 0;
    auto card = [&](const QString& title, double entrance) {
        View row =
            hstack(4, VAlign::center, {text(title, kFont), button("card.go", "Go", &clicks)});
        if (entrance < 1) {  // an entrance wraps the row while it rises and fades in
            row = row.offset(0, 6 * (1 - entrance)).opacity(entrance);
        }
        return vstack(2, HAlign::leading, {text("Header", kFont), row}).id("card");
    };
    auto keys = [](const std::vector<Item>& items) {
        QStringList out;
        for (const auto& i : items) {
            out << i.key;
        }
        return out;
    };
    const auto settled = read(layers(empty(), card("Song", 1), 1));
    EXPECT_EQ(keys(settled), (QStringList{"card/0", "card/1.0", "card.go"}));
    EXPECT_EQ(keys(read(layers(empty(), card("Song", 0.5), 1))), keys(settled));
    // While a new card replaces the old one, the old one is not read and the new one already
    // stands where it will stay: one rename, nothing created or destroyed.
    const auto mid = read(layers(card("Song", 1), card("Other", 0.3), 0.5));
    EXPECT_EQ(keys(mid), keys(settled));
    EXPECT_EQ(a11y::diff(settled, mid), (std::vector<Change>{{Type::nameChanged, "card/1.0"}}));
    EXPECT_TRUE(a11y::diff(mid, read(layers(empty(), card("Other", 1), 1))).empty());
    // Equal identities twice in one tree stay apart.
    const auto twice = read(
        vstack(0, HAlign::leading, {button("row", "A", &clicks), button("row", "B", &clicks)}));
    EXPECT_EQ(keys(twice), (QStringList{"row", "row#2"}));
}

TEST(AccessibilityMap, ReadingOrderPutsWhatLiesOverTheTopFirst) {
    const View v = text("Body", kFont)
                       .frame(100, 80, Alignment::bottom())
                       .overlay(text("Dots", kFont), Alignment::bottom())
                       .overlay(text("Header", kFont), Alignment::top());
    EXPECT_EQ(names(read(v)), (QStringList{"Header", "Body", "Dots"}));
}

// Arrivals, departures, renames, values and alerts as the window announces them are checked
// through the window's layer; here, what only the diff decides.
TEST(AccessibilityMap, DiffTreatsANewRoleOrParentAsANewItemAndRereadsAChangedAlert) {
    auto item = [](QString key, AccessibleRole role, QString name, int parent = -1) {
        Item i;
        i.key = std::move(key);
        i.role = role;
        i.name = std::move(name);
        i.parent = parent;
        return i;
    };
    const Item group = item("g", AccessibleRole::group, "Island");
    const Item other = item("h", AccessibleRole::group, "Other");
    const Item text = item("b", AccessibleRole::text, "Becomes a button", 0);
    EXPECT_TRUE(a11y::diff({group, text}, {group, text}).empty());
    Item button = text;
    button.role = AccessibleRole::button;
    Item described = text;
    described.description = "now";
    EXPECT_EQ(a11y::diff({group, text}, {group, button}),
              (std::vector<Change>{{Type::destroyed, "b"}, {Type::created, "b"}}));
    EXPECT_EQ(a11y::diff({group, text}, {group, described}),
              (std::vector<Change>{{Type::descriptionChanged, "b"}}));
    Item moved = text;
    moved.parent = 1;
    EXPECT_EQ(a11y::diff({group, other, text}, {group, other, moved}),
              (std::vector<Change>{{Type::destroyed, "b"}, {Type::created, "b"}}));
    // An alert that changes its words is read again; one that stays is not.
    const Item alert = item("toast", AccessibleRole::alert, "Copied");
    Item next = alert;
    next.description = "to the clipboard";
    EXPECT_TRUE(a11y::diff({alert}, {alert}).empty());
    EXPECT_EQ(a11y::diff({alert}, {next}),
              (std::vector<Change>{{Type::descriptionChanged, "toast"}, {Type::alert, "toast"}}));
}

TEST(AccessibilityMap, SlidersSpeakForTheirControlAndAreSetWithinTheirRange) {
    std::vector<double> sent;
    const View v = rectangle(Fill::solid(Qt::white))
                       .frame(100, 14)
                       .onDrag([](QPointF, DragPhase) {})
                       .id("slider")
                       .padding(0)
                       .accessibility({.role = AccessibleRole::slider,
                                       .name = "Volume",
                                       .value = 98,
                                       .maximum = 100,
                                       .step = 5,
                                       .setValue = [&sent](double v) { sent.push_back(v); }});
    const auto items = read(v);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].key, "slider");
    EXPECT_FALSE(items[0].canPress());  // the control drags; it has no click
    EXPECT_TRUE(a11y::stepValue(items[0], 1));
    EXPECT_TRUE(a11y::stepValue(items[0], -1));
    EXPECT_FALSE(a11y::setValue(items[0], std::nan("")));
    EXPECT_EQ(sent, (std::vector<double>{100, 93}));
    Item text = items[0];
    text.role = AccessibleRole::text;
    EXPECT_FALSE(a11y::setValue(text, 50));
}
