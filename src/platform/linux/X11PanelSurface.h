#pragma once

#include "core/MainThread.h"
#include "platform/PanelSurface.h"

#include <QBackingStore>
#include <QWindow>

#include <memory>

namespace korvo {

/// The panel as a frameless X11 window: a dock on every desktop, above other windows, never
/// focused, skipped by taskbars and pagers. The X Shape input region keeps pointer input on the
/// island; without a compositor the bounding shape clips what is shown to it as well. Frames go
/// straight into the window's backing store when the controller draws them, so a frame asked
/// for is a frame drawn whenever the window is on screen.
class X11PanelSurface final : public PanelSurface {
public:
    X11PanelSurface();
    ~X11PanelSurface() override;
    X11PanelSurface(const X11PanelSurface&) = delete;
    X11PanelSurface& operator=(const X11PanelSurface&) = delete;

    std::vector<ScreenInfo> outputs() const override;
    std::size_t mainOutput() const override;
    void placeAtTopCentre(std::size_t output) override;
    void show() override;
    void hide() override;
    QWindow* qtWindow() override;
    double scale() const override;
    void requestFrame() override;
    void drawFrame(const QRegion& dirty, const std::function<void(QPainter&)>& paint) override;
    void setInputRegion(const QPolygonF& outline) override;

    /// The window itself, for tests that look at it as the window system does.
    QWindow& window();

private:
    class Window;
    void exposed();

    std::unique_ptr<Window> m_window;
    std::unique_ptr<QBackingStore> m_store;
    bool m_frameWanted = false;
    QRegion m_region;  // device pixels, as last given to the X server
    QMetaObject::Connection m_screenAdded;
    QMetaObject::Connection m_screenRemoved;
    QMetaObject::Connection m_primaryChanged;
    std::vector<QMetaObject::Connection> m_geometryWatches;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
