#include "PointerRouter.h"

#include <QSet>

#include <utility>

namespace korvo::ui {

namespace {

bool pressable(const Node& n) {
    return n.onClick || n.onDrag;
}

}  // namespace

void PointerRouter::setTree(NodePtr root) {
    m_root = std::move(root);
    m_regions = m_root ? collectHits(*m_root) : std::vector<HitRegion>{};
}

bool PointerRouter::hover(QPointF at) {
    std::map<QString, std::function<void(bool)>> now;
    QSet<QString> ids;
    for (const auto& h : m_regions) {
        if (h.rect.contains(at) && !h.node->id.isEmpty()) {
            ids.insert(h.node->id);
            if (h.node->onHover) {
                now[h.node->id] = h.node->onHover;
            }
        }
    }
    // Leaving first, then entering, so that an observer sees out-then-in in order.
    for (const auto& [id, handler] : m_hoverHandlers) {
        if (!now.count(id)) {
            handler(false);
        }
    }
    for (const auto& [id, handler] : now) {
        if (!m_hoverHandlers.count(id)) {
            handler(true);
        }
    }
    m_hoverHandlers = std::move(now);
    if (ids == m_interaction.hovered()) {
        return false;
    }
    m_interaction.setHovered(std::move(ids));
    return true;
}

bool PointerRouter::move(QPointF at) {
    const bool changed = hover(at);
    if (m_drag) {
        m_drag(at - m_dragFrame.topLeft(), DragPhase::moved);
        return true;  // a slider follows the pointer
    }
    return changed;
}

bool PointerRouter::leave() {
    for (const auto& [id, handler] : m_hoverHandlers) {
        handler(false);
    }
    m_hoverHandlers.clear();
    m_interaction.setHovered({});
    return true;
}

bool PointerRouter::press(QPointF at) {
    hover(at);
    const HitRegion* hit = hitTest(m_regions, at, pressable);
    if (!hit) {
        return false;
    }
    m_pressing = true;
    m_pressedId = hit->node->id;
    m_pressedTree = m_root;
    m_pressedNode = hit->node;
    m_interaction.setPressed(m_pressedId);
    if (hit->node->onDrag) {
        m_drag = hit->node->onDrag;
        m_dragFrame = hit->rect;
        m_drag(at - m_dragFrame.topLeft(), DragPhase::began);
    }
    return true;
}

bool PointerRouter::release(QPointF at) {
    if (!m_pressing) {
        return false;
    }
    if (m_drag) {
        auto drag = std::exchange(m_drag, {});
        drag(at - m_dragFrame.topLeft(), DragPhase::ended);
    }
    std::function<void()> click;
    if (!m_pressedId.isEmpty()) {
        const HitRegion* hit = hitTest(m_regions, at, pressable);
        if (hit && hit->node->id == m_pressedId) {
            click = hit->node->onClick;
        }
    } else if (m_pressedTree) {
        // Without a name the node is only known in the tree it was pressed in.
        const auto hits = collectHits(*m_pressedTree);
        const HitRegion* hit = hitTest(hits, at, pressable);
        if (hit && hit->node == m_pressedNode) {
            click = hit->node->onClick;
        }
    }
    m_pressing = false;
    m_pressedId.clear();
    m_pressedTree.reset();
    m_pressedNode = nullptr;
    m_interaction.setPressed({});
    if (click) {
        click();
    }
    return true;
}

bool PointerRouter::wheel(QPointF at, double dx, double dy) {
    const HitRegion* hit =
        hitTest(m_regions, at, [](const Node& n) { return static_cast<bool>(n.onScroll); });
    if (!hit) {
        return false;
    }
    auto scroll = hit->node->onScroll;
    scroll(dx, dy);
    return true;
}

}  // namespace korvo::ui
