#include "timesync/clock.h"

#include <time.h>

#include "common/datetime.h"

namespace tq {

QDateTime SystemClock::now() const {
    const QDateTime wall = wallClock(QDateTime::currentDateTime());
    const QTime t = wall.time();
    return QDateTime(wall.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC);
}

bool SystemClock::setNow(const QDateTime& wall) {
    if (!wall.isValid()) {
        return false;
    }
    // The wall-clock value is this computer's local date and time.
    const QDateTime local(wall.date(), wall.time(), Qt::LocalTime);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(local.toSecsSinceEpoch());
    ts.tv_nsec = static_cast<long>(wall.time().msec()) * 1'000'000L;
    return ::clock_settime(CLOCK_REALTIME, &ts) == 0;
}

}  // namespace tq
