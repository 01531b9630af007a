#pragma once

#include "app/IslandAccessibility.h"
#include "core/ActivityEngine.h"
#include "core/IslandViewModel.h"
#include "platform/PanelSurface.h"
#include "settings/SettingsStore.h"
#include "ui/island/IslandRootView.h"
#include "ui/kit/Animator.h"
#include "ui/kit/Interaction.h"
#include "ui/kit/Painter.h"

#include <QElapsedTimer>
#include <QImage>
#include <QRegion>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

namespace korvo {

/// Owns the view model and drives the panel surface (X11 window or Wayland layer surface): draws
/// the island only when something changed or an animation runs, keeps the surface's input
/// region on the island, and turns pointer and scroll events into view-model calls. Follows the
/// surface's outputs: when they change the panel is placed again.
class NotchWindowController {
public:
    /// `surface` outlives the controller.
    NotchWindowController(MainLoop& loop, ActivityEngine& engine, SettingsStore& settings,
                          const DebugLog& debugLog, PanelSurface& surface,
                          IslandRootView::UpcomingEvents upcoming = {},
                          IslandServices services = {});
    ~NotchWindowController();

    /// Moves the panel to the top centre of the notch screen and re-measures the notch.
    void reanchor();
    /// Shows the panel without taking focus.
    void show();
    /// Takes the panel off the screen (a full-screen window has the display), as if the
    /// pointer had left it; `show` brings it back.
    void hide();

    IslandViewModel& viewModel() { return m_viewModel; }
    PanelSurface& surface() { return m_surface; }
    /// Frames drawn since start: stays put while the island is settled.
    quint64 framesDrawn() const { return m_frames; }
    /// The bounds of what the latest frame repainted (window coordinates).
    QRect lastRepaint() const { return m_lastRepaint; }
    /// The island as a person would read it: the tree of the latest frame.
    ui::NodePtr currentTree() const { return m_tree; }
    /// The settled look of the current state at `scale`.
    QImage snapshot(double scale);
    /// The screen point is where a right-click happened (used when there is no tray).
    std::function<void(QPoint)> onContextMenu;
    /// Called once, after the first frame is painted (start-up measurements).
    std::function<void()> onFirstFrame;
    /// The name of the output the Display preference chooses; when unset or empty, or when no
    /// output has that name, the notch screen.
    std::function<QString()> chooseOutput;

private:
    void requestFrame();
    void requestFrame(const QRegion& dirty);
    void scheduleFrame(int intervalMs);
    void flushFrame();
    void drawFrame();
    void paint(QPainter& painter, const QRegion& dirty);
    void updateInputRegion();
    void handlePointer(const PanelPointer& event);
    void handleLeave();
    void updateHover(QPointF point);
    void handleScroll(const PanelScroll& event);

    MainLoop& m_loop;
    ActivityEngine& m_engine;
    SettingsStore& m_settings;
    IslandViewModel m_viewModel;
    QElapsedTimer m_clock;
    ui::Animator m_animator;
    ui::Interaction m_interaction;
    IslandRootView::UpcomingEvents m_upcoming;
    IslandServices m_services;
    IslandRootView m_rootView;
    PanelSurface& m_surface;
    std::unique_ptr<QWindow> m_readableStandIn;  // where the panel is no Qt window (Wayland)
    IslandAccessibility m_accessibility;         // the island for screen readers

    ui::NodePtr m_tree;
    std::vector<ui::HitRegion> m_hits;
    std::map<QString, std::function<void(bool)>> m_hoverHandlers;  // ids under the pointer
    QString m_pressedId;
    std::function<void(QPointF, ui::DragPhase)> m_drag;
    QRectF m_dragFrame;
    QPolygonF m_inputOutline;
    QTimer m_frameTimer;
    QElapsedTimer m_sinceFrame;
    bool m_fullFrameWanted = false;
    QRegion m_dirty;
    QRect m_drawnBounds;   // the island and its shade as last painted; empty before the first
    QSizeF m_drawnTarget;  // the size the island was heading for then
    quint64 m_frames = 0;
    QRect m_lastRepaint;
    std::vector<Subscription> m_subscriptions;
};

}  // namespace korvo
