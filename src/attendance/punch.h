#pragma once
// Clock-in and clock-out: the punch of the identified employee at `CurrentTime`, written
// with its log row in one transaction, and the warnings about earlier days of the period
// without complete punches.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

#include "attendance/identify.h"
#include "common/outcome.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/oplog.h"

namespace tq {

/// Longest staff code a work row can hold.
inline constexpr int kWorkCodeLength = 4;

/// `出勤`: inserts today's row, or completes a row whose 出勤時刻 is 0; refuses a second
/// clock-in, punches outside the employment dates and a staff member deleted since the
/// identification; then warns of each earlier day of the period marked "？？". A database
/// failure of that check comes in `failureAfter` of the accepted outcome. Nobody identified:
/// nothing happens (no message).
Outcome ClockIn(Database& db, const LogContext& ctx, const Identification& who,
                const Settings& settings, const QDateTime& CurrentTime);

/// `退勤`: writes the clock-out into the row of today, or of yesterday as hhmm + 2400 when it
/// is made after midnight up to the start time of the shift shown. A repeated clock-out
/// replaces the earlier one. Nobody identified: nothing happens.
Outcome ClockOut(Database& db, const LogContext& ctx, const Identification& who,
                 const Settings& settings, const QDateTime& CurrentTime);

/// The day and time a clock-out at `CurrentTime` is stored as, for a shift whose start time
/// reads `startTime`. The start time is compared as a time ("8:30" is "08:30"); a clock-out
/// exactly at it still belongs to the previous day; an empty start time never does.
struct ClockOutTarget {
    QDate day;
    int hhmm = 0;
    bool night = false;
};
ClockOutTarget ClockOutTargetFor(const QDateTime& CurrentTime, const QString& startTime);

/// The refusal of a punch outside the employee's employment dates, if any: before the
/// joining day, or after the leaving day (both days are working days). Both ends are
/// compared with the working day the punch belongs to: the clock-out of a night shift that
/// began on the leaving day is accepted after midnight, and a 01:00 clock-out on the joining
/// day (which belongs to the day before) is refused.
std::optional<Message> EmploymentRefusal(const StaffRecord& staff, const QDate& workingDay);

}  // namespace tq
