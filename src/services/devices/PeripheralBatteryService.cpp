#include "PeripheralBatteryService.h"

#include "core/MainThread.h"

namespace korvo {

std::optional<int> PeripheralBatteryAlarm::reading(int percent, bool charging) {
    if (percent > kRearmAbove) {
        m_warnedFirst = false;
        m_warnedLast = false;
        return std::nullopt;
    }
    if (charging) {
        return std::nullopt;
    }
    if (percent <= kLastWarning && !m_warnedLast) {
        m_warnedLast = true;
        m_warnedFirst = true;
        return kLastWarning;
    }
    if (percent <= kFirstWarning && !m_warnedFirst) {
        m_warnedFirst = true;
        return kFirstWarning;
    }
    return std::nullopt;
}

PeripheralBatteryService::PeripheralBatteryService(MainLoop& loop, EventBus& bus,
                                                   PeripheralBatteryPreferences& settings,
                                                   std::shared_ptr<PeripheralLevelSource> source)
    : m_loop(loop), m_bus(bus), m_settings(settings), m_source(std::move(source)) {}

void PeripheralBatteryService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    m_changes = m_source->observe([this, weak = m_life.weak()] {
        if (weak.lock()) {
            read();
        }
    });
    read();
}

void PeripheralBatteryService::read() {
    if (m_readInFlight) {
        // A burst of signals makes one more reading, not one each.
        m_readOwed = true;
        return;
    }
    m_readInFlight = true;
    m_loop.runInBackground(Qos::utility,
                           [this, loop = &m_loop, weak = m_life.weak(), source = m_source] {
                               auto levels = source->readLevels();
                               loop->post([this, weak, levels = std::move(levels)] {
                                   if (!weak.lock()) {
                                       return;
                                   }
                                   m_readInFlight = false;
                                   ++m_readings;
                                   evaluate(levels);
                                   if (std::exchange(m_readOwed, false)) {
                                       read();
                                   }
                               });
                           });
}

void PeripheralBatteryService::evaluate(const std::vector<PeripheralLevel>& levels) {
    KORVO_ASSERT_MAIN_THREAD(m_loop);
    for (const auto& level : levels) {
        const auto threshold =
            m_alarms[level.name].reading(level.percent, level.charging.value_or(false));
        // The alarm moves on while the warnings are off, so switching them on does not bring
        // up old news.
        if (threshold && m_settings.peripheralBatteryWarn()) {
            m_bus.post(toastFor(level, *threshold));
        }
    }
}

QString PeripheralBatteryService::kindName(PeripheralKind kind) {
    switch (kind) {
        case PeripheralKind::mouse:
            return QStringLiteral("Mouse");
        case PeripheralKind::keyboard:
            return QStringLiteral("Keyboard");
        case PeripheralKind::headset:
            return QStringLiteral("Headset");
        case PeripheralKind::gamingInput:
            return QStringLiteral("Controller");
        case PeripheralKind::pen:
            return QStringLiteral("Pen");
        case PeripheralKind::touchpad:
            return QStringLiteral("Touchpad");
        case PeripheralKind::other:
            break;
    }
    return QStringLiteral("Device");
}

QString PeripheralBatteryService::symbol(PeripheralKind kind) {
    switch (kind) {
        case PeripheralKind::mouse:
            return QStringLiteral("magicmouse.fill");
        case PeripheralKind::keyboard:
            return QStringLiteral("keyboard.fill");
        case PeripheralKind::headset:
            return QStringLiteral("headphones");
        case PeripheralKind::gamingInput:
            return QStringLiteral("gamecontroller.fill");
        case PeripheralKind::pen:
            return QStringLiteral("pencil.tip");
        case PeripheralKind::touchpad:
            return QStringLiteral("rectangle.fill");
        case PeripheralKind::other:
            break;
    }
    return QStringLiteral("wave.3.right.circle.fill");
}

TransientNotification PeripheralBatteryService::toastFor(const PeripheralLevel& level,
                                                         int threshold) {
    return TransientNotification::make(
        symbol(level.kind), kindName(level.kind) + QStringLiteral(" battery low"),
        QString::number(level.percent) + QStringLiteral(" % · ") + level.name, 4.0,
        threshold <= PeripheralBatteryAlarm::kLastWarning ? ActivityPriority::high
                                                          : ActivityPriority::normal);
}

}  // namespace korvo
