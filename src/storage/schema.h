#pragma once
// The three tables of the site database, the archive tables that keep old rows, and the
// creation of whatever is missing.

#include <QDate>
#include <QString>
#include <functional>

#include "storage/database.h"

namespace tq {

TableDef DefineLogTable();    ///< T_ログ
TableDef DefineStaffTable();  ///< T_担当者
TableDef DefineWorkTable();   ///< T_勤務

/// Probes T_ログ, T_担当者 and T_勤務 in this order and creates each missing one (an existing
/// table is never altered). Stops at the first broken table and returns its name; returns an
/// empty string when all three are usable. The archive tables are created alongside.
QString EnsureTables(Database& db);

/// Moves work rows with 勤務日 before `cutoff` and log rows with 処理日時 before `cutoff`
/// 00:00:00 into T_勤務_保存 and T_ログ_保存, in one transaction. Returns the numbers of work
/// and log rows moved.
std::pair<int, int> ArchiveOldRows(Database& db, const QDate& cutoff);

}  // namespace tq
