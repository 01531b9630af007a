#pragma once

#include "core/ActivityEngine.h"
#include "core/Cancellable.h"
#include "core/DebugLog.h"
#include "core/IslandState.h"
#include "core/MainLoop.h"
#include "core/NotchGeometry.h"
#include "core/Published.h"
#include "core/Spring.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace korvo {

class IslandPreferences;

/// Decides how big the island is: follows the engine's focus and toasts, the pointer, clicks and
/// scroll gestures, and collapses the island again after a while. Main-thread only.
class IslandViewModel {
public:
    /// The edge a carousel item slides in from.
    enum class Edge { top, leading, bottom, trailing };

    /// `initial` is the notch of the main screen (or of the first screen when there is no main
    /// one); the window assigns `notchGeometry` again whenever it re-anchors.
    IslandViewModel(MainLoop& loop, ActivityEngine& engine, const IslandPreferences& settings,
                    const DebugLog& debugLog, NotchGeometry initial);
    ~IslandViewModel();
    IslandViewModel(const IslandViewModel&) = delete;
    IslandViewModel& operator=(const IslandViewModel&) = delete;

    Published<IslandState> state{IslandState::hidden};
    Published<bool> isHovering{false};
    Published<Edge> slideEdge{Edge::trailing};
    /// True for 0.5 s after a carousel move, so views pick the slide transition.
    bool isCarouselSwipe() const { return m_isCarouselSwipe; }
    Published<NotchGeometry> notchGeometry;

    /// The pointer entered (true) or left (false) the island.
    void hoverChanged(bool hovering);
    /// A click on the island.
    void toggleExpanded();
    /// Shows a presentation on request from outside the island (the control interface):
    /// `collapse` is the resting state (compact with a focus, else hidden).
    void expand() { transition(IslandState::expanded); }
    void collapse() { transition(restingState()); }
    void showHud() { transition(IslandState::hud); }
    /// One scroll event over the island, already normalised by `adaptScroll`.
    void scroll(double dx, double dy);

    /// The spring the island animates with when it moves to `target`.
    static Spring springFor(IslandState target);
    /// The spring of the latest change: the target's spring after a state transition, the
    /// carousel spring after a carousel move.
    const Spring& animationSpring() const { return m_animation; }

private:
    void focusChanged(const std::optional<Activity>& focused);
    void toastQueueChanged(const std::vector<TransientNotification>& queue);
    void request(IslandState target, std::optional<double> collapseDelay);
    void scheduleCollapse(double seconds);
    void transition(IslandState target);
    void carouselSwipe(Edge edge, int direction);
    IslandState restingState() const;
    void resetScrollAccumulators();

    MainLoop& m_loop;
    ActivityEngine& m_engine;
    const IslandPreferences& m_settings;
    const DebugLog& m_debugLog;

    bool m_isCarouselSwipe = false;
    Spring m_animation = springFor(IslandState::hidden);

    TaskHandle m_collapseTask;
    std::vector<Subscription> m_cancellables;
    double m_scrollAccumX = 0;
    double m_scrollAccumY = 0;
    TaskHandle m_scrollResetTask;
    double m_lastScrollTrigger;
    // Each swipe clears the flag after its own 0.5 s; kept only so they die with us.
    std::map<std::uint64_t, TaskHandle> m_carouselFlagTasks;
    std::uint64_t m_nextCarouselTask = 0;
    LifeToken m_life;
};

}  // namespace korvo
