#pragma once

#include "activities/Activity.h"
#include "core/ActivityEngine.h"
#include "core/IslandViewModel.h"
#include "core/MainLoop.h"
#include "settings/Preferences.h"
#include "ui/island/Presentations.h"
#include "ui/kit/Animator.h"
#include "ui/kit/Interaction.h"
#include "ui/kit/View.h"

#include <QPainterPath>
#include <QRectF>

#include <functional>
#include <vector>

namespace korvo {

/// The panel's content: the black island at the top centre, sized by state and focused
/// activity, with its content, the expanded header, the toast pill and the carousel dots.
/// It keeps no state of its own; every build reads the observed objects afresh.
class IslandRootView {
public:
    using UpcomingEvents = std::function<std::vector<CalendarEventInfo>()>;

    IslandRootView(IslandViewModel& viewModel, ActivityEngine& engine,
                   const ViewPreferences& settings, const MainLoop& loop, ui::Animator& animator,
                   const ui::Interaction& interaction, UpcomingEvents upcoming = {},
                   IslandServices services = {});

    /// The whole 700 × 320 panel content for the current state.
    ui::View build();

    /// The island's rectangle in panel coordinates as last built (animated, hover scale
    /// included): the part of the panel that takes the pointer.
    QRectF islandRect() const { return m_islandRect; }
    /// The island's outline as last built, in panel coordinates.
    QPainterPath islandOutline() const;
    /// The size the island is heading for.
    QSizeF targetSize() const;

    /// The header texts of the expanded card (empty title: no header).
    struct Header {
        QString title;
        QString detail;
    };
    static Header headerFor(const Activity& focused, const QDateTime& now);

private:
    ui::View island();
    ui::View content(IslandState state, const std::optional<Activity>& focused);
    ui::View header(const std::optional<Activity>& focused, double h);
    ui::View toastPill(double h);
    ui::View carouselDots();

    IslandViewModel& m_viewModel;
    ActivityEngine& m_engine;
    const ViewPreferences& m_settings;
    const MainLoop& m_loop;
    ui::Animator& m_animator;
    const ui::Interaction& m_interaction;
    UpcomingEvents m_upcoming;
    IslandServices m_services;
    QRectF m_islandRect;
    double m_islandRadius = 0;
};

}  // namespace korvo
