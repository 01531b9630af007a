#include "SystemStatsActivityProvider.h"

#include "core/EventBus.h"

namespace korvo {

const QString SystemStatsActivityProvider::activityID = QStringLiteral("system.stats");

void SystemStatsActivityProvider::start() {
    m_settingsWatch = m_settings.observe([this](const QString& key) {
        if (key == QLatin1String("systemCardEnabled")) {
            post();
        }
    });
    // Off at start-up: nothing to take away yet.
    if (m_settings.systemCardEnabled()) {
        post();
    }
}

void SystemStatsActivityProvider::post() {
    if (!m_settings.systemCardEnabled()) {
        m_bus.post(ActivityEnded{activityID});
        return;
    }
    m_bus.post(ActivityStarted{Activity{activityID, Activity::Kind::custom, ActivityPriority::low,
                                        m_loop.wallNow(), SystemStatsPayload{}}});
}

}  // namespace korvo
