#include "ui/kit/Layout.h"
#include "ui/kit/PointerRouter.h"
#include "ui/kit/View.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace korvo::ui;

namespace {

// A 300 × 100 canvas with boxes placed by offsets from its top-left corner.
View box(double w, double h) {
    return rectangle(Fill::solid(Qt::black)).frame(w, h);
}
View at(double x, double y, const View& v) {
    return v.offset(x, y);
}

NodePtr laidOut(Views layers) {
    View root =
        zstack(Alignment::topLeading(), std::move(layers)).frame(300, 100, Alignment::topLeading());
    layout(*root.node(), {300, 100});
    return root.node();
}

}  // namespace

TEST(PointerRouter, HoverFollowsNamesAndLeavesBeforeItEnters) {
    QStringList heard;
    auto hears = [&](const QString& who) {
        return [&heard, who](bool in) { heard << who + (in ? "+" : "-"); };
    };
    Interaction interaction;
    PointerRouter router(interaction);
    auto tree = [&] {
        return laidOut({at(0, 0, box(100, 100).onHover(hears("a")).id("a")),
                        at(20, 20, box(20, 20).onHover(hears("b")).id("b")),
                        at(150, 0, box(100, 100).onHover(hears("c")).id("c")),
                        at(260, 0, box(40, 100).onHover(hears("nameless")))});
    };
    router.setTree(tree());
    EXPECT_TRUE(router.move({10, 10}));
    EXPECT_TRUE(router.move({25, 25}));  // into b, still in a
    EXPECT_FALSE(router.move({30, 30}));
    // A new frame under a still pointer: nothing is heard again.
    router.setTree(tree());
    router.move({30, 30});
    router.move({60, 60});   // out of b
    router.move({160, 10});  // from a straight into c
    EXPECT_TRUE(interaction.isHovered("c"));
    router.move({270, 10});  // a node without a name hears nothing
    router.move({160, 10});
    router.leave();
    EXPECT_EQ(heard, QStringList({"a+", "b+", "b-", "a-", "c+", "c-", "c+", "c-"}));
    EXPECT_TRUE(interaction.hovered().isEmpty());
}

TEST(PointerRouter, AClickNeedsThePressAndTheReleaseOnTheSameNode) {
    QStringList clicks;
    auto clicked = [&](const QString& who) { return [&clicks, who] { clicks << who; }; };
    Interaction interaction;
    PointerRouter router(interaction);
    auto tree = [&] {
        return laidOut({at(0, 0, box(50, 50).onClick(clicked("x")).id("x")),
                        at(60, 0, box(50, 50).onClick(clicked("y")).id("y")),
                        at(120, 0, box(50, 50).onClick(clicked("u"))),
                        at(180, 0, box(50, 50).onClick(clicked("v")))});
    };
    router.setTree(tree());
    // Named: matched by name across frames; the press shows while it lasts.
    router.press({10, 10});
    EXPECT_TRUE(interaction.isPressed("x"));
    router.setTree(tree());
    router.release({20, 20});
    EXPECT_FALSE(interaction.isPressed("x"));
    router.press({10, 10});
    router.release({70, 10});  // over y
    // Unnamed: only the very node pressed, even across a frame; never one released over.
    router.press({130, 10});
    router.release({190, 10});
    router.press({190, 10});
    router.release({130, 10});
    router.press({130, 10});
    router.setTree(tree());
    router.release({140, 20});
    // A release without a press, and a press on nothing, click nothing.
    EXPECT_FALSE(router.release({10, 10}));
    router.press({290, 90});
    router.release({10, 10});
    EXPECT_EQ(clicks, QStringList({"x", "u"}));
}

TEST(PointerRouter, ADragStaysWithItsNodeInItsOwnCoordinatesUntilTheRelease) {
    struct Step {
        QPointF at;
        DragPhase phase;
        double width;  // of the node as the handler finds it
    };
    std::vector<Step> steps;
    Interaction interaction;
    PointerRouter router(interaction);
    auto tree = [&] {
        View track = rectangle(Fill::solid(Qt::white)).frame(200, 20);
        // Like a slider: the handler reads its own node's frame when the pointer arrives.
        const std::weak_ptr<Node> self = track.node();
        return laidOut({track
                            .onDrag([&steps, self](QPointF at, DragPhase phase) {
                                const auto node = self.lock();
                                steps.push_back({at, phase, node ? node->frame.width() : 0});
                            })
                            .id("slider")
                            .offset(50, 40)});
    };
    router.setTree(tree());
    router.press({60, 50});
    router.setTree(tree());  // frames go on while the pointer is held down
    router.move({400, 90});  // far outside the slider
    router.release({0, 0});
    router.move({60, 50});
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].at, QPointF(10, 10));
    EXPECT_EQ(steps[1].at, QPointF(350, 50));
    EXPECT_EQ(steps[2].phase, DragPhase::ended);
    for (const auto& s : steps) {
        EXPECT_EQ(s.width, 200);
    }
}

TEST(PointerRouter, TheWheelGoesToTheTopmostNodeUnderThePointerThatScrolls) {
    QStringList scrolled;
    Interaction interaction;
    PointerRouter router(interaction);
    router.setTree(laidOut({at(0, 0, box(300, 100).onScroll([&](double, double dy) {
                                scrolled << "list" + QString::number(dy);
                            })),
                            at(0, 0, box(100, 100).onClick([] {}).id("button")),
                            at(200, 0, box(100, 100).onScroll([&](double, double dy) {
                                scrolled << "inner" + QString::number(dy);
                            }))}));
    EXPECT_TRUE(router.wheel({50, 50}, 0, 30));    // over a button that does not scroll
    EXPECT_TRUE(router.wheel({250, 50}, 0, -30));  // the inner one lies on top
    EXPECT_EQ(scrolled, QStringList({"list30", "inner-30"}));
    router.setTree(laidOut({box(10, 10)}));
    EXPECT_FALSE(router.wheel({5, 5}, 0, 30));
}
