#pragma once
// The clock seam: the only way anything reads the computer's clock or sets it. Tests give
// a fake clock; nothing under test ever changes the machine's clock.

#include <QDateTime>

namespace tq {

class Clock {
  public:
    virtual ~Clock() = default;
    /// The computer's wall-clock date and time (see common/datetime.h), whole seconds.
    virtual QDateTime now() const = 0;
    /// Sets the computer's date and time; false when refused (no privilege).
    virtual bool setNow(const QDateTime& wall) = 0;
};

/// The real clock of this computer (setting it needs CAP_SYS_TIME).
class SystemClock final : public Clock {
  public:
    QDateTime now() const override;
    bool setNow(const QDateTime& wall) override;
};

}  // namespace tq
