#include "ui/kit/Animator.h"
#include "ui/kit/Layout.h"
#include "ui/kit/Painter.h"
#include "ui/kit/View.h"

#include <gtest/gtest.h>

using namespace korvo;
using namespace korvo::ui;

TEST(ViewState, LivesWhileAskedForEveryFrameAndStartsAfreshAfterAGap) {
    int alive = 0;
    struct Counted {
        int* alive;
        explicit Counted(int* a) : alive(a) { ++*alive; }
        ~Counted() { --*alive; }
    };
    auto make = [&] { return std::make_shared<Counted>(&alive); };
    {
        Animator a([] { return 0.0; });
        auto frame = [&](bool ask) {
            a.beginFrame();
            auto s = ask ? a.state<Counted>("k", make) : nullptr;
            a.endFrame();
            return s.get();
        };
        const Counted* first = frame(true);
        EXPECT_EQ(frame(true), first);
        EXPECT_EQ(alive, 1);
        frame(false);
        EXPECT_EQ(alive, 0);
        frame(true);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);  // the animator takes its states along
}

TEST(ViewState, EntranceWaitsForItsDelaySpringsOnceAndKeepsFramesComing) {
    double t = 0;
    Animator a([&] { return t; });
    auto frame = [&] {
        a.beginFrame();
        const double v = a.entrance("e", 0, 1, Spring{0.5, 0.78, 0}, 0.2, 0.01);
        a.endFrame();
        return v;
    };
    EXPECT_EQ(frame(), 0);
    EXPECT_FALSE(a.isSettled());  // still to come in: the window keeps drawing
    t = 0.19;
    EXPECT_EQ(frame(), 0);
    t = 0.3;
    EXPECT_GT(frame(), 0);
    t = 3;
    EXPECT_NEAR(frame(), 1, 0.01);
    EXPECT_TRUE(a.isSettled());
    a.beginFrame();
    a.endFrame();
    EXPECT_EQ(frame(), 0);  // after a frame away it comes in again
}

TEST(ViewState, ClippedContentTakesThePointerOnlyWhereItShows) {
    Views cells;
    for (const char* id : {"a", "b", "c"}) {
        cells.push_back(rectangle(Fill::solid(Qt::red)).frame(50, 30).onClick([] {}).id(id));
    }
    View list = vstack(0, HAlign::leading, cells)
                    .offset(0, -20)
                    .frame(50, 40, Alignment::top())
                    .clip(Outline::rect());
    layout(*list.node(), {50, 40});
    const auto hits = collectHits(*list.node());
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].rect, QRectF(0, 0, 50, 10));  // what is left of "a" in view
    EXPECT_EQ(hits[1].rect, QRectF(0, 10, 50, 30));
}
