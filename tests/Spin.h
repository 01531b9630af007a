#pragma once

// Waiting on the real event loop, for tests against real servers and tools. The deadline only
// guards against a hang, so a loaded machine never fails a test for being slow.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace korvo::test {

/// Runs the event loop until `done` holds or `ms` pass; true when it holds.
inline bool spinUntil(const std::function<bool()>& done, int ms = 15000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);  // other processes share the cores
    }
    return true;
}

/// Lets the event loop run for `ms`, so what is on its way arrives.
inline void spinFor(int ms) {
    spinUntil([] { return false; }, ms);
}

}  // namespace korvo::test
