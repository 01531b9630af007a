#include "WaylandFullScreenWatch.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace korvo::wayland {

ToplevelState readToplevelState(const void* data, std::size_t bytes) {
    ToplevelState s;
    const auto* at = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; data && i + sizeof(std::uint32_t) <= bytes;
         i += sizeof(std::uint32_t)) {
        std::uint32_t value = 0;
        std::memcpy(&value, at + i, sizeof value);
        if (value == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED) {
            s.activated = true;
        } else if (value == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_FULLSCREEN) {
            s.fullScreen = true;
        }
    }
    return s;
}

void ToplevelStates::state(Id toplevel, ToplevelState state) {
    m_toplevels[toplevel].pendingState = state;
}

void ToplevelStates::outputEntered(Id toplevel, std::uint32_t output) {
    m_toplevels[toplevel].pendingOutputs.insert(output);
}

void ToplevelStates::outputLeft(Id toplevel, std::uint32_t output) {
    m_toplevels[toplevel].pendingOutputs.erase(output);
}

void ToplevelStates::done(Id toplevel) {
    Entry& e = m_toplevels[toplevel];
    e.state = e.pendingState;
    e.outputs = e.pendingOutputs;
}

void ToplevelStates::closed(Id toplevel) {
    m_toplevels.erase(toplevel);
}

std::optional<std::vector<std::uint32_t>> ToplevelStates::activeFullScreenOutputs() const {
    std::optional<std::set<std::uint32_t>> covered;
    for (const auto& [id, e] : m_toplevels) {
        if (e.state.activated && e.state.fullScreen) {
            if (!covered) {
                covered.emplace();
            }
            covered->insert(e.outputs.begin(), e.outputs.end());
        }
    }
    if (!covered) {
        return std::nullopt;
    }
    return std::vector<std::uint32_t>(covered->begin(), covered->end());
}

}  // namespace korvo::wayland

namespace korvo {

namespace {
// Full screen is a state from version 2 on; version 3 adds the parent, which Korvo ignores.
constexpr std::uint32_t kMinimumVersion = 2;
constexpr std::uint32_t kVersion = 3;
}  // namespace

struct WaylandFullScreenWatch::Listeners {
    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* handle) {
        auto* self = static_cast<WaylandFullScreenWatch*>(data);
        self->m_handles.insert(handle);
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &Listeners::handle(), self);
    }
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1* manager) {
        // The compositor stopped telling: nothing counts as full screen from now on.
        auto* self = static_cast<WaylandFullScreenWatch*>(data);
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        self->m_manager = nullptr;
        for (auto* h : self->m_handles) {
            zwlr_foreign_toplevel_handle_v1_destroy(h);
        }
        self->m_handles.clear();
        self->m_states.clear();
        self->changed();
    }
    static void title(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
    static void appId(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
    static void outputEnter(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                            wl_output* output) {
        auto* self = static_cast<WaylandFullScreenWatch*>(data);
        if (const wayland::Output* o = self->m_wl.outputByProxy(output)) {
            self->m_states.outputEntered(handle, o->globalName);
        }
    }
    static void outputLeave(void* data, zwlr_foreign_toplevel_handle_v1* handle,
                            wl_output* output) {
        auto* self = static_cast<WaylandFullScreenWatch*>(data);
        if (const wayland::Output* o = self->m_wl.outputByProxy(output)) {
            self->m_states.outputLeft(handle, o->globalName);
        }
    }
    static void state(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
        static_cast<WaylandFullScreenWatch*>(data)->m_states.state(
            handle, wayland::readToplevelState(states->data, states->size));
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* self = static_cast<WaylandFullScreenWatch*>(data);
        self->m_states.done(handle);
        self->changed();
    }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* self = static_cast<WaylandFullScreenWatch*>(data);
        self->m_states.closed(handle);
        self->m_handles.erase(handle);
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        self->changed();
    }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static const zwlr_foreign_toplevel_manager_v1_listener& manager() {
        static const zwlr_foreign_toplevel_manager_v1_listener l = {toplevel, finished};
        return l;
    }
    static const zwlr_foreign_toplevel_handle_v1_listener& handle() {
        static const zwlr_foreign_toplevel_handle_v1_listener l = {
            title, appId, outputEnter, outputLeave, state, done, closed, parent};
        return l;
    }
};

std::unique_ptr<WaylandFullScreenWatch> WaylandFullScreenWatch::create(
    wayland::Connection& connection, MainLoop& loop) {
    const auto global = connection.global(zwlr_foreign_toplevel_manager_v1_interface.name);
    if (!global || global->second < kMinimumVersion) {
        return nullptr;
    }
    auto* manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
        connection.registry(), global->first, &zwlr_foreign_toplevel_manager_v1_interface,
        std::min(global->second, kVersion)));
    return std::unique_ptr<WaylandFullScreenWatch>(
        new WaylandFullScreenWatch(connection, loop, manager));
}

WaylandFullScreenWatch::WaylandFullScreenWatch(wayland::Connection& connection, MainLoop& loop,
                                               zwlr_foreign_toplevel_manager_v1* manager)
    : m_wl(connection), m_loop(loop), m_manager(manager) {
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &Listeners::manager(), this);
    // An output that comes, goes or gets its name changes the names published.
    m_outputsWatch = m_wl.observeOutputs([this] { changed(); });
    m_wl.flush();
}

WaylandFullScreenWatch::~WaylandFullScreenWatch() {
    for (auto* h : m_handles) {
        zwlr_foreign_toplevel_handle_v1_destroy(h);
    }
    if (m_manager) {
        zwlr_foreign_toplevel_manager_v1_stop(m_manager);
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
    }
    m_wl.flush();
}

void WaylandFullScreenWatch::changed() {
    // Focus passing between two windows comes as one `done` for each: look once both are in.
    if (std::exchange(m_publishPending, true)) {
        return;
    }
    m_loop.post([this, weak = m_life.weak()] {
        if (weak.lock()) {
            m_publishPending = false;
            publish();
        }
    });
}

void WaylandFullScreenWatch::publish() {
    std::optional<FullScreenWindow> now;
    if (const auto outputs = m_states.activeFullScreenOutputs()) {
        now.emplace();
        for (const wayland::Output* o : m_wl.outputs()) {
            if (!o->name.isEmpty() &&
                std::binary_search(outputs->begin(), outputs->end(), o->globalName)) {
                now->displays.append(o->name);
            }
        }
    }
    if (now != m_published) {
        m_published = std::move(now);
        m_changed.send(0);
    }
}

}  // namespace korvo
