#include "MprisPlayers.h"

#include "MprisProperties.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <algorithm>
#include <cmath>

namespace korvo {

namespace {

const QString kDaemon = QStringLiteral("org.freedesktop.DBus");
const QString kDaemonPath = QStringLiteral("/org/freedesktop/DBus");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QDBusMessage propertiesCall(const QString& name, const QString& method) {
    return QDBusMessage::createMethodCall(name, mpris::kObjectPath, kProperties, method);
}

qlonglong microseconds(double seconds) {
    return static_cast<qlonglong>(std::llround(std::clamp(seconds, 0.0, 9.2e12) * 1e6));
}

// An object path as D-Bus has it ("/" or "/a/b_1"), other than the one meaning no track.
bool isObjectPath(const QString& path) {
    if (!path.startsWith(QLatin1Char('/')) || path == mpris::kNoTrack) {
        return false;
    }
    if (path.size() == 1) {
        return true;
    }
    const QStringList parts = path.mid(1).split(QLatin1Char('/'));
    return std::all_of(parts.begin(), parts.end(), [](const QString& part) {
        return !part.isEmpty() && std::all_of(part.begin(), part.end(), [](QChar c) {
            return c.unicode() < 128 && (c.isLetterOrNumber() || c == QLatin1Char('_'));
        });
    });
}

}  // namespace

MprisPlayers::MprisPlayers(MainLoop& loop, QDBusConnection connection, int callTimeoutMs)
    : m_loop(loop), m_bus(std::move(connection)), m_timeoutMs(callTimeoutMs) {
    if (!m_bus.isConnected()) {
        return;
    }
    // Signals first, then the listing: a player that appears in between is seen either way.
    m_bus.connect(kDaemon, kDaemonPath, kDaemon, QStringLiteral("NameOwnerChanged"), this,
                  SLOT(nameOwnerChanged(QString, QString, QString)));
    m_bus.connect(QString(), mpris::kObjectPath, kProperties, QStringLiteral("PropertiesChanged"),
                  this, SLOT(propertiesChanged(QDBusMessage)));
    m_bus.connect(QString(), mpris::kObjectPath, mpris::kPlayerInterface, QStringLiteral("Seeked"),
                  this, SLOT(seeked(QDBusMessage)));
    send(QDBusMessage::createMethodCall(kDaemon, kDaemonPath, kDaemon, QStringLiteral("ListNames")),
         QString(),
         [this](const QDBusMessage& reply) { listed(reply.arguments().value(0).toStringList()); });
}

MprisPlayers::~MprisPlayers() = default;

std::vector<MediaPlayer> MprisPlayers::players() const {
    std::vector<MediaPlayer> out;
    out.reserve(m_entries.size());
    for (const auto& [name, entry] : m_entries) {
        out.push_back(entry.player);
    }
    return out;
}

Subscription MprisPlayers::observe(std::function<void()> changed) {
    const auto id = ++m_nextObserver;
    m_observers.emplace(id, std::move(changed));
    return Subscription([this, id, alive = std::weak_ptr<char>(m_alive)] {
        if (alive.lock()) {
            m_observers.erase(id);
        }
    });
}

void MprisPlayers::notify() {
    // An observer may end its own subscription while being told.
    const auto observers = m_observers;
    for (const auto& [id, fn] : observers) {
        if (m_observers.count(id)) {
            fn();
        }
    }
}

void MprisPlayers::send(const QDBusMessage& message, const QString& player, Reply onReply,
                        std::function<void()> finished) {
    ++m_callsSent;
    ++m_callsPending;
    const unsigned long long life = player.isEmpty() ? 0 : m_entries.at(player).life;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, m_timeoutMs), this);
    watcher->setObjectName(player);  // so that the player's leaving can drop its calls
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, player, life, onReply = std::move(onReply),
             finished = std::move(finished)] {
                watcher->setObjectName(QString());  // over: no longer the player's to drop
                watcher->deleteLater();
                --m_callsPending;
                // A player that left, or came back as another, is not answered for.
                if (!player.isEmpty() && !find(player, life)) {
                    return;
                }
                if (finished) {
                    finished();
                }
                const QDBusMessage reply = watcher->reply();
                if (reply.type() == QDBusMessage::ReplyMessage && onReply) {
                    onReply(reply);
                }
            });
}

MprisPlayers::Entry* MprisPlayers::find(const QString& name, unsigned long long life) {
    const auto it = m_entries.find(name);
    return it == m_entries.end() || it->second.life != life ? nullptr : &it->second;
}

