#pragma once

#include "core/DisplayChoice.h"
#include "core/MainLoop.h"
#include "core/MainThread.h"
#include "core/PointerDisplayFollower.h"
#include "core/Published.h"
#include "platform/PointerDisplay.h"
#include "settings/Preferences.h"

#include <functional>
#include <optional>
#include <vector>

namespace korvo {

/// Decides which display the island belongs to, from the `display` preference, the displays
/// present and, for "the display with the pointer", where the pointer has settled. The pointer is
/// watched only while that preference is chosen, so the default costs no wake-ups.
/// Main-thread only.
class DisplaySelection {
public:
    DisplaySelection(MainLoop& loop, DisplayPreferences& settings, PointerDisplaySource& pointer);
    ~DisplaySelection();
    DisplaySelection(const DisplaySelection&) = delete;
    DisplaySelection& operator=(const DisplaySelection&) = delete;

    /// The island's display among `displays`; none when there are none.
    std::optional<std::size_t> choose(const std::vector<DisplayDescription>& displays) const;

    /// The display set changed: a display the pointer had settled on may be gone, in which case
    /// the pointer's next report is taken at once.
    void displaysChanged(const std::vector<DisplayDescription>& displays);

    /// Runs whenever `choose` may answer differently for the same displays: the preference
    /// changed, or the pointer settled on another display.
    Subscription observe(std::function<void()> changed) {
        return m_changed.subscribe([fn = std::move(changed)](const int&) { fn(); });
    }

    bool watchingPointer() const { return m_pointerWatch.isActive(); }

private:
    void preferenceChanged();

    DisplayPreferences& m_settings;
    PointerDisplaySource& m_pointer;
    PointerDisplayFollower m_follower;
    DisplayPreference m_preference;
    Subscription m_pointerWatch;
    Subscription m_followerSub;
    Subscription m_settingsSub;
    Signal<int> m_changed;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
