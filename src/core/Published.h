#pragma once

#include "core/Cancellable.h"
#include "core/MainThread.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace korvo {

/// A multicast channel without buffering: subscribers see what is sent after they subscribed.
/// Main-thread only.
template <typename T>
class Signal {
public:
    using Handler = std::function<void(const T&)>;

    Subscription subscribe(Handler fn) {
        KORVO_ASSERT_MAIN_THREAD(m_thread);
        const auto id = m_state->nextId++;
        m_state->handlers.emplace(id, std::make_shared<Handler>(std::move(fn)));
        std::weak_ptr<State> weak = m_state;
        return Subscription([weak, id] {
            if (auto state = weak.lock()) {
                state->handlers.erase(id);
            }
        });
    }

    void send(const T& value) const {
        KORVO_ASSERT_MAIN_THREAD(m_thread);
        // Handlers may subscribe or unsubscribe while we deliver; work on a snapshot and skip
        // those removed in the meantime.
        std::vector<std::pair<std::uint64_t, std::shared_ptr<Handler>>> snapshot(
            m_state->handlers.begin(), m_state->handlers.end());
        const std::weak_ptr<State> weak = m_state;
        for (const auto& [id, handler] : snapshot) {
            auto state = weak.lock();
            if (!state || state->handlers.find(id) == state->handlers.end()) {
                continue;
            }
            (*handler)(value);
        }
    }

    std::size_t subscriberCount() const { return m_state->handlers.size(); }

private:
    struct State {
        std::uint64_t nextId = 0;
        std::map<std::uint64_t, std::shared_ptr<Handler>> handlers;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
    [[no_unique_address]] MainThreadChecker m_thread;
};

/// An observable value: every assignment notifies, even when the value did not change.
/// `subscribe` delivers the current value first. Main-thread only.
template <typename T>
class Published {
public:
    Published() = default;
    explicit Published(T initial) : m_value(std::move(initial)) {}

    const T& get() const { return m_value; }
    void set(T value) {
        m_value = std::move(value);
        m_signal.send(m_value);
    }
    Subscription subscribe(typename Signal<T>::Handler fn) {
        fn(m_value);
        return m_signal.subscribe(std::move(fn));
    }

private:
    T m_value{};
    Signal<T> m_signal;
};

/// A two-way binding to a stored value, as the settings window's controls use it.
template <typename T>
struct Binding {
    std::function<T()> get;
    std::function<void(T)> set;
};

}  // namespace korvo
