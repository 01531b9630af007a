#include "NotchWindowController.h"

#include "core/NotchGeometry.h"
#include "core/ScrollAdapter.h"
#include "ui/island/IslandRenderer.h"
#include "ui/kit/Layout.h"
#include "ui/kit/Reuse.h"

namespace korvo {

namespace {

QRect panelRect() {
    return {0, 0, static_cast<int>(kPanelWidth), static_cast<int>(kPanelHeight)};
}

bool holdsInteraction(const ui::Node& n) {
    return n.kind == ui::Node::Kind::interactive ||
           std::any_of(n.children.begin(), n.children.end(),
                       [](const ui::NodePtr& c) { return c && holdsInteraction(*c); });
}

}  // namespace

NotchWindowController::NotchWindowController(MainLoop& loop, ActivityEngine& engine,
                                             SettingsStore& settings, const DebugLog& debugLog,
                                             PanelSurface& surface,
                                             IslandRootView::UpcomingEvents upcoming,
                                             IslandServices services)
    : m_loop(loop),
      m_engine(engine),
      m_settings(settings),
      m_viewModel(loop, engine, settings, debugLog, NotchGeometry{}),
      m_animator([&loop] { return loop.monotonicNow(); }),
      m_upcoming(std::move(upcoming)),
      m_services(std::move(services)),
      m_rootView(m_viewModel, engine, settings, loop, m_animator, m_interaction, m_upcoming,
                 m_services),
      m_surface(surface),
      m_readableStandIn(surface.qtWindow() ? nullptr : readableStandIn()),
      m_accessibility(surface.qtWindow() ? *surface.qtWindow() : *m_readableStandIn,
                      [this] { requestFrame(); }) {
    m_surface.onFrame = [this] { drawFrame(); };
    m_surface.onExposed = [this] {
        m_repaintAll = true;
        requestFrame();
    };
    m_surface.onPointer = [this](const PanelPointer& e) { handlePointer(e); };
    m_surface.onScroll = [this](const PanelScroll& e) { handleScroll(e); };
    m_surface.onOutputsChanged = [this] { reanchor(); };

    auto redraw = [this](const auto&) { requestFrame(); };
    m_subscriptions.push_back(m_viewModel.state.subscribe(redraw));
    m_subscriptions.push_back(m_viewModel.isHovering.subscribe(redraw));
    m_subscriptions.push_back(m_viewModel.slideEdge.subscribe(redraw));
    m_subscriptions.push_back(m_viewModel.notchGeometry.subscribe(redraw));
    m_subscriptions.push_back(m_engine.activities.subscribe(redraw));
    m_subscriptions.push_back(m_engine.focused.subscribe(redraw));
    m_subscriptions.push_back(m_engine.toastQueue.subscribe(redraw));
    m_subscriptions.push_back(m_settings.observe(redraw));
    // What the cards read: the calendar, the clipboard history and the statistics.
    for (const ChangeObserver* observe :
         {&m_services.calendar.observe, &m_services.clipboard.observe, &m_services.stats.observe}) {
        if (*observe) {
            m_subscriptions.push_back((*observe)([this] { requestFrame(); }));
        }
    }
}

NotchWindowController::~NotchWindowController() {
    m_surface.onFrame = {};
    m_surface.onExposed = {};
    m_surface.onPointer = {};
    m_surface.onScroll = {};
    m_surface.onOutputsChanged = {};
}

void NotchWindowController::reanchor() {
    const std::vector<ScreenInfo> outputs = m_surface.outputs();
    auto chosen = chooseNotchScreen(outputs, m_surface.mainOutput());
    if (const QString wanted = chooseOutput ? chooseOutput() : QString(); !wanted.isEmpty()) {
        const auto named = std::find_if(outputs.begin(), outputs.end(),
                                        [&](const ScreenInfo& o) { return o.name == wanted; });
        if (named != outputs.end()) {
            chosen = static_cast<std::size_t>(named - outputs.begin());
        }
    }
    if (!chosen) {
        return;  // nowhere to go: stay where we are
    }
    m_surface.placeAtTopCentre(*chosen);
    m_viewModel.notchGeometry.set(measureNotch(outputs[*chosen]));
}

void NotchWindowController::show() {
    m_hidden = false;
    m_repaintAll = true;
    m_surface.show();
    requestFrame();
}

void NotchWindowController::hide() {
    m_router.leave();
    m_rebuild = true;
    m_surface.hide();
    // Nothing is drawn while hidden: the pace stops, and `show` starts it again.
    m_hidden = true;
    m_asked = false;
    m_ticker = {};
    m_tickerInterval = 0;
    m_soon = {};
}

// Pacing. A frame is asked of the surface only from a task of the main loop, never from inside
// a frame or an event handler, and what a frame owes stays owed until a frame is drawn: the
// chain of frames does not hang on any one frame being painted.

void NotchWindowController::requestFrame() {
    m_rebuild = true;
    schedule(false);
}

// The pointer wants an answer within a frame, even while only the slower pieces move.
void NotchWindowController::requestPromptFrame() {
    m_rebuild = true;
    schedule(true);
}

bool NotchWindowController::wantsFrame() const {
    return m_rebuild || m_piecesDue || m_repaintAll;
}

void NotchWindowController::schedule(bool prompt) {
    if (m_hidden || m_inFrame) {
        return;  // `show`, or the end of the frame, schedules what is owed
    }
    // The repeating task follows what moves, at its pace.
    const double interval = m_motion == Motion::everything ? kFrameInterval
                            : m_motion == Motion::pieces   ? kPieceInterval
                                                           : 0;
    if (interval != m_tickerInterval) {
        m_ticker =
            interval > 0 ? m_loop.scheduleRepeating(interval, 0, [this] { tick(); }) : TaskHandle{};
        m_tickerInterval = interval;
    }
    if (!wantsFrame() || m_asked) {
        return;
    }
    // A change while something moves rides the next frame of the motion; otherwise (or for the
    // pointer, while only the pieces move) a frame comes as soon as the pace allows.
    if (m_tickerInterval > 0 && (!prompt || m_tickerInterval <= kFrameInterval)) {
        return;
    }
    const double now = m_loop.monotonicNow();
    const double at = std::max(now, m_lastFrameAt + kFrameInterval);
    if (m_soon.isActive() && m_soonAt <= at) {
        return;
    }
    m_soonAt = at;
    m_soon = m_loop.postDelayed(at - now, [this] {
        m_soon = {};
        ask();
    });
}

void NotchWindowController::tick() {
    if (m_motion == Motion::everything) {
        m_rebuild = true;
    } else if (m_motion == Motion::pieces) {
        m_piecesDue = true;
    }
    ask();
}

void NotchWindowController::ask() {
    if (m_asked || m_hidden || !wantsFrame()) {
        return;
    }
    m_asked = true;
    m_surface.requestFrame();  // may draw at once
}

// The surface can take a frame: draw what is owed.
void NotchWindowController::drawFrame() {
    m_asked = false;
    if (!m_hidden && wantsFrame()) {
        m_inFrame = true;
        const QRegion region = prepareFrame();
        m_painted = false;
        if (!region.isEmpty()) {
            m_surface.drawFrame(region, [this, &region](QPainter& p) { paint(p, region); });
            if (!m_painted) {
                m_repaintAll = true;  // the surface could not take it: its pixels are behind
            }
        }
        m_inFrame = false;
    }
    schedule(false);
}

// Brings the tree up to date and returns what must be painted. What is asked for while the
// frame is drawn is owed to the next one.
QRegion NotchWindowController::prepareFrame() {
    const bool whole = m_rebuild || m_repaintAll || !m_tree;
    const bool pieces = m_piecesDue;
    const bool repaintAll = m_repaintAll;
    m_rebuild = false;
    m_piecesDue = false;
    m_repaintAll = false;
    m_lastFrameAt = m_loop.monotonicNow();
    const std::uint64_t before = ui::nodesMade();
    QRegion region;
    if (whole) {
        region = buildWhole(repaintAll);
    } else if (pieces) {
        m_animator.beginPieceFrame();
        const bool fits = std::all_of(m_pieceNodes.begin(), m_pieceNodes.end(),
                                      [](ui::Node* piece) { return ui::rebuildPiece(*piece); });
        if (fits) {
            if (m_piecesHoldHits) {
                m_router.setTree(m_tree);  // their regions point into their new content
            }
            region = m_piecesRegion;
        } else {
            region = buildWhole(false);  // a piece no longer fits where it was
        }
    }
    m_nodesBuilt = ui::nodesMade() - before;
    return region;
}

QRegion NotchWindowController::buildWhole(bool repaintAll) {
    const bool wasMoving = m_motion == Motion::everything;
    const QSet<QString> pieces = m_pieces;
    m_animator.beginFrame();
    ui::NodePtr fresh = m_rootView.build().node();
    m_animator.endFrame();
    // Unless everything was moving anyway, a tree that looks like the last one (its moving
    // pieces aside) keeps its layout and repaints only those pieces.
    const bool same =
        m_tree && !repaintAll && !wasMoving && ui::adoptLayout(*fresh, *m_tree, pieces);
    if (!same) {
        ui::layout(*fresh, {kPanelWidth, kPanelHeight});
    }
    m_tree = fresh;
    m_router.setTree(m_tree);
    m_accessibility.update(m_tree);
    updateInputRegion();
    settleMotion();
    if (same) {
        return m_piecesRegion;
    }
    // Everything is drawn inside the island and its shade: repaint where it was and where it
    // is now. The widest shade is 18 pt of blur, drawn out to twice that, 4 pt down.
    constexpr int kShade = 44;
    const QRect bounds = m_rootView.islandOutline()
                             .boundingRect()
                             .toAlignedRect()
                             .adjusted(-kShade, -kShade, kShade, kShade)
                             .intersected(panelRect());
    QRegion region = repaintAll || m_drawnBounds.isEmpty() ? QRegion(panelRect())
                                                           : QRegion(m_drawnBounds) + bounds;
    m_drawnBounds = bounds;
    return region;
}

// What keeps moving after a whole build, and so the pace of the frames to come. While only
// pieces move, where they are and what they hold stays put until the next whole build.
void NotchWindowController::settleMotion() {
    m_pieces.clear();
    m_pieceNodes.clear();
    m_piecesRegion = QRegion();
    m_piecesHoldHits = false;
    if (m_animator.isSettled()) {
        m_motion = Motion::none;
        return;
    }
    m_motion = Motion::everything;
    if (!m_animator.onlyRegionsMove()) {
        return;
    }
    for (const auto& hit : m_router.regions()) {
        if (hit.node->rebuild && m_animator.activeRegions().contains(hit.node->id)) {
            m_pieces.insert(hit.node->id);
            m_piecesRegion += hit.rect.toAlignedRect().adjusted(-1, -1, 1, 1);
        }
    }
    if (m_pieces != m_animator.activeRegions()) {
        m_pieces.clear();
        return;  // something moves that cannot be built alone
    }
    m_motion = Motion::pieces;
    m_piecesRegion &= panelRect();
    m_pieceNodes = ui::piecesIn(*m_tree, m_pieces);
    m_piecesHoldHits = std::any_of(m_pieceNodes.begin(), m_pieceNodes.end(), [](ui::Node* n) {
        return holdsInteraction(*n->children.front());
    });
}

void NotchWindowController::paint(QPainter& painter, const QRegion& dirty) {
    m_painted = true;
    ++m_frames;
    m_lastRepaint = dirty.boundingRect();
    ui::paint(*m_tree, painter);
    if (m_frames == 1 && onFirstFrame) {
        onFirstFrame();
    }
}

void NotchWindowController::updateInputRegion() {
    QPolygonF outline = m_rootView.islandOutline().toFillPolygon();
    if (outline == m_inputOutline) {
        return;
    }
    m_inputOutline = std::move(outline);
    m_surface.setInputRegion(m_inputOutline);
}

void NotchWindowController::handlePointer(const PanelPointer& e) {
    const QPointF p = e.position;
    bool changed = false;
    switch (e.kind) {
        case PanelPointer::Kind::enter:
        case PanelPointer::Kind::motion:
            changed = m_router.move(p);
            break;
        case PanelPointer::Kind::leave:
            changed = m_router.leave();
            break;
        case PanelPointer::Kind::press:
            if (e.button == Qt::RightButton) {
                if (onContextMenu) {
                    onContextMenu(e.screenPosition.toPoint());
                }
            } else if (e.button == Qt::LeftButton) {
                changed = m_router.press(p);
            }
            break;
        case PanelPointer::Kind::release:
            if (e.button == Qt::LeftButton) {
                changed = m_router.release(p);
            }
            break;
    }
    if (changed) {
        requestPromptFrame();
    }
}

void NotchWindowController::handleScroll(const PanelScroll& e) {
    const WheelInput& in = e.wheel;
    if (const auto scroll = adaptScroll(in)) {
        m_viewModel.scroll(scroll->first, scroll->second);
    }
    // Then the views under the pointer (the clipboard list scrolls itself), in points: a
    // wheel notch moves a list by about one row.
    constexpr double kPointsPerNotch = 30;
    if (!in.hasMomentumPhase) {
        const QPointF delta(in.dx, in.dy);
        const QPointF points = in.hasPreciseDeltas ? delta : delta * kPointsPerNotch;
        if (m_router.wheel(e.position, points.x(), points.y())) {
            requestPromptFrame();
        }
    }
}

QImage NotchWindowController::snapshot(double scale) {
    ui::Animator settled([] { return 0.0; });
    settled.setImmediate(true);
    IslandRootView view(m_viewModel, m_engine, m_settings, m_loop, settled, m_interaction,
                        m_upcoming, m_services);
    return renderPanel(view, settled, scale);
}

}  // namespace korvo
