#include "MprisScriptBridge.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvo {

namespace {

const QString kPrefix = QStringLiteral("org.mpris.MediaPlayer2.");
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// The list of players changes rarely; one listing serves every question of one poll.
constexpr auto kNamesLifetime = std::chrono::milliseconds(500);
// How long a player that let a call time out is skipped.
constexpr auto kUnresponsivePause = std::chrono::seconds(30);
// A call that timed out this soon says more about our deadline than about the player.
constexpr int kBlameThresholdMs = 1000;

QVariantMap toMap(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto arg = value.value<QDBusArgument>();
        // A player may send anything where MPRIS says a{sv}; reading another shape as a map
        // crashes inside the D-Bus library.
        if (arg.currentSignature() != QLatin1String("a{sv}")) {
            return {};
        }
        return qdbus_cast<QVariantMap>(arg);
    }
    return value.toMap();
}

QString toText(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        return qdbus_cast<QStringList>(value.value<QDBusArgument>()).join(QStringLiteral(", "));
    }
    if (value.userType() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", "));
    }
    if (value.userType() == qMetaTypeId<QDBusObjectPath>()) {
        return value.value<QDBusObjectPath>().path();
    }
    return value.toString();
}

QString number(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QVariantMap metadataOf(const QVariantMap& props) {
    return toMap(props.value(QStringLiteral("Metadata")));
}

QString status(const QVariantMap& props) {
    return props.value(QStringLiteral("PlaybackStatus")).toString();
}

bool isPlaying(const QVariantMap& props) {
    return status(props) == QLatin1String("Playing");
}

// MPRIS times are microseconds in an int64; whatever else a player sends reads as the nearest
// such time, so no negative, endless or NaN time reaches the scripts' answers.
double seconds(const QVariant& microseconds) {
    const double value = microseconds.toDouble();
    return value > 0 ? std::min(value, double(std::numeric_limits<qint64>::max())) / 1e6 : 0;
}

// MPRIS volumes run from 0 up, above 1 amplifying; the scripts answer 0 to 1 at most.
std::optional<double> volumeLevel(const QVariantMap& props) {
    bool ok = false;
    const double level = props.value(QStringLiteral("Volume")).toDouble(&ok);
    if (!ok || !std::isfinite(level)) {
        return std::nullopt;
    }
    return std::clamp(level, 0.0, 1.0);
}

bool flag(const QVariantMap& props, const char* name) {
    // Players that leave a capability out are taken to have it.
    const QVariant value = props.value(QString::fromLatin1(name));
    return !value.isValid() || value.toBool();
}

ScriptResult text(const QString& answer) {
    return ScriptResult{answer, {}};
}

QDBusMessage playerCall(const QString& name, const QString& method) {
    return QDBusMessage::createMethodCall(name, kObjectPath, kPlayerInterface, method);
}

// The player's reading in the form the player scripts give: "||"-joined fields.
QString playerAnswer(const QVariantMap& props, bool withArtwork) {
    const QVariantMap meta = metadataOf(props);
    const QString title = toText(meta.value(QStringLiteral("xesam:title")));
    if (status(props) == QLatin1String("Stopped") || title.isEmpty()) {
        return {};
    }
    QStringList fields{title,
                       toText(meta.value(QStringLiteral("xesam:artist"))),
                       toText(meta.value(QStringLiteral("xesam:album"))),
                       number(seconds(meta.value(QStringLiteral("mpris:length")))),
                       number(seconds(props.value(QStringLiteral("Position")))),
                       isPlaying(props) ? QStringLiteral("true") : QStringLiteral("false")};
    if (withArtwork) {
        QString art = toText(meta.value(QStringLiteral("mpris:artUrl")));
        // Some Spotify client versions report covers on a host that no longer serves them.
        static const QString stale = QStringLiteral("https://open.spotify.com/image/");
        if (art.startsWith(stale)) {
            art = QStringLiteral("https://i.scdn.co/image/") + art.mid(stale.size());
        }
        fields << art;
    }
    const auto volume = volumeLevel(props);
    fields << (volume ? QString::number(std::lround(*volume * 100)) : QString());
    return fields.join(QStringLiteral("||"));
}

// A browser media session in the form of the tab scan's page-script answer.
QString browserAnswer(const QVariantMap& props) {
    const QVariantMap meta = metadataOf(props);
    const auto volume = volumeLevel(props);
    return QStringList{toText(meta.value(QStringLiteral("xesam:title"))),
                       toText(meta.value(QStringLiteral("xesam:artist"))),
                       toText(meta.value(QStringLiteral("xesam:album"))),
                       number(seconds(meta.value(QStringLiteral("mpris:length")))),
                       number(seconds(props.value(QStringLiteral("Position")))),
                       isPlaying(props) ? QStringLiteral("true") : QStringLiteral("false"),
                       volume ? number(*volume) : QStringLiteral("1"),
                       toText(meta.value(QStringLiteral("mpris:artUrl"))),
                       QStringLiteral("JS"),
                       toText(meta.value(QStringLiteral("xesam:url")))}
        .join(QStringLiteral("~|~"));
}

// A session counts as a media tab when its page is on a media site, or when it names no page.
bool isMediaTab(const QVariantMap& props, const QStringList& markers) {
    const QVariantMap meta = metadataOf(props);
    if (status(props) == QLatin1String("Stopped") ||
        toText(meta.value(QStringLiteral("xesam:title"))).isEmpty()) {
        return false;
    }
    const QString url = toText(meta.value(QStringLiteral("xesam:url")));
    return url.isEmpty() || std::any_of(markers.begin(), markers.end(),
                                        [&](const QString& m) { return url.contains(m); });
}

QByteArray readLocalArtwork(const QString& artUrl) {
    const QUrl url(artUrl);
    if (!url.isLocalFile()) {
        return {};
    }
    const QFileInfo info(url.toLocalFile());
    if (!info.isFile() || info.size() > MprisScriptBridge::kMaxArtworkBytes) {
        return {};
    }
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.read(MprisScriptBridge::kMaxArtworkBytes);
}

}  // namespace

