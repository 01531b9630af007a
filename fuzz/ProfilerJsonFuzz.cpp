// The hardware profiler's Bluetooth report, as JSON.
#include "FuzzInput.h"
#include "services/devices/DevicesService.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)korvo::DevicesService::parseProfilerBatteries(korvo::fuzz::bytes(data, size));
    return 0;
}
