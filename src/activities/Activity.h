#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QImage;

namespace korvo {

enum class ActivityPriority { low = 0, normal = 1, high = 2, critical = 3 };

std::optional<ActivityPriority> activityPriorityFromRaw(int raw);
inline int rawValue(ActivityPriority p) {
    return static_cast<int>(p);
}

/// Which kind of player a reading came from: the Spotify client, any other desktop player, a
/// browser tab, or nobody known.
enum class MediaSource { spotify, player, browser, unknown };

QString rawValue(MediaSource s);
std::optional<MediaSource> mediaSourceFromRaw(const QString& raw);

/// Decoded cover art, shared by reference between readings.
using SharedImage = std::shared_ptr<const QImage>;

struct NowPlayingInfo {
    QString title;
    QString artist;
    std::optional<QString> album;
    SharedImage artwork;
    std::optional<QString> artworkURL;
    bool isPlaying = false;
    double duration = 0;
    double elapsed = 0;
    MediaSource sourceApp = MediaSource::unknown;
    std::optional<QString> sourceLabel;
    std::optional<double> volume;
    // The controls the player offers for this track; a control it does not offer is not shown
    // as one and sends nothing.
    bool canPlayPause = false;
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canSeek = false;
    bool canSetVolume = false;

    // A reading is news only when the text, the play state, the whole second of playback or
    // the presence of artwork changed; volume, album and duration alone are not.
    bool operator==(const NowPlayingInfo& other) const;
};

struct BatteryInfo {
    int percentage = 0;
    bool isCharging = false;
    std::optional<double> timeRemaining;
};

struct BluetoothDeviceInfo {
    QString name;
    QString icon;
    std::optional<int> batteryLevel;
};

struct CalendarEventInfo {
    QString title;
    QDateTime start;
    QDateTime end;
    std::optional<QUrl> joinURL;
    std::optional<QString> provider;
    std::optional<QColor> color;

    bool operator==(const CalendarEventInfo& other) const = default;

    bool isOngoing(const QDateTime& now) const;
    QString countdown(const QDateTime& now) const;
};

struct ClipboardInfo {
    QString latest;
    int count = 0;
    bool isOTP = false;

    bool operator==(const ClipboardInfo& other) const = default;
};

struct ConnectedDeviceInfo {
    enum class Kind {
        iphone,
        ipad,
        watch,
        airpods,
        airpodsPro,
        airpodsMax,
        headphones,
        keyboard,
        mouse,
        trackpad,
        other
    };

    QString id;
    QString name;
    Kind kind = Kind::other;
    std::optional<int> battery;
    std::optional<bool> isCharging;
    bool isLinkActive = false;

    bool operator==(const ConnectedDeviceInfo& other) const = default;

    QString symbol() const;
};

QString rawValue(ConnectedDeviceInfo::Kind k);
std::optional<ConnectedDeviceInfo::Kind> deviceKindFromRaw(const QString& raw);

struct GenericPayload {
    QString icon;
    QString title;
    std::optional<QString> subtitle;
    std::optional<double> progress;
};

/// The statistics card carries no data of its own; views read the sampler.
struct SystemStatsPayload {};

using ActivityPayload =
    std::variant<NowPlayingInfo, BatteryInfo, BluetoothDeviceInfo, CalendarEventInfo, ClipboardInfo,
                 std::vector<ConnectedDeviceInfo>, GenericPayload, SystemStatsPayload>;

/// Index of each payload case, in declaration order.
enum class PayloadCase {
    nowPlaying = 0,
    battery,
    bluetooth,
    calendar,
    clipboard,
    devices,
    generic,
    systemStats
};

inline PayloadCase payloadCase(const ActivityPayload& p) {
    return static_cast<PayloadCase>(p.index());
}

struct Activity {
    enum class Kind {
        nowPlaying,
        battery,
        download,
        timer,
        meeting,
        build,
        screenshot,
        bluetooth,
        clipboard,
        custom
    };

    QString id;
    Kind kind = Kind::custom;
    ActivityPriority priority = ActivityPriority::normal;
    QDateTime startedAt;
    ActivityPayload payload = SystemStatsPayload{};
    // Deliberately no operator==: activities are matched by id alone.
};

QString rawValue(Activity::Kind k);
std::optional<Activity::Kind> activityKindFromRaw(const QString& raw);

}  // namespace korvo
