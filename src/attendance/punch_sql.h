#pragma once
// The statements of identification, the punches and the period listing. Values go in as
// typed: the log text shows them unchanged between apostrophes, and the engine binds them.

#include <QDate>
#include <QDateTime>
#include <QString>

#include "storage/sql.h"

namespace tq {

/// The staff rows whose PassWord is the typed code.
Sql StaffByPassWordQuery(const QString& code);
/// The work row of the code and day (at most one, by the primary key).
Sql WorkDayQuery(const QString& code, const QDate& day);

/// A clock-in on a day without a row; `hhmm` is logged with four digits ("0805").
Sql ClockInInsert(const QString& code, const QDate& day, const QString& shift, int hhmm,
                  const QDateTime& stamp);
/// A clock-in completing a row whose 出勤時刻 is 0.
Sql ClockInUpdate(const QString& code, const QDate& day, const QString& shift, int hhmm,
                  const QDateTime& stamp);

/// A clock-out time as written into its statement: the night form past 2400 in plain
/// decimal ("2530"), a time of the same day with four digits ("0905").
struct ClockOutTime {
    int hhmm = 0;
    bool night = false;
};
Sql ClockOutInsert(const QString& code, const QDate& day, const QString& shift, ClockOutTime t,
                   const QDateTime& stamp);
Sql ClockOutUpdate(const QString& code, const QDate& day, const QString& shift, ClockOutTime t,
                   const QDateTime& stamp);

/// One employee's work rows from `start` to `end` with the joining and leaving dates, in day
/// order: the listing of the review, the export and the missing-punch check.
Sql ListingQuery(const QString& code, const QDate& start, const QDate& end);
/// The same listing of the rows moved to the archive table T_勤務_保存.
Sql ArchivedListingQuery(const QString& code, const QDate& start, const QDate& end);

}  // namespace tq
