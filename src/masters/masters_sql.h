#pragma once
// The statements of the staff master and the shift calendar. Their log text shows every text
// value with its apostrophes doubled; the engine gets the values bound.

#include <QDate>
#include <QDateTime>
#include <QString>

#include "storage/sql.h"

namespace tq {

/// The values a staff registration writes, already in their stored form.
struct StaffValues {
    QString code;    ///< the code exactly as typed
    QString name;    ///< the name as typed
    int type = 0;    ///< 社員区分 0..4
    QString joined;  ///< trimmed 入社年月日
    QString left;    ///< trimmed 退社年月日
    bool noOvertime = true;
    QString shift;  ///< trimmed 勤務シフト
};

Sql StaffListQuery();
Sql StaffQuery(const QString& code);
/// The key is the trimmed code, the password the code as typed; 廃番区分 False, 登録日 `now`.
Sql StaffInsert(const StaffValues& v, const QDateTime& now);
/// Leaves 廃番区分 and 登録日 alone; the name is trimmed.
Sql StaffUpdate(const StaffValues& v);
Sql StaffDelete(const QString& code);

/// The work rows of `code` from `first` (a month's first day) to the end of that month.
Sql MonthShiftQuery(const QString& code, const QDate& first);
Sql DayShiftQuery(const QString& code, const QDate& day);
Sql DayShiftInsert(const QString& code, const QDate& day, const QString& shift);
Sql DayShiftUpdate(const QString& code, const QDate& day, const QString& shift);

}  // namespace tq