MprisScriptBridge::Deadline::Deadline(double seconds)
    : m_end(Clock::now() + std::chrono::milliseconds(std::llround(std::max(0.0, seconds) * 1000))) {
}

int MprisScriptBridge::Deadline::callTimeoutMs() const {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_end - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, kCallTimeoutMs));
}

// The players on the bus, kept from the daemon's name-owner notices after one listing, so an idle
// poll can tell there is nobody to ask without a round trip.
class MprisScriptBridge::NameWatch : public QObject {
    Q_OBJECT
public:
    explicit NameWatch(QDBusConnection& bus) {
        if (!bus.isConnected()) {
            return;
        }
        const QString daemon = QStringLiteral("org.freedesktop.DBus");
        bus.connect(daemon, QStringLiteral("/org/freedesktop/DBus"), daemon,
                    QStringLiteral("NameOwnerChanged"), this,
                    SLOT(nameOwnerChanged(QString, QString, QString)));
        bus.callWithCallback(
            QDBusMessage::createMethodCall(daemon, QStringLiteral("/org/freedesktop/DBus"), daemon,
                                           QStringLiteral("ListNames")),
            this, SLOT(listed(QStringList)), SLOT(failed()));
    }

    /// Nothing for as long as the bus has not been listed.
    std::optional<bool> anyPlayer() const {
        if (!m_listed) {
            return std::nullopt;
        }
        return !m_players.isEmpty();
    }

private slots:
    void listed(const QStringList& names) {
        m_listed = true;
        for (const QString& name : names) {
            if (familyOfName(name) != Family::ignored) {
                m_players.insert(name);
            }
        }
    }
    void failed() {}  // stays unlisted: every poll asks the bus
    void nameOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
        if (familyOfName(name) == Family::ignored) {
            return;
        }
        if (newOwner.isEmpty()) {
            m_players.remove(name);
        } else {
            m_players.insert(name);
        }
    }

private:
    bool m_listed = false;
    QSet<QString> m_players;
};

MprisScriptBridge::MprisScriptBridge(QDBusConnection connection)
    : m_bus(std::move(connection)), m_watch(std::make_unique<NameWatch>(m_bus)) {}

MprisScriptBridge::~MprisScriptBridge() = default;

bool MprisScriptBridge::anyRunning() {
    return m_watch->anyPlayer().value_or(true);
}

