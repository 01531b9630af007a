#include "ui/kit/Layout.h"
#include "ui/kit/View.h"

#include <gtest/gtest.h>

using namespace korvo::ui;

namespace {

QRectF frameOf(const View& root, const QString& id) {
    const Node* n = findById(*root.node(), id);
    return n ? n->frame : QRectF(-1, -1, -1, -1);
}

View box(double w, double h, const QString& id) {
    return rectangle(Fill::solid(Qt::red)).frame(w, h).id(id);
}

}  // namespace

TEST(KitLayout, HStackPlacesFixedChildrenWithSpacingAndCentres) {
    View root = hstack(10, VAlign::center, {box(20, 10, "a"), box(30, 40, "b")});
    layout(*root.node(), {200, 100});
    // The stack is 60 × 40, centred horizontally at the top of the 200 × 100 canvas.
    EXPECT_EQ(frameOf(root, "a"), QRectF(70, 15, 20, 10));
    EXPECT_EQ(frameOf(root, "b"), QRectF(100, 0, 30, 40));
}

TEST(KitLayout, SpacersShareWhatIsLeftAndKeepTheirMinimum) {
    View root = hstack(0, VAlign::center,
                       {box(20, 10, "a"), spacer().id("s1"), box(20, 10, "b"), spacer(30).id("s2")})
                    .frame(200, 10);
    layout(*root.node(), {200, 10});
    EXPECT_EQ(frameOf(root, "a").left(), 0);
    EXPECT_DOUBLE_EQ(frameOf(root, "s1").width(), 80);
    EXPECT_DOUBLE_EQ(frameOf(root, "s2").width(), 80);
    EXPECT_EQ(frameOf(root, "b").left(), 100);

    View tight = hstack(0, VAlign::center, {box(180, 10, "a"), spacer(30).id("s")});
    layout(*tight.node(), {200, 10});
    EXPECT_DOUBLE_EQ(frameOf(tight, "s").width(), 30);  // minimum kept even when it overflows
}

TEST(KitLayout, VStackAlignmentAndFlexibleSpacerPushesToTop) {
    View root =
        vstack(4, HAlign::leading, {box(50, 10, "a"), box(20, 10, "b"), spacer()}).frame(100, 100);
    layout(*root.node(), {100, 100});
    EXPECT_EQ(frameOf(root, "a"), QRectF(25, 0, 50, 10));
    EXPECT_EQ(frameOf(root, "b"), QRectF(25, 14, 20, 10));
}

TEST(KitLayout, FlexibleFramesTakeTheOfferUpToTheirMaximum) {
    View wide = box(10, 10, "x").maxWidth().id("f");
    layout(*wide.node(), {300, 50});
    EXPECT_DOUBLE_EQ(frameOf(wide, "f").width(), 300);
    EXPECT_EQ(frameOf(wide, "x"), QRectF(145, 0, 10, 10));

    View capped = box(10, 10, "x").flexibleFrame(40, 120, std::nullopt, std::nullopt).id("f");
    layout(*capped.node(), {300, 50});
    EXPECT_DOUBLE_EQ(frameOf(capped, "f").width(), 120);

    View floor =
        box(10, 10, "x").flexibleFrame(40, std::nullopt, std::nullopt, std::nullopt).id("f");
    layout(*floor.node(), {300, 50});
    EXPECT_DOUBLE_EQ(frameOf(floor, "f").width(), 40);
}

TEST(KitLayout, PaddingBackgroundAndOverlayFollowTheirContent) {
    View v = box(20, 10, "content")
                 .padding(5, 2, 5, 2)
                 .background(capsule(Fill::solid(Qt::white)).id("bg"))
                 .overlay(box(4, 4, "dot"), Alignment{HAlign::trailing, VAlign::top})
                 .id("all");
    layout(*v.node(), {100, 100});
    EXPECT_EQ(frameOf(v, "all"), QRectF(35, 0, 30, 14));
    EXPECT_EQ(frameOf(v, "content"), QRectF(40, 2, 20, 10));
    EXPECT_EQ(frameOf(v, "bg"), QRectF(35, 0, 30, 14));
    EXPECT_EQ(frameOf(v, "dot"), QRectF(61, 0, 4, 4));
}

