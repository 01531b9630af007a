#pragma once

#include "ui/kit/Node.h"

#include <QRectF>
#include <QString>

#include <vector>

/// What a screen reader sees in a laid-out tree, without any accessibility bus: which nodes are
/// exposed, as what, with which name, value and actions, and what changed from one tree to the
/// next. The rules:
/// - a node marked hidden, and everything under an opacity of (nearly) zero, is left out;
/// - a node with an explicit role (`View::accessibility`) is one item; a group keeps the items
///   inside it as its children, every other role is a leaf named by its description or, without
///   a name, by the texts inside it;
/// - otherwise a draggable node is a slider, a clickable node a button (named by the texts
///   inside it), a text node static text; a symbol or an image only when a description above it
///   names it. A description with the automatic role names the first item inside it.
/// Shapes, spacers and unnamed symbols and images are decoration and stay silent.
namespace korvo::ui::a11y {

/// One exposed item. Items come in reading order; a group's children follow it.
struct Item {
    /// Stable from frame to frame: the identity (`View::id`) of the item's control, or the path
    /// from the nearest identified node above it.
    QString key;
    AccessibleRole role = AccessibleRole::text;  // never automatic or hidden
    QString name;
    QString description;
    QRectF rect;             // root coordinates after offsets and scales, within any clip
    bool offscreen = false;  // clipped or scrolled out of sight
    int parent = -1;         // index of the group holding it; -1 for the top level

    // Sliders.
    double value = 0;
    double minimum = 0;
    double maximum = 0;
    double step = 0;
    QString valueText;
    std::function<void(double)> setValue;

    // What the press action runs (the node's click); null when it has none. Valid while the
    // tree the item came from lives.
    const Node* control = nullptr;

    bool canPress() const { return control && control->onClick; }
};

std::vector<Item> collect(const Node& root);

/// What changed from one collection to the next, in the order it is announced: items gone
/// (innermost first), items new (outermost first), then renames, new descriptions and values,
/// and last the alerts to read out (an alert that appeared or changed its text).
struct Change {
    enum class Type { created, destroyed, nameChanged, descriptionChanged, valueChanged, alert };
    Type type;
    QString key;

    bool operator==(const Change&) const = default;
};
std::vector<Change> diff(const std::vector<Item>& before, const std::vector<Item>& after);

/// Runs the item's click. False when it has none.
bool press(const Item& item);
/// Sets a slider to `value`, kept within its range. False for anything but a slider that can be
/// set.
bool setValue(const Item& item, double value);
/// Moves a slider one step up (`steps` 1) or down (−1).
bool stepValue(const Item& item, int steps);

}  // namespace korvo::ui::a11y
