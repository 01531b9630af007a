#pragma once

#include "activities/Activity.h"

#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace korvo {

/// A short toast. Its id is a fresh UUID, so two toasts with equal texts stay distinct.
struct TransientNotification {
    QUuid id = QUuid::createUuid();
    QString icon;
    QString title;
    std::optional<QString> subtitle;
    double duration = 2.5;
    ActivityPriority priority = ActivityPriority::normal;
    std::function<void()> action;  // empty when the toast offers nothing

    static TransientNotification make(QString icon, QString title, std::optional<QString> subtitle,
                                      double duration, ActivityPriority priority,
                                      std::function<void()> action = {}) {
        TransientNotification t;
        t.icon = std::move(icon);
        t.title = std::move(title);
        t.subtitle = std::move(subtitle);
        t.duration = duration;
        t.priority = priority;
        t.action = std::move(action);
        return t;
    }
};

}  // namespace korvo
