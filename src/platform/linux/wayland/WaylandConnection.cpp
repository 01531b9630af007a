#include "WaylandConnection.h"

#include "platform/linux/wayland/LayerShellProtocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace korvo::wayland {

QRectF Output::logicalFrame() const {
    const int s = std::max(1, scale);
    return {QPointF(position),
            QSizeF(modePixels.width() / double(s), modePixels.height() / double(s))};
}

struct Connection::OutputEntry : Output {
    Connection* owner = nullptr;
};

namespace {

// The versions whose events Korvo handles; a newer compositor speaks these to us.
constexpr std::uint32_t kCompositorVersion = 4;  // damage in buffer pixels
constexpr std::uint32_t kSeatVersion = 8;        // scroll in fractions of a notch
constexpr std::uint32_t kOutputVersion = 4;      // output names
constexpr std::uint32_t kLayerShellVersion = 3;
constexpr std::uint32_t kDataControlVersion =
    1;  // the clipboard; the primary selection is not read

void outputGeometry(void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t,
                    std::int32_t, std::int32_t, const char*, const char*, std::int32_t) {
    static_cast<Output*>(data)->position = QPoint(x, y);
}
void outputMode(void* data, wl_output*, std::uint32_t flags, std::int32_t w, std::int32_t h,
                std::int32_t) {
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        static_cast<Output*>(data)->modePixels = QSize(w, h);
    }
}
void outputScale(void* data, wl_output*, std::int32_t factor) {
    static_cast<Output*>(data)->scale = std::max(1, factor);
}
void outputName(void* data, wl_output*, const char* name) {
    static_cast<Output*>(data)->name = QString::fromUtf8(name);
}
void outputDescription(void*, wl_output*, const char*) {}
void seatName(void*, wl_seat*, const char*) {}

}  // namespace

std::unique_ptr<Connection> Connection::connect(const QByteArray& display) {
    wl_display* d = wl_display_connect(display.isEmpty() ? nullptr : display.constData());
    if (!d) {
        return nullptr;
    }
    std::unique_ptr<Connection> c(new Connection(d));
    // The first round trip announces the globals, the second the outputs' and seat's details.
    if (!c->roundtrip() || !c->roundtrip()) {
        return nullptr;
    }
    return c;
}

Connection::Connection(wl_display* display) : m_display(display) {
    static const wl_registry_listener listener = {&Connection::onGlobal,
                                                  &Connection::onGlobalRemove};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
}

Connection::~Connection() {
    m_reader.reset();
    m_writer.reset();
    for (auto& o : m_outputs) {
        if (wl_output_get_version(o->proxy) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
            wl_output_release(o->proxy);
        } else {
            wl_output_destroy(o->proxy);
        }
    }
    if (m_dataControl) {
        zwlr_data_control_manager_v1_destroy(m_dataControl);
    }
    if (m_layerShell) {
        zwlr_layer_shell_v1_destroy(m_layerShell);
    }
    if (m_seat) {
        if (wl_seat_get_version(m_seat) >= WL_SEAT_RELEASE_SINCE_VERSION) {
            wl_seat_release(m_seat);
        } else {
            wl_seat_destroy(m_seat);
        }
    }
    if (m_shm) {
        wl_shm_destroy(m_shm);
    }
    if (m_compositor) {
        wl_compositor_destroy(m_compositor);
    }
    wl_registry_destroy(m_registry);
    wl_display_flush(m_display);
    wl_display_disconnect(m_display);
}

void Connection::onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                          const char* interface, std::uint32_t version) {
    auto* c = static_cast<Connection*>(data);
    c->m_globals.push_back({name, QByteArray(interface), version});
    auto bind = [&](const wl_interface* iface, std::uint32_t wanted) {
        return wl_registry_bind(registry, name, iface, std::min(version, wanted));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && !c->m_compositor) {
        c->m_compositor =
            static_cast<wl_compositor*>(bind(&wl_compositor_interface, kCompositorVersion));
        c->m_compositorVersion = std::min(version, kCompositorVersion);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && !c->m_shm) {
        c->m_shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !c->m_seat) {
        static const wl_seat_listener seatListener = {&Connection::seatCapabilities, seatName};
        c->m_seat = static_cast<wl_seat*>(bind(&wl_seat_interface, kSeatVersion));
        c->m_seatName = name;
        c->m_seatVersion = std::min(version, kSeatVersion);
        wl_seat_add_listener(c->m_seat, &seatListener, c);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        c->addOutput(name, version);
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 &&
               !c->m_layerShell) {
        c->m_layerShell = static_cast<zwlr_layer_shell_v1*>(
            bind(&zwlr_layer_shell_v1_interface, kLayerShellVersion));
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 &&
               !c->m_dataControl) {
        c->m_dataControl = static_cast<zwlr_data_control_manager_v1*>(
            bind(&zwlr_data_control_manager_v1_interface, kDataControlVersion));
    }
}

