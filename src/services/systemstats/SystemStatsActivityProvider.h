#pragma once

#include "core/ActivityProvider.h"

namespace korvo {

class EventBus;
class MainLoop;
class SettingsStore;

/// Puts the system statistics card into the carousel at start-up when the user has it enabled;
/// later changes of the setting are the settings store's to apply.
class SystemStatsActivityProvider final : public ActivityProvider {
public:
    static const QString activityID;

    SystemStatsActivityProvider(MainLoop& loop, EventBus& bus, const SettingsStore& settings,
                                QString name = QStringLiteral("System"))
        : m_loop(loop), m_bus(bus), m_settings(settings), m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    void start() override;

private:
    MainLoop& m_loop;
    EventBus& m_bus;
    const SettingsStore& m_settings;
    QString m_name;
};

}  // namespace korvo
