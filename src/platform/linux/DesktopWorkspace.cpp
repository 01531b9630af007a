#include "DesktopWorkspace.h"

#include <QDesktopServices>

namespace korvo {

void DesktopWorkspace::open(const QUrl& url) {
    // Hands the URL to a detached launcher, so this returns at once.
    QDesktopServices::openUrl(url);
}

}  // namespace korvo
