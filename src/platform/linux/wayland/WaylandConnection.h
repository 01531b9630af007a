#pragma once

#include "core/Cancellable.h"
#include "core/Published.h"

#include <QByteArray>
#include <QPoint>
#include <QRectF>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct zwlr_data_control_manager_v1;
struct zwlr_layer_shell_v1;

class QSocketNotifier;

namespace korvo::wayland {

/// One output as the compositor describes it. Complete once `ready`.
struct Output {
    wl_output* proxy = nullptr;
    std::uint32_t globalName = 0;
    QString name;  // "DP-1", "HEADLESS-1"; empty before wl_output version 4
    QPoint position;
    QSize modePixels;
    int scale = 1;
    bool ready = false;

    /// The output's size in points at its integer scale, at its place in the compositor's space.
    QRectF logicalFrame() const;
};

/// Korvo's own connection to the Wayland compositor, independent of Qt's: the globals the island
/// and the clipboard use, the outputs as they come and go, and the seat. Its events are read and
/// dispatched from the Qt event loop once `attachToEventLoop` ran; requests are flushed before
/// the loop sleeps. Main thread only.
class Connection {
public:
    /// Connects to `display` (a socket name or an absolute path; WAYLAND_DISPLAY when empty) and
    /// learns the globals and the outputs. None when no compositor answers there.
    static std::unique_ptr<Connection> connect(const QByteArray& display = {});
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    wl_display* display() const { return m_display; }
    wl_registry* registry() const { return m_registry; }
    wl_compositor* compositor() const { return m_compositor; }
    std::uint32_t compositorVersion() const { return m_compositorVersion; }
    wl_shm* shm() const { return m_shm; }
    /// The first seat; null when the compositor offers none.
    wl_seat* seat() const { return m_seat; }
    std::uint32_t seatVersion() const { return m_seatVersion; }
    /// WL_SEAT_CAPABILITY_* bits of the seat, as last announced.
    std::uint32_t seatCapabilities() const { return m_seatCapabilities; }
    zwlr_layer_shell_v1* layerShell() const { return m_layerShell; }
    zwlr_data_control_manager_v1* dataControl() const { return m_dataControl; }
    /// The name and version of a global by interface, for protocols Korvo itself does not bind.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> global(const char* interface) const;

    /// The outputs announced so far and complete, in the order the compositor announced them.
    std::vector<const Output*> outputs() const;
    const Output* outputByProxy(const wl_output* proxy) const;

    /// Called after any output came, went or changed.
    Subscription observeOutputs(std::function<void()> changed);
    /// Called with the seat's capabilities whenever they change.
    Subscription observeSeat(std::function<void(std::uint32_t capabilities)> changed);

    /// Reads and dispatches events from the Qt event loop from now on.
    void attachToEventLoop();
    /// Sends the requests made so far.
    void flush();
    /// Waits for the compositor to have handled every request so far (start-up only).
    bool roundtrip();
    /// False once the connection failed; `onLost` is called once when that happens.
    bool isAlive() const { return !m_lost; }
    std::function<void()> onLost;

private:
    Connection(wl_display* display);
    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    struct OutputEntry;
    static void outputDone(void* data, wl_output* output);
    static void seatCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities);
    void addOutput(std::uint32_t name, std::uint32_t version);
    void readEvents();
    void dispatchPending();
    void checkError();
    void outputsChanged();

    struct Global {
        std::uint32_t name;
        QByteArray interface;
        std::uint32_t version;
    };

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_compositor* m_compositor = nullptr;
    std::uint32_t m_compositorVersion = 0;
    wl_shm* m_shm = nullptr;
    wl_seat* m_seat = nullptr;
    std::uint32_t m_seatName = 0;
    std::uint32_t m_seatVersion = 0;
    std::uint32_t m_seatCapabilities = 0;
    zwlr_layer_shell_v1* m_layerShell = nullptr;
    zwlr_data_control_manager_v1* m_dataControl = nullptr;
    std::vector<Global> m_globals;
    std::vector<std::unique_ptr<OutputEntry>> m_outputs;
    Signal<int> m_outputsChanged;
    Signal<std::uint32_t> m_seatChanged;
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<QSocketNotifier> m_writer;
    bool m_lost = false;
};

}  // namespace korvo::wayland
