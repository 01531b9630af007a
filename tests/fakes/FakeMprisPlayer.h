#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <mutex>
#include <optional>

namespace korvo {

/// A media player on the session bus, exported on a connection of its own, that speaks the parts
/// of MPRIS Korvo uses as a well-behaved player does: it announces every change of its
/// properties with `PropertiesChanged` (the position excepted) and jumps with `Seeked`, obeys
/// the transport commands, and records every call it receives. Calls arrive on Qt's D-Bus
/// thread, so its state is guarded.
class FakeMprisPlayer : public QDBusVirtualObject {
public:
    static inline const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
    static inline const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");

    explicit FakeMprisPlayer(QString busName, QString identity = QStringLiteral("Fake Player"))
        : m_busName(std::move(busName)),
          m_identity(std::move(identity)),
          m_connectionName(QStringLiteral("fake-%1-%2").arg(m_busName).arg(++s_serial)),
          m_connection(
              QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName)) {}
    FakeMprisPlayer(const FakeMprisPlayer&) = delete;
    FakeMprisPlayer& operator=(const FakeMprisPlayer&) = delete;

    ~FakeMprisPlayer() override { detach(); }

    /// Puts the player on the bus; false when the name is taken or there is no bus.
    bool attach() {
        return m_connection->isConnected() && m_connection->registerVirtualObject(kPath, this) &&
               m_connection->registerService(m_busName);
    }
    /// Leaves the bus as a player that quits: the name goes, and so does the connection, with
    /// any call unanswered.
    void detach() {
        if (m_detached.exchange(true)) {
            return;
        }
        m_connection->unregisterService(m_busName);
        m_connection->unregisterObject(kPath);
        m_connection.reset();  // the last reference: the connection closes
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

    void setTrack(const QString& title, const QStringList& artists, double lengthSeconds,
                  const QVariantMap& extra = {}) {
        QVariantMap meta = extra;
        meta.insert(QStringLiteral("xesam:title"), title);
        meta.insert(QStringLiteral("xesam:artist"), artists);
        meta.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(lengthSeconds * 1e6));
        if (!meta.contains(QStringLiteral("mpris:trackid"))) {
            meta.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(QDBusObjectPath(
                            QStringLiteral("/org/korvo/track/%1").arg(++m_tracks))));
        }
        setMetadata(meta);
    }
    /// Metadata exactly as given (an empty map: nothing loaded).
    void setMetadata(const QVariantMap& meta) {
        {
            std::lock_guard lock(m_mutex);
            m_metadata = meta;
            m_position = 0;
        }
        announce({{QStringLiteral("Metadata"), meta}});
    }
    void setStatus(const QString& status) {
        {
            std::lock_guard lock(m_mutex);
            m_status = status;
        }
        announce({{QStringLiteral("PlaybackStatus"), status}});
    }
    /// Where the player is; told to nobody, as MPRIS players do not announce the position.
    void setPosition(double seconds) {
        std::lock_guard lock(m_mutex);
        m_position = static_cast<qlonglong>(seconds * 1e6);
    }
    /// A jump, told with `Seeked`.
    void seekTo(double seconds) {
        setPosition(seconds);
        emitSignal(kPlayer, QStringLiteral("Seeked"), {static_cast<qlonglong>(seconds * 1e6)});
    }
    void setVolume(double level) {
        {
            std::lock_guard lock(m_mutex);
            m_volume = level;
        }
        announce({{QStringLiteral("Volume"), level}});
    }
    /// Any other player property (`CanSeek`, `Rate`, ...), announced.
    void setProperty(const QString& name, const QVariant& value) {
        {
            std::lock_guard lock(m_mutex);
            m_extra.insert(name, value);
        }
        announce({{name, value}});
    }
    /// Leaves `Volume` out of its properties, as a player without one.
    void dropVolume() {
        std::lock_guard lock(m_mutex);
        m_hasVolume = false;
    }
    /// Announces that `name` changed without its value, so readers must ask for it.
    void invalidate(const QString& name) {
        emitSignal(QStringLiteral("org.freedesktop.DBus.Properties"),
                   QStringLiteral("PropertiesChanged"),
                   {kPlayer, QVariantMap(), QStringList{name}});
    }
    /// Raw `PropertiesChanged` of the player interface.
    void announce(const QVariantMap& changed) {
        emitSignal(QStringLiteral("org.freedesktop.DBus.Properties"),
                   QStringLiteral("PropertiesChanged"), {kPlayer, changed, QStringList()});
    }

    /// Takes calls from now on and never answers them, as a hung player.
    void hang() { m_hung = true; }

    QStringList calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    int callCount() const {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(m_calls.size());
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
        QStringList call{member};
        for (const QVariant& arg : args) {
            call << (arg.userType() == qMetaTypeId<QDBusObjectPath>()
                         ? arg.value<QDBusObjectPath>().path()
                     : arg.userType() == qMetaTypeId<QDBusVariant>()
                         ? arg.value<QDBusVariant>().variant().toString()
                         : arg.toString());
        }
        m_calls << call.join(QLatin1Char(' '));
        if (m_hung) {
            return true;  // the caller waits for an answer that never comes
        }
        QVariantMap announced;
        QDBusMessage reply = message.createReply();
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
            const bool root = args.value(0).toString() == kRoot;
            const QVariantMap props = root ? rootProperties() : playerProperties();
            if (member == QLatin1String("GetAll")) {
                reply = message.createReply(QVariant::fromValue(props));
            } else if (member == QLatin1String("Get")) {
                reply = message.createReply(
                    QVariant::fromValue(QDBusVariant(props.value(args.value(1).toString()))));
            } else if (member == QLatin1String("Set") &&
                       args.value(1).toString() == QLatin1String("Volume")) {
                m_volume = qvariant_cast<QDBusVariant>(args.value(2)).variant().toDouble();
                announced.insert(QStringLiteral("Volume"), m_volume);
            }
        } else if (member == QLatin1String("PlayPause")) {
            m_status = m_status == QLatin1String("Playing") ? QStringLiteral("Paused")
                                                            : QStringLiteral("Playing");
            announced.insert(QStringLiteral("PlaybackStatus"), m_status);
        } else if (member == QLatin1String("SetPosition")) {
            m_position = args.value(1).toLongLong();
        }
        const qlonglong position = m_position;
        lock.unlock();
        connection.send(reply);
        if (!announced.isEmpty()) {
            announce(announced);
        }
        if (member == QLatin1String("SetPosition")) {
            emitSignal(kPlayer, QStringLiteral("Seeked"), {position});
        }
        return true;
    }

