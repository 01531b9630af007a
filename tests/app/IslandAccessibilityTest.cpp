// The island's items behind Qt's accessibility interfaces: what a reader asks, what it is told
// when a frame changes something, and what it may do.
#include "app/IslandAccessibility.h"

#include "ui/kit/Layout.h"
#include "ui/kit/View.h"

#include <QAccessible>
#include <QWindow>

#include <gtest/gtest.h>

using namespace korvo;
using namespace korvo::ui;

namespace {

struct Event {
    QAccessible::Event type;
    QAccessibleInterface* iface;
    QVariant value;
};

// What the island might show: a title, a button, a slider and, on request, a toast.
struct Look {
    QString title = "Song";
    bool button = true;
    double volume = 40;
    bool toast = false;
    double barHeight = 4;  // moves on every frame while playing
};

class Reader : public ::testing::Test {
protected:
    Reader()
        : layer(window, [this] { ++redraws; },
                {[this] { return listening; }, [this](QAccessibleEvent* e) { record(e); }}) {
        window.setTitle("Korvo");
        window.setGeometry(370, 0, 700, 320);
    }

    NodePtr build(const Look& look) {
        Views content{text(look.title, {12}),
                      roundedRectangle(1, Fill::solid(Qt::green))
                          .frame(3, look.barHeight)
                          .frame(std::nullopt, 14)
                          .id("bars")
                          .accessibilityLabel("Playing", AccessibleRole::image)};
        if (look.button) {
            content.push_back(symbol("pause.fill", {20})
                                  .frame(32, 32)
                                  .onClick([this] { ++pauses; })
                                  .id("pause")
                                  .accessibilityLabel("Pause"));
        }
        content.push_back(
            rectangle(Fill::solid(Qt::white))
                .frame(90, 14)
                .onDrag([](QPointF, DragPhase) {})
                .id("volume")
                .accessibility({.role = AccessibleRole::slider,
                                .name = "Volume",
                                .value = look.volume,
                                .maximum = 100,
                                .step = 5,
                                .valueText = QString::number(look.volume) + " %",
                                .setValue = [this](double v) { levels.push_back(v); }}));
        // The toast's place is always there, empty without one, as in the island.
        const View toast = look.toast ? text("Copied", {10})
                                            .accessibility({.role = AccessibleRole::alert,
                                                            .name = "Copied",
                                                            .description = "482913"})
                                      : empty();
        const View body = vstack(6, HAlign::center, content).overlay(toast, Alignment::top());
        NodePtr root = body.padding(10)
                           .onClick([this] { ++toggles; })
                           .id("island")
                           .accessibility({.role = AccessibleRole::group, .name = "Island"})
                           .frame(700, 320, Alignment::top())
                           .node();
        layout(*root, {700, 320});
        return root;
    }
    void show(const Look& look) { layer.update(build(look)); }
    void record(QAccessibleEvent* e) {
        QVariant value;
        if (e->type() == QAccessible::ValueChanged) {
            value = static_cast<QAccessibleValueChangeEvent*>(e)->value();
        }
        events.push_back({e->type(), e->accessibleInterface(), value});
    }
    std::vector<Event>& recorded() { return events; }
    int count(QAccessible::Event type) const {
        return static_cast<int>(std::count_if(events.begin(), events.end(),
                                              [type](const Event& e) { return e.type == type; }));
    }
    QAccessibleInterface* root() { return QAccessible::queryAccessibleInterface(&window); }
    QAccessibleInterface* island() { return root()->child(0); }
    QAccessibleInterface* named(const QString& name) {
        QAccessibleInterface* group = island();
        for (int i = 0; group && i < group->childCount(); ++i) {
            if (group->child(i)->text(QAccessible::Name) == name) {
                return group->child(i);
            }
        }
        return nullptr;
    }

    QWindow window;
    bool listening = false;  // whether a reader is on the accessibility bus
    int redraws = 0;
    int pauses = 0;
    int toggles = 0;
    std::vector<double> levels;
    std::vector<Event> events;  // what the layer announced
    IslandAccessibility layer;
};

}  // namespace

TEST_F(Reader, ThePanelIsAWindowHoldingTheIslandAndItsItems) {
    show({});
    QAccessibleInterface* w = root();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->role(), QAccessible::Window);
    EXPECT_EQ(w->text(QAccessible::Name), "Korvo");
    EXPECT_EQ(w->window(), &window);
    ASSERT_EQ(w->childCount(), 1);
    QAccessibleInterface* group = island();
    EXPECT_EQ(group->role(), QAccessible::Grouping);
    EXPECT_EQ(group->parent(), w);
    EXPECT_EQ(w->indexOfChild(group), 0);
    QStringList names;
    for (int i = 0; i < group->childCount(); ++i) {
        QAccessibleInterface* c = group->child(i);
        names << c->text(QAccessible::Name);
        EXPECT_EQ(c->parent(), group);
        EXPECT_EQ(group->indexOfChild(c), i);
    }
    EXPECT_EQ(names, (QStringList{"Song", "Playing", "Pause", "Volume"}));
    EXPECT_EQ(named("Song")->role(), QAccessible::StaticText);
    EXPECT_EQ(named("Playing")->role(), QAccessible::Graphic);
    EXPECT_EQ(named("Pause")->role(), QAccessible::Button);
    EXPECT_EQ(named("Volume")->role(), QAccessible::Slider);
    EXPECT_EQ(named("Volume")->text(QAccessible::Value), "40 %");

    // Places on the screen: the window's origin added to the laid-out frames.
    const auto& items = layer.items();
    const auto pause =
        std::find_if(items.begin(), items.end(), [](const auto& i) { return i.name == "Pause"; });
    ASSERT_NE(pause, items.end());
    const QRect onScreen = named("Pause")->rect();
    EXPECT_EQ(onScreen.topLeft(), pause->rect.toAlignedRect().topLeft() + QPoint(370, 0));
    EXPECT_EQ(w->childAt(onScreen.center().x(), onScreen.center().y()), group);
    EXPECT_EQ(group->childAt(onScreen.center().x(), onScreen.center().y()), named("Pause"));
}

