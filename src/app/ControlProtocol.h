#pragma once

#include <QSet>
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

/// The activities that outside callers keep live, at most `kMaxLiveActivities` at a time, so a
/// script gone wrong can't flood the island (or its memory) with activities.
class ActivityLimit {
public:
    static constexpr int kMaxLiveActivities = 64;

    /// Whether `id` may be started (or updated, which starts an unknown id); counts it when so.
    /// An id already live always may.
    bool admit(const QString& id);
    void release(const QString& id);
    int live() const { return static_cast<int>(m_live.size()); }

    /// What the caller is told when the limit is reached.
    static QString refusal();

private:
    QSet<QString> m_live;
};

}  // namespace korvo::control
