#pragma once

#include "ui/kit/Interaction.h"
#include "ui/kit/Painter.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <map>
#include <vector>

namespace korvo::ui {

/// Routes the pointer over the latest laid-out tree to its nodes, and keeps `Interaction` (what
/// is hovered, what is held down) for the views to read:
/// - hover by identity: a node's handler hears `true` when the pointer comes over it and `false`
///   when it leaves, leaving before entering;
/// - a click only when the release lands on the node the press did: for named nodes, the node of
///   the same name (trees are rebuilt between the two); for unnamed ones, the very node pressed;
/// - a drag goes to the node pressed, in that node's own coordinates, until the release;
/// - the wheel goes to the topmost node under the pointer that scrolls.
/// Each call says whether the views may look different now (hover and press are drawn).
class PointerRouter {
public:
    explicit PointerRouter(Interaction& interaction) : m_interaction(interaction) {}

    /// The tree the latest frame drew: the pointer acts on what it shows.
    void setTree(NodePtr root);
    const std::vector<HitRegion>& regions() const { return m_regions; }

    bool move(QPointF at);
    /// The pointer left the window.
    bool leave();
    bool press(QPointF at);
    bool release(QPointF at);
    /// `dx`, `dy` in points. False when nothing under the pointer scrolls.
    bool wheel(QPointF at, double dx, double dy);

    bool dragging() const { return static_cast<bool>(m_drag); }

private:
    bool hover(QPointF at);

    Interaction& m_interaction;
    NodePtr m_root;
    std::vector<HitRegion> m_regions;
    std::map<QString, std::function<void(bool)>> m_hoverHandlers;  // ids under the pointer
    // The press: its node's name, and the tree it was in, kept while the press lasts so that an
    // unnamed node can be recognised and a drag handler still finds its own node.
    bool m_pressing = false;
    QString m_pressedId;
    NodePtr m_pressedTree;
    const Node* m_pressedNode = nullptr;
    std::function<void(QPointF, DragPhase)> m_drag;
    QRectF m_dragFrame;
};

}  // namespace korvo::ui
