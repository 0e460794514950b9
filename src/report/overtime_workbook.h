#pragma once
// The 36 agreement's workbook beside the monthly one: the month's overtime of every staff
// member against the limits, and each staff member's months of the agreement year.

#include <QDate>
#include <QString>
#include <vector>

#include "labour/overtime_watch.h"
#include "report/xls_writer.h"

namespace tq {

/// The file name of the month ending on `PeriodEnd`: "2024年03月度_36協定.xls".
QString OvertimeWorkbookFileName(const QDate& PeriodEnd);

/// Sheet "時間外状況": the tool's header and one line per staff member. Sheet "協定年度": per
/// staff member the 12 months of the agreement year (社員コード, 氏名, 月度, 時間外, 休日労働,
/// 合計, 年時間外, 最大平均, 判定); months after the one exported have their name only.
xls::Workbook OvertimeWorkbook(const std::vector<StaffOvertimeLine>& lines);

}  // namespace tq
