#include "MprisProperties.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <cmath>
#include <limits>

namespace korvo::mpris {

namespace {

// Variants inside variants are legal on the bus; a player that nests them deeper than this
// is not describing a track.
constexpr int kMaxNesting = 8;

// Browsers publish one session per media tab; their bus names start with these.
const QStringList& browserNames() {
    static const QStringList names{
        QStringLiteral("firefox"),
        QStringLiteral("librewolf"),
        QStringLiteral("waterfox"),
        QStringLiteral("floorp"),
        QStringLiteral("chromium"),
        QStringLiteral("chrome"),
        QStringLiteral("google-chrome"),
        QStringLiteral("brave"),
        QStringLiteral("brave-browser"),
        QStringLiteral("msedge"),
        QStringLiteral("microsoft-edge"),
        QStringLiteral("vivaldi"),
        QStringLiteral("opera"),
        QStringLiteral("epiphany"),
        QStringLiteral("falkon"),
        QStringLiteral("qutebrowser"),
        QStringLiteral("plasma-browser-integration"),
    };
    return names;
}

// What a browser calls itself in `Identity` or `DesktopEntry` (Chromium-based browsers share
// the "chromium" bus name).
const QStringList& browserWords() {
    static const QStringList words{
        QStringLiteral("firefox"),        QStringLiteral("librewolf"),
        QStringLiteral("chromium"),       QStringLiteral("google chrome"),
        QStringLiteral("google-chrome"),  QStringLiteral("brave"),
        QStringLiteral("microsoft edge"), QStringLiteral("microsoft-edge"),
        QStringLiteral("vivaldi"),        QStringLiteral("opera"),
        QStringLiteral("epiphany"),       QStringLiteral("falkon"),
        QStringLiteral("qutebrowser"),
    };
    return words;
}

QString firstPart(const QString& busName) {
    return busName.mid(kNamePrefix.size()).section(QLatin1Char('.'), 0, 0).toLower();
}

QVariant unwrap(QVariant value) {
    for (int depth = 0; depth < kMaxNesting; ++depth) {
        if (value.userType() == qMetaTypeId<QDBusVariant>()) {
            value = value.value<QDBusVariant>().variant();
            continue;
        }
        if (value.userType() == qMetaTypeId<QDBusArgument>()) {
            const auto arg = value.value<QDBusArgument>();
            if (arg.currentSignature() == QLatin1String("v")) {
                value = qdbus_cast<QDBusVariant>(arg).variant();
                continue;
            }
        }
        return value;
    }
    return {};
}

QVariantMap mapOf(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto arg = value.value<QDBusArgument>();
        // Reading another shape as a map trips over the D-Bus library's own checks.
        if (arg.currentSignature() != QLatin1String("a{sv}")) {
            return {};
        }
        return qdbus_cast<QVariantMap>(arg);
    }
    if (value.userType() == QMetaType::QVariantMap) {
        return value.toMap();
    }
    return {};
}

QString text(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.userType() == QMetaType::QString) {
        return value.toString();
    }
    return {};
}

QString objectPath(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.userType() == qMetaTypeId<QDBusObjectPath>()) {
        return value.value<QDBusObjectPath>().path();
    }
    // Some players send the track id as a plain string.
    return text(value);
}

// `as` as MPRIS has it; a lone string, as some players send, is one name.
QStringList texts(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    switch (value.userType()) {
        case QMetaType::QString:
            return value.toString().isEmpty() ? QStringList() : QStringList{value.toString()};
        case QMetaType::QStringList:
            return value.toStringList();
        case QMetaType::QVariantList: {
            QStringList out;
            for (const QVariant& item : value.toList()) {
                const QVariant v = unwrap(item);
                if (v.userType() == QMetaType::QString) {
                    out << v.toString();
                }
            }
            return out;
        }
        default:
            break;
    }
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const auto arg = value.value<QDBusArgument>();
        if (arg.currentSignature() == QLatin1String("as")) {
            return qdbus_cast<QStringList>(arg);
        }
    }
    return {};
}

std::optional<double> number(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    switch (value.userType()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::UChar:
        case QMetaType::Double:
        case QMetaType::Float: {
            const double d = value.toDouble();
            if (!std::isfinite(d)) {
                return std::nullopt;
            }
            return d;
        }
        default:
            return std::nullopt;
    }
}

std::optional<bool> flag(const QVariant& raw) {
    const QVariant value = unwrap(raw);
    if (value.userType() == QMetaType::Bool) {
        return value.toBool();
    }
    return std::nullopt;
}

PlaybackStatus statusOf(const QVariant& raw) {
    const QString s = text(raw);
    if (s == QLatin1String("Playing")) {
        return PlaybackStatus::playing;
    }
    if (s == QLatin1String("Stopped")) {
        return PlaybackStatus::stopped;
    }
    // An unknown word still means a player with something loaded; it is not taken as playing.
    return PlaybackStatus::paused;
}

bool sameTrack(const TrackMetadata& a, const TrackMetadata& b) {
    return a.trackId == b.trackId && a.title == b.title && a.url == b.url;
}

}  // namespace

