#include "platform/Clock.h"

#include <limits>

#include "platform/BlockingWait.h"

QDateTime SystemClock::Now() const {
    // The C library checks the time zone file at every conversion to local time (2 to 3 us),
    // and a scan cycle asks for the time once for each history line it writes. Within one
    // millisecond, the unit of a QDateTime, the conversion gives the same again.
    thread_local qint64 convertedMs = std::numeric_limits<qint64>::min();
    thread_local QDateTime converted;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    if (ms != convertedMs) {
        converted = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
        convertedMs = ms;
    }
    return converted;
}

void SystemClock::Sleep(int ms) {
    BlockingWait::Sleep(ms);
}
