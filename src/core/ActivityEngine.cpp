#include "ActivityEngine.h"

#include <algorithm>

namespace korvo {

namespace {

// Lexicographic (priority, startedAt): strictly greater only.
bool ranksAbove(const Activity& a, const Activity& b) {
    if (a.priority != b.priority) {
        return a.priority > b.priority;
    }
    return a.startedAt > b.startedAt;
}

}  // namespace

ActivityEngine::ActivityEngine(MainLoop& loop, EventBus& bus, const DebugLog& debugLog)
    : m_loop(loop), m_bus(bus), m_debugLog(debugLog) {}

ActivityEngine::~ActivityEngine() = default;

void ActivityEngine::registerProvider(std::unique_ptr<ActivityProvider> provider) {
    m_providers.push_back(std::move(provider));
}

void ActivityEngine::start() {
    // Every event reaches `handle` one main-queue turn after it was sent, in sending order.
    m_cancellables.push_back(m_bus.subscribe([this, weak = m_life.weak()](const IslandEvent& e) {
        m_loop.post([this, weak, e] {
            if (weak.lock()) {
                handle(e);
            }
        });
    }));
    for (const auto& provider : m_providers) {
        provider->start();
    }
}

void ActivityEngine::handle(const IslandEvent& event) {
    if (const auto* started = std::get_if<ActivityStarted>(&event)) {
        const Activity& a = started->activity;
        auto list = activities.get();
        std::erase_if(list, [&](const Activity& x) { return x.id == a.id; });
        list.push_back(a);
        activities.set(std::move(list));
        refocus(a);
    } else if (const auto* updated = std::get_if<ActivityUpdated>(&event)) {
        const Activity& a = updated->activity;
        auto list = activities.get();
        auto it =
            std::find_if(list.begin(), list.end(), [&](const Activity& x) { return x.id == a.id; });
        if (it != list.end()) {
            *it = a;
            activities.set(std::move(list));
            if (focused.get() && focused.get()->id == a.id) {
                focused.set(a);
            }
        } else {
            list.push_back(a);
            activities.set(std::move(list));
            refocus(a);
        }
    } else if (const auto* ended = std::get_if<ActivityEnded>(&event)) {
        auto list = activities.get();
        std::erase_if(list, [&](const Activity& x) { return x.id == ended->id; });
        activities.set(std::move(list));
        if (focused.get() && focused.get()->id == ended->id) {
            refocus(std::nullopt);
        }
    } else if (const auto* toast = std::get_if<TransientNotification>(&event)) {
        enqueue(*toast);
    }
}

void ActivityEngine::refocus(const std::optional<Activity>& preferring) {
    const auto& list = activities.get();
    const Activity* best = nullptr;
    for (const auto& a : list) {
        if (!best || ranksAbove(a, *best)) {
            best = &a;
        }
    }
    if (preferring && best && preferring->priority >= best->priority) {
        focused.set(*preferring);
    } else if (best) {
        focused.set(*best);
    } else {
        focused.set(std::nullopt);
    }
}

void ActivityEngine::enqueue(const TransientNotification& toast) {
    auto queue = toastQueue.get();
    m_debugLog.write(QStringLiteral("engine: toast enqueued '") + toast.title +
                     QStringLiteral("' queue=") + QString::number(queue.size() + 1));
    queue.push_back(toast);
    std::stable_sort(queue.begin(), queue.end(),
                     [](const TransientNotification& a, const TransientNotification& b) {
                         return a.priority > b.priority;
                     });
    toastQueue.set(std::move(queue));
    if (!m_toastsHeld) {
        scheduleToastExpiry(toast);
    }
}

void ActivityEngine::holdToasts(bool held) {
    if (held == m_toastsHeld) {
        return;
    }
    m_toastsHeld = held;
    const auto queue = toastQueue.get();
    m_debugLog.write(QString::fromLatin1(held ? "engine: toasts held queue="
                                              : "engine: toasts released queue=") +
                     QString::number(queue.size()));
    if (held) {
        m_expiries.clear();  // the handles cancel as they go
        return;
    }
    for (const auto& toast : queue) {
        scheduleToastExpiry(toast);
    }
    if (!queue.empty()) {
        toastQueue.set(queue);
    }
}

void ActivityEngine::scheduleToastExpiry(const TransientNotification& toast) {
    // Counted from enqueueing: a toast waiting behind others may expire unseen.
    const QUuid id = toast.id;
    auto handle = m_loop.postDelayed(toast.duration, [this, weak = m_life.weak(), id] {
        if (!weak.lock()) {
            return;
        }
        auto queue = toastQueue.get();
        std::erase_if(queue, [&](const TransientNotification& t) { return t.id == id; });
        toastQueue.set(std::move(queue));
        auto range = m_expiries.equal_range(id);
        m_expiries.erase(range.first, range.second);
    });
    m_expiries.emplace(id, std::move(handle));
}

void ActivityEngine::focusNext(int direction) {
    const auto& list = activities.get();
    if (list.empty()) {
        return;
    }
    std::vector<Activity> ordered = list;
    std::stable_sort(ordered.begin(), ordered.end(), [](const Activity& a, const Activity& b) {
        return a.startedAt < b.startedAt;
    });
    const auto count = static_cast<long long>(ordered.size());
    if (focused.get()) {
        const auto it = std::find_if(ordered.begin(), ordered.end(),
                                     [&](const Activity& a) { return a.id == focused.get()->id; });
        if (it != ordered.end()) {
            const long long i = it - ordered.begin();
            const long long next = (((i + direction) % count) + count) % count;
            focused.set(ordered[static_cast<std::size_t>(next)]);
            return;
        }
    }
    focused.set(ordered.front());
}

}  // namespace korvo
