#pragma once
// The statements of paid leave: working patterns, grants and the days taken. Text values are
// logged with apostrophes doubled, as the staff master logs them; the engine binds them.

#include <QDate>
#include <QDateTime>
#include <QString>

#include "labour/leave.h"
#include "storage/sql.h"

namespace tq {

/// "自動" or "手動", as 付与区分 stores it.
QString GrantKindText(GrantKind kind);

Sql WorkPatternsQuery(const QString& code);
Sql WorkPatternInsert(const QString& code, const WorkPattern& p, const QDateTime& now);
/// A pattern from the same day replaces the one stored.
Sql WorkPatternUpdate(const QString& code, const WorkPattern& p, const QDateTime& now);

Sql LeaveGrantsQuery(const QString& code);
Sql LeaveGrantInsert(const QString& code, const LeaveGrant& g, const QDateTime& now);
/// The days, pattern and note of the grant of that 基準日 and kind.
Sql LeaveGrantUpdate(const QString& code, const LeaveGrant& g, const QDateTime& now);
Sql LeaveGrantDelete(const QString& code, const LeaveGrant& g);

/// The days of `workCode` (the code the work rows carry) whose state is 有給休暇, from `from`
/// on, in the work rows and in the archive of old rows alike.
Sql LeaveDaysQuery(const QString& workCode, const QDate& from);

}  // namespace tq
