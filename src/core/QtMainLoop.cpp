#include "QtMainLoop.h"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <cmath>
#include <vector>

namespace korvo {

namespace {

int toMilliseconds(double seconds) {
    if (!(seconds > 0)) {
        return 0;
    }
    return static_cast<int>(std::min(std::llround(seconds * 1000.0), 0x7fffffffLL));
}

// Coarse timers let the kernel batch wake-ups; precise ones are kept for short, exact delays.
Qt::TimerType timerTypeFor(double interval, double tolerance) {
    if (tolerance <= 0 || interval < 0.05) {
        return Qt::PreciseTimer;
    }
    return tolerance >= 1.0 ? Qt::VeryCoarseTimer : Qt::CoarseTimer;
}

TaskHandle ownTimer(QTimer* timer) {
    QPointer<QTimer> guard(timer);
    return TaskHandle([guard] {
        if (guard) {
            guard->stop();
            guard->deleteLater();
        }
    });
}

}  // namespace

QtMainLoop::QtMainLoop() : m_mainThread(std::this_thread::get_id()) {
    m_clock.start();
    m_beatTimer.setTimerType(Qt::CoarseTimer);
    m_beatTimer.setInterval(toMilliseconds(kBeat));
    QObject::connect(&m_beatTimer, &QTimer::timeout, &m_context, [this] { beat(); });
    m_utilityPool.setMaxThreadCount(2);
    m_userPool.setMaxThreadCount(2);
    m_utilityPool.setExpiryTimeout(30000);
    m_userPool.setExpiryTimeout(30000);
}

QtMainLoop::~QtMainLoop() {
    waitForBackground();
}

void QtMainLoop::waitForBackground() {
    m_utilityPool.waitForDone();
    m_userPool.waitForDone();
}

bool QtMainLoop::isMainThread() const {
    return std::this_thread::get_id() == m_mainThread;
}

void QtMainLoop::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(&m_context, std::move(fn), Qt::QueuedConnection);
}

TaskHandle QtMainLoop::postDelayed(double seconds, std::function<void()> fn) {
    auto* timer = new QTimer(&m_context);
    timer->setSingleShot(true);
    timer->setTimerType(timerTypeFor(seconds, 0));
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fn = std::move(fn)] {
        timer->deleteLater();
        fn();
    });
    timer->start(toMilliseconds(seconds));
    return ownTimer(timer);
}

TaskHandle QtMainLoop::scheduleRepeating(double interval, double tolerance,
                                         std::function<void()> fn) {
    const long long beats = std::llround(interval / kBeat);
    if (beats >= 1 && tolerance > 0 && std::abs(beats * kBeat - interval) <= tolerance) {
        // The first firing waits for the first beat that is no earlier than the tolerance allows.
        const double toNextBeat =
            m_beatTimer.isActive() ? m_beatTimer.remainingTime() / 1000.0 : kBeat;
        const double earliest = interval - tolerance;
        int countdown = 1;
        while (toNextBeat + (countdown - 1) * kBeat < earliest) {
            ++countdown;
        }
        const std::uint64_t id = ++m_nextBeatTask;
        m_beatTasks.emplace(
            id, BeatTask{static_cast<int>(std::min(beats, 1LL << 30)), countdown, std::move(fn)});
        if (!m_beatTimer.isActive()) {
            m_beatTimer.start();
        }
        return TaskHandle([this, id, life = std::weak_ptr<char>(m_life)] {
            if (life.lock()) {
                m_beatTasks.erase(id);
                if (m_beatTasks.empty()) {
                    m_beatTimer.stop();
                }
            }
        });
    }
    auto* timer = new QTimer(&m_context);
    timer->setTimerType(timerTypeFor(interval, tolerance));
    QObject::connect(timer, &QTimer::timeout, timer, std::move(fn));
    timer->start(std::max(1, toMilliseconds(interval)));
    return ownTimer(timer);
}

void QtMainLoop::beat() {
    // A task may cancel or add tasks while it runs: walk a list of ids taken before.
    std::vector<std::uint64_t> due;
    for (auto& [id, task] : m_beatTasks) {
        if (--task.countdown <= 0) {
            task.countdown = task.every;
            due.push_back(id);
        }
    }
    for (const std::uint64_t id : due) {
        if (const auto it = m_beatTasks.find(id); it != m_beatTasks.end()) {
            auto fn = it->second.fn;  // the task may cancel itself while it runs
            fn();
        }
    }
    if (m_beatTasks.empty()) {
        m_beatTimer.stop();
    }
}

void QtMainLoop::runInBackground(Qos qos, std::function<void()> fn) {
    auto& pool = qos == Qos::userInitiated ? m_userPool : m_utilityPool;
    pool.start(std::move(fn));
}

double QtMainLoop::monotonicNow() const {
    return static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
}

QDateTime QtMainLoop::wallNow() const {
    return QDateTime::currentDateTimeUtc();
}

}  // namespace korvo