std::vector<MprisPlayers::Entry*> MprisPlayers::ownedBy(const QString& sender) {
    std::vector<Entry*> out;
    for (auto& [name, entry] : m_entries) {
        if (!sender.isEmpty() && entry.owner == sender) {
            out.push_back(&entry);
        }
    }
    return out;
}

void MprisPlayers::listed(const QStringList& names) {
    for (const QString& name : names) {
        if (mpris::isPlayerName(name) && !m_entries.count(name)) {
            appear(name, QString());  // the owner comes with the first answer
        }
    }
}

void MprisPlayers::nameOwnerChanged(const QString& name, const QString& oldOwner,
                                    const QString& newOwner) {
    if (!mpris::isPlayerName(name)) {
        return;
    }
    if (!oldOwner.isEmpty() && m_entries.count(name)) {
        leave(name);
    }
    if (!newOwner.isEmpty()) {
        appear(name, newOwner);
    }
}

void MprisPlayers::appear(const QString& name, const QString& owner) {
    if (m_entries.count(name)) {
        leave(name);
    }
    Entry& entry = m_entries[name];
    entry.life = ++m_lives;
    entry.owner = owner;
    entry.player.busName = name;
    entry.player.family = mpris::familyOf(name, QString(), QString());
    entry.player.positionReadAt = m_loop.monotonicNow();
    send(
        [&] {
            QDBusMessage m = propertiesCall(name, QStringLiteral("GetAll"));
            m << mpris::kRootInterface;
            return m;
        }(),
        name,
        [this, name](const QDBusMessage& reply) {
            Entry& e = m_entries.at(name);
            e.owner = reply.service();
            applyRoot(e, mpris::toMap(reply.arguments().value(0)));
        });
    readWhole(entry);
}

void MprisPlayers::leave(const QString& name) {
    const bool shown = !m_entries.at(name).player.metadata.isEmpty();
    m_entries.erase(name);
    // Its answers would be dropped anyway; nothing is kept waiting for them.
    const auto watchers = findChildren<QDBusPendingCallWatcher*>(name, Qt::FindDirectChildrenOnly);
    for (QDBusPendingCallWatcher* watcher : watchers) {
        --m_callsPending;
        delete watcher;
    }
    if (shown) {
        notify();
    }
}

void MprisPlayers::readWhole(Entry& entry) {
    if (entry.readPending) {
        return;
    }
    entry.readPending = true;
    const QString name = entry.player.busName;
    QDBusMessage m = propertiesCall(name, QStringLiteral("GetAll"));
    m << mpris::kPlayerInterface;
    send(
        m, name,
        [this, name](const QDBusMessage& reply) {
            Entry& e = m_entries.at(name);
            e.owner = reply.service();
            e.playerRead = true;
            applyPlayer(e, mpris::toMap(reply.arguments().value(0)));
        },
        // Whatever the answer, the read is over; a player whose read failed is read whole
        // again at its next signal.
        [this, name] { m_entries.at(name).readPending = false; });
}

void MprisPlayers::readProperty(Entry& entry, const QString& interface, const QString& property) {
    const QString name = entry.player.busName;
    QDBusMessage m = propertiesCall(name, QStringLiteral("Get"));
    m << interface << property;
    send(m, name, [this, name, interface, property](const QDBusMessage& reply) {
        Entry& e = m_entries.at(name);
        const QVariantMap one{{property, reply.arguments().value(0)}};
        if (interface == mpris::kPlayerInterface) {
            applyPlayer(e, one);
        } else {
            applyRoot(e, one);
        }
    });
}

// One question at a time: its answer comes before any later signal of the player, so a change
// that follows it is still seen and asked about.
void MprisPlayers::readPosition(Entry& entry) {
    if (entry.positionPending) {
        return;
    }
    entry.positionPending = true;
    const QString name = entry.player.busName;
    QDBusMessage m = propertiesCall(name, QStringLiteral("Get"));
    m << mpris::kPlayerInterface << QStringLiteral("Position");
    send(
        m, name,
        [this, name](const QDBusMessage& reply) {
            applyPlayer(m_entries.at(name),
                        {{QStringLiteral("Position"), reply.arguments().value(0)}});
        },
        [this, name] { m_entries.at(name).positionPending = false; });
}

