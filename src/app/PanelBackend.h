#pragma once

#include <QString>

#include <optional>

namespace korvo {

/// Where the island is drawn: a wlr-layer-shell surface on Korvo's own Wayland connection, or an
/// X11 panel window (on an X server, or XWayland where the compositor has no layer-shell).
enum class PanelBackend { wayland, x11 };

/// What `korvo --platform` asked for: nothing, one backend, or something unknown.
struct PlatformRequest {
    std::optional<PanelBackend> backend;
    bool invalid = false;
};
PlatformRequest parsePlatformRequest(const std::optional<QString>& value);

/// The desktop as Korvo finds it at start.
struct DesktopProbe {
    bool waylandDisplay = false;  // WAYLAND_DISPLAY is set
    bool waylandConnected = false;
    bool layerShell = false;  // the compositor offers zwlr_layer_shell_v1
    bool x11Display = false;  // DISPLAY is set
};

/// The backend to use and why, in words for the log; no backend when the island cannot be
/// shown (then the reason says what is missing).
struct BackendChoice {
    std::optional<PanelBackend> backend;
    QString reason;
};

/// A Wayland session whose compositor offers layer-shell gets the Wayland island; anything else
/// with an X display (GNOME through XWayland, an X11 session) gets the X11 panel. A request on
/// the command line overrides, but never picks a backend that cannot work here.
BackendChoice choosePanelBackend(std::optional<PanelBackend> requested, const DesktopProbe& desk);

QString backendName(PanelBackend backend);

/// Takes `--platform NAME` or `--platform=NAME` out of the arguments, before Qt would read it as
/// its own plugin option, and returns NAME (empty when the name is missing).
std::optional<QString> takePlatformArgument(int& argc, char** argv);

}  // namespace korvo
