#include "DevicesActivityProvider.h"

#include "DevicesService.h"

namespace korvo {

void DevicesActivityProvider::start() {
    m_service.start();
}

}  // namespace korvo
