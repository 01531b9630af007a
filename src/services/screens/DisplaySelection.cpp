#include "DisplaySelection.h"

#include <algorithm>

namespace korvo {

DisplaySelection::DisplaySelection(MainLoop& loop, DisplayPreferences& settings,
                                   PointerDisplaySource& pointer)
    : m_settings(settings), m_pointer(pointer), m_follower(loop) {
    m_followerSub = m_follower.observe([this] { m_changed.send(0); });
    m_settingsSub = m_settings.observe([this](const QString& key) {
        if (key == QLatin1String("display")) {
            preferenceChanged();
        }
    });
    preferenceChanged();
}

DisplaySelection::~DisplaySelection() = default;

void DisplaySelection::preferenceChanged() {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    m_preference = DisplayPreference::parse(m_settings.display());
    const bool follow = m_preference.mode == DisplayPreference::Mode::pointer;
    if (follow && !m_pointerWatch.isActive()) {
        m_pointerWatch = m_pointer.watch([this](const QString& d) { m_follower.report(d); });
    } else if (!follow && m_pointerWatch.isActive()) {
        m_pointerWatch.cancel();
        // Where the pointer was when it was last watched says nothing about where it is later.
        m_follower.forget();
    }
    m_changed.send(0);
}

std::optional<std::size_t> DisplaySelection::choose(
    const std::vector<DisplayDescription>& displays) const {
    return chooseDisplay(displays, m_preference, m_follower.display());
}

void DisplaySelection::displaysChanged(const std::vector<DisplayDescription>& displays) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    const auto& settled = m_follower.display();
    if (settled && std::none_of(displays.begin(), displays.end(),
                                [&](const DisplayDescription& d) { return d.name == *settled; })) {
        m_follower.forget();
    }
}

}  // namespace korvo
