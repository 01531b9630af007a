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

std::optional<std::pair<QString, int>> UPowerPeripheralBatteries::peripheralLevel(
    const QVariantMap& device) {
    bool hasType = false;
    const unsigned type = device.value(QStringLiteral("Type")).toUInt(&hasType);
    if (!hasType ||
        (type != kMouse && type != kKeyboard && type != kGamingInput && type != kHeadset)) {
        return std::nullopt;
    }
    const QString model = device.value(QStringLiteral("Model")).toString();
    bool hasLevel = false;
    const double percentage = device.value(QStringLiteral("Percentage")).toDouble(&hasLevel);
    if (model.isEmpty() || !hasLevel || !std::isfinite(percentage)) {
        return std::nullopt;
    }
    return std::pair{model, static_cast<int>(std::lround(std::clamp(percentage, 0.0, 100.0)))};
}

std::map<QString, int> UPowerPeripheralBatteries::readPercentages() {
    std::map<QString, int> levels;
    if (!m_connection.isConnected()) {
        return levels;
    }
    const QDeadlineTimer deadline(2 * kCallTimeoutMs);
    const auto list =
        call(m_connection,
             QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/UPower"),
                                            kService, QStringLiteral("EnumerateDevices")),
             deadline);
    if (!list) {
        return levels;
    }
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(list->arguments().constFirst());
    for (const auto& path : paths) {
        auto get = QDBusMessage::createMethodCall(kService, path.path(),
                                                  QStringLiteral("org.freedesktop.DBus.Properties"),
                                                  QStringLiteral("GetAll"));
        get.setArguments({kDeviceInterface});
        const auto reply = call(m_connection, get, deadline);
        if (!reply) {
            continue;
        }
        const auto properties = qdbus_cast<QVariantMap>(reply->arguments().constFirst());
        if (const auto level = peripheralLevel(properties)) {
            levels.insert_or_assign(level->first, level->second);
        }
    }
    return levels;
}

}  // namespace korvo
