#pragma once

#include "activities/Activity.h"
#include "core/NotchGeometry.h"
#include "core/TransientNotification.h"
#include "ui/kit/View.h"
#include "ui/style/PresentationContext.h"

#include <optional>

namespace korvo {

/// The contents of each presentation, given the room the island gives them.
ui::View compactActivityView(const PresentationContext& ctx,
                             const std::optional<Activity>& activity, const NotchGeometry& notch);
ui::View mediumActivityView(const PresentationContext& ctx,
                            const std::optional<Activity>& activity);
ui::View expandedActivityView(const PresentationContext& ctx,
                              const std::optional<Activity>& activity);
ui::View hudView(const PresentationContext& ctx);
ui::View toastView(const PresentationContext& ctx, const TransientNotification& toast);

}  // namespace korvo
