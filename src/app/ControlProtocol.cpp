#include "ControlProtocol.h"

#include <cmath>

namespace korvo::control {

namespace {
constexpr int kMaxText = 200;
constexpr double kMaxToastSeconds = 60;
}  // namespace

QStringList activityKinds() {
    return {QStringLiteral("download"), QStringLiteral("timer"), QStringLiteral("build"),
            QStringLiteral("custom")};
}

std::optional<int> parsePriority(const QString& text) {
    const QStringList names{QStringLiteral("low"), QStringLiteral("normal"), QStringLiteral("high"),
                            QStringLiteral("critical")};
    const auto i = names.indexOf(text.trimmed().toLower());
    if (i >= 0) {
        return static_cast<int>(i);
    }
    bool ok = false;
    const int n = text.toInt(&ok);
    if (ok && n >= 0 && n <= 3) {
        return n;
    }
    return std::nullopt;
}

std::optional<QString> validate(const ToastRequest& r) {
    if (r.title.trimmed().isEmpty()) {
        return QStringLiteral("a toast needs a title");
    }
    if (r.icon.trimmed().isEmpty()) {
        return QStringLiteral("a toast needs an icon (a symbol name such as bell.fill)");
    }
    if (r.title.size() > kMaxText || r.subtitle.size() > kMaxText || r.icon.size() > kMaxText) {
        return QStringLiteral("texts are limited to %1 characters").arg(kMaxText);
    }
    if (!std::isfinite(r.duration) || r.duration <= 0 || r.duration > kMaxToastSeconds) {
        return QStringLiteral("duration must be more than 0 and at most %1 seconds")
            .arg(kMaxToastSeconds);
    }
    if (r.priority < 0 || r.priority > 3) {
        return QStringLiteral("priority must be low, normal, high or critical");
    }
    return std::nullopt;
}

std::optional<QString> validate(const ActivityRequest& r, bool needsContent) {
    if (r.id.trimmed().isEmpty() || r.id.size() > kMaxText) {
        return QStringLiteral("an activity needs an id of at most %1 characters").arg(kMaxText);
    }
    if (!needsContent) {
        return std::nullopt;
    }
    if (!activityKinds().contains(r.kind)) {
        return QStringLiteral("kind must be one of: ") + activityKinds().join(QStringLiteral(", "));
    }
    if (r.title.trimmed().isEmpty()) {
        return QStringLiteral("an activity needs a title");
    }
    if (r.icon.trimmed().isEmpty()) {
        return QStringLiteral("an activity needs an icon (a symbol name such as star.fill)");
    }
    if (r.title.size() > kMaxText || r.subtitle.size() > kMaxText || r.icon.size() > kMaxText) {
        return QStringLiteral("texts are limited to %1 characters").arg(kMaxText);
    }
    if (!std::isfinite(r.progress) || r.progress > 1) {
        return QStringLiteral("progress must be between 0 and 1");
    }
    if (r.priority < 0 || r.priority > 3) {
        return QStringLiteral("priority must be low, normal, high or critical");
    }
    return std::nullopt;
}

bool ActivityLimit::admit(const QString& id) {
    if (m_live.contains(id)) {
        return true;
    }
    if (live() >= kMaxLiveActivities) {
        return false;
    }
    m_live.insert(id);
    return true;
}

void ActivityLimit::release(const QString& id) {
    m_live.remove(id);
}

QString ActivityLimit::refusal() {
    return QStringLiteral(
               "Korvo already shows %1 activities started from outside; end one first "
               "(korvoctl activity end ID)")
        .arg(kMaxLiveActivities);
}

}  // namespace korvo::control
