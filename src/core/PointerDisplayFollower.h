#pragma once

#include "core/Cancellable.h"
#include "core/MainLoop.h"
#include "core/Published.h"

#include <QString>

#include <functional>
#include <optional>

namespace korvo {

/// Follows the display under the pointer as it is reported now and then. The first report is
/// taken at once; after that a move to another display counts only once the pointer has stayed
/// there for `kSettle` seconds, so crossing a display on the way to another, or a brief visit,
/// leaves the island where it is. Main-thread only.
class PointerDisplayFollower {
public:
    static constexpr double kSettle = 1.0;

    explicit PointerDisplayFollower(MainLoop& loop) : m_loop(loop) {}

    /// The pointer is on `display` now.
    void report(const QString& display);
    /// Drops what is known, so the next report is taken at once (the pointer stopped being
    /// watched, or the display it was on went away).
    void forget();

    /// The display the pointer has settled on; none before the first report.
    const std::optional<QString>& display() const { return m_display; }
    /// Runs after each change of `display()`.
    Subscription observe(std::function<void()> changed) {
        return m_changed.subscribe([fn = std::move(changed)](const int&) { fn(); });
    }

private:
    void adopt(const QString& display);

    MainLoop& m_loop;
    std::optional<QString> m_display;
    std::optional<QString> m_candidate;
    TaskHandle m_settle;
    Signal<int> m_changed;
};

}  // namespace korvo
