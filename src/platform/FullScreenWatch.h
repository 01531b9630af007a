#pragma once

#include "core/Cancellable.h"

#include <QRect>
#include <QStringList>

#include <functional>
#include <optional>

namespace korvo {

/// The active window while it is full screen.
struct FullScreenWindow {
    /// Where it is, in the window system's own pixels; empty where the protocol does not say.
    QRect frame;
    /// The displays it is shown on, by name, where the protocol names them instead of a frame.
    QStringList displays;

    bool operator==(const FullScreenWindow&) const = default;
};

/// Follows whether the active window is full screen, from the window system's own notices
/// (never by polling).
class FullScreenWatch {
public:
    virtual ~FullScreenWatch() = default;

    /// The active window when it is full screen; none otherwise. Answers from what the watch
    /// already knows, so it never blocks.
    virtual std::optional<FullScreenWindow> activeFullScreen() const = 0;

    /// `changed` runs on the main thread after every change of `activeFullScreen()`, until the
    /// subscription ends.
    virtual Subscription observe(std::function<void()> changed) = 0;
};

}  // namespace korvo
