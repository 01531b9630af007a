#pragma once

#include "activities/Activity.h"
#include "core/NotchGeometry.h"
#include "core/TransientNotification.h"
#include "ui/kit/Interaction.h"
#include "ui/kit/View.h"

#include <optional>

namespace korvo {

class IslandViewModel;

/// The contents of each presentation, given the room the island gives them.
ui::View compactActivityView(const ui::ViewContext& ctx, const std::optional<Activity>& activity,
                             const NotchGeometry& notch);
ui::View mediumActivityView(const ui::ViewContext& ctx, const std::optional<Activity>& activity);
ui::View expandedActivityView(const ui::ViewContext& ctx, const std::optional<Activity>& activity);
ui::View hudView(const ui::ViewContext& ctx);
ui::View toastView(const ui::ViewContext& ctx, const TransientNotification& toast);

}  // namespace korvo
