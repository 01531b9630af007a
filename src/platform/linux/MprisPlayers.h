#pragma once

#include "core/MainLoop.h"
#include "platform/MediaPlayers.h"

#include <QDBusConnection>
#include <QObject>

#include <map>
#include <memory>

class QDBusMessage;

namespace korvo {

/// The MPRIS players on the session bus, followed by their signals: `NameOwnerChanged` for
/// players coming and going, `PropertiesChanged` and `Seeked` for what they do. A player is read
/// whole once when it appears (one `GetAll` on each of its two interfaces); after that only what
/// a signal names is read, and while nothing changes nothing is asked. Every call is
/// asynchronous and bounded, so a hung player costs one timeout per signal it sends and a player
/// that leaves in the middle of a call costs nothing. Main thread.
class MprisPlayers final : public QObject, public MediaPlayers {
    Q_OBJECT
public:
    static constexpr int kCallTimeoutMs = 1500;

    explicit MprisPlayers(MainLoop& loop,
                          QDBusConnection connection = QDBusConnection::sessionBus(),
                          int callTimeoutMs = kCallTimeoutMs);
    ~MprisPlayers() override;

    std::vector<MediaPlayer> players() const override;
    Subscription observe(std::function<void()> changed) override;

    void playPause(const QString& busName) override;
    void next(const QString& busName) override;
    void previous(const QString& busName) override;
    void setPosition(const QString& busName, const QString& trackId, double seconds) override;
    void setVolume(const QString& busName, double level) override;

    /// Calls sent so far, and those still waiting for an answer (for tests and measurements).
    int callsSent() const { return m_callsSent; }
    int callsPending() const { return m_callsPending; }

private slots:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void propertiesChanged(const QDBusMessage& message);
    void seeked(const QDBusMessage& message);

private:
    struct Entry {
        MediaPlayer player;
        QString owner;                 // the unique name behind the bus name, once known
        unsigned long long life = 0;   // tells a returning player from the one that left
        bool playerRead = false;       // the whole Player interface has been read
        bool readPending = false;      // a whole read is on its way
        bool positionPending = false;  // the position has been asked and not yet answered
    };
    using Reply = std::function<void(const QDBusMessage&)>;

    void listed(const QStringList& names);
    void appear(const QString& name, const QString& owner);
    void leave(const QString& name);
    void readWhole(Entry& entry);
    void readProperty(Entry& entry, const QString& interface, const QString& property);
    void readPosition(Entry& entry);
    void applyPlayer(Entry& entry, const QVariantMap& properties);
    void applyRoot(Entry& entry, const QVariantMap& properties);
    Entry* find(const QString& name, unsigned long long life);
    std::vector<Entry*> ownedBy(const QString& sender);
    /// Sends `message`. Unless the player has left by then, `finished` runs when the call is
    /// over, and then `onReply` with the answer if there is one (errors and time-outs are
    /// absorbed).
    void send(const QDBusMessage& message, const QString& player, Reply onReply = {},
              std::function<void()> finished = {});
    void command(const QString& busName, const QString& method, const QVariantList& args = {});
    void notify();

    MainLoop& m_loop;
    QDBusConnection m_bus;
    int m_timeoutMs;
    std::map<QString, Entry> m_entries;  // by bus name
    unsigned long long m_lives = 0;
    unsigned long long m_starts = 0;
    std::map<unsigned long long, std::function<void()>> m_observers;
    unsigned long long m_nextObserver = 0;
    int m_callsSent = 0;
    int m_callsPending = 0;
    std::shared_ptr<char> m_alive = std::make_shared<char>(0);
};

}  // namespace korvo
