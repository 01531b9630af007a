// iCalendar files and the calendar colours they carry.
#include "FuzzInput.h"
#include "platform/linux/IcsCalendarStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using korvo::IcsCalendarStore;
    static const QDateTime from(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC);
    static const QDateTime to = from.addDays(2);
    const QByteArray text = korvo::fuzz::bytes(data, size);
    for (const auto& event : IcsCalendarStore::parse(text, from, to)) {
        // Only occurrences that overlap the window come back.
        if (event.end < from || event.start > to) {
            __builtin_trap();
        }
    }
    (void)IcsCalendarStore::parseColor(QString::fromUtf8(text.left(64)));
    return 0;
}
