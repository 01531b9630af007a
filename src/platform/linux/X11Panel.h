#pragma once

#include <QRect>
#include <QRegion>
#include <QWindow>

#include <optional>

namespace korvo::x11 {

/// True when the application runs on an X server (not offscreen, not Wayland).
bool available();

/// Marks an overlay window before it is shown: a dock on every desktop, above other windows,
/// never focused, skipped by taskbars and pagers.
void prepareOverlay(QWindow& window);
/// Re-asserts the overlay's window-manager state once it is mapped.
void assertOverlayState(QWindow& window);

/// Limits where the window takes pointer input (device pixels, window coordinates). Clicks and
/// scrolls elsewhere go to the windows below.
void setInputRegion(QWindow& window, const QRegion& region);
/// Limits what is drawn of the window; none shows all of it.
void setVisibleRegion(QWindow& window, const std::optional<QRegion>& region);

/// True when a compositing manager owns the screen, so transparent pixels really are
/// transparent.
bool compositorRunning();

}  // namespace korvo::x11
