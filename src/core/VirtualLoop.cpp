#include "VirtualLoop.h"

#include <QTimeZone>

#include <cmath>

namespace korvo {

namespace {
// Virtual time is kept on a microsecond grid so that 0.1 + 0.2 seconds lands exactly on 0.3.
double quantize(double seconds) {
    return std::round(seconds * 1e6) / 1e6;
}
}  // namespace

VirtualLoop::VirtualLoop(QDateTime wallStart)
    : m_mainThread(std::this_thread::get_id()), m_wallStart(std::move(wallStart)) {}

VirtualLoop::~VirtualLoop() = default;

bool VirtualLoop::isMainThread() const {
    return !m_inBackground && std::this_thread::get_id() == m_mainThread;
}

void VirtualLoop::schedule(Task task) {
    task.due = quantize(task.due);
    const Key key{task.due, m_seq++};
    m_tasks.emplace(key, std::move(task));
}

void VirtualLoop::post(std::function<void()> fn) {
    if (!isMainThread()) {
        std::lock_guard lock(m_incomingMutex);
        m_incoming.push_back(std::move(fn));
        return;
    }
    schedule(Task{m_now, std::move(fn), 0, std::make_shared<bool>(false)});
}

TaskHandle VirtualLoop::postDelayed(double seconds, std::function<void()> fn) {
    auto cancelled = std::make_shared<bool>(false);
    schedule(Task{m_now + std::max(0.0, seconds), std::move(fn), 0, cancelled});
    return TaskHandle([cancelled] { *cancelled = true; });
}

TaskHandle VirtualLoop::scheduleRepeating(double interval, double /*tolerance*/,
                                          std::function<void()> fn) {
    auto cancelled = std::make_shared<bool>(false);
    const double step = std::max(interval, 1e-6);
    schedule(Task{m_now + step, std::move(fn), step, cancelled});
    return TaskHandle([cancelled] { *cancelled = true; });
}

void VirtualLoop::runInBackground(Qos /*qos*/, std::function<void()> fn) {
    std::lock_guard lock(m_incomingMutex);
    m_background.push_back(std::move(fn));
}

double VirtualLoop::monotonicNow() const {
    return m_now;
}

QDateTime VirtualLoop::wallNow() const {
    return m_wallStart.addMSecs(std::llround(m_now * 1000.0) + m_wallOffsetMs);
}

void VirtualLoop::setWallNow(const QDateTime& wall) {
    m_wallOffsetMs = wallNow().msecsTo(wall) + m_wallOffsetMs;
}

std::size_t VirtualLoop::pendingCount() const {
    std::lock_guard lock(m_incomingMutex);
    std::size_t live = 0;
    for (const auto& [key, task] : m_tasks) {
        live += *task.cancelled ? 0 : 1;
    }
    return live + m_incoming.size() + m_background.size();
}

void VirtualLoop::drainIncoming() {
    std::deque<std::function<void()>> incoming;
    {
        std::lock_guard lock(m_incomingMutex);
        incoming.swap(m_incoming);
    }
    for (auto& fn : incoming) {
        schedule(Task{m_now, std::move(fn), 0, std::make_shared<bool>(false)});
    }
}

bool VirtualLoop::runOneDue(double limit) {
    drainIncoming();
    while (!m_tasks.empty()) {
        auto it = m_tasks.begin();
        if (it->first.first > limit) {
            return false;
        }
        Task task = std::move(it->second);
        m_tasks.erase(it);
        if (*task.cancelled) {
            continue;
        }
        m_now = std::max(m_now, task.due);
        if (task.interval > 0) {
            // Re-arm before running so the callback may cancel its own handle.
            schedule(Task{task.due + task.interval, task.fn, task.interval, task.cancelled});
        }
        task.fn();
        return true;
    }
    return false;
}

bool VirtualLoop::runOneBackground() {
    std::function<void()> fn;
    {
        std::lock_guard lock(m_incomingMutex);
        if (m_background.empty()) {
            return false;
        }
        fn = std::move(m_background.front());
        m_background.pop_front();
    }
    m_inBackground = true;
    fn();
    m_inBackground = false;
    return true;
}

void VirtualLoop::runUntilIdle() {
    for (;;) {
        while (runOneDue(m_now)) {
        }
        if (!runOneBackground()) {
            drainIncoming();
            bool dueLeft = !m_tasks.empty() && m_tasks.begin()->first.first <= m_now;
            if (!dueLeft) {
                return;
            }
        }
    }
}

void VirtualLoop::advance(double seconds) {
    const double target = quantize(m_now + std::max(0.0, seconds));
    runUntilIdle();
    while (runOneDue(target)) {
        runUntilIdle();
    }
    m_now = target;
    runUntilIdle();
}

}  // namespace korvo