TEST_F(Reader, WithNobodyListeningFramesCostNothingAndALateReaderIsAnsweredFromTheLastTree) {
    show({});
    show({.title = "Second"});
    EXPECT_TRUE(recorded().empty());
    EXPECT_TRUE(named("Second"));  // read when asked, from the latest frame
    listening = true;
    show({.title = "Second"});
    EXPECT_TRUE(recorded().empty());  // nothing changed since the reader looked
    show({.title = "Third"});
    EXPECT_EQ(count(QAccessible::NameChanged), 1);
}

TEST_F(Reader, ChangesAreAnnouncedAndASettledIslandSaysNothing) {
    listening = true;
    show({});
    EXPECT_EQ(count(QAccessible::ObjectCreated), 5);  // the island and its four items
    recorded().clear();

    // The same look again, with the bars at another height: nothing to say.
    for (double h : {6.0, 11.0, 14.0, 4.0}) {
        show({.barHeight = h});
    }
    EXPECT_TRUE(recorded().empty());

    // A rename keeps the object a reader holds.
    QAccessibleInterface* title = named("Song");
    show({.title = "Other"});
    ASSERT_EQ(recorded().size(), 1u);
    EXPECT_EQ(recorded()[0].type, QAccessible::NameChanged);
    EXPECT_EQ(recorded()[0].iface, title);
    EXPECT_EQ(named("Other"), title);
    recorded().clear();

    show({.title = "Other", .volume = 45});
    ASSERT_EQ(recorded().size(), 1u);
    EXPECT_EQ(recorded()[0].type, QAccessible::ValueChanged);
    EXPECT_EQ(recorded()[0].value.toDouble(), 45);
    recorded().clear();

    QAccessibleInterface* held = named("Pause");
    show({.title = "Other", .button = false, .volume = 45});
    ASSERT_EQ(recorded().size(), 1u);
    EXPECT_EQ(recorded()[0].type, QAccessible::ObjectDestroyed);
    EXPECT_EQ(recorded()[0].iface, held);
    EXPECT_EQ(named("Pause"), nullptr);
    recorded().clear();

    show({.title = "Other", .button = false, .volume = 45, .toast = true});
    EXPECT_EQ(count(QAccessible::ObjectCreated), 1);
    EXPECT_EQ(count(QAccessible::Alert), 1);
    QAccessibleInterface* toast = named("Copied");
    ASSERT_TRUE(toast);
    EXPECT_EQ(toast->role(), QAccessible::Notification);
    EXPECT_EQ(count(QAccessible::ObjectShow), 1);  // readers speak a notification as it shows
    EXPECT_EQ(toast->text(QAccessible::Description), "482913");
    EXPECT_EQ(recorded().back().iface, toast);
}

TEST_F(Reader, ActionsPressButtonsAndMoveSlidersWithinTheirRange) {
    show({});
    QAccessibleInterface* pause = named("Pause");
    ASSERT_TRUE(pause->actionInterface());
    EXPECT_EQ(pause->actionInterface()->actionNames(),
              QStringList{QAccessibleActionInterface::pressAction()});
    pause->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(redraws, 1);  // the window draws what the press changed
    island()->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(toggles, 1);

    QAccessibleInterface* volume = named("Volume");
    EXPECT_EQ(volume->actionInterface()->actionNames(),
              (QStringList{QAccessibleActionInterface::increaseAction(),
                           QAccessibleActionInterface::decreaseAction()}));
    volume->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    volume->actionInterface()->doAction(QAccessibleActionInterface::decreaseAction());
    volume->valueInterface()->setCurrentValue(-5);
    volume->valueInterface()->setCurrentValue(250);
    EXPECT_EQ(levels, (std::vector<double>{45, 35, 0, 100}));
    EXPECT_EQ(named("Song")->actionInterface(), nullptr);  // texts only speak
}

TEST_F(Reader, AnObjectHeldPastItsItemIsDeadAndHarmless) {
    listening = true;
    show({});
    QAccessibleInterface* pause = named("Pause");
    const QAccessible::Id id = QAccessible::uniqueId(pause);
    show({.button = false});
    // Deleted with the announcement of its departure: a reader that asks again finds nothing.
    EXPECT_EQ(QAccessible::accessibleInterface(id), nullptr);
    EXPECT_EQ(pauses, 0);

    // Without a reader listening the departure is noticed when someone asks; the old object
    // stays answerable (and dead) until the next frame.
    listening = false;
    show({});
    QAccessibleInterface* again = named("Pause");
    const QAccessible::Id againId = QAccessible::uniqueId(again);
    show({.button = false});
    EXPECT_EQ(named("Pause"), nullptr);
    EXPECT_FALSE(again->isValid());
    EXPECT_EQ(again->text(QAccessible::Name), QString());
    again->actionInterface();  // no action on a dead object
    EXPECT_EQ(again->actionInterface(), nullptr);
    show({.button = false});
    EXPECT_EQ(QAccessible::accessibleInterface(againId), nullptr);
}
