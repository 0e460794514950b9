#pragma once
// Payroll period and rest-day rules: pure functions of a date and the loaded settings.

#include <QDate>
#include <QDateTime>
#include <QString>

#include "settings/settings.h"

namespace tq {

/// The open span of days: from the first day of the oldest payroll period still open for
/// corrections to its correction day or to the closing day of the current period.
struct Period {
    QDate PeriodStart;
    QDate PeriodEnd;
};

/// The span the terminal works on at `currentTime` (a wall-clock date-time), from
/// `[給与締日]` and `[過日修正可能日]`. A value that is missing, not a number or 0 means
/// "末日"; a day beyond the end of a month means that month's last day.
Period ComputePeriod(const QDateTime& currentTime, const Settings& settings);

/// One payroll month: from the day after the previous closing day to the closing day itself,
/// named by the calendar month its closing day falls in. A closing day past a month's end
/// means that month's last day, so consecutive payroll months meet without a gap or overlap.
struct PayrollMonth {
    QDate start;
    QDate end;
};

/// The payroll month whose closing day (`[給与締日]`, "末日" as in ComputePeriod) falls in the
/// calendar month `year`/`month`.
PayrollMonth PayrollMonthEnding(int year, int month, const Settings& settings);

/// The one payroll month that holds `day`.
PayrollMonth PayrollMonthOf(const QDate& day, const Settings& settings);

/// The first day the start-up move into the archive keeps: the first day of the previous
/// calendar month, or the first day of a payroll period still open for corrections at
/// `currentTime` when that is earlier (a day that may still be corrected is never archived).
QDate ArchiveCutoff(const QDateTime& currentTime, const Settings& settings);

/// The day text of the "曜日" column: the weekday letter ("日".."土"), followed by "休" when
/// the date is a rest day of the shift. Exception and special working days win over every
/// rest-day rule; "祝祭日" in `[休日]` means the built-in national holidays.
QString DayText(const Settings& settings, int shiftIndex, const QDate& date);

/// True when the date is in the built-in table of national holidays (fixed days, the
/// Monday rules and the equinox days; no substitute holidays).
bool isNationalHoliday(const QDate& date);

/// True when a day-list entry names the date: "mm/dd", a weekday name alone, or a weekday
/// name with the digits of the weeks of the month it applies to (第2・第4土曜日).
bool dayEntryMatches(const QString& entry, const QDate& date);

}  // namespace tq
