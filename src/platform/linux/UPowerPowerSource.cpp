#include "UPowerPowerSource.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <algorithm>
#include <cmath>

namespace korvo {

namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int kCallTimeoutMs = 5000;

// org.freedesktop.UPower.Device State values.
enum DeviceState : uint {
    stateUnknown = 0,
    charging = 1,
    discharging = 2,
    empty = 3,
    fullyCharged = 4,
    pendingCharge = 5,
    pendingDischarge = 6,
};

std::optional<int> minutesFromSeconds(const QVariant& value) {
    bool ok = false;
    const qlonglong seconds = value.toLongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    // UPower says 0 while it is still estimating; that stays "below one minute".
    return static_cast<int>(std::clamp<qlonglong>(seconds / 60, -1, 1'000'000));
}

}  // namespace

UPowerPowerSource::UPowerPowerSource(QDBusConnection connection, QObject* parent)
    : QObject(parent),
      m_connection(std::move(connection)),
      m_serviceWatcher(
          kService, m_connection,
          QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration) {
    m_daemon.path = kDaemonPath;
    m_daemon.interface = QStringLiteral("org.freedesktop.UPower");
    m_device.path = kDisplayDevicePath;
    m_device.interface = QStringLiteral("org.freedesktop.UPower.Device");
}

UPowerPowerSource::~UPowerPowerSource() = default;

std::optional<PowerSourceDescription> UPowerPowerSource::firstSource() const {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    if (!m_device.properties) {
        return std::nullopt;
    }
    std::optional<bool> onBattery;
    if (m_daemon.properties) {
        const QVariant v = m_daemon.properties->value(QStringLiteral("OnBattery"));
        if (v.metaType().id() == QMetaType::Bool) {
            onBattery = v.toBool();
        }
    }
    return describe(*m_device.properties, onBattery);
}

Subscription UPowerPowerSource::observe(std::function<void()> changed) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    auto sub = m_changed.subscribe([fn = std::move(changed)](const std::monostate&) { fn(); });
    begin();
    return sub;
}

std::optional<PowerSourceDescription> UPowerPowerSource::describe(const QVariantMap& device,
                                                                  std::optional<bool> onBattery) {
    // A desktop's display device exists too, but with nothing present behind it.
    if (!device.value(QStringLiteral("IsPresent")).toBool()) {
        return std::nullopt;
    }
    PowerSourceDescription d;
    bool stateOk = false;
    const uint state = device.value(QStringLiteral("State")).toUInt(&stateOk);
    bool percentOk = false;
    const double percent = device.value(QStringLiteral("Percentage")).toDouble(&percentOk);
    if (stateOk && state == fullyCharged) {
        // Some packs stop short of 100 % by design; "full" is what the user should see.
        d.currentCapacity = 100;
    } else if (percentOk && std::isfinite(percent)) {
        // Truncated, so 99.6 % still counts as charging below full.
        d.currentCapacity = static_cast<int>(std::clamp(std::trunc(percent), 0.0, 100.0));
    }
    if (onBattery) {
        d.powerSourceState =
            *onBattery ? PowerSourceDescription::kBatteryPower : PowerSourceDescription::kACPower;
    } else if (stateOk) {
        switch (state) {
            case charging:
            case fullyCharged:
            case pendingCharge:
                d.powerSourceState = PowerSourceDescription::kACPower;
                break;
            case discharging:
            case empty:
            case pendingDischarge:
                d.powerSourceState = PowerSourceDescription::kBatteryPower;
                break;
            default:
                break;
        }
    }
    if (device.contains(QStringLiteral("TimeToFull"))) {
        d.timeToFullCharge = minutesFromSeconds(device.value(QStringLiteral("TimeToFull")));
    }
    if (device.contains(QStringLiteral("TimeToEmpty"))) {
        d.timeToEmpty = minutesFromSeconds(device.value(QStringLiteral("TimeToEmpty")));
    }
    return d;
}

void UPowerPowerSource::begin() {
    if (m_begun || !m_connection.isConnected()) {
        return;
    }
    m_begun = true;
    // Subscribing by the well-known name keeps working when UPower restarts under a new owner.
    for (const Object* o : {&m_daemon, &m_device}) {
        m_connection.connect(kService, o->path, kPropertiesInterface,
                             QStringLiteral("PropertiesChanged"), this,
                             SLOT(propertiesChanged(QDBusMessage)));
    }
    connect(&m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this,
            &UPowerPowerSource::serviceRegistered);
    connect(&m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            &UPowerPowerSource::serviceUnregistered);
    read(m_daemon);
    read(m_device);
}

UPowerPowerSource::Object* UPowerPowerSource::objectAt(const QString& path) {
    if (path == m_daemon.path) {
        return &m_daemon;
    }
    if (path == m_device.path) {
        return &m_device;
    }
    return nullptr;
}

void UPowerPowerSource::read(Object& object) {
    if (object.inFlight) {
        object.stale = true;  // one more read once this one answers
        return;
    }
    object.stale = false;
    auto call = QDBusMessage::createMethodCall(kService, object.path, kPropertiesInterface,
                                               QStringLiteral("GetAll"));
    call << object.interface;
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, kCallTimeoutMs), this);
    object.inFlight = watcher;
    const QString path = object.path;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                Object* o = objectAt(path);
                if (!o || o->inFlight != w) {
                    return;  // superseded: the service went away meanwhile
                }
                o->inFlight = nullptr;
                const QDBusPendingReply<QVariantMap> reply = *w;
                if (reply.isError()) {
                    // Not running (yet), or no such object: quietly nothing to read.
                    o->properties.reset();
                } else {
                    o->properties = reply.value();
                }
                if (o->stale) {
                    read(*o);
                    return;
                }
                if (reply.isError()) {
                    return;
                }
                m_changed.send(std::monostate{});
            });
}

void UPowerPowerSource::propertiesChanged(const QDBusMessage& message) {
    if (Object* o = objectAt(message.path())) {
        read(*o);
    }
}

void UPowerPowerSource::serviceRegistered() {
    read(m_daemon);
    read(m_device);
}

void UPowerPowerSource::serviceUnregistered() {
    for (Object* o : {&m_daemon, &m_device}) {
        o->properties.reset();
        if (o->inFlight) {
            o->inFlight = nullptr;  // its answer, if any, is dropped
        }
        o->stale = false;
    }
}

}  // namespace korvo
