#pragma once

#include "core/ActivityEngine.h"
#include "core/DisplayChoice.h"
#include "core/MainLoop.h"
#include "platform/FullScreenWatch.h"
#include "platform/PointerDisplay.h"
#include "services/screens/DisplaySelection.h"
#include "services/screens/FullScreenGuard.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QScreen;

namespace korvo {

class SettingsStore;
class WaylandPanelSurface;

/// What the island needs to know of the desktop around it: which screen it belongs on (the
/// Display preference over the screens connected now) and when it must step aside for a
/// full-screen window. The window asks `screen()` when it anchors, and is told through
/// `attach` when to anchor again and when to hide or show.
class IslandScreens {
public:
    /// With the X server's pointer and full-screen watch when the application runs on one;
    /// elsewhere the pointer is never read and no window counts as full screen.
    IslandScreens(MainLoop& loop, SettingsStore& settings, ActivityEngine& engine);
    /// With the given sources (null: none), for a surface placed as `surface` says.
    IslandScreens(MainLoop& loop, SettingsStore& settings, ActivityEngine& engine,
                  std::unique_ptr<PointerDisplaySource> pointer,
                  std::unique_ptr<FullScreenWatch> fullScreen, FullScreenGuard::Surface surface);
    ~IslandScreens();
    IslandScreens(const IslandScreens&) = delete;
    IslandScreens& operator=(const IslandScreens&) = delete;

    /// The screen the island belongs on now; null when there is no screen at all.
    QScreen* screen() const;

    /// Connects the window. `reanchor` runs after the island's screen changed and after screens
    /// were added, removed or re-arranged; `setHidden(true)` when it must hide and take no input,
    /// `setHidden(false)` when it may show again. When a full-screen window covers the island's
    /// screen already, `setHidden(true)` runs at once.
    Subscription attach(std::function<void()> reanchor, std::function<void(bool)> setHidden);

    /// For a layer surface, which the compositor places unless it is given an output: from now
    /// on the surface is pinned to the display the preference names while that is connected, and
    /// otherwise left to the compositor ("Main display", and "Display with the pointer", since
    /// Wayland tells no client where the pointer is). The full-screen guard watches the output the
    /// surface is shown on. `surface` outlives this.
    void followLayerSurface(WaylandPanelSurface& surface);
    /// True while the island's display is the compositor's pick (the settings window says so).
    static bool compositorPicksDisplay() { return s_compositorPicks; }

    /// True while the island must stay hidden.
    bool hidden() const { return m_guard.hideIsland.get(); }

    DisplaySelection& selection() { return m_selection; }
    FullScreenGuard& guard() { return m_guard; }

private:
    void watchScreen(QScreen* screen);
    void screensChanged();
    void refresh(bool screensMoved);
    QString namedScreen() const;

    static inline bool s_compositorPicks = false;

    MainLoop& m_loop;
    SettingsStore& m_settings;
    std::unique_ptr<PointerDisplaySource> m_pointer;
    std::unique_ptr<FullScreenWatch> m_fullScreen;
    DisplaySelection m_selection;
    FullScreenGuard m_guard;
    std::optional<DisplayDescription> m_display;
    WaylandPanelSurface* m_layerSurface = nullptr;
    Signal<int> m_reanchor;
    bool m_refreshPending = false;
    Subscription m_selectionSub;
    QObject m_context;  // ends the screen connections with us
    LifeToken m_life;
};

/// One screen as the display chooser sees it.
DisplayDescription describeScreen(const QScreen& screen);
/// The screens in the toolkit's order.
std::vector<DisplayDescription> describeScreens(const QList<QScreen*>& screens);

}  // namespace korvo
