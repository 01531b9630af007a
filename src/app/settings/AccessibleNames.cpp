#include "AccessibleNames.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QWidget>

namespace korvo {

namespace {

bool isControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
           qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QLineEdit*>(w);
}

QString ownText(const QWidget* w) {
    const auto* button = qobject_cast<const QAbstractButton*>(w);
    return button ? button->text().remove(QLatin1Char('&')).trimmed() : QString();
}

void name(QWidget* control, QLabel* label) {
    if (!control->accessibleName().isEmpty()) {
        return;
    }
    const QString labelText = label ? label->text().trimmed() : QString();
    if (!ownText(control).isEmpty()) {
        if (!labelText.isEmpty() && control->accessibleDescription().isEmpty()) {
            control->setAccessibleDescription(labelText);  // "10" of "History size"
        }
        return;
    }
    if (!labelText.isEmpty()) {
        control->setAccessibleName(labelText);
        if (!label->buddy()) {
            label->setBuddy(control);
        }
        return;
    }
    if (!control->toolTip().isEmpty()) {
        control->setAccessibleName(control->toolTip());
    }
}

bool isRow(const QLayout* layout) {
    const auto* box = qobject_cast<const QBoxLayout*>(layout);
    return box && (box->direction() == QBoxLayout::LeftToRight ||
                   box->direction() == QBoxLayout::RightToLeft);
}

// In a row, the first label names the controls after it; a column's labels are captions.
void nameRows(QLayout* layout) {
    const bool row = isRow(layout);
    QLabel* label = nullptr;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QLayout* inner = item->layout()) {
            nameRows(inner);
        } else if (QWidget* w = item->widget()) {
            if (auto* l = qobject_cast<QLabel*>(w); l && row && !label && !l->text().isEmpty()) {
                label = l;
            } else if (isControl(w)) {
                name(w, label);
            }
        }
    }
}

}  // namespace

void nameControls(QWidget* root) {
    if (!root) {
        return;
    }
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (QLayout* layout = w->layout()) {
            nameRows(layout);
        }
    }
    // Controls outside any labelled row.
    for (QWidget* w : std::as_const(widgets)) {
        if (isControl(w)) {
            name(w, nullptr);
        }
    }
}

}  // namespace korvo
