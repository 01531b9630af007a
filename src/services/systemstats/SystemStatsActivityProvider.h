#pragma once

#include "core/ActivityProvider.h"
#include "core/Cancellable.h"
#include "settings/Preferences.h"

namespace korvo {

class EventBus;
class MainLoop;

/// Puts the system statistics card into the carousel at start-up when the user has it enabled,
/// and adds or removes it whenever the user switches it on or off.
class SystemStatsActivityProvider final : public ActivityProvider {
public:
    static const QString activityID;

    SystemStatsActivityProvider(MainLoop& loop, EventBus& bus, SystemCardPreferences& settings,
                                QString name = QStringLiteral("System"))
        : m_loop(loop), m_bus(bus), m_settings(settings), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override;

private:
    void post();

    MainLoop& m_loop;
    EventBus& m_bus;
    SystemCardPreferences& m_settings;
    QString m_name;
    Subscription m_settingsWatch;
};

}  // namespace korvo
