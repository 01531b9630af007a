#include "WaylandPanelSurface.h"

#include "platform/linux/wayland/LayerShellProtocol.h"

#include <QPainter>

#include <wayland-client.h>
#include <wayland-cursor.h>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace korvo {

namespace {

constexpr std::size_t kMaxBuffers = 3;  // two alternate; a third when the compositor holds both

QSize pixelSize(int scale) {
    return {static_cast<int>(kPanelWidth) * scale, static_cast<int>(kPanelHeight) * scale};
}

QRegion scaled(const QRegion& region, int scale) {
    QRegion out;
    for (const QRect& r : region) {
        out += QRect(r.x() * scale, r.y() * scale, r.width() * scale, r.height() * scale);
    }
    return out;
}

// Copies `region` (pixels) between two images of one size and format.
void copyPixels(const QImage& from, QImage& to, const QRegion& region) {
    const QRect bounds = to.rect();
    for (const QRect& raw : region) {
        const QRect r = raw.intersected(bounds);
        for (int y = r.top(); y <= r.bottom(); ++y) {
            std::memcpy(to.scanLine(y) + r.left() * 4, from.constScanLine(y) + r.left() * 4,
                        static_cast<std::size_t>(r.width()) * 4);
        }
    }
}

}  // namespace

// One shared-memory buffer: the pixels live in a memfd mapped here and in the compositor.
struct WaylandPanelSurface::Buffer {
    WaylandPanelSurface* owner = nullptr;
    std::size_t index = 0;
    wl_buffer* proxy = nullptr;
    void* memory = MAP_FAILED;
    std::size_t bytes = 0;
    QImage image;

    ~Buffer() {
        if (proxy) {
            wl_buffer_destroy(proxy);
        }
        if (memory != MAP_FAILED) {
            munmap(memory, bytes);
        }
    }
};

