#pragma once

#include "app/IslandAccessibility.h"
#include "core/ActivityEngine.h"
#include "core/IslandViewModel.h"
#include "platform/PanelSurface.h"
#include "settings/SettingsStore.h"
#include "ui/island/IslandRootView.h"
#include "ui/kit/Animator.h"
#include "ui/kit/Interaction.h"
#include "ui/kit/PointerRouter.h"

#include <QImage>
#include <QRegion>
#include <QSet>

#include <cstdint>
#include <functional>
#include <memory>

namespace korvo {

/// Owns the view model and drives the panel surface (X11 window or Wayland layer surface): draws
/// the island only when something changed or an animation runs, keeps the surface's input
/// region on the island, and turns pointer and scroll events into view-model calls. Follows the
/// surface's outputs: when they change the panel is placed again.
///
/// Frames are paced on the main loop: while the island moves, a repeating task asks the surface
/// for a frame at the pace of what moves, and each frame the surface grants draws what is due.
/// While only small looping pieces move (the equalizer bars), the laid-out tree is kept and
/// only those pieces are built and repainted; a change that leaves the island looking the same
/// repaints nothing more.
class NotchWindowController {
public:
    /// The pace of frames while the island itself moves, and while only its pieces do: the
    /// bars' 0.4 s sine swings move in even steps of at most 2.3 pt at this pace, smaller than
    /// the 2.7 pt the cubic swings took at 25 frames a second.
    static constexpr double kFrameInterval = 1.0 / 60;
    static constexpr double kPieceInterval = 0.06;

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
    /// Nodes built for the latest frame: the whole tree, or only the pieces that move.
    std::uint64_t nodesBuilt() const { return m_nodesBuilt; }
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
    enum class Motion { none, pieces, everything };

    void requestFrame();
    void requestPromptFrame();
    void schedule(bool prompt);
    bool wantsFrame() const;
    void tick();
    void ask();
    void drawFrame();
    QRegion prepareFrame();
    QRegion buildWhole(bool repaintAll);
    void settleMotion();
    void paint(QPainter& painter, const QRegion& dirty);
    void updateInputRegion();
    void handlePointer(const PanelPointer& event);
    void handleScroll(const PanelScroll& event);

    MainLoop& m_loop;
    ActivityEngine& m_engine;
    SettingsStore& m_settings;
    IslandViewModel m_viewModel;
    ui::Animator m_animator;
    ui::Interaction m_interaction;
    ui::PointerRouter m_router{m_interaction};
    IslandRootView::UpcomingEvents m_upcoming;
    IslandServices m_services;
    IslandRootView m_rootView;
    PanelSurface& m_surface;
    std::unique_ptr<QWindow> m_readableStandIn;  // where the panel is no Qt window (Wayland)
    IslandAccessibility m_accessibility;         // the island for screen readers

    ui::NodePtr m_tree;  // laid out; kept between frames
    QPolygonF m_inputOutline;

    // What the next frame owes: the whole tree built again, the moving pieces built again, the
    // whole panel painted again (the surface lost its pixels).
    bool m_rebuild = true;
    bool m_piecesDue = false;
    bool m_repaintAll = true;
    Motion m_motion = Motion::none;       // what kept moving after the latest whole build
    QSet<QString> m_pieces;               // the pieces that move, when only they do
    std::vector<ui::Node*> m_pieceNodes;  // in the kept tree
    QRegion m_piecesRegion;               // where they are drawn
    bool m_piecesHoldHits = false;        // their content takes the pointer
    bool m_hidden = true;
    bool m_asked = false;    // the surface owes an `onFrame`
    bool m_inFrame = false;  // drawing: requests wait for the frame's end
    bool m_painted = false;
    double m_lastFrameAt = -1e9;
    TaskHandle m_ticker;  // repeats while something moves
    double m_tickerInterval = 0;
    TaskHandle m_soon;  // one frame for a change while nothing moves
    double m_soonAt = 0;

    QRect m_drawnBounds;  // the island and its shade as last painted; empty before the first
    quint64 m_frames = 0;
    QRect m_lastRepaint;
    std::uint64_t m_nodesBuilt = 0;
    std::vector<Subscription> m_subscriptions;
};

}  // namespace korvo