void MprisPlayers::applyPlayer(Entry& entry, const QVariantMap& properties) {
    MediaPlayer& p = entry.player;
    const mpris::PlayerChange change =
        mpris::applyPlayerProperties(p, properties, m_loop.monotonicNow());
    if (change.status && p.status == PlaybackStatus::playing) {
        p.playbackStarted = ++m_starts;
    }
    // The position is never announced; after a change of track or state it is asked once, so
    // the time shown does not drift from the player's (a player that has only just opened a
    // file tells its length a moment after it says it plays).
    if ((change.status || change.metadata) && !properties.contains(QStringLiteral("Position")) &&
        p.status != PlaybackStatus::stopped) {
        readPosition(entry);
    }
    if (change.any) {
        notify();
    }
}

void MprisPlayers::applyRoot(Entry& entry, const QVariantMap& properties) {
    if (mpris::applyRootProperties(entry.player, properties) && !entry.player.metadata.isEmpty()) {
        notify();
    }
}

void MprisPlayers::propertiesChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    const QString interface = args.value(0).toString();
    if (interface != mpris::kPlayerInterface && interface != mpris::kRootInterface) {
        return;
    }
    const QVariantMap changed = mpris::toMap(args.value(1));
    QStringList invalidated;
    const QVariant third = args.value(2);
    if (third.userType() == QMetaType::QStringList) {
        invalidated = third.toStringList();
    } else if (third.userType() == qMetaTypeId<QDBusArgument>() &&
               third.value<QDBusArgument>().currentSignature() == QLatin1String("as")) {
        invalidated = qdbus_cast<QStringList>(third.value<QDBusArgument>());
    }
    for (Entry* entry : ownedBy(message.service())) {
        if (!entry->playerRead) {
            // Its whole reading failed (or is on its way, and will hold this change too).
            readWhole(*entry);
            continue;
        }
        if (interface == mpris::kPlayerInterface) {
            applyPlayer(*entry, changed);
        } else {
            applyRoot(*entry, changed);
        }
        for (const QString& property : invalidated.mid(0, 32)) {
            readProperty(*entry, interface, property);
        }
    }
}

void MprisPlayers::seeked(const QDBusMessage& message) {
    const QVariant position = message.arguments().value(0);
    for (Entry* entry : ownedBy(message.service())) {
        if (entry->playerRead) {
            applyPlayer(*entry, {{QStringLiteral("Position"), position}});
        }
    }
}

void MprisPlayers::command(const QString& busName, const QString& method,
                           const QVariantList& args) {
    if (!m_entries.count(busName)) {
        return;
    }
    QDBusMessage m = QDBusMessage::createMethodCall(busName, mpris::kObjectPath,
                                                    mpris::kPlayerInterface, method);
    m.setArguments(args);
    send(m, busName);
}

void MprisPlayers::playPause(const QString& busName) {
    command(busName, QStringLiteral("PlayPause"));
}

void MprisPlayers::next(const QString& busName) {
    command(busName, QStringLiteral("Next"));
}

void MprisPlayers::previous(const QString& busName) {
    command(busName, QStringLiteral("Previous"));
}

void MprisPlayers::setPosition(const QString& busName, const QString& trackId, double seconds) {
    const auto it = m_entries.find(busName);
    if (it == m_entries.end() || !std::isfinite(seconds)) {
        return;
    }
    QDBusMessage m;
    if (isObjectPath(trackId)) {
        m = QDBusMessage::createMethodCall(busName, mpris::kObjectPath, mpris::kPlayerInterface,
                                           QStringLiteral("SetPosition"));
        m << QVariant::fromValue(QDBusObjectPath(trackId)) << microseconds(seconds);
    } else {
        // Without a track id only a jump relative to where the player is can be asked for.
        const double now = it->second.player.positionAt(m_loop.monotonicNow());
        m = QDBusMessage::createMethodCall(busName, mpris::kObjectPath, mpris::kPlayerInterface,
                                           QStringLiteral("Seek"));
        m << static_cast<qlonglong>(std::llround((std::max(0.0, seconds) - now) * 1e6));
    }
    // Not every player tells of the jump with `Seeked`; the position is asked once after it.
    send(m, busName, [this, busName](const QDBusMessage&) {
        if (const auto e = m_entries.find(busName); e != m_entries.end()) {
            readPosition(e->second);
        }
    });
}

void MprisPlayers::setVolume(const QString& busName, double level) {
    if (!m_entries.count(busName) || std::isnan(level)) {
        return;
    }
    QDBusMessage m = propertiesCall(busName, QStringLiteral("Set"));
    m << mpris::kPlayerInterface << QStringLiteral("Volume")
      << QVariant::fromValue(QDBusVariant(std::clamp(level, 0.0, 1.0)));
    send(m, busName);
}

}  // namespace korvo
