#include "SystemStatsActivityProvider.h"

#include "core/EventBus.h"
#include "settings/SettingsStore.h"

namespace korvo {

const QString SystemStatsActivityProvider::activityID = QStringLiteral("system.stats");

void SystemStatsActivityProvider::start() {
    if (!m_settings.systemCardEnabled()) {
        return;
    }
    Activity activity;
    activity.id = activityID;
    activity.kind = Activity::Kind::custom;
    activity.priority = ActivityPriority::low;
    activity.startedAt = m_loop.wallNow();
    activity.payload = SystemStatsPayload{};
    m_bus.post(ActivityStarted{std::move(activity)});
}

}  // namespace korvo
