// Names a screen reader says for the settings window's controls, and the naming pass's rules.
#include "app/settings/AccessibleNames.h"
#include "app/settings/SettingsWindow.h"
#include "settings/SettingsStore.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace korvo;

namespace {

QString spoken(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name).trimmed() : QString();
}

// Scroll bars are read by their orientation, as part of what they scroll.
bool isControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) ||
           (qobject_cast<const QAbstractSlider*>(w) && !qobject_cast<const QScrollBar*>(w)) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractItemView*>(w);
}

}  // namespace

TEST(AccessibleNames, RowsNameTheirControlsColumnsDoNot) {
    QWidget page;
    auto* column = new QVBoxLayout(&page);
    auto* caption = new QLabel("A caption under something");
    auto* toggle = new QCheckBox("Detect codes");
    column->addWidget(caption);  // a caption in a column names nothing after it
    column->addWidget(toggle);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel("History size");
    auto* slider = new QSlider(Qt::Horizontal);
    auto* ten = new QToolButton;
    ten->setText("10");
    row->addWidget(label);
    row->addWidget(slider);
    row->addStretch(1);
    row->addWidget(ten);
    column->addLayout(row);
    auto* circles = new QHBoxLayout;
    auto* blue = new QToolButton;
    blue->setToolTip("Blue");
    auto* named = new QToolButton;
    named->setAccessibleName("Kept");
    named->setToolTip("Not this");
    circles->addWidget(blue);
    circles->addWidget(named);
    column->addLayout(circles);

    nameControls(&page);
    EXPECT_TRUE(toggle->accessibleName().isEmpty());  // its own text is its name
    EXPECT_TRUE(toggle->accessibleDescription().isEmpty());
    EXPECT_EQ(slider->accessibleName(), "History size");
    EXPECT_EQ(label->buddy(), slider);  // readers also see which label is the slider's
    EXPECT_TRUE(ten->accessibleName().isEmpty());
    EXPECT_EQ(ten->accessibleDescription(), "History size");
    EXPECT_EQ(blue->accessibleName(), "Blue");
    EXPECT_EQ(named->accessibleName(), "Kept");
    EXPECT_EQ(spoken(slider), "History size");
    EXPECT_EQ(spoken(ten), "10");
}

TEST(AccessibleNames, EverySettingsControlOnEveryPageHasAName) {
    QTemporaryDir dir;
    SettingsStore settings(dir.filePath("korvo.conf"));
    SettingsWindow window(settings, "1.0", "");
    QStringList nameless;
    int controls = 0;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (isControl(w) && !qobject_cast<QStackedWidget*>(w)) {
            ++controls;
            // Qt lends a control without a name the title of its group: that is no name.
            QString section;
            for (QWidget* p = w->parentWidget(); p && section.isEmpty(); p = p->parentWidget()) {
                if (auto* box = qobject_cast<QGroupBox*>(p)) {
                    section = box->title();
                }
            }
            if (spoken(w).isEmpty() || spoken(w) == section) {
                nameless << QString::fromLatin1(w->metaObject()->className()) + " " +
                                w->objectName();
            }
        }
    }
    EXPECT_GT(controls, 20);
    EXPECT_TRUE(nameless.isEmpty()) << nameless.join(", ").toStdString();

    // A reader picks a tab by selecting it, without moving the current item.
    auto* sidebar = window.findChild<QListWidget*>("sidebar");
    ASSERT_TRUE(sidebar);
    for (int i = 0; i < sidebar->count(); ++i) {
        if (sidebar->item(i)->text() == "Calendar") {
            sidebar->clearSelection();
            sidebar->item(i)->setSelected(true);
        }
    }
    EXPECT_EQ(window.selection(), SettingsTab::calendar);
}
