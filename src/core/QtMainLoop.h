#pragma once

#include "core/MainLoop.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <cstdint>
#include <map>
#include <memory>
#include <thread>

namespace korvo {

/// The real main loop: Qt's event loop on the thread that created it, coarse timers, and two
/// thread pools for background work. Repeating work whose interval is a whole number of beats
/// (half seconds), give or take its tolerance, rides one shared beat timer, so the services'
/// polls wake the process together instead of each on its own.
class QtMainLoop final : public MainLoop {
public:
    QtMainLoop();
    ~QtMainLoop() override;

    bool isMainThread() const override;
    void post(std::function<void()> fn) override;
    TaskHandle postDelayed(double seconds, std::function<void()> fn) override;
    TaskHandle scheduleRepeating(double interval, double tolerance,
                                 std::function<void()> fn) override;
    void runInBackground(Qos qos, std::function<void()> fn) override;
    double monotonicNow() const override;
    QDateTime wallNow() const override;

    /// Waits for background work to finish (used at exit and by tests).
    void waitForBackground();

    static constexpr double kBeat = 0.5;
    /// How many repeating tasks ride the beat (for tests).
    int beatTaskCount() const { return static_cast<int>(m_beatTasks.size()); }

private:
    struct BeatTask {
        int every = 1;      // beats between firings
        int countdown = 1;  // beats to the next firing
        std::function<void()> fn;
    };
    void beat();

    QTimer m_beatTimer;
    std::map<std::uint64_t, BeatTask> m_beatTasks;
    std::uint64_t m_nextBeatTask = 0;
    std::shared_ptr<char> m_life = std::make_shared<char>(0);
    QObject m_context;  // lives on the main thread; queued calls run in its thread
    std::thread::id m_mainThread;
    QElapsedTimer m_clock;
    QThreadPool m_utilityPool;
    QThreadPool m_userPool;
};

}  // namespace korvo
