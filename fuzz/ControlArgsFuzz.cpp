// Toasts and activities asked for over the control interface, field by field.
#include "FuzzInput.h"
#include "app/ControlProtocol.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvo::control;
    double number = 0;
    if (size >= sizeof number) {
        std::memcpy(&number, data, sizeof number);
        data += sizeof number;
        size -= sizeof number;
    }
    const auto f = korvo::fuzz::fields(data, size, 6);
    const auto priority = parsePriority(QString::fromUtf8(f[5]));
    if (priority && (*priority < 0 || *priority > 3)) {
        __builtin_trap();
    }

    ToastRequest toast{QString::fromUtf8(f[0]), QString::fromUtf8(f[1]), QString::fromUtf8(f[2]),
                       number, priority.value_or(1)};
    (void)validate(toast);

    ActivityRequest activity{QString::fromUtf8(f[3]), QString::fromUtf8(f[4]),
                             QString::fromUtf8(f[0]), QString::fromUtf8(f[1]),
                             QString::fromUtf8(f[2]), number,
                             priority.value_or(1)};
    (void)validate(activity, true);
    (void)validate(activity, false);
    return 0;
}
