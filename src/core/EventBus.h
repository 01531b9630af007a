#pragma once

#include "core/IslandEvent.h"
#include "core/MainLoop.h"
#include "core/Published.h"

namespace korvo {

/// The one channel from the services to the engine. Subscribers are called on the main thread.
class EventBus {
public:
    explicit EventBus(MainLoop& loop) : m_loop(loop) {}

    /// On the main thread the event is sent before `post` returns; from any other thread it
    /// hops to the main queue, keeping that thread's posting order.
    void post(IslandEvent event);

    Subscription subscribe(Signal<IslandEvent>::Handler fn) {
        return m_events.subscribe(std::move(fn));
    }

private:
    MainLoop& m_loop;
    Signal<IslandEvent> m_events;
};

}  // namespace korvo
