#pragma once
// The clock seam: the only way anything reads the computer's clock or sets it. Tests give
// a fake clock; nothing under test ever changes the machine's clock.
//
// The clock reads and takes Japan time (UTC+9) whatever time zone the computer is set to:
// setting it sets the true instant, so the computer's own zone stays right.

#include <time.h>

#include <QDateTime>

namespace tq {

class Clock {
  public:
    virtual ~Clock() = default;
    /// The computer's clock as Japan wall-clock date and time (see common/datetime.h),
    /// whole seconds.
    virtual QDateTime now() const = 0;
    /// Sets the computer's clock to the instant of a Japan wall-clock date and time; false
    /// when refused (no privilege).
    virtual bool setNow(const QDateTime& wall) = 0;
};

/// The real clock of this computer (setting it needs CAP_SYS_TIME).
class SystemClock final : public Clock {
  public:
    QDateTime now() const override;
    bool setNow(const QDateTime& wall) override;
};

/// The real-time clock value (seconds and nanoseconds since 1970-01-01 UTC) that stands for
/// a Japan wall-clock date and time: what setting the clock to `wall` writes.
timespec RealTimeOfJapanTime(const QDateTime& wall);

}  // namespace tq
