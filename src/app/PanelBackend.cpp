#include "PanelBackend.h"

#include <cstring>

namespace korvo {

PlatformRequest parsePlatformRequest(const std::optional<QString>& value) {
    if (!value) {
        return {};
    }
    const QString v = value->trimmed().toLower();
    if (v == QLatin1String("wayland")) {
        return {PanelBackend::wayland, false};
    }
    if (v == QLatin1String("x11") || v == QLatin1String("xcb")) {
        return {PanelBackend::x11, false};
    }
    return {std::nullopt, true};
}

QString backendName(PanelBackend backend) {
    return backend == PanelBackend::wayland ? QStringLiteral("wayland") : QStringLiteral("x11");
}

std::optional<QString> takePlatformArgument(int& argc, char** argv) {
    std::optional<QString> value;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--platform")) {
            value = i + 1 < argc ? QString::fromLocal8Bit(argv[++i]) : QString();
            continue;
        }
        if (arg.startsWith(QLatin1String("--platform="))) {
            value = arg.mid(static_cast<qsizetype>(std::strlen("--platform=")));
            continue;
        }
        argv[out++] = argv[i];
    }
    argc = out;
    if (argc >= 0) {
        argv[argc] = nullptr;
    }
    return value;
}

namespace {

// Why the Wayland island is not to be had, or nothing when it is.
std::optional<QString> waylandMissing(const DesktopProbe& desk) {
    if (!desk.waylandDisplay) {
        return QStringLiteral("no Wayland session (WAYLAND_DISPLAY is not set)");
    }
    if (!desk.waylandConnected) {
        return QStringLiteral("no Wayland compositor answers at WAYLAND_DISPLAY");
    }
    if (!desk.layerShell) {
        return QStringLiteral("the compositor offers no layer-shell");
    }
    return std::nullopt;
}

}  // namespace

BackendChoice choosePanelBackend(std::optional<PanelBackend> requested, const DesktopProbe& desk) {
    const std::optional<QString> noWayland = waylandMissing(desk);
    if (requested == PanelBackend::wayland) {
        if (noWayland) {
            return {std::nullopt, QStringLiteral("--platform wayland, but ") + *noWayland};
        }
        return {PanelBackend::wayland, QStringLiteral("asked for with --platform wayland")};
    }
    if (requested == PanelBackend::x11) {
        if (!desk.x11Display) {
            return {std::nullopt,
                    QStringLiteral("--platform x11, but there is no X display (DISPLAY is not "
                                   "set)")};
        }
        return {PanelBackend::x11, QStringLiteral("asked for with --platform x11")};
    }
    if (!noWayland) {
        return {PanelBackend::wayland, QStringLiteral("a Wayland compositor with layer-shell")};
    }
    if (desk.x11Display) {
        const QString through =
            desk.waylandDisplay ? QStringLiteral("XWayland: ") : QStringLiteral("an X server: ");
        return {PanelBackend::x11, through + *noWayland};
    }
    return {std::nullopt, QStringLiteral("no display: ") + *noWayland +
                              QStringLiteral(" and DISPLAY is not set")};
}

}  // namespace korvo
