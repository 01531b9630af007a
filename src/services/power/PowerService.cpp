#include "PowerService.h"

#include <algorithm>
#include <cmath>
#include "core/MainThread.h"

namespace korvo {

const QString PowerService::activityID = QStringLiteral("battery.system");

PowerService::PowerService(MainLoop& loop, EventBus& bus, PowerPreferences& settings,
                           PowerSource& source)
    : m_loop(loop), m_bus(bus), m_settings(settings), m_source(source) {}

void PowerService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    m_runLoopSource.reset();
    m_runLoopSource.emplace(m_source.observe([this] { powerChanged(); }));
    powerChanged();
}

std::optional<BatteryInfo> PowerService::readBattery(
    const std::optional<PowerSourceDescription>& description) {
    if (!description) {
        return std::nullopt;
    }
    BatteryInfo info;
    info.percentage = description->currentCapacity.value_or(0);
    info.isCharging = description->powerSourceState == PowerSourceDescription::kACPower;
    const auto minutes = info.isCharging ? description->timeToFullCharge : description->timeToEmpty;
    // Below one minute the system is still estimating (it says -1 or 0 meanwhile).
    if (minutes && *minutes >= 1) {
        info.timeRemaining = *minutes * 60.0;
    }
    return info;
}

std::vector<int> PowerService::thresholds(double lowBatteryThreshold) {
    // The store does not validate; a value written by other means must not overflow the cast.
    const double t = std::isnan(lowBatteryThreshold)
                         ? 0.0
                         : std::clamp(std::trunc(lowBatteryThreshold), -1e9, 1e9);
    std::vector<int> list = {5, 10, static_cast<int>(t)};
    std::sort(list.begin(), list.end());
    return list;
}

void PowerService::powerChanged() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    const auto reading = readBattery(m_source.firstSource());
    if (!reading) {
        return;
    }
    const int p = reading->percentage;
    const bool c = reading->isCharging;
    const bool toasts = m_settings.batteryToasts();

    if (toasts && m_wasCharging && *m_wasCharging != c) {
        m_bus.post(TransientNotification::make(
            c ? QStringLiteral("bolt.fill") : QStringLiteral("bolt.slash.fill"),
            c ? QStringLiteral("Charging") : QStringLiteral("Unplugged"),
            QString::number(p) + QLatin1Char('%'), 2.5, ActivityPriority::normal));
    }

    if (c) {
        m_lastWarnedLevel.reset();  // the warnings arm again while on the adapter
    } else if (m_settings.lowBatteryWarn()) {
        warnIfLow(p);
    }

    m_wasCharging = c;
    m_lastPercentage = p;

    if (c && p < 100) {
        m_announcedFull = false;
        // An update of an id the engine does not hold adds it, so this both starts and
        // refreshes the activity.
        m_bus.post(ActivityUpdated{Activity{activityID, Activity::Kind::battery,
                                            ActivityPriority::low, m_loop.wallNow(),
                                            BatteryInfo{p, true, reading->timeRemaining}}});
        return;
    }

    if (toasts && c && p >= 100 && !m_announcedFull) {
        m_announcedFull = true;
        m_bus.post(TransientNotification::make(QStringLiteral("battery.100.bolt"),
                                               QStringLiteral("Fully Charged"), std::nullopt, 2.5,
                                               ActivityPriority::low));
    }
    m_bus.post(ActivityEnded{activityID});
}

void PowerService::warnIfLow(int percentage) {
    // m_lastPercentage still holds the previous reading here.
    const auto list = thresholds(m_settings.lowBatteryThreshold());
    const auto t = std::find_if(list.begin(), list.end(), [&](int v) { return v >= percentage; });
    if (t == list.end()) {
        return;
    }
    const bool newLevel = !m_lastWarnedLevel || *m_lastWarnedLevel != *t;
    // Only a falling charge warns; a reading that rises on battery (recalibration) does not.
    const bool falling = !m_lastPercentage || percentage < *m_lastPercentage;
    if (!newLevel || !falling) {
        return;
    }
    m_lastWarnedLevel = *t;
    m_bus.post(TransientNotification::make(
        QStringLiteral("battery.25"), QStringLiteral("Low Battery"),
        QString::number(percentage) + QStringLiteral("% remaining"), 4.0, ActivityPriority::high));
}

}  // namespace korvo
