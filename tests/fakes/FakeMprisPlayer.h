#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <mutex>

namespace korvo {

/// A media player on the session bus, exported by the test on its own connection, that speaks
/// the parts of MPRIS Korvo uses and records the calls it receives.
class FakeMprisPlayer : public QDBusVirtualObject {
public:
    FakeMprisPlayer(QString busName, QString identity = QStringLiteral("Fake Player"))
        : m_busName(std::move(busName)),
          m_identity(std::move(identity)),
          m_connectionName(QStringLiteral("fake-%1-%2").arg(m_busName).arg(++s_serial)),
          m_connection(
              QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName)) {}

    ~FakeMprisPlayer() override {
        m_connection.unregisterService(m_busName);
        m_connection.unregisterObject(QStringLiteral("/org/mpris/MediaPlayer2"));
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

    /// Puts the player on the bus; false when the name is taken or there is no bus.
    bool attach() {
        return m_connection.isConnected() &&
               m_connection.registerVirtualObject(QStringLiteral("/org/mpris/MediaPlayer2"),
                                                  this) &&
               m_connection.registerService(m_busName);
    }

    void setTrack(const QString& title, const QStringList& artists, double lengthSeconds,
                  const QVariantMap& extra = {}) {
        std::lock_guard lock(m_mutex);
        m_metadata = extra;
        m_metadata.insert(QStringLiteral("xesam:title"), title);
        m_metadata.insert(QStringLiteral("xesam:artist"), artists);
        m_metadata.insert(QStringLiteral("mpris:length"),
                          static_cast<qlonglong>(lengthSeconds * 1e6));
    }
    void setStatus(const QString& status) {
        std::lock_guard lock(m_mutex);
        m_status = status;
    }
    void setPosition(double seconds) {
        std::lock_guard lock(m_mutex);
        m_position = static_cast<qlonglong>(seconds * 1e6);
    }
    void setVolume(double level) {
        std::lock_guard lock(m_mutex);
        m_volume = level;
    }
    void setProperty(const QString& name, const QVariant& value) {
        std::lock_guard lock(m_mutex);
        m_extra.insert(name, value);
    }
    /// Never answers property reads from now on, as a hung player.
    void hang() { m_hung = true; }

    QStringList calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    double volume() const {
        std::lock_guard lock(m_mutex);
        return m_volume;
    }

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        std::unique_lock lock(m_mutex);
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
            m_calls << member + QLatin1Char(' ') + args.value(0).toString();
            if (m_hung) {
                return true;  // the caller waits for an answer that never comes
            }
            if (member == QLatin1String("GetAll")) {
                const QVariantMap props =
                    args.value(0).toString() == QLatin1String("org.mpris.MediaPlayer2")
                        ? rootProperties()
                        : playerProperties();
                lock.unlock();
                connection.send(message.createReply(QVariant::fromValue(props)));
                return true;
            }
            if (member == QLatin1String("Set") &&
                args.value(1).toString() == QLatin1String("Volume")) {
                m_volume = qvariant_cast<QDBusVariant>(args.value(2)).variant().toDouble();
            }
            lock.unlock();
            connection.send(message.createReply());
            return true;
        }
        QStringList call{member};
        for (const QVariant& arg : args) {
            call << (arg.userType() == qMetaTypeId<QDBusObjectPath>()
                         ? arg.value<QDBusObjectPath>().path()
                         : arg.toString());
        }
        m_calls << call.join(QLatin1Char(' '));
        lock.unlock();
        connection.send(message.createReply());
        return true;
    }

private:
    QVariantMap rootProperties() const {
        return {{QStringLiteral("Identity"), m_identity},
                {QStringLiteral("DesktopEntry"), m_identity.toLower()}};
    }
    QVariantMap playerProperties() const {
        QVariantMap props = m_extra;
        props.insert(QStringLiteral("PlaybackStatus"), m_status);
        props.insert(QStringLiteral("Metadata"), m_metadata);
        props.insert(QStringLiteral("Position"), m_position);
        props.insert(QStringLiteral("Volume"), m_volume);
        return props;
    }

    static inline std::atomic<int> s_serial{0};

    QString m_busName;
    QString m_identity;
    QString m_connectionName;
    QDBusConnection m_connection;
    mutable std::mutex m_mutex;
    QString m_status = QStringLiteral("Playing");
    QVariantMap m_metadata;
    QVariantMap m_extra;
    qlonglong m_position = 0;
    double m_volume = 1.0;
    std::atomic<bool> m_hung{false};
    QStringList m_calls;
};

}  // namespace korvo
