#include "core/VirtualLoop.h"
#include "fakes/FakePointerDisplay.h"
#include "fakes/PlainPreferences.h"
#include "services/screens/DisplaySelection.h"

#include <gtest/gtest.h>

using namespace korvo;

namespace {

DisplayDescription display(const QString& name, int x, bool primary = false) {
    DisplayDescription d;
    d.name = name;
    d.geometry = QRect(x, 0, 1280, 800);
    d.nativeGeometry = d.geometry;
    d.primary = primary;
    return d;
}

class DisplaySelectionTest : public ::testing::Test {
protected:
    void make() {
        selection = std::make_unique<DisplaySelection>(loop, settings, pointer);
        sub = selection->observe([this] { ++changes; });
    }
    QString chosen() const {
        const auto i = selection->choose(displays);
        return i ? displays[*i].name : QStringLiteral("-");
    }

    VirtualLoop loop;
    test::PlainDisplayPreferences settings;
    FakePointerDisplay pointer;
    std::vector<DisplayDescription> displays = {display("A", 0, true), display("B", 1280)};
    std::unique_ptr<DisplaySelection> selection;
    Subscription sub;
    int changes = 0;
};

}  // namespace

TEST_F(DisplaySelectionTest, ThePointerIsReadOnlyWhileTheIslandFollowsIt) {
    make();
    EXPECT_FALSE(pointer.watched());
    settings.set(settings.choice, DisplayPreference::named(displays[1]).toString(), "display");
    EXPECT_FALSE(pointer.watched());
    EXPECT_EQ(chosen(), "B");

    settings.set(settings.choice, "pointer", "display");
    EXPECT_TRUE(pointer.watched());
    settings.set(settings.choice, "pointer", "display");  // written again: still one watch
    EXPECT_EQ(pointer.watches, 1);
    settings.set(settings.choice, "main", "display");
    EXPECT_FALSE(pointer.watched());
    EXPECT_EQ(chosen(), "A");
}

TEST_F(DisplaySelectionTest, StartingOnPointerFollowsAtOnceThenAfterASecond) {
    pointer.display = "B";
    settings.set(settings.choice, "pointer", "display");
    make();
    EXPECT_TRUE(pointer.watched());
    EXPECT_EQ(chosen(), "B");  // where the pointer is when following begins

    // A move counts after the follower's wait, and is told once.
    changes = 0;
    pointer.moveTo("A");
    EXPECT_EQ(chosen(), "B");
    loop.advance(1);
    pointer.moveTo("A");
    EXPECT_EQ(chosen(), "A");
    EXPECT_EQ(changes, 1);
}

TEST_F(DisplaySelectionTest, FollowingAgainStartsFromWhereThePointerIsNow) {
    make();
    settings.set(settings.choice, "pointer", "display");
    pointer.moveTo("B");
    loop.advance(1);
    ASSERT_EQ(chosen(), "B");
    settings.set(settings.choice, "main", "display");
    pointer.display = "A";  // moved while nobody watched
    settings.set(settings.choice, "pointer", "display");
    EXPECT_EQ(chosen(), "A");
}

TEST_F(DisplaySelectionTest, APointerDisplayThatWentAwayIsReplacedAtTheNextRead) {
    make();
    settings.set(settings.choice, "pointer", "display");
    pointer.moveTo("B");
    loop.advance(1);
    ASSERT_EQ(chosen(), "B");

    displays = {display("A", 0, true), display("C", 1280)};
    selection->displaysChanged(displays);
    EXPECT_EQ(chosen(), "A");  // main, until the pointer is read again
    pointer.moveTo("C");
    EXPECT_EQ(chosen(), "C");  // no second wait for a display the island never left

    // A display set that still holds the pointer's display keeps the wait in force.
    pointer.moveTo("A");
    selection->displaysChanged(displays);
    EXPECT_EQ(chosen(), "C");
}
