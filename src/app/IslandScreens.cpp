#include "IslandScreens.h"

#include "platform/linux/X11FullScreenWatch.h"
#include "platform/linux/X11Panel.h"
#include "platform/linux/X11PointerDisplay.h"
#include "settings/SettingsStore.h"

#include <QGuiApplication>
#include <QScreen>

namespace korvo {

namespace {

// Where the pointer cannot be read: it is never reported, so "the display with the pointer"
// stays on the main display.
class NoPointer final : public PointerDisplaySource {
public:
    Subscription watch(std::function<void(const QString&)>) override { return {}; }
};

class NeverFullScreen final : public FullScreenWatch {
public:
    std::optional<FullScreenWindow> activeFullScreen() const override { return std::nullopt; }
    Subscription observe(std::function<void()>) override { return {}; }
};

std::unique_ptr<PointerDisplaySource> pointerFor(MainLoop& loop) {
    if (x11::available()) {
        return std::make_unique<X11PointerDisplay>(loop);
    }
    return nullptr;
}

template <typename T, typename Fallback>
std::unique_ptr<T> orElse(std::unique_ptr<T> given) {
    if (given) {
        return given;
    }
    return std::make_unique<Fallback>();
}

}  // namespace

DisplayDescription describeScreen(const QScreen& screen) {
    DisplayDescription d;
    d.name = screen.name();
    d.manufacturer = screen.manufacturer();
    d.model = screen.model();
    d.serialNumber = screen.serialNumber();
    d.geometry = screen.geometry();
    // The toolkit keeps a screen's origin and divides its size by the scale.
    d.nativeGeometry = QRect(d.geometry.topLeft(), d.geometry.size() * screen.devicePixelRatio());
    d.primary = &screen == QGuiApplication::primaryScreen();
    return d;
}

std::vector<DisplayDescription> describeScreens(const QList<QScreen*>& screens) {
    std::vector<DisplayDescription> out;
    out.reserve(static_cast<std::size_t>(screens.size()));
    for (const QScreen* s : screens) {
        out.push_back(describeScreen(*s));
    }
    return out;
}

IslandScreens::IslandScreens(MainLoop& loop, SettingsStore& settings, ActivityEngine& engine)
    : IslandScreens(loop, settings, engine, pointerFor(loop), X11FullScreenWatch::create(),
                    FullScreenGuard::Surface::aboveFullScreen) {}

IslandScreens::IslandScreens(MainLoop& loop, SettingsStore& settings, ActivityEngine& engine,
                             std::unique_ptr<PointerDisplaySource> pointer,
                             std::unique_ptr<FullScreenWatch> fullScreen,
                             FullScreenGuard::Surface surface)
    : m_loop(loop),
      m_pointer(orElse<PointerDisplaySource, NoPointer>(std::move(pointer))),
      m_fullScreen(orElse<FullScreenWatch, NeverFullScreen>(std::move(fullScreen))),
      m_selection(loop, settings, *m_pointer),
      m_guard(settings, *m_fullScreen, engine, surface) {
    for (QScreen* s : QGuiApplication::screens()) {
        watchScreen(s);
    }
    QObject::connect(qApp, &QGuiApplication::screenAdded, &m_context, [this](QScreen* s) {
        watchScreen(s);
        screensChanged();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, &m_context,
                     [this] { screensChanged(); });
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, &m_context,
                     [this] { screensChanged(); });
    m_selectionSub = m_selection.observe([this] { refresh(false); });
    refresh(false);
}

IslandScreens::~IslandScreens() = default;

void IslandScreens::watchScreen(QScreen* screen) {
    QObject::connect(screen, &QScreen::geometryChanged, &m_context, [this] { screensChanged(); });
}

void IslandScreens::screensChanged() {
    // The toolkit announces a change before it has moved its windows off a removed screen and
    // often in several steps: look once it is done.
    if (m_refreshPending) {
        return;
    }
    m_refreshPending = true;
    m_loop.post([this, weak = m_life.weak()] {
        if (weak.lock()) {
            m_refreshPending = false;
            refresh(true);
        }
    });
}

QScreen* IslandScreens::screen() const {
    const auto screens = QGuiApplication::screens();
    const auto chosen = m_selection.choose(describeScreens(screens));
    return chosen ? screens[static_cast<int>(*chosen)] : nullptr;
}

void IslandScreens::refresh(bool screensMoved) {
    const auto displays = describeScreens(QGuiApplication::screens());
    m_selection.displaysChanged(displays);
    const auto chosen = m_selection.choose(displays);
    std::optional<DisplayDescription> display;
    if (chosen) {
        display = displays[*chosen];
    }
    const bool moved = display != m_display;
    m_display = display;
    // Moved before it hides or shows, so it steps aside from, and returns to, its new place.
    if (moved || screensMoved) {
        m_reanchor.send(0);
    }
    m_guard.setDisplay(display);
}

Subscription IslandScreens::attach(std::function<void()> reanchor,
                                   std::function<void(bool)> setHidden) {
    auto a = m_reanchor.subscribe([fn = std::move(reanchor)](const int&) { fn(); });
    bool first = true;
    auto b = m_guard.hideIsland.subscribe([fn = std::move(setHidden), first](bool hide) mutable {
        // The window starts shown: only a hidden start needs telling.
        if (!std::exchange(first, false) || hide) {
            fn(hide);
        }
    });
    auto both = std::make_shared<std::pair<Subscription, Subscription>>(std::move(a), std::move(b));
    return Subscription([both] {
        both->first.cancel();
        both->second.cancel();
    });
}

}  // namespace korvo
