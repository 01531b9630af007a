#pragma once

#include <QRect>
#include <QRegion>

#include <cstddef>
#include <optional>
#include <vector>

namespace korvo::wayland {

/// Which of a few reused buffers the next frame is drawn into, and what each must catch up on.
/// A buffer the compositor still holds is never drawn into; a buffer that missed frames gets the
/// pixels those frames changed copied from the front buffer, so a frame only paints what it
/// changes. Regions are in buffer pixels.
class BufferRing {
public:
    /// At most `capacity` buffers of `size` pixels.
    BufferRing(std::size_t capacity, QSize size);

    struct Pick {
        std::size_t index;
        bool fresh;     // a new buffer: create it before drawing
        QRegion stale;  // copy these pixels from the front buffer first
    };
    /// A buffer to draw the next frame into, or none while the compositor holds every one.
    std::optional<Pick> acquire() const;
    /// The frame drawn into `index` changed `dirty` and went to the compositor.
    void presented(std::size_t index, const QRegion& dirty);
    /// The compositor let go of `index`.
    void released(std::size_t index);
    /// Forgets every buffer (a new size or scale): the next frame starts afresh.
    void reset(QSize size);

    std::size_t count() const { return m_slots.size(); }
    std::optional<std::size_t> front() const { return m_front; }
    bool busy(std::size_t index) const { return m_slots.at(index).busy; }

private:
    struct Slot {
        bool busy = false;
        QRegion stale;
    };
    std::size_t m_capacity;
    QRect m_bounds;
    std::vector<Slot> m_slots;
    std::optional<std::size_t> m_front;
};

}  // namespace korvo::wayland
