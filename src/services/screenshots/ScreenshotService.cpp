#include "ScreenshotService.h"

#include <QUrl>

namespace korvo {

ScreenshotService::ScreenshotService(EventBus& bus, ScreenCaptureIndex& index, Workspace& workspace)
    : m_bus(bus), m_index(index), m_workspace(workspace) {}

void ScreenshotService::start() {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    if (m_started) {
        return;
    }
    m_started = true;
    m_query.emplace(m_index.watch([this](const QStringList& added) { itemsChanged(added); }));
}

void ScreenshotService::itemsChanged(const QStringList& added) {
    KORVO_ASSERT_MAIN_THREAD(m_thread);
    // One toast per update, for the first capture; a burst of captures would otherwise flood
    // the toast queue.
    if (added.isEmpty() || added.first().isEmpty()) {
        return;
    }
    const QUrl url = QUrl::fromLocalFile(added.first());
    Workspace* workspace = &m_workspace;  // lives as long as the program
    m_bus.post(TransientNotification::make(
        QStringLiteral("camera.viewfinder"), QStringLiteral("Screenshot saved"), url.fileName(),
        3.5, ActivityPriority::high, [workspace, url] { workspace->open(url); }));
}

}  // namespace korvo
