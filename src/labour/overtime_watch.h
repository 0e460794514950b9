#pragma once
// Watching the 36 agreement's limits from the stored days: a staff member's figures read
// through the shared listing, the notice after a clock-out, the review's line and the lines of
// every staff member for the tool and the workbook.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "attendance/calculation.h"
#include "attendance/calendar.h"
#include "attendance/identify.h"
#include "common/outcome.h"
#include "labour/overtime.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/oplog.h"

namespace tq {

/// Each stored day's 実働 by the daily calculation, in day order (a second row of one day
/// counts no more, as in the review's walk).
std::vector<WorkedDay> WorkedDays(const std::vector<WorkRow>& rows, const QString& 残業計算区分,
                                  const Settings& settings, const QDateTime& CurrentTime);

/// The agreement year of payroll month `year`/`month` for the staff member whose work rows
/// carry `workCode`, read through the review's listing. `joined` is their joining day text
/// ("" or unreadable: none).
OvertimeYear StaffOvertime(Database& db, const QString& workCode, const QString& 残業計算区分,
                           const QString& joined, int year, int month, const Settings& settings,
                           const QDateTime& CurrentTime);

/// The sentence that names a figure against its limit: "今月の時間外労働は38:30です。(限度
/// 45:00)", and likewise for the month's overtime with rest-day work, the year, the highest
/// average and the months over the monthly limit.
QString OvertimeCheckText(const OvertimeCheck& check, const OvertimeRules& rules);

/// The message a month calls for: its worst figure once it is 注意 (information icon) or
/// 超過 / 違反 (warning icon); nothing below 注意.
std::optional<Message> OvertimeNotice(const OvertimeMonth& month, const OvertimeRules& rules);

/// `退勤`, then the notice for the payroll month of the working day the clock-out is stored
/// on (this day included). The clock-out stays accepted when the figures cannot be read: the
/// failure follows as a message of its own.
Outcome ClockOutWatched(Database& db, const LogContext& ctx, const Identification& who,
                        const Settings& settings, const QDateTime& CurrentTime);

/// The payroll month the review's period is about: the one its first day belongs to.
PayrollMonth ReviewedMonth(const Period& period, const Settings& settings);

/// The review's line under the list: "2026年05月度  時間外 38:30  休日労働 0:00  年時間外
/// 120:00  判定 —".
QString OvertimeReviewLine(const OvertimeMonth& month);

/// The review's line for the identified employee and the review's period.
QString ReviewOvertimeLine(Database& db, const Identification& who, const Period& period,
                           const Settings& settings, const QDateTime& CurrentTime);

/// One staff member's figures for a payroll month.
struct StaffOvertimeLine {
    QString code;
    QString name;
    bool rowsInMonth = false;  ///< the staff member has work rows in the month
    OvertimeYear year;
};

/// The staff members (in code order; only `code` when given) with their figures for payroll
/// month `year`/`month`. Staff without rows in the month are left out unless named by `code`.
std::vector<StaffOvertimeLine> OvertimeOfStaff(Database& db, int year, int month,
                                               const Settings& settings,
                                               const QDateTime& CurrentTime,
                                               const QString& code = QString());

/// The column captions of a staff line: 社員コード 氏名 時間外 休日労働 合計 年時間外
/// 限度超過月数 最大平均 判定.
QStringList OvertimeHeader();
/// The texts of a staff line, durations as h:mm.
QStringList OvertimeLineTexts(const StaffOvertimeLine& line);
/// The captions of a day line: 日付 実働 日時間外 週時間外 休日労働.
QStringList OvertimeDayHeader();
/// The texts of a day line: "yyyy/mm/dd" and four durations.
QStringList OvertimeDayTexts(const OvertimeDay& day);

/// True when the status calls for action (超過 or 違反).
bool OverLimit(OvertimeStatus status);

}  // namespace tq