// The C callbacks of the protocol objects, routed to the surface.
struct WaylandPanelSurface::Listeners {
    static void configure(void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t,
                          std::uint32_t) {
        static_cast<WaylandPanelSurface*>(data)->configured(serial);
    }
    static void closed(void* data, zwlr_layer_surface_v1*) {
        static_cast<WaylandPanelSurface*>(data)->closed();
    }
    static void surfaceEnter(void* data, wl_surface*, wl_output* output) {
        static_cast<WaylandPanelSurface*>(data)->surfaceEntered(output);
    }
    static void surfaceLeave(void* data, wl_surface*, wl_output* output) {
        static_cast<WaylandPanelSurface*>(data)->surfaceLeft(output);
    }
    static void frameDone(void* data, wl_callback*, std::uint32_t) {
        static_cast<WaylandPanelSurface*>(data)->frameDone();
    }
    static void replaceDone(void* data, wl_callback* callback, std::uint32_t) {
        auto* self = static_cast<WaylandPanelSurface*>(data);
        wl_callback_destroy(callback);
        self->m_replaceCallback = nullptr;
        if (self->onOutputsChanged) {
            self->onOutputsChanged();
        }
    }
    static void release(void* data, wl_buffer*) {
        auto* b = static_cast<Buffer*>(data);
        b->owner->m_ring.released(b->index);
        b->owner->bufferReleased();
    }
    static void enter(void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface,
                      wl_fixed_t x, wl_fixed_t y) {
        static_cast<WaylandPanelSurface*>(data)->pointerEnter(
            serial, surface, QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y)));
    }
    static void leave(void* data, wl_pointer*, std::uint32_t, wl_surface* surface) {
        static_cast<WaylandPanelSurface*>(data)->pointerLeave(surface);
    }
    static void motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
        static_cast<WaylandPanelSurface*>(data)->pointerMotion(
            QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y)));
    }
    static void button(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                       std::uint32_t state) {
        static_cast<WaylandPanelSurface*>(data)->pointerButton(
            button, state == WL_POINTER_BUTTON_STATE_PRESSED);
    }
    static void axis(void* data, wl_pointer*, std::uint32_t, std::uint32_t axis, wl_fixed_t value) {
        auto* self = static_cast<WaylandPanelSurface*>(data);
        if (axis < 2) {
            self->m_axis.value[axis] += wl_fixed_to_double(value);
            self->m_axis.hasValue = true;
        }
        if (self->m_pointerVersion < WL_POINTER_FRAME_SINCE_VERSION) {
            self->pointerFrame();  // no frames to group the axes: each event stands alone
        }
    }
    static void frame(void* data, wl_pointer*) {
        static_cast<WaylandPanelSurface*>(data)->pointerFrame();
    }
    static void axisSource(void* data, wl_pointer*, std::uint32_t source) {
        using S = wayland::AxisFrame::Source;
        auto& frame = static_cast<WaylandPanelSurface*>(data)->m_axis;
        switch (source) {
            case WL_POINTER_AXIS_SOURCE_WHEEL:
                frame.source = S::wheel;
                break;
            case WL_POINTER_AXIS_SOURCE_FINGER:
                frame.source = S::finger;
                break;
            case WL_POINTER_AXIS_SOURCE_CONTINUOUS:
                frame.source = S::continuous;
                break;
            case WL_POINTER_AXIS_SOURCE_WHEEL_TILT:
                frame.source = S::wheelTilt;
                break;
            default:
                frame.source = S::unknown;
                break;
        }
    }
    static void axisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
    static void axisDiscrete(void* data, wl_pointer*, std::uint32_t axis, std::int32_t steps) {
        auto& frame = static_cast<WaylandPanelSurface*>(data)->m_axis;
        if (axis < 2) {
            frame.discrete[axis] += steps;
            frame.hasDiscrete = true;
        }
    }
    static void axisValue120(void* data, wl_pointer*, std::uint32_t axis, std::int32_t value) {
        auto& frame = static_cast<WaylandPanelSurface*>(data)->m_axis;
        if (axis < 2) {
            frame.value120[axis] += value;
            frame.hasValue120 = true;
        }
    }

    static const zwlr_layer_surface_v1_listener& layerSurface() {
        static const zwlr_layer_surface_v1_listener l = {configure, closed};
        return l;
    }
    static const wl_surface_listener& surface() {
        static const wl_surface_listener l = {surfaceEnter, surfaceLeave};
        return l;
    }
    static const wl_callback_listener& frameCallback() {
        static const wl_callback_listener l = {frameDone};
        return l;
    }
    static const wl_callback_listener& replaceCallback() {
        static const wl_callback_listener l = {replaceDone};
        return l;
    }
    static const wl_buffer_listener& buffer() {
        static const wl_buffer_listener l = {release};
        return l;
    }
    static const wl_pointer_listener& pointer() {
        static const wl_pointer_listener l = {enter,        leave,       motion,     button,
                                              axis,         frame,       axisSource, axisStop,
                                              axisDiscrete, axisValue120};
        return l;
    }
};

WaylandPanelSurface::WaylandPanelSurface(wayland::Connection& connection)
    : m_wl(connection), m_ring(kMaxBuffers, pixelSize(1)) {
    m_outputsWatch = m_wl.observeOutputs([this] { outputsChanged(); });
    m_seatWatch = m_wl.observeSeat([this](std::uint32_t caps) { seatChanged(caps); });
    seatChanged(m_wl.seatCapabilities());
}

WaylandPanelSurface::~WaylandPanelSurface() {
    onOutputNameChanged = {};
    if (m_pointer) {
        if (m_pointerVersion >= WL_POINTER_RELEASE_SINCE_VERSION) {
            wl_pointer_release(m_pointer);
        } else {
            wl_pointer_destroy(m_pointer);
        }
    }
    if (m_cursorSurface) {
        wl_surface_destroy(m_cursorSurface);
    }
    if (m_cursorTheme) {
        wl_cursor_theme_destroy(m_cursorTheme);
    }
    if (m_replaceCallback) {
        wl_callback_destroy(m_replaceCallback);
    }
    destroyLayerSurface();
    m_wl.flush();
}

std::vector<ScreenInfo> WaylandPanelSurface::outputs() const {
    std::vector<ScreenInfo> out;
    for (const wayland::Output* o : m_wl.outputs()) {
        ScreenInfo info;
        info.frame = o->logicalFrame();
        info.name = o->name;
        // Wayland outputs tell nothing of a camera housing: the 180 × 32 pill applies.
        out.push_back(info);
    }
    return out;
}

