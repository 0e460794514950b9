#pragma once
// The monthly review: every day of the open period as one row of the list `明細`, and the
// walk over an employee's stored days that the review, the export and the missing-punch
// check share.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

#include "attendance/calculation.h"
#include "attendance/calendar.h"
#include "attendance/identify.h"
#include "common/outcome.h"
#include "settings/settings.h"
#include "storage/database.h"

namespace tq {

/// The calculation's view of the current row of a listing (or of a T_勤務 query, whose rows
/// carry no joining or leaving date).
WorkRow ReadWorkRow(const ResultSet& rs);

/// The employee's stored rows from `start` to `end`, in day order, one per day: the rows of
/// T_勤務 and, for the days it has none, those moved to the archive (the first one of a day),
/// so that a month reads the same before and after its rows were moved.
std::vector<WorkRow> ReadListing(Database& db, const QString& code, const QDate& start,
                                 const QDate& end);

/// Walks the day cursor from `start` with the stored rows: each day up to the last row's day
/// is calculated, days without a row as such, stored days from their row. Days after the
/// last row are not visited; with no rows nothing is. Adds to `totals`.
std::vector<DayFigures> WalkRows(const std::vector<WorkRow>& rows, const QDate& start,
                                 const QString& 残業計算区分, const Settings& settings,
                                 const QDateTime& CurrentTime, MonthTotals& totals);

/// A day after the last stored row: only its date and day text (shift index 0).
DayFigures BlankDay(const QDate& day, const Settings& settings);

/// The seventeen texts of a row as `明細` shows them: the ten figure columns "残業指示" and
/// "出勤" .. "実働" show " " when empty, the others exactly as they are.
QStringList DisplayTexts(const DayFigures& f);

/// What `確認` shows.
struct ReviewResult {
    Outcome outcome;  ///< accepted with rows; "出退勤情報がありません。" without
    Period period;
    std::vector<DayFigures> days;  ///< one per day of the period, in order
    MonthTotals totals;            ///< the sums of the walk, read by the export
    int firstMissingRow = -1;      ///< the first row whose 状態 is "？？", -1 when none
};

/// The review of the identified employee at `CurrentTime`. Nobody identified: nothing (not
/// accepted, no message).
ReviewResult MonthlyReview(Database& db, const Identification& who, const Settings& settings,
                           const QDateTime& CurrentTime);

}  // namespace tq
