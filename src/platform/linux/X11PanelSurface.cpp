#include "X11PanelSurface.h"

#include "platform/linux/X11Panel.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QExposeEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSurfaceFormat>
#include <QWheelEvent>

namespace korvo {

namespace {

ScreenInfo infoFor(const QScreen* screen) {
    ScreenInfo info;
    info.frame = screen->geometry();
    info.name = screen->name();
    // X11 screens report no safe area and no camera housing: the 180 × 32 pill applies.
    info.safeAreaTopInset = 0;
    return info;
}

WheelInput wheelInput(const QWheelEvent& e) {
    WheelInput in;
    in.hasMomentumPhase = e.phase() == Qt::ScrollMomentum;
    in.hasPreciseDeltas = !e.pixelDelta().isNull();
    const QPointF delta =
        in.hasPreciseDeltas ? QPointF(e.pixelDelta()) : QPointF(e.angleDelta()) / 120.0;
    in.dx = delta.x();
    in.dy = delta.y();
    in.invertedFromDevice = e.inverted();
    return in;
}

}  // namespace

// Forwards what happens to the window; the surface and the controller decide.
class X11PanelSurface::Window final : public QWindow {
public:
    explicit Window(X11PanelSurface& owner) : m_owner(owner) {
        setSurfaceType(QSurface::RasterSurface);
        QSurfaceFormat format;
        format.setAlphaBufferSize(8);  // a transparent panel: only the island is drawn
        setFormat(format);
        resize(static_cast<int>(kPanelWidth), static_cast<int>(kPanelHeight));
        setTitle(QStringLiteral("Korvo"));
    }

    // A plain window has no accessible root; the panel's is what the island's accessibility
    // layer makes of it, so screen readers find it among the application's windows.
    QAccessibleInterface* accessibleRoot() const override {
        return QAccessible::queryAccessibleInterface(const_cast<Window*>(this));
    }

protected:
    void exposeEvent(QExposeEvent*) override {
        if (isExposed()) {
            m_owner.exposed();
        }
    }
    void mousePressEvent(QMouseEvent* e) override { pointer(PanelPointer::Kind::press, *e); }
    void mouseReleaseEvent(QMouseEvent* e) override { pointer(PanelPointer::Kind::release, *e); }
    void mouseMoveEvent(QMouseEvent* e) override { pointer(PanelPointer::Kind::motion, *e); }
    void wheelEvent(QWheelEvent* e) override {
        if (m_owner.onScroll) {
            m_owner.onScroll(PanelScroll{e->position(), wheelInput(*e)});
        }
    }
    bool event(QEvent* e) override {
        if (e->type() == QEvent::Enter) {
            pointer(PanelPointer::Kind::enter, *static_cast<QEnterEvent*>(e));
        } else if (e->type() == QEvent::Leave && m_owner.onPointer) {
            m_owner.onPointer(PanelPointer{PanelPointer::Kind::leave, {}, {}, Qt::NoButton});
        }
        return QWindow::event(e);
    }

private:
    void pointer(PanelPointer::Kind kind, const QSinglePointEvent& e) {
        if (m_owner.onPointer) {
            m_owner.onPointer(PanelPointer{kind, e.position(), e.globalPosition(), e.button()});
        }
    }

    X11PanelSurface& m_owner;
};

X11PanelSurface::X11PanelSurface()
    : m_window(std::make_unique<Window>(*this)),
      m_store(std::make_unique<QBackingStore>(m_window.get())) {
    m_store->resize(m_window->size());
    x11::prepareOverlay(*m_window);

    QObject* context = m_window.get();
    auto changed = [this] {
        if (onOutputsChanged) {
            onOutputsChanged();
        }
    };
    auto watch = [context, changed](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, context, changed);
    };
    for (QScreen* s : QGuiApplication::screens()) {
        watch(s);
    }
    QObject::connect(qApp, &QGuiApplication::screenAdded, context, [watch, changed](QScreen* s) {
        watch(s);
        changed();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, context, changed);
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, context, changed);
    // Another screen may have another pixel ratio: everything is drawn again.
    QObject::connect(m_window.get(), &QWindow::screenChanged, context, [this] { exposed(); });
}

X11PanelSurface::~X11PanelSurface() = default;

QWindow& X11PanelSurface::window() {
    return *m_window;
}

std::vector<ScreenInfo> X11PanelSurface::outputs() const {
    std::vector<ScreenInfo> out;
    for (const QScreen* s : QGuiApplication::screens()) {
        out.push_back(infoFor(s));
    }
    return out;
}

std::size_t X11PanelSurface::mainOutput() const {
    const auto screens = QGuiApplication::screens();
    const auto i = screens.indexOf(QGuiApplication::primaryScreen());
    return i < 0 ? 0 : static_cast<std::size_t>(i);
}

void X11PanelSurface::placeAtTopCentre(std::size_t output) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    const auto screens = QGuiApplication::screens();
    if (output >= static_cast<std::size_t>(screens.size())) {
        return;
    }
    QScreen* screen = screens[static_cast<int>(output)];
    m_window->setScreen(screen);
    m_window->setPosition(panelOrigin(infoFor(screen)).toPoint());
}

void X11PanelSurface::show() {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    m_window->show();
    x11::assertOverlayState(*m_window);
}

void X11PanelSurface::hide() {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    m_window->hide();
}

QWindow* X11PanelSurface::qtWindow() {
    return m_window.get();
}

double X11PanelSurface::scale() const {
    return m_window->devicePixelRatio();
}

void X11PanelSurface::requestFrame() {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    // The X server takes a frame whenever the window is on screen; until then the request waits
    // for the window to be exposed.
    if (!m_window->isExposed()) {
        m_frameWanted = true;
        return;
    }
    m_frameWanted = false;
    if (onFrame) {
        onFrame();
    }
}

void X11PanelSurface::exposed() {
    m_store->resize(m_window->size());
    if (onExposed) {
        onExposed();
    }
    if (m_frameWanted) {
        requestFrame();
    }
}

void X11PanelSurface::drawFrame(const QRegion& dirty, const std::function<void(QPainter&)>& paint) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    if (!m_window->isExposed() || dirty.isEmpty()) {
        return;
    }
    m_store->beginPaint(dirty);
    {
        QPainter p(m_store->paintDevice());
        p.setClipRegion(dirty);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        for (const QRect& r : dirty) {
            p.fillRect(r, Qt::transparent);
        }
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paint(p);
    }
    m_store->endPaint();
    m_store->flush(dirty);
}

void X11PanelSurface::setInputRegion(const QPolygonF& outline) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    const double dpr = m_window->devicePixelRatio();
    const QRegion region(QTransform::fromScale(dpr, dpr).map(outline).toPolygon());
    if (region == m_region) {
        return;
    }
    m_region = region;
    x11::setInputRegion(*m_window, region);
    // Without a compositor transparent pixels are not transparent: show the island alone.
    if (!x11::compositorRunning()) {
        x11::setVisibleRegion(*m_window, region);
    }
}

}  // namespace korvo
