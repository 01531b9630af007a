#pragma once

#include "core/MainLoop.h"

#include <QElapsedTimer>
#include <QObject>
#include <QThreadPool>

#include <thread>

namespace korvo {

/// The real main loop: Qt's event loop on the thread that created it, coarse timers, and two
/// thread pools for background work.
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

private:
    QObject m_context;  // lives on the main thread; queued calls run in its thread
    std::thread::id m_mainThread;
    QElapsedTimer m_clock;
    QThreadPool m_utilityPool;
    QThreadPool m_userPool;
};

}  // namespace korvo
