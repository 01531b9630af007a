#pragma once

#include "activities/Activity.h"
#include "core/MediaControls.h"
#include "core/NotchGeometry.h"
#include "core/TransientNotification.h"
#include "settings/Preferences.h"
#include "ui/cards/CardSources.h"
#include "ui/kit/Interaction.h"
#include "ui/kit/View.h"

#include <QDateTime>
#include <QUrl>

#include <functional>
#include <optional>

namespace korvo {

class IslandViewModel;

/// What the presentations reach beyond the activity they show. Every member may stay empty.
struct IslandServices {
    MediaControls* media = nullptr;            // null: the playback buttons do nothing
    std::function<bool()> lowPowerMode;        // empty: never in low-power mode
    std::function<void(const QUrl&)> openURL;  // empty: the desktop's default handler
    CalendarSource calendar{};
    ClipboardSource clipboard{};
    StatsSource stats{};
};

/// Everything a presentation may use while it is built.
struct PresentationContext {
    ui::ViewContext ui;
    QDateTime now;  // wall clock, for countdowns
    const IslandServices& services;
    const ViewPreferences& settings;

    MediaControls& media() const;
    bool lowPowerMode() const;
    std::function<void(const QUrl&)> urlOpener() const;
};

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
