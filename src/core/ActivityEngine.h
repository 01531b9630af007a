#pragma once

#include "activities/Activity.h"
#include "core/ActivityProvider.h"
#include "core/DebugLog.h"
#include "core/EventBus.h"
#include "core/MainLoop.h"
#include "core/Published.h"
#include "core/TransientNotification.h"

#include <QUuid>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace korvo {

/// The single store of what the island may show: the live activities, the focus and the toasts.
/// Services never call it; it applies the bus's events on the main thread.
class ActivityEngine {
public:
    ActivityEngine(MainLoop& loop, EventBus& bus, const DebugLog& debugLog);
    ~ActivityEngine();
    ActivityEngine(const ActivityEngine&) = delete;
    ActivityEngine& operator=(const ActivityEngine&) = delete;

    /// Appends a provider (`register` in the design; the word is reserved in C++).
    void registerProvider(std::unique_ptr<ActivityProvider> provider);
    /// Subscribes to the bus, then starts every provider in registration order. Call once.
    void start();
    /// Moves the focus around the carousel, which is ordered by start time and wraps.
    void focusNext(int direction);
    /// While held, toasts wait in the queue without expiring: the island is out of sight (a
    /// full-screen window covers it). On release every waiting toast gets its full duration
    /// again, counted from then, and the queue is published again so the island shows its head.
    void holdToasts(bool held);
    bool toastsHeld() const { return m_toastsHeld; }

    Published<std::vector<Activity>> activities;
    Published<std::optional<Activity>> focused;
    Published<std::vector<TransientNotification>> toastQueue;

    const std::vector<std::unique_ptr<ActivityProvider>>& providers() const { return m_providers; }

private:
    void handle(const IslandEvent& event);
    void refocus(const std::optional<Activity>& preferring);
    void enqueue(const TransientNotification& toast);
    void scheduleToastExpiry(const TransientNotification& toast);

    MainLoop& m_loop;
    EventBus& m_bus;
    const DebugLog& m_debugLog;
    std::vector<std::unique_ptr<ActivityProvider>> m_providers;
    std::vector<Subscription> m_cancellables;
    std::multimap<QUuid, TaskHandle> m_expiries;
    bool m_toastsHeld = false;
    LifeToken m_life;
};

}  // namespace korvo
