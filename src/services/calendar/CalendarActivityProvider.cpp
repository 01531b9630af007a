#include "CalendarActivityProvider.h"

#include "CalendarService.h"

namespace korvo {

void CalendarActivityProvider::start() {
    m_loop.post([service = &m_service] { service->start(); });
}

}  // namespace korvo