TEST(KitLayout, ZStackSizesToItsLargestChildAndAligns) {
    View v = zstack(Alignment::bottom(), {box(40, 20, "big"), box(10, 4, "small")});
    layout(*v.node(), {40, 20});
    EXPECT_EQ(frameOf(v, "small"), QRectF(15, 16, 10, 4));
}

TEST(KitLayout, OneLineTextNeverExceedsItsOfferAndTextKeepsItsWidthBesideSpacers) {
    const QString longText = QStringLiteral("A rather long title that cannot possibly fit here");
    View row = hstack(0, VAlign::center,
                      {text(longText, {12, Weight::semibold}).lineLimit(1).id("t"), spacer(),
                       box(30, 10, "btn")})
                   .frame(150, 20);
    layout(*row.node(), {150, 20});
    const QRectF t = frameOf(row, "t");
    EXPECT_LE(t.width(), 120.0);
    EXPECT_GT(t.width(), 100.0);
    EXPECT_EQ(frameOf(row, "btn").right(), 150);

    View shortRow =
        hstack(0, VAlign::center, {text("Hi", {12}).id("t"), spacer().id("s"), box(30, 10, "btn")})
            .frame(150, 20);
    layout(*shortRow.node(), {150, 20});
    EXPECT_LT(frameOf(shortRow, "t").width(), 20.0);
    EXPECT_GT(frameOf(shortRow, "s").width(), 90.0);
}

TEST(KitLayout, MinimumScaleFactorShrinksTextBeforeTruncating) {
    Node n;
    n.kind = Node::Kind::text;
    n.text = QStringLiteral("Wednesday, Dec 30");
    n.font = {11, Weight::bold};
    n.minimumScaleFactor = 0.75;
    const double ideal = measure(n, {}).width();
    EXPECT_DOUBLE_EQ(textScale(n, ideal + 5), 1.0);
    EXPECT_NEAR(textScale(n, ideal * 0.9), 0.9, 0.01);
    EXPECT_DOUBLE_EQ(textScale(n, ideal * 0.5), 0.75);
}

TEST(KitLayout, UnlimitedTextWrapsIntoMoreLines) {
    View v = text("one two three four five six seven eight nine ten", {12}).id("t");
    layout(*v.node(), {60, 500});
    const QRectF t = frameOf(v, "t");
    EXPECT_LE(t.width(), 60);
    EXPECT_GT(t.height(), 30);
    View limited =
        text("one two three four five six seven eight nine ten", {12}).lineLimit(2).id("t");
    layout(*limited.node(), {60, 500});
    EXPECT_LT(frameOf(limited, "t").height(), t.height());
    // The same text offered more room takes fewer lines (measurements are remembered per width).
    View wide = text("one two three four five six seven eight nine ten", {12}).id("t");
    layout(*wide.node(), {200, 500});
    EXPECT_LT(frameOf(wide, "t").height(), t.height());
}

TEST(KitLayout, RelativeWidthTakesItsShareOfTheOffer) {
    View meter = zstack(Alignment::leading(), {box(1, 4, "track").maxWidth(),
                                               box(1, 4, "fill").relativeWidth(0.25).id("f")})
                     .frame(200, 4);
    layout(*meter.node(), {200, 4});
    EXPECT_EQ(frameOf(meter, "f"), QRectF(0, 0, 50, 4));
    View over = box(1, 4, "x").relativeWidth(1.5).id("f");
    layout(*over.node(), {80, 4});
    EXPECT_DOUBLE_EQ(frameOf(over, "f").width(), 80);  // never more than the offer
}
