#pragma once
// The shift calendar: one shift code per staff member and day, kept in T_勤務.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <array>

#include "common/outcome.h"
#include "storage/database.h"
#include "storage/oplog.h"

namespace tq {

/// Day boxes of the calendar: index i stands for day i + 1.
inline constexpr int kCalendarDays = 31;
using DayShifts = std::array<QString, kCalendarDays>;
using DayFlags = std::array<bool, kCalendarDays>;

/// The first day of a month written "yyyy/mm"; an invalid date when the text names no month.
QDate MonthStart(const QString& month);
/// Which day boxes stand for a day of the month; none when the text names no month.
DayFlags MonthDays(const QString& month);
/// The months `対象年月` offers around `today`: the previous, the current and the next, as
/// "yyyy/mm".
QStringList TargetMonths(const QDate& today);

/// The stored shift of each day of the month beginning `first`; "" where no row or an empty
/// shift is stored.
DayShifts MonthShifts(Database& db, const QString& code, const QDate& first);

/// What `シフト登録` reads from the panel.
struct ShiftRegistration {
    QString code;             ///< 従業員コード
    bool staffShown = false;  ///< false while 従業員名 is empty
    QString month;            ///< 対象年月
    DayShifts days;  ///< 日別シフト(0..30); boxes of days outside the month are not read
};

struct ShiftOutcome : Outcome {
    bool codeRefused = false;  ///< the code was refused: the focus goes to 従業員コード
    int refusedDay = -1;       ///< index of the day box that was refused, or -1
};

/// Writes every day of the month (also the empty ones) with one log row carrying the last
/// statement, all in one transaction. Nothing happens without a staff member or a month; a
/// day text over one character is refused before anything is written.
ShiftOutcome RegisterMonthShifts(Database& db, const LogContext& ctx, const QDateTime& now,
                                 const ShiftRegistration& entry);

}  // namespace tq
