#include "ClipboardActivityProvider.h"

#include "ClipboardService.h"

namespace korvo {

void ClipboardActivityProvider::start() {
    m_service.start();
}

}  // namespace korvo
