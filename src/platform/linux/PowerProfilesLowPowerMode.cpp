#include "PowerProfilesLowPowerMode.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace korvo {

namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kActiveProfile = QStringLiteral("ActiveProfile");
constexpr int kCallTimeoutMs = 5000;

}  // namespace

const PowerProfilesLowPowerMode::Endpoint& PowerProfilesLowPowerMode::current() {
    static const Endpoint endpoint{QStringLiteral("org.freedesktop.UPower.PowerProfiles"),
                                   QStringLiteral("/org/freedesktop/UPower/PowerProfiles"),
                                   QStringLiteral("org.freedesktop.UPower.PowerProfiles")};
    return endpoint;
}

const PowerProfilesLowPowerMode::Endpoint& PowerProfilesLowPowerMode::legacy() {
    static const Endpoint endpoint{QStringLiteral("net.hadess.PowerProfiles"),
                                   QStringLiteral("/net/hadess/PowerProfiles"),
                                   QStringLiteral("net.hadess.PowerProfiles")};
    return endpoint;
}

PowerProfilesLowPowerMode::PowerProfilesLowPowerMode(QDBusConnection connection, QObject* parent)
    : QObject(parent),
      m_connection(std::move(connection)),
      m_watcher(
          QString(), m_connection,
          QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration) {
    if (!m_connection.isConnected()) {
        return;
    }
    for (const Endpoint* endpoint : {&current(), &legacy()}) {
        m_watcher.addWatchedService(endpoint->service);
        m_connection.connect(endpoint->service, endpoint->path, kPropertiesInterface,
                             QStringLiteral("PropertiesChanged"), {endpoint->interface}, QString(),
                             this, SLOT(propertiesChanged(QDBusMessage)));
    }
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this,
            &PowerProfilesLowPowerMode::serviceRegistered);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &PowerProfilesLowPowerMode::serviceUnregistered);
    read(current());
    read(legacy());
}

bool PowerProfilesLowPowerMode::savesPower(const QString& activeProfile) {
    return activeProfile == QLatin1String("power-saver");
}

bool PowerProfilesLowPowerMode::isLowPowerModeEnabled() const {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    return savesPower(m_activeProfile);
}

const PowerProfilesLowPowerMode::Endpoint* PowerProfilesLowPowerMode::endpointFor(
    const QString& service) const {
    for (const Endpoint* endpoint : {&current(), &legacy()}) {
        if (endpoint->service == service) {
            return endpoint;
        }
    }
    return nullptr;
}

void PowerProfilesLowPowerMode::read(const Endpoint& endpoint) {
    auto message = QDBusMessage::createMethodCall(endpoint.service, endpoint.path,
                                                  kPropertiesInterface, QStringLiteral("Get"));
    message.setArguments({endpoint.interface, kActiveProfile});
    auto* watcher =
        new QDBusPendingCallWatcher(m_connection.asyncCall(message, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, service = endpoint.service, generation = m_generation] {
                watcher->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *watcher;
                if (generation != m_generation || reply.isError()) {
                    return;
                }
                m_activeProfile = reply.value().variant().toString();
                m_source = service;
            });
}

void PowerProfilesLowPowerMode::propertiesChanged(const QDBusMessage& message) {
    const QVariantMap changed = qdbus_cast<QVariantMap>(message.arguments().value(1));
    if (changed.contains(kActiveProfile)) {
        m_activeProfile = changed.value(kActiveProfile).toString();
    } else if (message.arguments().value(2).toStringList().contains(kActiveProfile)) {
        // Invalidated without a value: ask again.
        if (const auto* endpoint = endpointFor(m_source)) {
            read(*endpoint);
        }
    }
}

void PowerProfilesLowPowerMode::serviceRegistered(const QString& service) {
    if (const auto* endpoint = endpointFor(service)) {
        read(*endpoint);
    }
}

void PowerProfilesLowPowerMode::serviceUnregistered(const QString& service) {
    if (service != m_source) {
        return;
    }
    ++m_generation;
    m_activeProfile.clear();
    m_source.clear();
    // A daemon that drops only one of its names still answers under the other.
    for (const Endpoint* endpoint : {&current(), &legacy()}) {
        if (endpoint->service != service) {
            read(*endpoint);
        }
    }
}

}  // namespace korvo
