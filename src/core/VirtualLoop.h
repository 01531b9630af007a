#pragma once

#include "core/MainLoop.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace korvo {

/// A main loop on a virtual clock, for tests. Nothing runs until the test calls
/// `runUntilIdle()` or `advance()`. Tasks run in order of (due time, post order); background
/// work runs, off the "main thread" as far as `isMainThread()` can tell, once the due tasks
/// are drained. `post` may be called from real threads.
class VirtualLoop final : public MainLoop {
public:
    explicit VirtualLoop(QDateTime wallStart = QDateTime(QDate(2026, 1, 5), QTime(10, 0), Qt::UTC));
    ~VirtualLoop() override;

    bool isMainThread() const override;
    void post(std::function<void()> fn) override;
    TaskHandle postDelayed(double seconds, std::function<void()> fn) override;
    TaskHandle scheduleRepeating(double interval, double tolerance,
                                 std::function<void()> fn) override;
    void runInBackground(Qos qos, std::function<void()> fn) override;
    double monotonicNow() const override;
    QDateTime wallNow() const override;

    /// Runs everything due now, and the background work it starts, until nothing is left.
    void runUntilIdle();
    /// Moves the clocks forward by `seconds`, running each task at its due time.
    void advance(double seconds);
    /// Moves the wall clock alone (the user changed the clock; monotonic time is unaffected).
    void setWallNow(const QDateTime& wall);

    /// Number of tasks waiting, due or not (repeating timers count once).
    std::size_t pendingCount() const;

private:
    struct Task {
        double due = 0;
        std::function<void()> fn;
        double interval = 0;  // > 0 for repeating timers
        std::shared_ptr<bool> cancelled;
    };
    using Key = std::pair<double, std::uint64_t>;

    void schedule(Task task);
    void drainIncoming();
    bool runOneDue(double limit);
    bool runOneBackground();

    std::thread::id m_mainThread;
    double m_now = 0;
    qint64 m_wallOffsetMs = 0;
    QDateTime m_wallStart;
    std::uint64_t m_seq = 0;
    std::map<Key, Task> m_tasks;
    std::deque<std::function<void()>> m_background;
    bool m_inBackground = false;

    mutable std::mutex m_incomingMutex;
    std::deque<std::function<void()>> m_incoming;  // posts from other threads
};

}  // namespace korvo