QString WaylandPanelSurface::outputName() const {
    for (const wayland::Output* o : m_wl.outputs()) {
        if (m_layer && o->globalName == m_outputName) {
            return o->name;
        }
    }
    return {};
}

void WaylandPanelSurface::placeAtTopCentre(std::size_t output) {
    const auto outs = m_wl.outputs();
    if (output >= outs.size()) {
        return;
    }
    m_placedOn = outs[output]->globalName;
    if (outputChoice) {
        const QString wanted = outputChoice();
        const auto named = std::find_if(outs.begin(), outs.end(), [&](const wayland::Output* o) {
            return !wanted.isEmpty() && o->name == wanted;
        });
        m_placedOn = named != outs.end() ? (*named)->globalName : 0;
    }
    m_placed = true;
    // A surface the compositor placed stays where it is until a named output is chosen.
    if (m_shown && (!m_layer || m_layerPinned != m_placedOn)) {
        destroyLayerSurface();
        createLayerSurface();
    }
}

void WaylandPanelSurface::show() {
    m_shown = true;
    if (!m_layer && m_placed) {
        createLayerSurface();
    }
}

void WaylandPanelSurface::hide() {
    m_shown = false;
    destroyLayerSurface();
    m_wl.flush();
}

const wayland::Output* WaylandPanelSurface::output(std::uint32_t globalName) const {
    for (const wayland::Output* o : m_wl.outputs()) {
        if (o->globalName == globalName) {
            return o;
        }
    }
    return nullptr;
}

void WaylandPanelSurface::createLayerSurface() {
    const wayland::Output* on = output(m_placedOn);
    if (m_placedOn != 0 && !on) {
        return;
    }
    m_layerPinned = m_placedOn;
    m_surface = wl_compositor_create_surface(m_wl.compositor());
    wl_surface_add_listener(m_surface, &Listeners::surface(), this);
    // No output: the compositor picks one and says which when the surface enters it.
    m_layer = zwlr_layer_shell_v1_get_layer_surface(m_wl.layerShell(), m_surface,
                                                    on ? on->proxy : nullptr,
                                                    ZWLR_LAYER_SHELL_V1_LAYER_TOP, kNamespace);
    setOutputName(m_placedOn);
    zwlr_layer_surface_v1_add_listener(m_layer, &Listeners::layerSurface(), this);
    zwlr_layer_surface_v1_set_size(m_layer, static_cast<std::uint32_t>(kPanelWidth),
                                   static_cast<std::uint32_t>(kPanelHeight));
    // Anchored to the top edge alone: the compositor centres the panel along it.
    zwlr_layer_surface_v1_set_anchor(m_layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP);
    zwlr_layer_surface_v1_set_exclusive_zone(m_layer, 0);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        m_layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    updateScale();
    if (m_inputRegionSet) {
        commitInputRegion();
    }
    // The first commit carries no buffer: the compositor answers with a configure.
    wl_surface_commit(m_surface);
    m_wl.flush();
}

void WaylandPanelSurface::destroyLayerSurface() {
    if (m_pointerInside) {
        pointerLeave(m_surface);
    }
    if (m_frameCallback) {
        wl_callback_destroy(m_frameCallback);
        m_frameCallback = nullptr;
    }
    if (m_layer) {
        zwlr_layer_surface_v1_destroy(m_layer);
        m_layer = nullptr;
    }
    if (m_surface) {
        wl_surface_destroy(m_surface);
        m_surface = nullptr;
    }
    m_configured = false;
    m_committedScale = 0;
    m_layerPinned = 0;
    // A new surface starts from empty buffers.
    releaseBuffers();
    setOutputName(0);
}

void WaylandPanelSurface::surfaceEntered(wl_output* proxy) {
    if (const wayland::Output* o = m_wl.outputByProxy(proxy)) {
        setOutputName(o->globalName);
    }
}

