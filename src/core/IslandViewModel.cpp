#include "IslandViewModel.h"

#include <cmath>
#include <limits>
#include "core/IslandPreferences.h"
#include "core/MainThread.h"

namespace korvo {

namespace {

constexpr double kGestureThreshold = 25;
// A fired gesture swallows the rest of its own swipe for this long; exactly 0.4 s still counts
// as too soon, and the slack keeps float rounding from deciding that edge.
constexpr double kScrollDebounce = 0.4;
constexpr double kScrollDebounceSlack = 1e-9;
// Deltas further apart than this never add up to one gesture.
constexpr double kScrollResetDelay = 0.3;
constexpr double kHoverOutCollapseDelay = 0.5;
constexpr double kCarouselFlagDuration = 0.5;

}  // namespace

IslandViewModel::IslandViewModel(MainLoop& loop, ActivityEngine& engine,
                                 const IslandPreferences& settings, const DebugLog& debugLog,
                                 NotchGeometry initial)
    : notchGeometry(initial),
      m_loop(loop),
      m_engine(engine),
      m_settings(settings),
      m_debugLog(debugLog),
      m_lastScrollTrigger(-std::numeric_limits<double>::infinity()) {
    // Always one main-queue turn later, even for the value emitted on subscription, so nothing
    // runs against a half-built view model.
    m_cancellables.push_back(
        m_engine.focused.subscribe([this, weak = m_life.weak()](const std::optional<Activity>& f) {
            m_loop.post([this, weak, f] {
                if (weak.lock()) {
                    focusChanged(f);
                }
            });
        }));
    m_cancellables.push_back(m_engine.toastQueue.subscribe(
        [this, weak = m_life.weak()](const std::vector<TransientNotification>& q) {
            m_loop.post([this, weak, q] {
                if (weak.lock()) {
                    toastQueueChanged(q);
                }
            });
        }));
}

IslandViewModel::~IslandViewModel() = default;

Spring IslandViewModel::springFor(IslandState target) {
    switch (target) {
        case IslandState::hidden:
            return springs::hidden;
        case IslandState::compact:
            return springs::compact;
        case IslandState::medium:
            return springs::medium;
        case IslandState::expanded:
            return springs::expanded;
        case IslandState::hud:
            return springs::hud;
    }
    return springs::compact;
}

void IslandViewModel::transition(IslandState target) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    const IslandState old = state.get();
    if (target == old) {
        return;
    }
    m_debugLog.write(QStringLiteral("viewmodel: transition ") + toString(old) +
                     QStringLiteral(" -> ") + toString(target));
    // Set first: observers of `state` read the spring to animate this very change.
    m_animation = springFor(target);
    state.set(target);
}

IslandState IslandViewModel::restingState() const {
    return m_engine.focused.get() ? IslandState::compact : IslandState::hidden;
}

void IslandViewModel::focusChanged(const std::optional<Activity>& focused) {
    if (!focused) {
        // The island does not shrink under the pointer.
        if (!isHovering.get()) {
            transition(IslandState::hidden);
        }
        return;
    }
    request(IslandState::compact, std::nullopt);
}

void IslandViewModel::toastQueueChanged(const std::vector<TransientNotification>& queue) {
    if (queue.empty()) {
        return;
    }
    const TransientNotification& head = queue.front();
    m_debugLog.write(QStringLiteral("viewmodel: toast sink '") + head.title +
                     QStringLiteral("', state=") + toString(state.get()));
    request(IslandState::medium, head.duration);
}

void IslandViewModel::request(IslandState target, std::optional<double> collapseDelay) {
    // Never shrinks: an open card is not closed by a new activity or toast.
    if (target > state.get() || state.get() == IslandState::hidden) {
        transition(target);
    }
    if (collapseDelay) {
        scheduleCollapse(*collapseDelay);
    }
}

void IslandViewModel::scheduleCollapse(double seconds) {
    m_collapseTask.cancel();
    m_collapseTask = m_loop.postDelayed(seconds, [this, weak = m_life.weak()] {
        if (!weak.lock()) {
            return;
        }
        // Not re-armed while hovering: leaving the island arms a fresh one.
        if (!isHovering.get()) {
            transition(restingState());
        }
    });
}

void IslandViewModel::hoverChanged(bool hovering) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    isHovering.set(hovering);
    if (!m_settings.hoverToExpand()) {
        return;
    }
    const IslandState s = state.get();
    if (hovering) {
        if ((s == IslandState::compact || s == IslandState::medium) && m_engine.focused.get()) {
            transition(IslandState::expanded);
        }
        return;
    }
    if (s == IslandState::medium || s == IslandState::expanded) {
        scheduleCollapse(kHoverOutCollapseDelay);
    }
}

void IslandViewModel::toggleExpanded() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    switch (state.get()) {
        case IslandState::compact:
        case IslandState::medium:
            transition(IslandState::expanded);
            break;
        case IslandState::expanded:
            transition(IslandState::compact);
            break;
        case IslandState::hidden:
        case IslandState::hud:
            break;
    }
}

void IslandViewModel::resetScrollAccumulators() {
    m_scrollAccumX = 0;
    m_scrollAccumY = 0;
}

void IslandViewModel::scroll(double dx, double dy) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    const auto& focused = m_engine.focused.get();
    if (state.get() == IslandState::expanded && focused &&
        focused->kind == Activity::Kind::clipboard && std::abs(dx) < std::abs(dy)) {
        // Vertical scrolling inside the clipboard card belongs to its list.
        return;
    }
    const double now = m_loop.monotonicNow();
    if (now - m_lastScrollTrigger <= kScrollDebounce + kScrollDebounceSlack) {
        return;
    }

    m_scrollAccumX += dx;
    m_scrollAccumY += dy;
    const auto fire = [&] {
        m_lastScrollTrigger = now;
        resetScrollAccumulators();
    };
    if (std::abs(m_scrollAccumX) <= std::abs(m_scrollAccumY)) {
        if (m_scrollAccumY >= kGestureThreshold) {
            fire();
            transition(IslandState::expanded);
        } else if (m_scrollAccumY <= -kGestureThreshold) {
            fire();
            transition(restingState());
        }
    } else if (m_scrollAccumX >= kGestureThreshold) {
        fire();
        carouselSwipe(Edge::leading, +1);
    } else if (m_scrollAccumX <= -kGestureThreshold) {
        fire();
        carouselSwipe(Edge::trailing, -1);
    }

    m_scrollResetTask.cancel();
    m_scrollResetTask = m_loop.postDelayed(kScrollResetDelay, [this, weak = m_life.weak()] {
        if (weak.lock()) {
            resetScrollAccumulators();
        }
    });
}

void IslandViewModel::carouselSwipe(Edge edge, int direction) {
    if (m_engine.activities.get().size() < 2) {
        return;
    }
    slideEdge.set(edge);
    m_isCarouselSwipe = true;
    m_animation = springs::carousel;
    m_engine.focusNext(direction);

    const std::uint64_t id = m_nextCarouselTask++;
    m_carouselFlagTasks.emplace(
        id, m_loop.postDelayed(kCarouselFlagDuration, [this, weak = m_life.weak(), id] {
            if (!weak.lock()) {
                return;
            }
            m_isCarouselSwipe = false;
            m_carouselFlagTasks.erase(id);
        }));
}

}  // namespace korvo
