#include "EventBus.h"

namespace korvo {

void EventBus::post(IslandEvent event) {
    if (m_loop.isMainThread()) {
        m_events.send(event);
        return;
    }
    // A copy of the signal shares its subscriber list, so the hop stays valid on its own.
    m_loop.post([events = m_events, event = std::move(event)] { events.send(event); });
}

}  // namespace korvo