void WaylandPanelSurface::surfaceLeft(wl_output* proxy) {
    const wayland::Output* o = m_wl.outputByProxy(proxy);
    if (o && o->globalName == m_outputName) {
        setOutputName(0);
    }
}

void WaylandPanelSurface::setOutputName(std::uint32_t globalName) {
    if (globalName == m_outputName) {
        return;
    }
    m_outputName = globalName;
    updateScale();
    if (onOutputNameChanged) {
        onOutputNameChanged();
    }
}

void WaylandPanelSurface::configured(std::uint32_t serial) {
    zwlr_layer_surface_v1_ack_configure(m_layer, serial);
    if (m_configured) {
        return;  // the size is ours and never changes
    }
    m_configured = true;
    if (onExposed) {
        onExposed();
    }
    if (m_frameWanted) {
        requestFrame();
    }
    m_wl.flush();
}

void WaylandPanelSurface::closed() {
    // The compositor took the surface away (its output is going). Once the compositor has told
    // everything about that output, the controller places the panel again.
    destroyLayerSurface();
    m_placed = false;
    m_placedOn = 0;
    if (!m_replaceCallback) {
        m_replaceCallback = wl_display_sync(m_wl.display());
        wl_callback_add_listener(m_replaceCallback, &Listeners::replaceCallback(), this);
    }
    m_wl.flush();
}

void WaylandPanelSurface::outputsChanged() {
    if (m_layer && m_layerPinned != 0 && !output(m_layerPinned)) {
        destroyLayerSurface();
    }
    if (m_placedOn != 0 && !output(m_placedOn)) {
        m_placed = false;
        m_placedOn = 0;
    }
    updateScale();
    if (onOutputsChanged) {
        onOutputsChanged();
    }
}

void WaylandPanelSurface::updateScale() {
    const wayland::Output* on = output(m_outputName);
    int scale = on ? on->scale : 1;
    if (!on) {
        // Until the compositor says where it put the surface: sharp on any output.
        for (const wayland::Output* o : m_wl.outputs()) {
            scale = std::max(scale, o->scale);
        }
    }
    if (scale == m_scale) {
        return;
    }
    m_scale = scale;
    releaseBuffers();
    if (m_configured && onExposed) {
        onExposed();  // everything again, at the new scale
    }
}

void WaylandPanelSurface::releaseBuffers() {
    m_buffers.clear();
    m_ring.reset(pixelSize(m_scale));
}

void WaylandPanelSurface::requestFrame() {
    // Asked again when the surface is ready, the compositor calls, or a buffer comes back.
    if (!m_layer || !m_configured || m_frameCallback || !m_ring.acquire()) {
        m_frameWanted = true;
        return;
    }
    m_frameWanted = false;
    if (onFrame) {
        onFrame();
    }
}

void WaylandPanelSurface::bufferReleased() {
    if (m_frameWanted && !m_frameCallback) {
        requestFrame();
    }
}

void WaylandPanelSurface::frameDone() {
    wl_callback_destroy(m_frameCallback);
    m_frameCallback = nullptr;
    if (m_frameWanted) {
        requestFrame();
    }
}

