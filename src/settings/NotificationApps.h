#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace korvo {

/// An application whose desktop notifications Korvo has seen, and whether they become toasts.
struct NotificationApp {
    QString name;
    bool allowed = true;

    bool operator==(const NotificationApp& other) const = default;
};

/// The applications seen, in the order first seen, as stored under the `notificationApps` key
/// (a JSON array of {"name", "allowed"} objects). What cannot be read is left out, so a
/// hand-damaged value loses entries rather than the preference.
namespace notificationapps {

/// At most this many applications are remembered; later ones are shown but not listed.
constexpr std::size_t kMaxApps = 64;
/// Longer names are cut, so one odd sender cannot bloat the preferences.
constexpr int kMaxNameLength = 64;

std::vector<NotificationApp> parse(const QString& stored);
QString serialise(const std::vector<NotificationApp>& apps);

/// Whether notifications of `name` become toasts: listed apps by their flag, others allowed.
bool isAllowed(const std::vector<NotificationApp>& apps, const QString& name);
/// Adds `name` (allowed) when it is new and the list has room; true when the list changed.
bool remember(std::vector<NotificationApp>& apps, const QString& name);
/// Sets the flag of a listed app; true when the list changed.
bool setAllowed(std::vector<NotificationApp>& apps, const QString& name, bool allowed);

}  // namespace notificationapps

}  // namespace korvo