MprisScriptBridge::Family MprisScriptBridge::familyOfName(const QString& busName) {
    if (!busName.startsWith(kPrefix)) {
        return Family::ignored;
    }
    const QString first = busName.mid(kPrefix.size()).section(QLatin1Char('.'), 0, 0).toLower();
    static const QHash<QString, Family> known{
        {QStringLiteral("spotify"), Family::spotify},
        {QStringLiteral("chromium"), Family::chrome},
        {QStringLiteral("chrome"), Family::chrome},
        {QStringLiteral("google-chrome"), Family::chrome},
        {QStringLiteral("brave"), Family::brave},
        {QStringLiteral("brave-browser"), Family::brave},
        {QStringLiteral("msedge"), Family::edge},
        {QStringLiteral("microsoft-edge"), Family::edge},
        {QStringLiteral("firefox"), Family::firefox},
        {QStringLiteral("librewolf"), Family::firefox},
        {QStringLiteral("vivaldi"), Family::otherBrowser},
        {QStringLiteral("opera"), Family::otherBrowser},
        {QStringLiteral("epiphany"), Family::otherBrowser},
        {QStringLiteral("falkon"), Family::otherBrowser},
        {QStringLiteral("qutebrowser"), Family::otherBrowser},
        {QStringLiteral("plasma-browser-integration"), Family::otherBrowser},
        // A proxy that mirrors the other players; reading it would count them twice.
        {QStringLiteral("playerctld"), Family::ignored},
    };
    return known.value(first, first.isEmpty() ? Family::ignored : Family::player);
}

std::optional<MprisScriptBridge::Family> MprisScriptBridge::familyOfBundle(
    const QString& bundleId) const {
    static const QHash<QString, Family> bySlot{
        {QString::fromLatin1(bundle::spotify), Family::spotify},
        {QString::fromLatin1(bundle::music), Family::player},
        {QString::fromLatin1(bundle::chrome), Family::chrome},
        {QString::fromLatin1(bundle::brave), Family::brave},
        {QString::fromLatin1(bundle::edge), Family::edge},
        {QString::fromLatin1(bundle::safari), Family::firefox},
    };
    const auto it = bySlot.constFind(bundleId);
    return it == bySlot.constEnd() ? std::nullopt : std::optional(*it);
}

std::optional<QDBusMessage> MprisScriptBridge::call(const QDBusMessage& message,
                                                    const Deadline& deadline) {
    const int timeout = deadline.callTimeoutMs();
    if (timeout <= 0) {
        return std::nullopt;
    }
    const auto sent = Clock::now();
    QDBusMessage reply = m_bus.call(message, QDBus::Block, timeout);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return reply;
    }
    const QString error = reply.errorName();
    const bool timedOut = error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
                          error == QLatin1String("org.freedesktop.DBus.Error.Timeout");
    // A player that leaves the bus in the middle of a call answers at once with the same error;
    // only a call that used up its time says the player hangs (timers may fire a little early).
    const bool waitedOut = Clock::now() - sent >= std::chrono::milliseconds(timeout * 9 / 10);
    if (timedOut && waitedOut && timeout >= kBlameThresholdMs &&
        message.service().startsWith(kPrefix)) {
        std::lock_guard lock(m_mutex);
        m_unresponsiveUntil.insert(message.service(), Clock::now() + kUnresponsivePause);
    }
    return std::nullopt;
}

