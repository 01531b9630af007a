#include "FullScreenGuard.h"

namespace korvo {

bool coversDisplay(const FullScreenWindow& window, const DisplayDescription& display) {
    const QRect area = display.nativeGeometry.isEmpty() ? display.geometry : display.nativeGeometry;
    if (!window.frame.isEmpty() && !area.isEmpty()) {
        const QRect shared = window.frame.intersected(area);
        const qint64 covered = qint64(shared.width()) * shared.height();
        return covered * 2 > qint64(area.width()) * area.height();
    }
    return window.displays.contains(display.name);
}

FullScreenGuard::FullScreenGuard(FullScreenPreferences& settings, FullScreenWatch& watch,
                                 ActivityEngine& engine, Surface surface)
    : m_settings(settings), m_watch(watch), m_engine(engine), m_surface(surface) {
    m_watchSub = m_watch.observe([this] { update(); });
    m_settingsSub = m_settings.observe([this](const QString& key) {
        if (key == QLatin1String("hideInFullScreen")) {
            update();
        }
    });
    update();
}

FullScreenGuard::~FullScreenGuard() {
    // Toasts must not stay held for an island that no longer steps aside.
    m_engine.holdToasts(false);
}

void FullScreenGuard::setDisplay(std::optional<DisplayDescription> display) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    m_display = std::move(display);
    update();
}

void FullScreenGuard::update() {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    const auto window = m_watch.activeFullScreen();
    m_covered = window && m_display && coversDisplay(*window, *m_display);
    const bool hide =
        m_covered && m_surface == Surface::aboveFullScreen && m_settings.hideInFullScreen();
    const bool hold =
        m_covered && (m_surface == Surface::beneathFullScreen || m_settings.hideInFullScreen());
    m_engine.holdToasts(hold);
    if (hide != hideIsland.get()) {
        hideIsland.set(hide);
    }
}

}  // namespace korvo
