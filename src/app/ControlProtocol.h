#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace korvo::control {

// The control interface on the session bus. Same user only: the session bus is the user's.
inline constexpr const char* kService = "io.korvo.Korvo";
inline constexpr const char* kPath = "/io/korvo/Korvo";
inline constexpr const char* kInterface = "io.korvo.Korvo1";

/// A toast as asked for from outside.
struct ToastRequest {
    QString icon;
    QString title;
    QString subtitle;  // empty: none
    double duration = 2.5;
    int priority = 1;
};

/// A generic activity as asked for from outside.
struct ActivityRequest {
    QString id;
    QString kind;  // download, timer, build or custom
    QString icon;
    QString title;
    QString subtitle;      // empty: none
    double progress = -1;  // below 0: none
    int priority = 1;
};

/// Why a request is refused, or none when it is fine. Checked by korvoctl before sending and by
/// the island again on arrival, so nothing bad is ever posted.
std::optional<QString> validate(const ToastRequest& r);
std::optional<QString> validate(const ActivityRequest& r, bool needsContent);

/// "low", "normal", "high", "critical" or 0–3.
std::optional<int> parsePriority(const QString& text);

QStringList activityKinds();

}  // namespace korvo::control
