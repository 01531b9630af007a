#pragma once

#include "core/ActivityEngine.h"
#include "core/DisplayChoice.h"
#include "core/MainThread.h"
#include "core/Published.h"
#include "platform/FullScreenWatch.h"
#include "settings/Preferences.h"

#include <optional>

namespace korvo {

/// True when the full-screen window lies mostly over `display`: over half of the display's area
/// by frame, or, where the window system names displays instead, shown on it.
bool coversDisplay(const FullScreenWindow& window, const DisplayDescription& display);

/// Gets the island out of the way of a full-screen window on its display: while one is active
/// there (and `hideInFullScreen` is on), `hideIsland` is true and the engine holds the toasts,
/// which show once the island returns. Main-thread only.
class FullScreenGuard {
public:
    /// How the island's surface sits relative to full-screen windows.
    enum class Surface {
        /// Above them unless it steps aside itself (an X11 panel): it hides while covered.
        aboveFullScreen,
        /// Beneath them whatever it does (a layer-shell surface on the `top` layer): nothing to
        /// hide, but a covered island cannot show toasts, so they are held regardless of the
        /// preference.
        beneathFullScreen,
    };

    FullScreenGuard(FullScreenPreferences& settings, FullScreenWatch& watch, ActivityEngine& engine,
                    Surface surface = Surface::aboveFullScreen);
    ~FullScreenGuard();
    FullScreenGuard(const FullScreenGuard&) = delete;
    FullScreenGuard& operator=(const FullScreenGuard&) = delete;

    /// The island moved to `display` (none: it has nowhere to be).
    void setDisplay(std::optional<DisplayDescription> display);

    /// True while the island must hide and take no input. Published on changes only.
    Published<bool> hideIsland{false};
    /// True while a full-screen window covers the island's display, whatever the preference.
    bool covered() const { return m_covered; }

private:
    void update();

    FullScreenPreferences& m_settings;
    FullScreenWatch& m_watch;
    ActivityEngine& m_engine;
    Surface m_surface;
    std::optional<DisplayDescription> m_display;
    bool m_covered = false;
    Subscription m_watchSub;
    Subscription m_settingsSub;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
