#include "PresentationContext.h"

#include <QDesktopServices>

namespace korvo {

MediaControls& PresentationContext::media() const {
    static NoMediaControls none;
    return services.media ? *services.media : none;
}

bool PresentationContext::lowPowerMode() const {
    return services.lowPowerMode && services.lowPowerMode();
}

std::function<void(const QUrl&)> PresentationContext::urlOpener() const {
    if (services.openURL) {
        return services.openURL;
    }
    return [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

}  // namespace korvo
