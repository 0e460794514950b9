#pragma once
// The terminal's side of network time: the binding to the Horvex library, and the clock
// check that turns its answer into the terminal's current time.

#include <QColor>
#include <QDateTime>
#include <QString>

#include "timesync/clock.h"

namespace tq {

/// The three functions of the network time library.
class NtpLibrary {
  public:
    virtual ~NtpLibrary() = default;
    /// False when the library cannot be loaded; the other calls then fail or return 0.
    virtual bool available() = 0;
    virtual bool setNtpServer(const QString& host, int port) = 0;
    /// Days since 1899-12-30 (UTC), or 0.0 when the library has no time.
    virtual double getNtpTime() = 0;
    virtual void closeNtpServer() = 0;
};

/// libHorvex.so, loaded from the program's folder first, then by the library search path;
/// the functions are bound by name at their first call.
class HorvexLibrary final : public NtpLibrary {
  public:
    bool available() override;
    bool setNtpServer(const QString& host, int port) override;
    double getNtpTime() override;
    void closeNtpServer() override;
    /// Loads from this file instead (tests).
    explicit HorvexLibrary(QString explicitPath = QString());
    ~HorvexLibrary() override;

  private:
    struct Impl;
    Impl* impl_;
};

/// Indicator colours of the synchronisation state.
inline const QColor kSyncedColour(255, 128, 0);
inline const QColor kUnsyncedColour(0, 255, 255);

/// The clock check run by every tick while `TimerSwitch` is "ON" and before identification
/// and punches. Keeps `TimerSwitch`, the indicator colour and the offset used when the
/// computer refuses to have its clock set.
class ClockCheck {
  public:
    ClockCheck(NtpLibrary& ntp, Clock& clock, QString host, int port = 123);

    /// The clock check proper: network time (UTC + 9 hours) sets the computer's clock once
    /// and closes the exchange; until then the computer's clock is used and the library is
    /// started again (unless it cannot be loaded). Once synchronised it only reads the clock.
    /// It never lets queued events run.
    QDateTime check();
    /// The terminal's current time: the clock check while `TimerSwitch` is "ON", else the
    /// computer's clock (plus the offset kept after a refused clock change).
    QDateTime currentTime();

    bool timerSwitchOn() const { return timerSwitch_; }
    void setTimerSwitch(bool on) { timerSwitch_ = on; }
    QColor indicator() const { return indicator_; }
    /// True once network time has been taken (whether or not the computer accepted it).
    bool synchronised() const { return synchronised_; }
    /// The computer's clock, plus the offset kept after a refused clock change.
    QDateTime clockTime() const;

  private:
    NtpLibrary& ntp_;
    Clock& clock_;
    QString host_;
    int port_;
    bool timerSwitch_ = false;
    QColor indicator_ = kUnsyncedColour;
    qint64 offsetSeconds_ = 0;  ///< network time minus the computer's clock, when not set
    bool useOffset_ = false;
    bool synchronised_ = false;
};

}  // namespace tq
