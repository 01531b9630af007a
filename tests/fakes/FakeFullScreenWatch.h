#pragma once

#include "core/Published.h"
#include "platform/FullScreenWatch.h"

namespace korvo {

/// An active window the test makes full screen and back.
class FakeFullScreenWatch : public FullScreenWatch {
public:
    std::optional<FullScreenWindow> activeFullScreen() const override { return window; }
    Subscription observe(std::function<void()> changed) override {
        return m_changed.subscribe([fn = std::move(changed)](const int&) { fn(); });
    }

    void set(std::optional<FullScreenWindow> w) {
        window = std::move(w);
        m_changed.send(0);
    }
    void fullScreen(QRect frame) { set(FullScreenWindow{frame, {}}); }
    void leave() { set(std::nullopt); }

    std::optional<FullScreenWindow> window;

private:
    Signal<int> m_changed;
};

}  // namespace korvo
