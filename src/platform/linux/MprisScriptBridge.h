#pragma once

#include "platform/ScriptBridge.h"

#include <QDBusConnection>
#include <QHash>
#include <QVariantMap>

#include <chrono>
#include <memory>
#include <mutex>

class QDBusMessage;

namespace korvo {

/// Answers the now-playing scripts from MPRIS players on the session bus, in the forms the
/// scripts themselves would give. The Spotify client is its own player; the music player slot is
/// the first other player that is not a browser; each browser slot is that browser's media
/// session (Chrome and Chromium, Brave, Edge, and Firefox in the fourth slot).
///
/// Every D-Bus call waits at most 1.5 s. A player that lets a call time out is left alone for a
/// while, so one hung player costs one timeout, not one per poll.
class MprisScriptBridge final : public ScriptBridge {
public:
    explicit MprisScriptBridge(QDBusConnection connection = QDBusConnection::sessionBus());
    ~MprisScriptBridge() override;

    bool isRunning(const QString& bundleId) override;
    std::optional<ScriptResult> run(const ScriptRequest& request) override;
    /// Follows the bus's name changes from one listing at construction on, so it never blocks;
    /// true while that listing is not in (or the bus cannot be watched).
    bool anyRunning() override;

    enum class Family { spotify, chrome, brave, edge, firefox, otherBrowser, player, ignored };
    /// What a bus name stands for, judged by the name alone.
    static Family familyOfName(const QString& busName);

    static constexpr int kCallTimeoutMs = 1500;
    static constexpr qint64 kMaxArtworkBytes = 10 * 1024 * 1024;

private:
    using Clock = std::chrono::steady_clock;

    class Deadline {
    public:
        explicit Deadline(double seconds);
        int callTimeoutMs() const;

    private:
        Clock::time_point m_end;
    };

    struct Player {
        QString name;
        QVariantMap properties;  // of org.mpris.MediaPlayer2.Player
    };

    std::optional<QDBusMessage> call(const QDBusMessage& message, const Deadline& deadline);
    QStringList playerNames(const Deadline& deadline);
    Family familyOf(const QString& name, const Deadline& deadline);
    bool isUnresponsive(const QString& name);
    std::optional<QVariantMap> properties(const QString& name, const QString& interface,
                                          const Deadline& deadline);
    std::optional<Player> choose(Family family, const QStringList* urlMarkers,
                                 const Deadline& deadline);
    std::optional<Family> familyOfBundle(const QString& bundleId) const;

    std::optional<ScriptResult> readPlayer(PlayerSlot slot, const Deadline& deadline);
    std::optional<ScriptResult> readArtwork(const Deadline& deadline);
    std::optional<ScriptResult> command(const Player& player, MediaAction action, double value,
                                        const Deadline& deadline);
    std::optional<ScriptResult> scan(const intent::BrowserScan& scan, const Deadline& deadline);
    std::optional<ScriptResult> pageScript(const intent::PageScript& page,
                                           const Deadline& deadline);

    class NameWatch;

    QDBusConnection m_bus;
    std::unique_ptr<NameWatch> m_watch;  // main thread
    std::mutex m_mutex;                  // guards the caches below; never held across a D-Bus call
    QStringList m_names;
    Clock::time_point m_namesRead;
    bool m_namesValid = false;
    QHash<QString, Family> m_families;
    QHash<QString, Clock::time_point> m_unresponsiveUntil;
};

}  // namespace korvo
