#include "Activity.h"

#include <array>
#include <utility>

namespace korvo {

namespace {

template <typename E, std::size_t N>
std::optional<E> fromTable(const std::array<std::pair<E, const char*>, N>& table,
                           const QString& raw) {
    for (const auto& [value, name] : table) {
        if (raw == QLatin1String(name)) {
            return value;
        }
    }
    return std::nullopt;
}

template <typename E, std::size_t N>
QString toRaw(const std::array<std::pair<E, const char*>, N>& table, E value) {
    for (const auto& [v, name] : table) {
        if (v == value) {
            return QString::fromLatin1(name);
        }
    }
    return {};
}

using AK = Activity::Kind;
constexpr std::array<std::pair<AK, const char*>, 10> kActivityKinds{{
    {AK::nowPlaying, "nowPlaying"},
    {AK::battery, "battery"},
    {AK::download, "download"},
    {AK::timer, "timer"},
    {AK::meeting, "meeting"},
    {AK::build, "build"},
    {AK::screenshot, "screenshot"},
    {AK::bluetooth, "bluetooth"},
    {AK::clipboard, "clipboard"},
    {AK::custom, "custom"},
}};

constexpr std::array<std::pair<MediaSource, const char*>, 4> kMediaSources{{
    {MediaSource::spotify, "spotify"},
    {MediaSource::player, "player"},
    {MediaSource::browser, "browser"},
    {MediaSource::unknown, "unknown"},
}};

using DK = ConnectedDeviceInfo::Kind;
constexpr std::array<std::pair<DK, const char*>, 11> kDeviceKinds{{
    {DK::iphone, "iphone"},
    {DK::ipad, "ipad"},
    {DK::watch, "watch"},
    {DK::airpods, "airpods"},
    {DK::airpodsPro, "airpodsPro"},
    {DK::airpodsMax, "airpodsMax"},
    {DK::headphones, "headphones"},
    {DK::keyboard, "keyboard"},
    {DK::mouse, "mouse"},
    {DK::trackpad, "trackpad"},
    {DK::other, "other"},
}};

constexpr std::array<std::pair<DK, const char*>, 11> kDeviceSymbols{{
    {DK::iphone, "iphone.gen3"},
    {DK::ipad, "ipad"},
    {DK::watch, "applewatch"},
    {DK::airpods, "airpods"},
    {DK::airpodsPro, "airpods.pro"},
    {DK::airpodsMax, "airpods.max"},
    {DK::headphones, "headphones"},
    {DK::keyboard, "keyboard.fill"},
    {DK::mouse, "magicmouse.fill"},
    {DK::trackpad, "rectangle.fill"},
    {DK::other, "wave.3.right.circle.fill"},
}};

}  // namespace

std::optional<ActivityPriority> activityPriorityFromRaw(int raw) {
    if (raw < 0 || raw > 3) {
        return std::nullopt;
    }
    return static_cast<ActivityPriority>(raw);
}

QString rawValue(MediaSource s) {
    return toRaw(kMediaSources, s);
}
std::optional<MediaSource> mediaSourceFromRaw(const QString& raw) {
    return fromTable(kMediaSources, raw);
}

QString rawValue(Activity::Kind k) {
    return toRaw(kActivityKinds, k);
}
std::optional<Activity::Kind> activityKindFromRaw(const QString& raw) {
    return fromTable(kActivityKinds, raw);
}

QString rawValue(ConnectedDeviceInfo::Kind k) {
    return toRaw(kDeviceKinds, k);
}
std::optional<ConnectedDeviceInfo::Kind> deviceKindFromRaw(const QString& raw) {
    return fromTable(kDeviceKinds, raw);
}

QString ConnectedDeviceInfo::symbol() const {
    return toRaw(kDeviceSymbols, kind);
}

bool NowPlayingInfo::operator==(const NowPlayingInfo& other) const {
    // Truncation toward zero: 12.2 s and 12.9 s are the same second.
    auto wholeSeconds = [](double s) { return static_cast<long long>(s); };
    return title == other.title && artist == other.artist && isPlaying == other.isPlaying &&
           wholeSeconds(elapsed) == wholeSeconds(other.elapsed) &&
           static_cast<bool>(artwork) == static_cast<bool>(other.artwork);
}

bool CalendarEventInfo::isOngoing(const QDateTime& now) const {
    return start <= now && now <= end;
}

QString CalendarEventInfo::countdown(const QDateTime& now) const {
    if (now < start) {
        const qint64 minutes = now.msecsTo(start) / 60000;  // truncates toward zero
        if (minutes < 1) {
            return QStringLiteral("now");
        }
        if (minutes < 60) {
            return QStringLiteral("in %1m").arg(minutes);
        }
        return QStringLiteral("in %1h %2m").arg(minutes / 60).arg(minutes % 60);
    }
    const qint64 minutes = now.msecsTo(end) / 60000;
    if (minutes < 1) {
        return QStringLiteral("ending");
    }
    return QStringLiteral("%1m left").arg(minutes);
}

}  // namespace korvo
