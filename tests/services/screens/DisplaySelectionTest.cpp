#include "core/VirtualLoop.h"
#include "fakes/FakePointerDisplay.h"
#include "services/screens/DisplaySelection.h"
#include "settings/SettingsStore.h"

#include <QTemporaryDir>

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
    DisplaySelectionTest()
        : bus(loop), settings(dir.filePath("korvo.conf"), loop, bus, nullptr, nullptr) {}

    void make() {
        selection = std::make_unique<DisplaySelection>(loop, settings, pointer);
        sub = selection->observe([this] { ++changes; });
    }
    QString chosen() const {
        const auto i = selection->choose(displays);
        return i ? displays[*i].name : QStringLiteral("-");
    }

    QTemporaryDir dir;
    VirtualLoop loop;
    EventBus bus;
    SettingsStore settings;
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
    settings.setDisplay(DisplayPreference::named(displays[1]).toString());
    EXPECT_FALSE(pointer.watched());
    EXPECT_EQ(chosen(), "B");

    settings.setDisplay("pointer");
    EXPECT_TRUE(pointer.watched());
    settings.setDisplay("pointer");  // written again: still one watch
    EXPECT_EQ(pointer.watches, 1);
    settings.setDisplay("main");
    EXPECT_FALSE(pointer.watched());
    EXPECT_EQ(chosen(), "A");
}

TEST_F(DisplaySelectionTest, StartingOnPointerFollowsAtOnceThenAfterASecond) {
    pointer.display = "B";
    settings.setDisplay("pointer");
    make();
    EXPECT_TRUE(pointer.watched());
    EXPECT_EQ(chosen(), "B");  // where the pointer is when following begins

    changes = 0;
    pointer.moveTo("A");
    loop.advance(0.5);
    pointer.moveTo("A");
    EXPECT_EQ(chosen(), "B");
    EXPECT_EQ(changes, 0);
    loop.advance(0.5);
    EXPECT_EQ(chosen(), "A");
    EXPECT_EQ(changes, 1);
}

TEST_F(DisplaySelectionTest, FollowingAgainStartsFromWhereThePointerIsNow) {
    make();
    settings.setDisplay("pointer");
    pointer.moveTo("B");
    loop.advance(1);
    ASSERT_EQ(chosen(), "B");
    settings.setDisplay("main");
    pointer.display = "A";  // moved while nobody watched
    settings.setDisplay("pointer");
    EXPECT_EQ(chosen(), "A");
}

TEST_F(DisplaySelectionTest, APointerDisplayThatWentAwayIsReplacedAtTheNextRead) {
    make();
    settings.setDisplay("pointer");
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