private:
    void emitSignal(const QString& interface, const QString& name, const QVariantList& args) {
        if (m_detached) {
            return;
        }
        QDBusMessage signal = QDBusMessage::createSignal(kPath, interface, name);
        signal.setArguments(args);
        m_connection->send(signal);
    }
    QVariantMap rootProperties() const {
        return {{QStringLiteral("Identity"), m_identity},
                {QStringLiteral("DesktopEntry"), m_identity.toLower()}};
    }
    QVariantMap playerProperties() const {
        QVariantMap props{{QStringLiteral("CanControl"), true},
                          {QStringLiteral("CanPlay"), true},
                          {QStringLiteral("CanPause"), true},
                          {QStringLiteral("CanGoNext"), true},
                          {QStringLiteral("CanGoPrevious"), true},
                          {QStringLiteral("CanSeek"), true},
                          {QStringLiteral("Rate"), 1.0}};
        props.insert(m_extra);
        props.insert(QStringLiteral("PlaybackStatus"), m_status);
        props.insert(QStringLiteral("Metadata"), m_metadata);
        props.insert(QStringLiteral("Position"), m_position);
        if (m_hasVolume) {
            props.insert(QStringLiteral("Volume"), m_volume);
        }
        return props;
    }

    static inline std::atomic<int> s_serial{0};

    QString m_busName;
    QString m_identity;
    QString m_connectionName;
    std::optional<QDBusConnection> m_connection;
    mutable std::mutex m_mutex;
    QString m_status = QStringLiteral("Playing");
    QVariantMap m_metadata;
    QVariantMap m_extra;
    qlonglong m_position = 0;
    double m_volume = 1.0;
    bool m_hasVolume = true;
    int m_tracks = 0;
    std::atomic<bool> m_hung{false};
    std::atomic<bool> m_detached{false};
    QStringList m_calls;
};

}  // namespace korvo
