#include "UPowerPeripheralBatteries.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDeadlineTimer>

#include <algorithm>
#include <cmath>

namespace korvo {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");

std::optional<QDBusMessage> call(const QDBusConnection& connection, const QDBusMessage& message,
                                 const QDeadlineTimer& deadline) {
    const auto left =
        std::min<qint64>(deadline.remainingTime(), UPowerPeripheralBatteries::kCallTimeoutMs);
    if (left <= 0) {
        return std::nullopt;
    }
    QDBusMessage reply = connection.call(message, QDBus::Block, static_cast<int>(left));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    return reply;
}

}  // namespace

UPowerPeripheralBatteries::UPowerPeripheralBatteries(QDBusConnection connection)
    : m_connection(std::move(connection)) {}

namespace {

// The model and level of a device of any type, when it names itself and reports a level.
std::optional<std::pair<QString, int>> modelAndLevel(const QVariantMap& device) {
    const QString model = device.value(QStringLiteral("Model")).toString();
    bool hasLevel = false;
    const double percentage = device.value(QStringLiteral("Percentage")).toDouble(&hasLevel);
    if (model.isEmpty() || !hasLevel || !std::isfinite(percentage)) {
        return std::nullopt;
    }
    return std::pair{model, static_cast<int>(std::lround(std::clamp(percentage, 0.0, 100.0)))};
}

std::optional<unsigned> deviceType(const QVariantMap& device) {
    bool hasType = false;
    const unsigned type = device.value(QStringLiteral("Type")).toUInt(&hasType);
    return hasType ? std::optional(type) : std::nullopt;
}

}  // namespace

std::optional<std::pair<QString, int>> UPowerPeripheralBatteries::peripheralLevel(
    const QVariantMap& device) {
    const auto type = deviceType(device);
    if (!type ||
        (*type != kMouse && *type != kKeyboard && *type != kGamingInput && *type != kHeadset)) {
        return std::nullopt;
    }
    return modelAndLevel(device);
}

std::optional<PeripheralLevel> UPowerPeripheralBatteries::peripheral(const QVariantMap& device) {
    const auto type = deviceType(device);
    if (!type) {
        return std::nullopt;
    }
    PeripheralKind kind = PeripheralKind::other;
    switch (*type) {
        case kMouse:
            kind = PeripheralKind::mouse;
            break;
        case kKeyboard:
            kind = PeripheralKind::keyboard;
            break;
        case kGamingInput:
            kind = PeripheralKind::gamingInput;
            break;
        case kPen:
            kind = PeripheralKind::pen;
            break;
        case kTouchpad:
            kind = PeripheralKind::touchpad;
            break;
        case kHeadset:
        case kHeadphones:
            kind = PeripheralKind::headset;
            break;
        case kRemoteControl:
            kind = PeripheralKind::other;
            break;
        default:
            return std::nullopt;  // the laptop's own battery, phones, UPSes and the like
    }
    // Absent devices linger in some drivers' lists with their last figure.
    if (device.contains(QStringLiteral("IsPresent")) &&
        !device.value(QStringLiteral("IsPresent")).toBool()) {
        return std::nullopt;
    }
    const auto level = modelAndLevel(device);
    if (!level) {
        return std::nullopt;
    }
    PeripheralLevel p{level->first, kind, level->second, std::nullopt};
    bool hasState = false;
    const unsigned state = device.value(QStringLiteral("State")).toUInt(&hasState);
    if (hasState && state != 0) {
        // 1 charging, 4 fully charged and 5 pending charge all mean it sits on a charger.
        p.charging = state == 1 || state == 4 || state == 5;
    }
    return p;
}

std::optional<std::vector<QVariantMap>> UPowerPeripheralBatteries::devices() {
    if (!m_connection.isConnected()) {
        return std::nullopt;
    }
    const QDeadlineTimer deadline(2 * kCallTimeoutMs);
    const auto list =
        call(m_connection,
             QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/UPower"),
                                            kService, QStringLiteral("EnumerateDevices")),
             deadline);
    if (!list) {
        return std::nullopt;
    }
    std::vector<QVariantMap> all;
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(list->arguments().constFirst());
    for (const auto& path : paths) {
        auto get = QDBusMessage::createMethodCall(kService, path.path(),
                                                  QStringLiteral("org.freedesktop.DBus.Properties"),
                                                  QStringLiteral("GetAll"));
        get.setArguments({kDeviceInterface});
        const auto reply = call(m_connection, get, deadline);
        if (reply) {
            all.push_back(qdbus_cast<QVariantMap>(reply->arguments().constFirst()));
        }
    }
    return all;
}

std::map<QString, int> UPowerPeripheralBatteries::readPercentages() {
    std::map<QString, int> levels;
    for (const auto& properties : devices().value_or(std::vector<QVariantMap>{})) {
        if (const auto level = peripheralLevel(properties)) {
            levels.insert_or_assign(level->first, level->second);
        }
    }
    return levels;
}

std::vector<PeripheralLevel> UPowerPeripheralBatteries::readPeripherals() {
    std::vector<PeripheralLevel> levels;
    for (const auto& properties : devices().value_or(std::vector<QVariantMap>{})) {
        if (auto level = peripheral(properties)) {
            levels.push_back(std::move(*level));
        }
    }
    return levels;
}

}  // namespace korvo
