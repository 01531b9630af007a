#include "BufferRing.h"

namespace korvo::wayland {

BufferRing::BufferRing(std::size_t capacity, QSize size)
    : m_capacity(capacity), m_bounds(QPoint(0, 0), size) {}

std::optional<BufferRing::Pick> BufferRing::acquire() const {
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (!m_slots[i].busy) {
            return Pick{i, false, m_slots[i].stale};
        }
    }
    if (m_slots.size() < m_capacity) {
        // A new buffer knows nothing yet: everything comes from the front buffer, if any.
        return Pick{m_slots.size(), true, m_front ? QRegion(m_bounds) : QRegion()};
    }
    return std::nullopt;
}

void BufferRing::presented(std::size_t index, const QRegion& dirty) {
    if (index == m_slots.size()) {
        m_slots.push_back({});
    }
    const QRegion changed = dirty.intersected(m_bounds);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (i != index) {
            m_slots[i].stale += changed;
        }
    }
    m_slots[index].stale = QRegion();
    m_slots[index].busy = true;
    m_front = index;
}

void BufferRing::released(std::size_t index) {
    if (index < m_slots.size()) {
        m_slots[index].busy = false;
    }
}

void BufferRing::reset(QSize size) {
    m_bounds = QRect(QPoint(0, 0), size);
    m_slots.clear();
    m_front.reset();
}

}  // namespace korvo::wayland
