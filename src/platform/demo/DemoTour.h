#pragma once

#include "core/EventBus.h"
#include "core/IslandState.h"
#include "core/MainLoop.h"

#include <functional>
#include <vector>

namespace korvo {

/// A living tour for `korvo --demo`: every kind of activity, toasts, the carousel and each
/// presentation, on a loop, with no real devices behind it.
class DemoTour {
public:
    /// `present` asks the island for a presentation (expanded, hud, or back to rest).
    DemoTour(MainLoop& loop, EventBus& bus, std::function<void(IslandState)> present,
             std::function<void(int)> swipe);

    void start();

    /// The length of one round of the tour, in seconds.
    static constexpr double kRound = 60;

private:
    void round();
    void at(double seconds, std::function<void()> step);

    MainLoop& m_loop;
    EventBus& m_bus;
    std::function<void(IslandState)> m_present;
    std::function<void(int)> m_swipe;
    std::vector<TaskHandle> m_steps;
};

}  // namespace korvo
