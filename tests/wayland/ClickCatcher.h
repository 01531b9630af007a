#pragma once
// A plain window of another client, drawn white, that counts the button presses it receives:
// what lies under the island in the tests, or a window that asks to be full screen. Speaks
// xdg-shell on a connection of its own.

#include "platform/linux/wayland/WaylandConnection.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace korvo::test {

class ClickCatcher {
public:
    int presses = 0;
    bool shown = false;

    explicit ClickCatcher(const QByteArray& socket, const char* title = "beneath")
        : m_wl(wayland::Connection::connect(socket)) {
        if (!m_wl || !m_wl->seat()) {
            return;
        }
        const auto base = m_wl->global(xdg_wm_base_interface.name);
        if (!base) {
            return;
        }
        static const xdg_wm_base_listener baseListener = {ping};
        static const xdg_surface_listener surfaceListener = {configure};
        static const xdg_toplevel_listener toplevelListener = {toplevelConfigure, close, nullptr,
                                                               nullptr};
        static const wl_pointer_listener pointerListener = {
            enter, leave,      motion,   button,       axis,
            frame, axisSource, axisStop, axisDiscrete, axisValue120};
        m_base = static_cast<xdg_wm_base*>(
            wl_registry_bind(m_wl->registry(), base->first, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(m_base, &baseListener, this);
        m_surface = wl_compositor_create_surface(m_wl->compositor());
        m_xdgSurface = xdg_wm_base_get_xdg_surface(m_base, m_surface);
        xdg_surface_add_listener(m_xdgSurface, &surfaceListener, this);
        m_toplevel = xdg_surface_get_toplevel(m_xdgSurface);
        xdg_toplevel_add_listener(m_toplevel, &toplevelListener, this);
        xdg_toplevel_set_title(m_toplevel, title);
        m_pointer = wl_seat_get_pointer(m_wl->seat());
        wl_pointer_add_listener(m_pointer, &pointerListener, this);
        wl_surface_commit(m_surface);
        m_wl->attachToEventLoop();
    }

    ~ClickCatcher() {
        if (m_pointer) {
            wl_pointer_release(m_pointer);
        }
        if (m_buffer) {
            wl_buffer_destroy(m_buffer);
            munmap(m_pixels, m_bytes);
        }
        if (m_toplevel) {
            xdg_toplevel_destroy(m_toplevel);
            xdg_surface_destroy(m_xdgSurface);
            wl_surface_destroy(m_surface);
        }
        if (m_base) {
            xdg_wm_base_destroy(m_base);
        }
    }

    /// Asks the compositor to make the window full screen on the output it is on, or to stop.
    void setFullScreen(bool on) {
        if (on) {
            xdg_toplevel_set_fullscreen(m_toplevel, nullptr);
        } else {
            xdg_toplevel_unset_fullscreen(m_toplevel);
        }
        m_wl->flush();
    }

    ClickCatcher(const ClickCatcher&) = delete;
    ClickCatcher& operator=(const ClickCatcher&) = delete;

private:
    static void ping(void*, xdg_wm_base* base, std::uint32_t serial) {
        xdg_wm_base_pong(base, serial);
    }
    static void toplevelConfigure(void* data, xdg_toplevel*, std::int32_t w, std::int32_t h,
                                  wl_array*) {
        auto* self = static_cast<ClickCatcher*>(data);
        if (w > 0 && h > 0) {
            self->m_size = QSize(w, h);
        }
    }
    static void close(void*, xdg_toplevel*) {}
    static void configure(void* data, xdg_surface* surface, std::uint32_t serial) {
        auto* self = static_cast<ClickCatcher*>(data);
        xdg_surface_ack_configure(surface, serial);
        self->draw();
    }
    // One white buffer of the size the compositor gave.
    void draw() {
        if (m_buffer && m_bufferSize == m_size) {
            wl_surface_commit(m_surface);
            return;
        }
        if (m_buffer) {
            wl_buffer_destroy(m_buffer);
            munmap(m_pixels, m_bytes);
        }
        const int stride = m_size.width() * 4;
        m_bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(m_size.height());
        const int fd = memfd_create("beneath", MFD_CLOEXEC);
        ftruncate(fd, static_cast<off_t>(m_bytes));
        m_pixels = mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        std::memset(m_pixels, 0xff, m_bytes);
        wl_shm_pool* pool = wl_shm_create_pool(m_wl->shm(), fd, static_cast<int>(m_bytes));
        m_buffer = wl_shm_pool_create_buffer(pool, 0, m_size.width(), m_size.height(), stride,
                                             WL_SHM_FORMAT_XRGB8888);
        wl_shm_pool_destroy(pool);
        ::close(fd);
        m_bufferSize = m_size;
        wl_surface_attach(m_surface, m_buffer, 0, 0);
        wl_surface_damage(m_surface, 0, 0, m_size.width(), m_size.height());
        wl_surface_commit(m_surface);
        m_wl->flush();
        shown = true;
    }
    static void enter(void* data, wl_pointer*, std::uint32_t, wl_surface* s, wl_fixed_t,
                      wl_fixed_t) {
        auto* self = static_cast<ClickCatcher*>(data);
        self->m_inside = s == self->m_surface;
    }
    static void leave(void* data, wl_pointer*, std::uint32_t, wl_surface*) {
        static_cast<ClickCatcher*>(data)->m_inside = false;
    }
    static void motion(void*, wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t) {}
    static void button(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t state) {
        auto* self = static_cast<ClickCatcher*>(data);
        if (self->m_inside && state == WL_POINTER_BUTTON_STATE_PRESSED) {
            ++self->presses;
        }
    }
    static void axis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
    static void frame(void*, wl_pointer*) {}
    static void axisSource(void*, wl_pointer*, std::uint32_t) {}
    static void axisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
    static void axisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
    static void axisValue120(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

    std::unique_ptr<wayland::Connection> m_wl;
    xdg_wm_base* m_base = nullptr;
    wl_surface* m_surface = nullptr;
    xdg_surface* m_xdgSurface = nullptr;
    xdg_toplevel* m_toplevel = nullptr;
    wl_pointer* m_pointer = nullptr;
    wl_buffer* m_buffer = nullptr;
    void* m_pixels = nullptr;
    std::size_t m_bytes = 0;
    QSize m_size{640, 480};
    QSize m_bufferSize;
    bool m_inside = false;
};

}  // namespace korvo::test
