// Calendar files whose recurring events began long before the window: reading them costs what
// the window holds, not the events' whole history.
#include "platform/linux/IcsCalendarStore.h"

#include <benchmark/benchmark.h>

using namespace korvo;

namespace {

QByteArray repeating(const char* start, const char* rule) {
    return QByteArray(
               "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//korvo//bench//EN\r\n"
               "BEGIN:VEVENT\r\nUID:r\r\nSUMMARY:Check-in\r\nDTSTART;TZID=Europe/Berlin:") +
           start + "\r\nDURATION:PT10M\r\nRRULE:" + rule + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// The service's window: four hours back, five days ahead.
void readWindow(benchmark::State& st, const QByteArray& text) {
    const QDateTime now(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC);
    for (auto _ : st) {
        benchmark::DoNotOptimize(
            IcsCalendarStore::parse(text, now.addSecs(-4 * 3600), now.addDays(5)));
    }
}

}  // namespace

static void BM_CalendarHourlyForFiveYears(benchmark::State& st) {
    readWindow(st, repeating("20211207T090000", "FREQ=HOURLY"));
}
BENCHMARK(BM_CalendarHourlyForFiveYears)->Unit(benchmark::kMillisecond);

static void BM_CalendarQuarterHourlyForTenYears(benchmark::State& st) {
    readWindow(st, repeating("20161207T090000", "FREQ=MINUTELY;INTERVAL=15"));
}
BENCHMARK(BM_CalendarQuarterHourlyForTenYears)->Unit(benchmark::kMillisecond);
