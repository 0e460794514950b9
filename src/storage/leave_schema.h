#pragma once
// The tables of annual paid leave: each staff member's weekly working pattern with the day
// it applies from, and the grants of leave days (statutory ones written by the terminal,
// manual ones by the administrator).

#include <QString>
#include <vector>

#include "storage/database.h"

namespace tq {

inline const QString kWorkPatternTable = QStringLiteral("T_勤務形態");
inline const QString kLeaveGrantTable = QStringLiteral("T_有給付与");

/// T_勤務形態: 担当者コード, 適用開始日, 週所定労働日数, 週所定労働時間 (minutes), 登録日.
TableDef DefineWorkPatternTable();
/// T_有給付与: 担当者コード, 基準日, 付与区分 (自動/手動), 付与半日数 (days × 2, so that half
/// days stay whole numbers), the pattern the grant was made with, 備考, 登録日.
TableDef DefineLeaveGrantTable();

/// Both, in the order they are created and copied.
std::vector<TableDef> LeaveTableDefs();

}  // namespace tq
