#include "X11FullScreenWatch.h"

#include <qguiapplication_platform.h>
#include <QGuiApplication>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace korvo {

namespace {

template <typename T>
struct Freed {
    T* p;
    explicit Freed(T* reply) : p(reply) {}
    ~Freed() { std::free(p); }
    Freed(const Freed&) = delete;
    Freed& operator=(const Freed&) = delete;
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    const auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    Freed reply(xcb_intern_atom_reply(c, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The events this client has selected on `window`; none when the window is gone.
std::optional<std::uint32_t> selectedEvents(xcb_connection_t* c, xcb_window_t window) {
    xcb_generic_error_t* error = nullptr;
    Freed reply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), &error));
    std::free(error);
    if (!reply) {
        return std::nullopt;
    }
    return reply->your_event_mask;
}

void selectEvents(xcb_connection_t* c, xcb_window_t window, std::uint32_t mask) {
    // Checked and discarded: a window that vanished in the meantime is no error worth a warning.
    const auto cookie = xcb_change_window_attributes_checked(c, window, XCB_CW_EVENT_MASK, &mask);
    xcb_discard_reply(c, cookie.sequence);
}

// Adds `bits` to what this client selects on `window`; returns the bits that were not there.
std::uint32_t addEvents(xcb_connection_t* c, xcb_window_t window, std::uint32_t bits) {
    const auto mask = selectedEvents(c, window);
    if (!mask || (*mask & bits) == bits) {
        return 0;
    }
    selectEvents(c, window, *mask | bits);
    return bits & ~*mask;
}

void removeEvents(xcb_connection_t* c, xcb_window_t window, std::uint32_t bits) {
    if (!bits) {
        return;
    }
    if (const auto mask = selectedEvents(c, window)) {
        selectEvents(c, window, *mask & ~bits);
    }
}

constexpr std::uint32_t kActiveWindowEvents =
    XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

}  // namespace

std::unique_ptr<X11FullScreenWatch> X11FullScreenWatch::create() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !x11->display()) {
        return nullptr;
    }
    const auto root = static_cast<std::uint32_t>(DefaultRootWindow(x11->display()));
    return std::unique_ptr<X11FullScreenWatch>(new X11FullScreenWatch(x11->connection(), root));
}

X11FullScreenWatch::X11FullScreenWatch(xcb_connection_t* connection, std::uint32_t root)
    : m_connection(connection), m_root(root) {
    m_activeAtom = internAtom(m_connection, "_NET_ACTIVE_WINDOW");
    m_stateAtom = internAtom(m_connection, "_NET_WM_STATE");
    m_fullScreenAtom = internAtom(m_connection, "_NET_WM_STATE_FULLSCREEN");
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_rootMaskAdded = addEvents(m_connection, m_root, XCB_EVENT_MASK_PROPERTY_CHANGE);
    followActiveWindow();
    xcb_flush(m_connection);
}

X11FullScreenWatch::~X11FullScreenWatch() {
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    if (m_active) {
        removeEvents(m_connection, m_active, m_activeMaskAdded);
    }
    removeEvents(m_connection, m_root, m_rootMaskAdded);
    xcb_flush(m_connection);
}

bool X11FullScreenWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !message) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (e->window == m_root && e->atom == m_activeAtom) {
                followActiveWindow();
            } else if (m_active && e->window == m_active && e->atom == m_stateAtom) {
                readState();
                publish();
            }
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            // A window made full screen is resized after its state says so: read it again.
            const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (m_fullScreen && m_active && e->window == m_active) {
                readFrame();
                publish();
            }
            break;
        }
        default:
            break;
    }
    return false;  // the toolkit needs these events too
}

void X11FullScreenWatch::followActiveWindow() {
    xcb_window_t active = XCB_WINDOW_NONE;
    Freed reply(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, m_root, m_activeAtom, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply.p) >= 4) {
        active = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.p));
    }
    if (active == m_root) {
        active = XCB_WINDOW_NONE;
    }
    if (active != m_active) {
        if (m_active) {
            removeEvents(m_connection, m_active, m_activeMaskAdded);
        }
        m_active = active;
        // Selected before reading, so no change slips between the read and the first notice.
        m_activeMaskAdded = active ? addEvents(m_connection, active, kActiveWindowEvents) : 0;
        xcb_flush(m_connection);
    }
    readState();
    publish();
}

void X11FullScreenWatch::readState() {
    m_fullScreen = false;
    if (m_active) {
        Freed reply(xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, m_active, m_stateAtom, XCB_ATOM_ATOM, 0, 64),
            nullptr));
        if (reply && reply->format == 32) {
            const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.p));
            const int count = xcb_get_property_value_length(reply.p) / 4;
            for (int i = 0; i < count; ++i) {
                m_fullScreen = m_fullScreen || atoms[i] == m_fullScreenAtom;
            }
        }
    }
    if (m_fullScreen) {
        readFrame();
    } else {
        m_frame = QRect();
    }
}

void X11FullScreenWatch::readFrame() {
    // Both requests go out before either answer is awaited: one round trip.
    const auto geometry = xcb_get_geometry(m_connection, m_active);
    const auto origin = xcb_translate_coordinates(m_connection, m_active, m_root, 0, 0);
    Freed g(xcb_get_geometry_reply(m_connection, geometry, nullptr));
    Freed o(xcb_translate_coordinates_reply(m_connection, origin, nullptr));
    if (!g || !o) {
        m_frame = QRect();  // gone: the window manager names the next active window shortly
        return;
    }
    m_frame = QRect(o->dst_x, o->dst_y, g->width, g->height);
}

void X11FullScreenWatch::publish() {
    std::optional<FullScreenWindow> now;
    if (m_fullScreen && !m_frame.isEmpty()) {
        now = FullScreenWindow{m_frame, {}};
    }
    if (now != m_published) {
        m_published = std::move(now);
        m_changed.send(0);
    }
}

}  // namespace korvo