QStringList MprisScriptBridge::playerNames(const Deadline& deadline) {
    {
        std::lock_guard lock(m_mutex);
        if (m_namesValid && Clock::now() - m_namesRead < kNamesLifetime) {
            return m_names;
        }
    }
    const auto reply =
        call(QDBusMessage::createMethodCall(
                 QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                 QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames")),
             deadline);
    if (!reply || reply->arguments().isEmpty()) {
        return {};
    }
    QStringList names;
    for (const QString& name : reply->arguments().constFirst().toStringList()) {
        if (name.startsWith(kPrefix)) {
            names << name;
        }
    }
    names.sort();  // a stable order, so "the first player" stays the same one
    std::lock_guard lock(m_mutex);
    m_names = names;
    m_namesRead = Clock::now();
    m_namesValid = true;
    for (auto it = m_families.begin(); it != m_families.end();) {
        it = names.contains(it.key()) ? std::next(it) : m_families.erase(it);
    }
    return names;
}

MprisScriptBridge::Family MprisScriptBridge::familyOf(const QString& name,
                                                      const Deadline& deadline) {
    const Family byName = familyOfName(name);
    if (byName != Family::chrome || isUnresponsive(name)) {
        return byName;
    }
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_families.constFind(name); it != m_families.constEnd()) {
            return *it;
        }
    }
    // Chromium-based browsers share one bus name pattern; the player's identity tells them apart.
    const auto root = properties(name, kRootInterface, deadline);
    if (!root) {
        return Family::chrome;
    }
    const QString identity =
        (root->value(QStringLiteral("Identity")).toString() + QLatin1Char(' ') +
         root->value(QStringLiteral("DesktopEntry")).toString())
            .toLower();
    Family family = Family::chrome;
    if (identity.contains(QLatin1String("brave"))) {
        family = Family::brave;
    } else if (identity.contains(QLatin1String("edge"))) {
        family = Family::edge;
    } else if (identity.contains(QLatin1String("vivaldi")) ||
               identity.contains(QLatin1String("opera"))) {
        family = Family::otherBrowser;
    }
    std::lock_guard lock(m_mutex);
    m_families.insert(name, family);
    return family;
}

bool MprisScriptBridge::isUnresponsive(const QString& name) {
    std::lock_guard lock(m_mutex);
    const auto it = m_unresponsiveUntil.find(name);
    if (it == m_unresponsiveUntil.end()) {
        return false;
    }
    if (Clock::now() >= *it) {
        m_unresponsiveUntil.erase(it);
        return false;
    }
    return true;
}

std::optional<QVariantMap> MprisScriptBridge::properties(const QString& name,
                                                         const QString& interface,
                                                         const Deadline& deadline) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(name, kObjectPath, kProperties, QStringLiteral("GetAll"));
    message << interface;
    const auto reply = call(message, deadline);
    if (!reply || reply->arguments().isEmpty()) {
        return std::nullopt;
    }
    return toMap(reply->arguments().constFirst());
}

std::optional<MprisScriptBridge::Player> MprisScriptBridge::choose(Family family,
                                                                   const QStringList* urlMarkers,
                                                                   const Deadline& deadline) {
    // A playing player wins over a paused one, which wins over a stopped one; among equals the
    // first by name.
    std::optional<Player> best;
    int bestRank = 3;
    for (const QString& name : playerNames(deadline)) {
        if (familyOf(name, deadline) != family || isUnresponsive(name)) {
            continue;
        }
        auto props = properties(name, kPlayerInterface, deadline);
        if (!props || (urlMarkers && !isMediaTab(*props, *urlMarkers))) {
            continue;
        }
        const QString state = status(*props);
        const int rank = state == QLatin1String("Playing")  ? 0
                         : state == QLatin1String("Paused") ? 1
                                                            : 2;
        if (rank < bestRank) {
            best = Player{name, std::move(*props)};
            bestRank = rank;
        }
        if (rank == 0) {
            break;
        }
    }
    return best;
}

bool MprisScriptBridge::isRunning(const QString& bundleId) {
    const auto family = familyOfBundle(bundleId);
    if (!family) {
        return false;
    }
    const Deadline deadline(kCallTimeoutMs / 1000.0 * 2);
    const QStringList names = playerNames(deadline);
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return familyOf(name, deadline) == *family; });
}

std::optional<ScriptResult> MprisScriptBridge::run(const ScriptRequest& request) {
    const Deadline deadline(request.timeout);
    return std::visit(
        [&](const auto& what) -> std::optional<ScriptResult> {
            using T = std::decay_t<decltype(what)>;
            if constexpr (std::is_same_v<T, intent::ReadPlayer>) {
                return readPlayer(what.player, deadline);
            } else if constexpr (std::is_same_v<T, intent::ReadArtwork>) {
                return readArtwork(deadline);
            } else if constexpr (std::is_same_v<T, intent::PlayerCommand>) {
                const auto player =
                    choose(what.player == PlayerSlot::spotify ? Family::spotify : Family::player,
                           nullptr, deadline);
                if (!player) {
                    return std::nullopt;
                }
                const double value =
                    what.action == MediaAction::setVolume ? what.value / 100 : what.value;
                return command(*player, what.action, value, deadline);
            } else if constexpr (std::is_same_v<T, intent::BrowserScan>) {
                return scan(what, deadline);
            } else {
                return pageScript(what, deadline);
            }
        },
        request.intent);
}

