#include "NowPlayingActivityProvider.h"

#include "MediaService.h"

namespace korvo {

void NowPlayingActivityProvider::start() {
    m_service.start();
}

}  // namespace korvo
