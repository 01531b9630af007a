#pragma once

#include "core/EventBus.h"

#include <QStringList>

#include <variant>
#include <vector>

namespace korvo::test {

// What reaches the island from the bus, in order: "started id", "updated id", "ended id" and
// "toast title", with the toasts and activities themselves.
struct Posted {
    explicit Posted(EventBus& bus)
        : m_sub(bus.subscribe([this](const IslandEvent& e) { take(e); })) {}

    QStringList toastTitles() const {
        QStringList out;
        for (const auto& t : toasts) {
            out << t.title;
        }
        return out;
    }

    QStringList log;
    std::vector<TransientNotification> toasts;
    std::vector<Activity> activities;  // started or updated

private:
    void take(const IslandEvent& e) {
        if (const auto* t = std::get_if<TransientNotification>(&e)) {
            toasts.push_back(*t);
            log << QStringLiteral("toast ") + t->title;
        } else if (const auto* s = std::get_if<ActivityStarted>(&e)) {
            activities.push_back(s->activity);
            log << QStringLiteral("started ") + s->activity.id;
        } else if (const auto* u = std::get_if<ActivityUpdated>(&e)) {
            activities.push_back(u->activity);
            log << QStringLiteral("updated ") + u->activity.id;
        } else {
            log << QStringLiteral("ended ") + std::get<ActivityEnded>(e).id;
        }
    }

    Subscription m_sub;
};

}  // namespace korvo::test