WaylandPanelSurface::Buffer* WaylandPanelSurface::bufferFor(std::size_t index, bool fresh) {
    if (!fresh) {
        return m_buffers.at(index).get();
    }
    const QSize size = pixelSize(m_scale);
    const int stride = size.width() * 4;
    auto b = std::make_unique<Buffer>();
    b->owner = this;
    b->index = index;
    b->bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(size.height());
    const int fd = memfd_create("korvo-panel", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    if (ftruncate(fd, static_cast<off_t>(b->bytes)) < 0) {
        close(fd);
        return nullptr;
    }
    b->memory = mmap(nullptr, b->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (b->memory == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(m_wl.shm(), fd, static_cast<std::int32_t>(b->bytes));
    b->proxy = wl_shm_pool_create_buffer(pool, 0, size.width(), size.height(), stride,
                                         WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(b->proxy, &Listeners::buffer(), b.get());
    // Premultiplied ARGB in native byte order is what wl_shm calls ARGB8888.
    b->image = QImage(static_cast<uchar*>(b->memory), size.width(), size.height(), stride,
                      QImage::Format_ARGB32_Premultiplied);
    b->image.setDevicePixelRatio(m_scale);
    ++m_buffersCreated;
    m_buffers.push_back(std::move(b));
    return m_buffers.back().get();
}

void WaylandPanelSurface::drawFrame(const QRegion& dirty,
                                    const std::function<void(QPainter&)>& paint) {
    if (!m_layer || !m_configured || dirty.isEmpty()) {
        return;
    }
    const auto pick = m_ring.acquire();
    Buffer* buffer = pick ? bufferFor(pick->index, pick->fresh) : nullptr;
    if (!buffer) {
        // No buffer to draw into (every one still the compositor's, or no memory): the frame is
        // not drawn, and the controller draws everything in the next one.
        return;
    }
    const QRegion pixels = scaled(dirty, m_scale);
    if (const auto front = m_ring.front(); front && *front != pick->index) {
        copyPixels(m_buffers.at(*front)->image, buffer->image, pick->stale - pixels);
    }
    m_inFrame = true;
    {
        QPainter p(&buffer->image);
        p.setClipRegion(dirty);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        for (const QRect& r : dirty) {
            p.fillRect(r, Qt::transparent);
        }
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        paint(p);
    }
    m_inFrame = false;

    wl_surface_attach(m_surface, buffer->proxy, 0, 0);
    if (m_committedScale != m_scale) {
        wl_surface_set_buffer_scale(m_surface, m_scale);
        m_committedScale = m_scale;
    }
    if (m_wl.compositorVersion() >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
        for (const QRect& r : pixels) {
            wl_surface_damage_buffer(m_surface, r.x(), r.y(), r.width(), r.height());
        }
    } else {
        for (const QRect& r : dirty) {
            wl_surface_damage(m_surface, r.x(), r.y(), r.width(), r.height());
        }
    }
    m_frameCallback = wl_surface_frame(m_surface);
    wl_callback_add_listener(m_frameCallback, &Listeners::frameCallback(), this);
    wl_surface_commit(m_surface);
    m_ring.presented(pick->index, pixels);
    m_wl.flush();
}

void WaylandPanelSurface::setInputRegion(const QPolygonF& outline) {
    const QRegion region(outline.toPolygon());
    if (m_inputRegionSet && region == m_inputRegion) {
        return;
    }
    m_inputRegion = region;
    m_inputRegionSet = true;
    commitInputRegion();
}

void WaylandPanelSurface::commitInputRegion() {
    if (!m_surface) {
        return;  // set when the surface is made
    }
    wl_region* region = wl_compositor_create_region(m_wl.compositor());
    for (const QRect& r : m_inputRegion) {
        wl_region_add(region, r.x(), r.y(), r.width(), r.height());
    }
    wl_surface_set_input_region(m_surface, region);
    wl_region_destroy(region);
    // Inside a frame the frame's commit carries it; otherwise it takes effect now.
    if (!m_inFrame && m_configured) {
        wl_surface_commit(m_surface);
        m_wl.flush();
    }
}

void WaylandPanelSurface::seatChanged(std::uint32_t capabilities) {
    const bool hasPointer = m_wl.seat() && (capabilities & WL_SEAT_CAPABILITY_POINTER);
    if (hasPointer && !m_pointer) {
        m_pointer = wl_seat_get_pointer(m_wl.seat());
        m_pointerVersion = wl_pointer_get_version(m_pointer);
        wl_pointer_add_listener(m_pointer, &Listeners::pointer(), this);
        m_wl.flush();
    } else if (!hasPointer && m_pointer) {
        if (m_pointerInside) {
            pointerLeave(m_surface);
        }
        if (m_pointerVersion >= WL_POINTER_RELEASE_SINCE_VERSION) {
            wl_pointer_release(m_pointer);
        } else {
            wl_pointer_destroy(m_pointer);
        }
        m_pointer = nullptr;
    }
}

void WaylandPanelSurface::pointerEnter(std::uint32_t serial, wl_surface* surface, QPointF at) {
    if (!surface || surface != m_surface) {
        return;
    }
    m_pointerInside = true;
    m_pointerAt = at;
    m_axis = {};
    setCursor(serial);
    if (onPointer) {
        onPointer({PanelPointer::Kind::enter, at, screenPosition(at), Qt::NoButton});
    }
}

void WaylandPanelSurface::pointerLeave(wl_surface* surface) {
    if (!m_pointerInside || (surface && surface != m_surface)) {
        return;
    }
    m_pointerInside = false;
    if (onPointer) {
        onPointer(
            {PanelPointer::Kind::leave, m_pointerAt, screenPosition(m_pointerAt), Qt::NoButton});
    }
}

void WaylandPanelSurface::pointerMotion(QPointF at) {
    if (!m_pointerInside) {
        return;
    }
    m_pointerAt = at;
    if (onPointer) {
        onPointer({PanelPointer::Kind::motion, at, screenPosition(at), Qt::NoButton});
    }
}

void WaylandPanelSurface::pointerButton(std::uint32_t button, bool pressed) {
    if (!m_pointerInside || !onPointer) {
        return;
    }
    Qt::MouseButton b = Qt::NoButton;
    switch (button) {
        case BTN_LEFT:
            b = Qt::LeftButton;
            break;
        case BTN_RIGHT:
            b = Qt::RightButton;
            break;
        case BTN_MIDDLE:
            b = Qt::MiddleButton;
            break;
        default:
            return;
    }
    onPointer({pressed ? PanelPointer::Kind::press : PanelPointer::Kind::release, m_pointerAt,
               screenPosition(m_pointerAt), b});
}

void WaylandPanelSurface::pointerFrame() {
    const wayland::AxisFrame frame = std::exchange(m_axis, {});
    if (!m_pointerInside || !onScroll) {
        return;
    }
    if (const auto in = wayland::wheelInputFrom(frame)) {
        onScroll({m_pointerAt, *in});
    }
}

void WaylandPanelSurface::setCursor(std::uint32_t serial) {
    if (!m_pointer) {
        return;
    }
    if (!m_cursorTheme || m_cursorScale != m_scale) {
        if (m_cursorTheme) {
            wl_cursor_theme_destroy(m_cursorTheme);
        }
        bool ok = false;
        int size = qEnvironmentVariableIntValue("XCURSOR_SIZE", &ok);
        if (!ok || size <= 0) {
            size = 24;
        }
        const QByteArray theme = qgetenv("XCURSOR_THEME");
        m_cursorTheme = wl_cursor_theme_load(theme.isEmpty() ? nullptr : theme.constData(),
                                             size * m_scale, m_wl.shm());
        m_cursorScale = m_scale;
    }
    wl_cursor* cursor = nullptr;
    if (m_cursorTheme) {
        cursor = wl_cursor_theme_get_cursor(m_cursorTheme, "default");
        if (!cursor) {
            cursor = wl_cursor_theme_get_cursor(m_cursorTheme, "left_ptr");
        }
    }
    if (!cursor || cursor->image_count == 0) {
        return;
    }
    wl_cursor_image* image = cursor->images[0];
    if (!m_cursorSurface) {
        m_cursorSurface = wl_compositor_create_surface(m_wl.compositor());
    }
    wl_surface_attach(m_cursorSurface, wl_cursor_image_get_buffer(image), 0, 0);
    wl_surface_set_buffer_scale(m_cursorSurface, m_scale);
    wl_surface_damage(m_cursorSurface, 0, 0, static_cast<std::int32_t>(image->width),
                      static_cast<std::int32_t>(image->height));
    wl_surface_commit(m_cursorSurface);
    wl_pointer_set_cursor(m_pointer, serial, m_cursorSurface,
                          static_cast<std::int32_t>(image->hotspot_x) / m_scale,
                          static_cast<std::int32_t>(image->hotspot_y) / m_scale);
    m_wl.flush();
}

QPointF WaylandPanelSurface::screenPosition(QPointF local) const {
    const wayland::Output* on = output(m_outputName);
    if (!on) {
        return local;
    }
    const QRectF frame = on->logicalFrame();
    return frame.topLeft() + QPointF((frame.width() - kPanelWidth) / 2.0, 0) + local;
}

}  // namespace korvo
