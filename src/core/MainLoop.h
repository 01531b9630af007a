#pragma once

#include "core/Cancellable.h"

#include <QDateTime>

#include <functional>

namespace korvo {

enum class Qos { utility, userInitiated };

/// The main thread's run loop, as the rest of the program sees it. `QtMainLoop` drives the real
/// program; `VirtualLoop` drives tests on a virtual clock.
class MainLoop {
public:
    virtual ~MainLoop() = default;

    virtual bool isMainThread() const = 0;
    /// Runs `fn` on the main thread later, in posting order per posting thread. Thread-safe.
    virtual void post(std::function<void()> fn) = 0;
    /// Runs `fn` once on the main thread after `seconds` of monotonic time, unless the handle is
    /// cancelled or destroyed first.
    virtual TaskHandle postDelayed(double seconds, std::function<void()> fn) = 0;
    /// Runs `fn` every `interval` seconds; the loop may shift a firing by up to `tolerance`.
    virtual TaskHandle scheduleRepeating(double interval, double tolerance,
                                         std::function<void()> fn) = 0;
    /// Runs blocking work off the main thread. The work hands results back with `post`.
    virtual void runInBackground(Qos qos, std::function<void()> fn) = 0;
    /// Seconds on a monotonic clock.
    virtual double monotonicNow() const = 0;
    /// The wall clock, in UTC.
    virtual QDateTime wallNow() const = 0;
};

}  // namespace korvo
