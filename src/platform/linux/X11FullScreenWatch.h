#pragma once

#include "core/Published.h"
#include "platform/FullScreenWatch.h"

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <memory>

struct xcb_connection_t;

namespace korvo {

/// Whether the active window is full screen, on an X server with an EWMH window manager: follows
/// `_NET_ACTIVE_WINDOW` on the root window, and the active window's `_NET_WM_STATE` and
/// geometry, through the change notices that reach the toolkit's own connection. The event masks
/// it needs are added to those already selected, never in their place.
class X11FullScreenWatch final : public FullScreenWatch, private QAbstractNativeEventFilter {
public:
    /// None when the application does not run on an X server.
    static std::unique_ptr<X11FullScreenWatch> create();
    ~X11FullScreenWatch() override;

    std::optional<FullScreenWindow> activeFullScreen() const override { return m_published; }
    Subscription observe(std::function<void()> changed) override {
        return m_changed.subscribe([fn = std::move(changed)](const int&) { fn(); });
    }

    /// The window the watch takes as active (for tests); 0 for none.
    std::uint32_t activeWindow() const { return m_active; }

private:
    X11FullScreenWatch(xcb_connection_t* connection, std::uint32_t root);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void followActiveWindow();
    void readState();
    void readFrame();
    void publish();

    xcb_connection_t* m_connection;
    std::uint32_t m_root;
    std::uint32_t m_activeAtom = 0;
    std::uint32_t m_stateAtom = 0;
    std::uint32_t m_fullScreenAtom = 0;
    std::uint32_t m_rootMaskAdded = 0;
    std::uint32_t m_active = 0;
    std::uint32_t m_activeMaskAdded = 0;
    bool m_fullScreen = false;
    QRect m_frame;
    std::optional<FullScreenWindow> m_published;
    Signal<int> m_changed;
};

}  // namespace korvo
