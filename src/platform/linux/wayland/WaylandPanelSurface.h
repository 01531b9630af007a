#pragma once

#include "platform/PanelSurface.h"
#include "platform/linux/wayland/BufferRing.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/WaylandScroll.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <vector>

struct wl_buffer;
struct wl_callback;
struct wl_cursor_theme;
struct wl_pointer;
struct wl_surface;
struct zwlr_layer_surface_v1;

namespace korvo {

/// The panel as a wlr-layer-shell surface on Korvo's own Wayland connection: layer "top",
/// anchored to the top edge of its output (so centred on it), no exclusive zone, never given
/// the keyboard, namespace "korvo". Given `outputChoice`, the compositor picks the output unless
/// a named one is connected. Frames are painted into reused shared-memory buffers and
/// paced by the compositor's frame callbacks; only what changed is damaged. The input region
/// follows the island's outline. Main thread only.
class WaylandPanelSurface final : public PanelSurface {
public:
    static constexpr const char* kNamespace = "korvo";

    /// `connection` must offer layer-shell, a compositor and shared memory, and outlive this.
    explicit WaylandPanelSurface(wayland::Connection& connection);
    ~WaylandPanelSurface() override;
    WaylandPanelSurface(const WaylandPanelSurface&) = delete;
    WaylandPanelSurface& operator=(const WaylandPanelSurface&) = delete;

    std::vector<ScreenInfo> outputs() const override;
    std::size_t mainOutput() const override { return 0; }
    void placeAtTopCentre(std::size_t output) override;
    void show() override;
    void hide() override;
    double scale() const override { return m_scale; }
    void requestFrame() override;
    void drawFrame(const QRegion& dirty, const std::function<void(QPainter&)>& paint) override;
    void setInputRegion(const QPolygonF& outline) override;

    /// The output the panel is on (its name), empty while it is on none or the compositor has
    /// not said yet which one it picked.
    QString outputName() const;
    /// When set, decides the output at each placement instead of the controller's index: the
    /// output of the name it returns while that is connected; otherwise (an empty name, or one
    /// not connected) the surface is given no output and the compositor picks one, usually the
    /// focused output, where it stays until the output goes.
    std::function<QString()> outputChoice;
    /// Runs after `outputName()` changed.
    std::function<void()> onOutputNameChanged;
    /// Buffers created since start: stays at two or three while frames are reused.
    int buffersCreated() const { return m_buffersCreated; }

private:
    struct Buffer;
    struct Listeners;
    friend struct Listeners;

    const wayland::Output* output(std::uint32_t globalName) const;
    void createLayerSurface();
    void destroyLayerSurface();
    void configured(std::uint32_t serial);
    void surfaceEntered(wl_output* output);
    void surfaceLeft(wl_output* output);
    void setOutputName(std::uint32_t globalName);
    void closed();
    void frameDone();
    void bufferReleased();
    void outputsChanged();
    void updateScale();
    void seatChanged(std::uint32_t capabilities);
    void pointerEnter(std::uint32_t serial, wl_surface* surface, QPointF at);
    void pointerLeave(wl_surface* surface);
    void pointerMotion(QPointF at);
    void pointerButton(std::uint32_t button, bool pressed);
    void pointerFrame();
    void setCursor(std::uint32_t serial);
    void commitInputRegion();
    Buffer* bufferFor(std::size_t index, bool fresh);
    void releaseBuffers();
    QPointF screenPosition(QPointF local) const;

    wayland::Connection& m_wl;
    Subscription m_outputsWatch;
    Subscription m_seatWatch;
    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layer = nullptr;
    std::uint32_t m_outputName = 0;   // the output the layer surface is on (global name)
    std::uint32_t m_layerPinned = 0;  // the output it was made for; 0: the compositor's pick
    bool m_placed = false;
    std::uint32_t m_placedOn = 0;  // the output chosen at placement; 0: the compositor's pick
    bool m_shown = false;
    bool m_configured = false;
    bool m_frameWanted = false;
    bool m_inFrame = false;
    wl_callback* m_frameCallback = nullptr;
    wl_callback* m_replaceCallback = nullptr;
    int m_scale = 1;
    int m_committedScale = 0;
    wayland::BufferRing m_ring;
    std::vector<std::unique_ptr<Buffer>> m_buffers;
    int m_buffersCreated = 0;
    QRegion m_inputRegion;  // points
    bool m_inputRegionSet = false;

    wl_pointer* m_pointer = nullptr;
    std::uint32_t m_pointerVersion = 0;
    bool m_pointerInside = false;
    QPointF m_pointerAt;
    wayland::AxisFrame m_axis;
    wl_cursor_theme* m_cursorTheme = nullptr;
    int m_cursorScale = 0;
    wl_surface* m_cursorSurface = nullptr;
};

}  // namespace korvo
