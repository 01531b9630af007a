#include "NotchWindowController.h"

#include "core/NotchGeometry.h"
#include "core/ScrollAdapter.h"
#include "ui/island/IslandRenderer.h"
#include "ui/kit/Layout.h"

namespace korvo {

namespace {

bool hasHover(const ui::Node& n) {
    return static_cast<bool>(n.onHover) && !n.id.isEmpty();
}
bool pressable(const ui::Node& n) {
    return n.onClick || n.onDrag;
}

QRect panelRect() {
    return {0, 0, static_cast<int>(kPanelWidth), static_cast<int>(kPanelHeight)};
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
      m_animator([this] { return static_cast<double>(m_clock.nsecsElapsed()) / 1e9; }),
      m_upcoming(std::move(upcoming)),
      m_services(std::move(services)),
      m_rootView(m_viewModel, engine, settings, loop, m_animator, m_interaction, m_upcoming,
                 m_services),
      m_surface(surface),
      m_readableStandIn(surface.qtWindow() ? nullptr : readableStandIn()),
      m_accessibility(surface.qtWindow() ? *surface.qtWindow() : *m_readableStandIn,
                      [this] { requestFrame(); }) {
    m_clock.start();
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_frameTimer, &QTimer::timeout, &m_frameTimer, [this] { flushFrame(); });
    m_surface.onFrame = [this] { drawFrame(); };
    m_surface.onExposed = [this] { requestFrame(); };
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
    m_surface.show();
    requestFrame();
}

void NotchWindowController::hide() {
    handleLeave();
    m_surface.hide();
}

namespace {
// Frames while the island itself moves, and the slower pace of the looping bars alone: their
// 0.4 s swings read smoothly at 25 frames a second (ten steps a swing), at well under half the
// cost. Each of their frames costs the window system far more than the drawing itself.
constexpr int kFrameMs = 16;
constexpr int kRegionFrameMs = 40;
}  // namespace

void NotchWindowController::requestFrame() {
    m_fullFrameWanted = true;
    scheduleFrame(kFrameMs);
}

void NotchWindowController::requestFrame(const QRegion& dirty) {
    m_dirty += dirty;
    scheduleFrame(kRegionFrameMs);
}

void NotchWindowController::scheduleFrame(int intervalMs) {
    // A change right after a quiet spell draws at once; frames in a row keep their pace.
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : intervalMs;
    const int wait = static_cast<int>(std::max<qint64>(0, intervalMs - since));
    if (!m_frameTimer.isActive() || m_frameTimer.remainingTime() > wait) {
        m_frameTimer.start(wait);
    }
}

void NotchWindowController::flushFrame() {
    if (m_fullFrameWanted || !m_dirty.isEmpty()) {
        m_surface.requestFrame();
    }
}

// The surface is ready for a frame: draw what was asked for since the last one.
void NotchWindowController::drawFrame() {
    QRegion region;
    if (m_fullFrameWanted) {
        // Everything is drawn inside the island and its shade. While the island holds its size
        // (nothing but the bars moving, and no new size wanted) a change shows only in there, and
        // any animation it starts begins where the island stands: repaint that, not the panel.
        const bool holdsItsSize = !m_drawnBounds.isEmpty() &&
                                  (m_animator.isSettled() || m_animator.onlyRegionsMove()) &&
                                  m_rootView.targetSize() == m_drawnTarget;
        region = holdsItsSize ? m_dirty + m_drawnBounds : QRegion(panelRect());
    } else {
        region = m_dirty;
    }
    m_fullFrameWanted = false;
    m_dirty = QRegion();
    if (region.isEmpty()) {
        return;
    }
    m_surface.drawFrame(region, [this, &region](QPainter& p) { paint(p, region); });
}

void NotchWindowController::paint(QPainter& painter, const QRegion& dirty) {
    m_sinceFrame.start();
    ++m_frames;
    m_lastRepaint = dirty.boundingRect();
    m_animator.beginFrame();
    ui::View root = m_rootView.build();
    m_animator.endFrame();
    m_tree = root.node();
    ui::layout(*m_tree, {kPanelWidth, kPanelHeight});
    m_accessibility.update(m_tree);
    ui::paint(*m_tree, painter);
    m_hits = ui::collectHits(*m_tree);
    updateInputRegion();
    // The widest shade is 18 pt of blur, drawn out to twice that, 4 pt down.
    constexpr int kShade = 44;
    m_drawnBounds = m_rootView.islandOutline()
                        .boundingRect()
                        .toAlignedRect()
                        .adjusted(-kShade, -kShade, kShade, kShade)
                        .intersected(panelRect());
    m_drawnTarget = m_rootView.targetSize();
    if (m_animator.onlyRegionsMove()) {
        // Only small looping pieces (the equalizer bars) move: redraw just their rectangles.
        QRegion regions;
        for (const auto& hit : m_hits) {
            if (m_animator.activeRegions().contains(hit.node->id)) {
                regions += hit.rect.toAlignedRect().adjusted(-1, -1, 1, 1);
            }
        }
        if (regions.isEmpty()) {
            requestFrame();
        } else {
            requestFrame(regions);
        }
    } else if (!m_animator.isSettled()) {
        requestFrame();  // keep drawing while anything moves; nothing once settled
    }
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

void NotchWindowController::updateHover(QPointF point) {
    std::map<QString, std::function<void(bool)>> now;
    QSet<QString> ids;
    for (const auto& h : m_hits) {
        if (h.rect.contains(point) && !h.node->id.isEmpty()) {
            ids.insert(h.node->id);
            if (hasHover(*h.node)) {
                now[h.node->id] = h.node->onHover;
            }
        }
    }
    // Leaving first, then entering, so a view model sees out-then-in in order.
    for (const auto& [id, handler] : m_hoverHandlers) {
        if (!now.count(id)) {
            handler(false);
        }
    }
    for (const auto& [id, handler] : now) {
        if (!m_hoverHandlers.count(id)) {
            handler(true);
        }
    }
    m_hoverHandlers = std::move(now);
    if (ids != m_interaction.hovered()) {
        m_interaction.setHovered(ids);
        requestFrame();
    }
}

void NotchWindowController::handleLeave() {
    for (const auto& [id, handler] : m_hoverHandlers) {
        handler(false);
    }
    m_hoverHandlers.clear();
    m_interaction.setHovered({});
    requestFrame();
}

void NotchWindowController::handlePointer(const PanelPointer& e) {
    const QPointF p = e.position;
    switch (e.kind) {
        case PanelPointer::Kind::enter:
        case PanelPointer::Kind::motion:
            updateHover(p);
            if (m_drag) {
                m_drag(p - m_dragFrame.topLeft(), ui::DragPhase::moved);
                requestFrame();  // a slider follows the pointer
            }
            break;
        case PanelPointer::Kind::leave:
            handleLeave();
            break;
        case PanelPointer::Kind::press: {
            if (e.button == Qt::RightButton) {
                if (onContextMenu) {
                    onContextMenu(e.screenPosition.toPoint());
                }
                break;
            }
            if (e.button != Qt::LeftButton) {
                break;
            }
            updateHover(p);
            if (const auto* hit = ui::hitTest(m_hits, p, pressable)) {
                m_pressedId = hit->node->id;
                m_interaction.setPressed(m_pressedId);
                if (hit->node->onDrag) {
                    m_drag = hit->node->onDrag;
                    m_dragFrame = hit->rect;
                    m_drag(p - m_dragFrame.topLeft(), ui::DragPhase::began);
                }
                requestFrame();
            }
            break;
        }
        case PanelPointer::Kind::release: {
            if (e.button != Qt::LeftButton) {
                break;
            }
            if (m_drag) {
                auto drag = std::exchange(m_drag, {});
                drag(p - m_dragFrame.topLeft(), ui::DragPhase::ended);
            }
            // A click counts when it ends on the region it started on.
            const auto* hit = ui::hitTest(m_hits, p, pressable);
            const bool same = hit && hit->node->id == m_pressedId && hit->node->onClick;
            m_pressedId.clear();
            m_interaction.setPressed({});
            if (same) {
                auto click = hit->node->onClick;
                click();
            }
            requestFrame();
            break;
        }
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
    const auto* hit = ui::hitTest(m_hits, e.position,
                                  [](const ui::Node& n) { return static_cast<bool>(n.onScroll); });
    if (hit && !in.hasMomentumPhase) {
        const QPointF delta(in.dx, in.dy);
        const QPointF points = in.hasPreciseDeltas ? delta : delta * kPointsPerNotch;
        hit->node->onScroll(points.x(), points.y());
        requestFrame();
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