void Connection::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto* c = static_cast<Connection*>(data);
    std::erase_if(c->m_globals, [name](const Global& g) { return g.name == name; });
    auto it = std::find_if(c->m_outputs.begin(), c->m_outputs.end(),
                           [name](const auto& o) { return o->globalName == name; });
    if (it != c->m_outputs.end()) {
        wl_output* proxy = (*it)->proxy;
        const bool wasReady = (*it)->ready;
        c->m_outputs.erase(it);
        if (wl_output_get_version(proxy) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
            wl_output_release(proxy);
        } else {
            wl_output_destroy(proxy);
        }
        if (wasReady) {
            c->outputsChanged();
        }
    }
    if (name == c->m_seatName && c->m_seat) {
        // The seat went away: no pointer until another seat is announced.
        wl_seat_destroy(c->m_seat);
        c->m_seat = nullptr;
        c->m_seatCapabilities = 0;
        c->m_seatChanged.send(0);
    }
}

void Connection::addOutput(std::uint32_t name, std::uint32_t version) {
    static const wl_output_listener listener = {outputGeometry, outputMode, &Connection::outputDone,
                                                outputScale,    outputName, outputDescription};
    auto entry = std::make_unique<OutputEntry>();
    entry->owner = this;
    entry->globalName = name;
    entry->proxy = static_cast<wl_output*>(wl_registry_bind(m_registry, name, &wl_output_interface,
                                                            std::min(version, kOutputVersion)));
    wl_output_add_listener(entry->proxy, &listener, static_cast<Output*>(entry.get()));
    m_outputs.push_back(std::move(entry));
}

void Connection::outputDone(void* data, wl_output*) {
    auto* entry = static_cast<OutputEntry*>(static_cast<Output*>(data));
    entry->ready = true;
    entry->owner->outputsChanged();
}

void Connection::seatCapabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    auto* c = static_cast<Connection*>(data);
    c->m_seatCapabilities = capabilities;
    c->m_seatChanged.send(capabilities);
}

void Connection::outputsChanged() {
    m_outputsChanged.send(0);
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> Connection::global(
    const char* interface) const {
    for (const Global& g : m_globals) {
        if (g.interface == interface) {
            return std::pair{g.name, g.version};
        }
    }
    return std::nullopt;
}

std::vector<const Output*> Connection::outputs() const {
    std::vector<const Output*> out;
    for (const auto& o : m_outputs) {
        if (o->ready) {
            out.push_back(o.get());
        }
    }
    return out;
}

const Output* Connection::outputByProxy(const wl_output* proxy) const {
    for (const auto& o : m_outputs) {
        if (o->proxy == proxy) {
            return o.get();
        }
    }
    return nullptr;
}

Subscription Connection::observeOutputs(std::function<void()> changed) {
    return m_outputsChanged.subscribe([changed = std::move(changed)](int) { changed(); });
}

Subscription Connection::observeSeat(std::function<void(std::uint32_t)> changed) {
    return m_seatChanged.subscribe(std::move(changed));
}

void Connection::attachToEventLoop() {
    if (m_reader) {
        return;
    }
    const int fd = wl_display_get_fd(m_display);
    m_reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_reader.get(), &QSocketNotifier::activated, m_reader.get(),
                     [this] { readEvents(); });
    m_writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    m_writer->setEnabled(false);
    QObject::connect(m_writer.get(), &QSocketNotifier::activated, m_writer.get(),
                     [this] { flush(); });
    // Events queued while something else read the socket (a round trip), and requests made since
    // the last flush, are handled before the loop sleeps.
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, m_reader.get(),
                         [this] {
                             dispatchPending();
                             flush();
                         });
    }
    dispatchPending();
    flush();
}

void Connection::readEvents() {
    if (m_lost) {
        return;
    }
    if (wl_display_prepare_read(m_display) != 0) {
        // Events are already queued: handle them; the socket stays readable for the next turn.
        dispatchPending();
        return;
    }
    if (wl_display_read_events(m_display) < 0) {
        checkError();
        return;
    }
    dispatchPending();
    flush();
}

void Connection::dispatchPending() {
    if (m_lost) {
        return;
    }
    if (wl_display_dispatch_pending(m_display) < 0) {
        checkError();
    }
}

void Connection::flush() {
    if (m_lost) {
        return;
    }
    if (wl_display_flush(m_display) < 0) {
        if (errno == EAGAIN) {
            // The socket is full: send the rest once the compositor has read some.
            if (m_writer) {
                m_writer->setEnabled(true);
            }
            return;
        }
        checkError();
        return;
    }
    if (m_writer) {
        m_writer->setEnabled(false);
    }
}

bool Connection::roundtrip() {
    if (m_lost) {
        return false;
    }
    if (wl_display_roundtrip(m_display) < 0) {
        checkError();
        return false;
    }
    return true;
}

void Connection::checkError() {
    if (m_lost || wl_display_get_error(m_display) == 0) {
        return;
    }
    m_lost = true;
    if (m_reader) {
        m_reader->setEnabled(false);
    }
    if (m_writer) {
        m_writer->setEnabled(false);
    }
    if (onLost) {
        onLost();
    }
}

}  // namespace korvo::wayland
