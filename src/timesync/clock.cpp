#include "timesync/clock.h"

#include <time.h>

#include "common/datetime.h"

namespace tq {

QDateTime SystemClock::now() const {
    const QDateTime wall = japanTime(QDateTime::currentDateTimeUtc());
    const QTime t = wall.time();
    return QDateTime(wall.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC);
}

bool SystemClock::setNow(const QDateTime& wall) {
    if (!wall.isValid()) {
        return false;
    }
    const timespec ts = RealTimeOfJapanTime(wall);
    return ::clock_settime(CLOCK_REALTIME, &ts) == 0;
}

timespec RealTimeOfJapanTime(const QDateTime& wall) {
    const qint64 ms = msecsSinceEpochOfJapanTime(wall);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1'000'000L;
    if (ts.tv_nsec < 0) {
        ts.tv_nsec += 1'000'000'000L;
        ts.tv_sec -= 1;
    }
    return ts;
}

}  // namespace tq
