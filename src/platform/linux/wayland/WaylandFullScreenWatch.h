#pragma once

#include "core/Cancellable.h"
#include "core/MainLoop.h"
#include "core/Published.h"
#include "platform/FullScreenWatch.h"
#include "platform/linux/wayland/WaylandConnection.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

namespace korvo::wayland {

/// What the island needs of a toplevel's states.
struct ToplevelState {
    bool activated = false;
    bool fullScreen = false;

    bool operator==(const ToplevelState&) const = default;
};

/// Reads the array of a foreign toplevel's `state` event: `bytes` bytes of 32-bit states. States
/// Korvo does not know, and a trailing piece shorter than a state, are skipped.
ToplevelState readToplevelState(const void* data, std::size_t bytes);

/// The toplevels as foreign-toplevel management reports them, reduced to their states and the
/// outputs they are shown on (by the wl_output global's name). A toplevel's changes take effect
/// together on its `done`, as the protocol groups them.
class ToplevelStates {
public:
    using Id = const void*;

    void state(Id toplevel, ToplevelState state);
    void outputEntered(Id toplevel, std::uint32_t output);
    void outputLeft(Id toplevel, std::uint32_t output);
    void done(Id toplevel);
    void closed(Id toplevel);
    void clear() { m_toplevels.clear(); }

    /// The outputs of every activated full-screen toplevel, in ascending order; none when no
    /// activated toplevel is full screen.
    std::optional<std::vector<std::uint32_t>> activeFullScreenOutputs() const;

private:
    struct Entry {
        ToplevelState state;
        std::set<std::uint32_t> outputs;
        ToplevelState pendingState;
        std::set<std::uint32_t> pendingOutputs;
    };

    std::map<Id, Entry> m_toplevels;
};

}  // namespace korvo::wayland

namespace korvo {

/// Whether an activated toplevel is full screen, and on which outputs, from the compositor's
/// foreign-toplevel management (version 2 or later, which tells full screen) on Korvo's own
/// connection. The displays are named as wl_output names them. Changes are published once the
/// events read together have been handled, so focus passing from one window to another never
/// shows as a moment without a full-screen window. Main thread only.
class WaylandFullScreenWatch final : public FullScreenWatch {
public:
    /// None when the compositor offers no foreign-toplevel management that tells full screen.
    /// `connection` outlives the watch.
    static std::unique_ptr<WaylandFullScreenWatch> create(wayland::Connection& connection,
                                                          MainLoop& loop);
    ~WaylandFullScreenWatch() override;
    WaylandFullScreenWatch(const WaylandFullScreenWatch&) = delete;
    WaylandFullScreenWatch& operator=(const WaylandFullScreenWatch&) = delete;

    std::optional<FullScreenWindow> activeFullScreen() const override { return m_published; }
    Subscription observe(std::function<void()> changed) override {
        return m_changed.subscribe([fn = std::move(changed)](const int&) { fn(); });
    }

private:
    struct Listeners;
    friend struct Listeners;

    WaylandFullScreenWatch(wayland::Connection& connection, MainLoop& loop,
                           zwlr_foreign_toplevel_manager_v1* manager);
    void changed();
    void publish();

    wayland::Connection& m_wl;
    MainLoop& m_loop;
    zwlr_foreign_toplevel_manager_v1* m_manager;
    std::set<zwlr_foreign_toplevel_handle_v1*> m_handles;
    wayland::ToplevelStates m_states;
    Subscription m_outputsWatch;
    std::optional<FullScreenWindow> m_published;
    bool m_publishPending = false;
    Signal<int> m_changed;
    LifeToken m_life;
};

}  // namespace korvo