bool isPlayerName(const QString& busName) {
    if (!busName.startsWith(kNamePrefix) || busName.size() == kNamePrefix.size()) {
        return false;
    }
    return firstPart(busName) != QLatin1String("playerctld");
}

PlayerFamily familyOf(const QString& busName, const QString& identity,
                      const QString& desktopEntry) {
    const QString first = firstPart(busName);
    const QString entry = desktopEntry.toLower();
    if (first == QLatin1String("spotify") || entry == QLatin1String("spotify") ||
        entry == QLatin1String("com.spotify.client")) {
        return PlayerFamily::spotify;
    }
    if (browserNames().contains(first)) {
        return PlayerFamily::browser;
    }
    const QString said = identity.toLower() + QLatin1Char(' ') + entry;
    for (const QString& word : browserWords()) {
        if (said.contains(word)) {
            return PlayerFamily::browser;
        }
    }
    return PlayerFamily::other;
}

QVariantMap toMap(const QVariant& value) {
    return mapOf(value);
}

std::optional<double> seconds(const QVariant& microseconds) {
    const auto us = number(microseconds);
    if (!us) {
        return std::nullopt;
    }
    constexpr double kMax = static_cast<double>(std::numeric_limits<qint64>::max());
    return std::clamp(*us, 0.0, kMax) / 1e6;
}

TrackMetadata parseMetadata(const QVariant& value) {
    const QVariantMap map = toMap(value);
    TrackMetadata m;
    m.trackId = objectPath(map.value(QStringLiteral("mpris:trackid")));
    m.title = text(map.value(QStringLiteral("xesam:title")));
    m.artists = texts(map.value(QStringLiteral("xesam:artist")));
    m.album = text(map.value(QStringLiteral("xesam:album")));
    m.length = seconds(map.value(QStringLiteral("mpris:length"))).value_or(0);
    m.artUrl = text(map.value(QStringLiteral("mpris:artUrl")));
    m.url = text(map.value(QStringLiteral("xesam:url")));
    return m;
}

PlayerChange applyPlayerProperties(MediaPlayer& p, const QVariantMap& props, double now) {
    PlayerChange change;
    const double current = p.positionAt(now);
    auto rebase = [&](double position) {
        p.position = position;
        p.positionReadAt = now;
    };

    if (const auto it = props.constFind(QStringLiteral("Rate")); it != props.constEnd()) {
        const auto rate = number(*it);
        const double r = rate && *rate >= 0 ? std::min(*rate, 1000.0) : 1.0;
        if (r != p.rate) {
            rebase(current);
            p.rate = r;
            change.any = true;
        }
    }
    if (const auto it = props.constFind(QStringLiteral("PlaybackStatus")); it != props.constEnd()) {
        const PlaybackStatus s = statusOf(*it);
        if (s != p.status) {
            rebase(s == PlaybackStatus::stopped ? 0 : current);
            p.status = s;
            change.any = change.status = true;
        }
    }
    if (const auto it = props.constFind(QStringLiteral("Metadata")); it != props.constEnd()) {
        TrackMetadata m = parseMetadata(*it);
        if (!(m == p.metadata)) {
            if (!sameTrack(m, p.metadata)) {
                rebase(0);
                change.track = true;
            }
            p.metadata = std::move(m);
            change.any = change.metadata = true;
        }
    }
    if (const auto it = props.constFind(QStringLiteral("Position")); it != props.constEnd()) {
        if (const auto s = seconds(*it)) {
            rebase(*s);
            change.any = true;
        }
    }
    if (const auto it = props.constFind(QStringLiteral("Volume")); it != props.constEnd()) {
        // MPRIS volumes above 1 amplify; Korvo shows and sets 0 to 1.
        const auto v = number(*it);
        const std::optional<double> level =
            v ? std::optional(std::clamp(*v, 0.0, 1.0)) : std::nullopt;
        if (level != p.volume) {
            p.volume = level;
            change.any = true;
        }
    }
    auto capability = [&](const char* name, bool& field, bool absent) {
        const auto it = props.constFind(QString::fromLatin1(name));
        if (it == props.constEnd()) {
            return;
        }
        const bool value = flag(*it).value_or(absent);
        if (value != field) {
            field = value;
            change.any = true;
        }
    };
    capability("CanControl", p.caps.canControl, true);
    capability("CanPlay", p.caps.canPlay, false);
    capability("CanPause", p.caps.canPause, false);
    capability("CanGoNext", p.caps.canGoNext, false);
    capability("CanGoPrevious", p.caps.canGoPrevious, false);
    capability("CanSeek", p.caps.canSeek, false);
    return change;
}

bool applyRootProperties(MediaPlayer& p, const QVariantMap& props) {
    bool changed = false;
    auto take = [&](const char* name, QString& field) {
        const auto it = props.constFind(QString::fromLatin1(name));
        if (it != props.constEnd() && text(*it) != field) {
            field = text(*it);
            changed = true;
        }
    };
    take("Identity", p.identity);
    take("DesktopEntry", p.desktopEntry);
    const PlayerFamily family = familyOf(p.busName, p.identity, p.desktopEntry);
    if (family != p.family) {
        p.family = family;
        changed = true;
    }
    return changed;
}

}  // namespace korvo::mpris
