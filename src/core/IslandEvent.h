#pragma once

#include "activities/Activity.h"
#include "core/TransientNotification.h"

#include <variant>

namespace korvo {

struct ActivityStarted {
    Activity activity;
};
struct ActivityUpdated {
    Activity activity;
};
struct ActivityEnded {
    QString id;
};

/// What a service reports, in declaration order: started, updated, ended, toast.
using IslandEvent =
    std::variant<ActivityStarted, ActivityUpdated, ActivityEnded, TransientNotification>;

}  // namespace korvo
