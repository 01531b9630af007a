#pragma once

#include "core/MediaControls.h"
#include "settings/Preferences.h"
#include "ui/kit/Interaction.h"
#include "ui/kit/View.h"
#include "ui/style/CardSources.h"

#include <QDateTime>
#include <QUrl>

#include <functional>

namespace korvo {

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

}  // namespace korvo
