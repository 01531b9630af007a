#pragma once

#include <thread>

// The build turns the checks on in debug and sanitizer builds (KORVO_THREAD_CHECKS=1); in a
// release build the macro is empty and the checker has no state, so nothing is paid.
#ifndef KORVO_THREAD_CHECKS
#define KORVO_THREAD_CHECKS 0
#endif

namespace korvo {

/// For an object without a run loop at hand: the thread that made it counts as its main thread.
/// Keep it as `[[no_unique_address]]` member, so it takes no room when the checks are off.
class MainThreadChecker {
public:
#if KORVO_THREAD_CHECKS
    bool isMainThread() const {
        return std::this_thread::get_id() == m_thread;
    }

private:
    std::thread::id m_thread = std::this_thread::get_id();
#else
    bool isMainThread() const {
        return true;
    }
#endif
};

namespace threadcheck {

/// Says on stderr which entry point was called off the main thread, then aborts.
[[noreturn]] void calledOffTheMainThread(const char* where);

}  // namespace threadcheck
}  // namespace korvo

/// Guards an entry point of a main-thread object: `owner` is its `MainLoop` (whose background
/// work counts as off the main thread, even where it runs on the main thread's stack) or its
/// `MainThreadChecker`.
#if KORVO_THREAD_CHECKS
#define KORVO_ASSERT_MAIN_THREAD(owner)                                        \
    do {                                                                       \
        if (!(owner).isMainThread()) {                                         \
            ::korvo::threadcheck::calledOffTheMainThread(__PRETTY_FUNCTION__); \
        }                                                                      \
    } while (false)
#else
// Names the owner, so a checker kept for the checks alone counts as used; no code is made.
#define KORVO_ASSERT_MAIN_THREAD(owner) static_cast<void>(owner)
#endif
