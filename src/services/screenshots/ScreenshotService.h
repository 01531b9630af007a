#pragma once

#include "core/Cancellable.h"
#include "core/EventBus.h"
#include "core/MainThread.h"
#include "platform/ScreenCaptureIndex.h"
#include "platform/Workspace.h"

#include <optional>

namespace korvo {

/// Toasts each new screen capture by file name; the toast's action opens the file.
/// Main-thread object; posts no activity.
class ScreenshotService {
public:
    ScreenshotService(EventBus& bus, ScreenCaptureIndex& index, Workspace& workspace);
    ScreenshotService(const ScreenshotService&) = delete;
    ScreenshotService& operator=(const ScreenshotService&) = delete;

    /// Starts the live query; later calls do nothing.
    void start();

private:
    void itemsChanged(const QStringList& added);

    EventBus& m_bus;
    ScreenCaptureIndex& m_index;
    Workspace& m_workspace;
    std::optional<Subscription> m_query;
    bool m_started = false;
    [[no_unique_address]] MainThreadChecker m_thread;
};

}  // namespace korvo
