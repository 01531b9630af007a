#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace korvo {

/// A token that runs its cancel action once, at the latest when it is destroyed. Owners keep
/// their timer handles and subscriptions as members, so a dead owner is never called back.
class Cancellable {
public:
    Cancellable() = default;
    explicit Cancellable(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}
    Cancellable(const Cancellable&) = delete;
    Cancellable& operator=(const Cancellable&) = delete;
    Cancellable(Cancellable&& other) noexcept : m_cancel(std::exchange(other.m_cancel, {})) {}
    Cancellable& operator=(Cancellable&& other) noexcept {
        if (this != &other) {
            cancel();
            m_cancel = std::exchange(other.m_cancel, {});
        }
        return *this;
    }
    ~Cancellable() { cancel(); }

    void cancel() {
        if (auto fn = std::exchange(m_cancel, {})) {
            fn();
        }
    }
    /// True until cancelled or moved from.
    bool isActive() const { return static_cast<bool>(m_cancel); }

private:
    std::function<void()> m_cancel;
};

using TaskHandle = Cancellable;
using Subscription = Cancellable;

/// Lets delayed work hold its owner weakly: capture `weak()` and check `lock()` before use.
class LifeToken {
public:
    std::weak_ptr<void> weak() const { return m_token; }

private:
    std::shared_ptr<void> m_token = std::make_shared<char>(0);
};

}  // namespace korvo