std::optional<ScriptResult> MprisScriptBridge::readPlayer(PlayerSlot slot,
                                                          const Deadline& deadline) {
    const bool spotify = slot == PlayerSlot::spotify;
    const auto player = choose(spotify ? Family::spotify : Family::player, nullptr, deadline);
    if (!player) {
        return std::nullopt;
    }
    return text(playerAnswer(player->properties, spotify));
}

std::optional<ScriptResult> MprisScriptBridge::readArtwork(const Deadline& deadline) {
    const auto player = choose(Family::player, nullptr, deadline);
    if (!player) {
        return std::nullopt;
    }
    // Only a local file is read here; other addresses would need a download on this thread.
    const QString artUrl =
        toText(metadataOf(player->properties).value(QStringLiteral("mpris:artUrl")));
    return ScriptResult{QString(), readLocalArtwork(artUrl)};
}

std::optional<ScriptResult> MprisScriptBridge::command(const Player& player, MediaAction action,
                                                       double value, const Deadline& deadline) {
    QDBusMessage message;
    switch (action) {
        case MediaAction::playPause:
            message = playerCall(player.name, QStringLiteral("PlayPause"));
            break;
        case MediaAction::next:
            message = playerCall(player.name, QStringLiteral("Next"));
            break;
        case MediaAction::previous:
            message = playerCall(player.name, QStringLiteral("Previous"));
            break;
        case MediaAction::seek: {
            const QVariantMap meta = metadataOf(player.properties);
            const QString track = toText(meta.value(QStringLiteral("mpris:trackid")));
            const auto target = static_cast<qlonglong>(std::llround(std::max(0.0, value) * 1e6));
            if (!track.isEmpty()) {
                message = playerCall(player.name, QStringLiteral("SetPosition"));
                message << QVariant::fromValue(QDBusObjectPath(track)) << target;
            } else {
                // Without a track id only a relative jump is possible.
                const auto position = static_cast<qlonglong>(
                    player.properties.value(QStringLiteral("Position")).toLongLong());
                message = playerCall(player.name, QStringLiteral("Seek"));
                message << static_cast<qlonglong>(target - position);
            }
            break;
        }
        case MediaAction::setVolume:
            message = QDBusMessage::createMethodCall(player.name, kObjectPath, kProperties,
                                                     QStringLiteral("Set"));
            message << kPlayerInterface << QStringLiteral("Volume")
                    << QVariant::fromValue(QDBusVariant(std::clamp(value, 0.0, 1.0)));
            break;
    }
    if (!call(message, deadline)) {
        return std::nullopt;
    }
    return text(QString());
}

std::optional<ScriptResult> MprisScriptBridge::scan(const intent::BrowserScan& request,
                                                    const Deadline& deadline) {
    const auto family = familyOfBundle(request.bundleId);
    if (!family) {
        return std::nullopt;
    }
    const auto player = choose(*family, &request.urlMarkers, deadline);
    return text(player ? browserAnswer(player->properties) : QString());
}

std::optional<ScriptResult> MprisScriptBridge::pageScript(const intent::PageScript& page,
                                                          const Deadline& deadline) {
    const auto family = familyOfBundle(page.bundleId);
    if (!family) {
        return std::nullopt;
    }
    const auto player = choose(*family, &page.urlMarkers, deadline);
    if (!player) {
        return text(QString());
    }
    // A page without the control refuses it, as the page script throws for a missing button.
    const QVariantMap& props = player->properties;
    const bool able = (page.action == MediaAction::next && flag(props, "CanGoNext")) ||
                      (page.action == MediaAction::previous && flag(props, "CanGoPrevious")) ||
                      (page.action == MediaAction::seek && flag(props, "CanSeek")) ||
                      page.action == MediaAction::playPause ||
                      page.action == MediaAction::setVolume;
    if (!able || !command(*player, page.action, page.value, deadline)) {
        return text(QString());
    }
    return text(QStringLiteral("ok"));
}

}  // namespace korvo

#include "MprisScriptBridge.moc"
