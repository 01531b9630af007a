// Links in the free text of an invitation.
#include "FuzzInput.h"
#include "platform/linux/UrlFinder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const korvo::UrlFinder finder;
    for (const QUrl& url : finder.links(korvo::fuzz::text(data, size))) {
        if (!url.isValid()) {
            __builtin_trap();
        }
    }
    return 0;
}
