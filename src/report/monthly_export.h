#pragma once
// The monthly workbook for payroll: one sheet per staff member with rows in the payroll
// month, every day of the month with the review's seventeen columns and four totals rows.
// The `出力` button and `tq582ctl export` both run ExportMonthlyWorkbook.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

#include "attendance/calculation.h"
#include "attendance/calendar.h"
#include "common/outcome.h"
#include "report/workbook_file.h"
#include "report/xls_writer.h"
#include "settings/settings.h"
#include "storage/database.h"

namespace tq {

/// One staff member's sheet: the days of the month as the calculation gives them (no
/// display spaces) and the totals of the walk.
struct StaffSheet {
    QString name;  ///< the sheet name (already made valid and unique)
    std::vector<DayFigures> days;
    MonthTotals totals;
};

/// The file name of the month ending on `PeriodEnd`: "2024年03月度_勤務.xls".
QString WorkbookFileName(const QDate& PeriodEnd);

/// Sheet names for staff names in order: characters a sheet cannot carry ([ ] : * ? / \ and
/// control characters, an apostrophe at either end) become "_", the name is cut to 31
/// characters, an empty name becomes "_", and a name already used (regardless of case) gets
/// " (2)", " (3)", ... within the 31 characters.
QStringList SheetNames(const QStringList& staffNames);

/// The four totals rows (ordinary days, rest days, all days, absences), 17 texts each.
std::array<QStringList, 4> TotalsRows(const MonthTotals& totals);

/// The workbook of the given sheets: header row, day rows, separator row, totals rows, the
/// formats, widths, frozen header and page set-up of the payroll sheets.
xls::Workbook MonthlyWorkbook(const std::vector<StaffSheet>& sheets);

/// Told before each staff member's sheet is made: the name, its number from 0 and the number
/// of staff rows being looked at.
using ExportProgress = std::function<void(const QString& name, int index, int count)>;

enum class ExportStatus {
    Written,    ///< the workbook was written to `path`
    NoRows,     ///< nobody has rows in the month: nothing written
    Cancelled,  ///< the workbook was in use and the user gave up: nothing written
    Failed,     ///< the file could not be written; `outcome` says why
};

/// A workbook written beside the monthly one, after it.
struct CompanionWorkbook {
    QString path;  ///< absolute
    ReplaceStatus status = ReplaceStatus::Failed;
};

struct ExportResult {
    ExportStatus status = ExportStatus::Failed;
    Outcome outcome;
    QString path;  ///< the absolute path of the workbook
    /// Once the monthly workbook is written: the 36 agreement's workbook of the month. One
    /// that fails adds its message to `outcome`; the monthly workbook stays written.
    std::vector<CompanionWorkbook> companions;
    QStringList sheetNames;
    QDate PeriodStart;
    QDate PeriodEnd;
};

/// Exports the payroll month of `CurrentTime` for every staff member (in code order) into
/// `folder` (created when missing), as WorkbookFileName(PeriodEnd), and the month's 36
/// agreement workbook beside it. The month starts on
/// `ComputePeriod`'s PeriodStart and lasts one calendar month. Database failures are thrown
/// as DbError before anything is written. Once the month is written, the paid-leave ledger
/// (report/leave_workbook.h) is written beside it as a companion too.
ExportResult ExportMonthlyWorkbook(Database& db, const Settings& settings,
                                   const QDateTime& CurrentTime, const QString& folder,
                                   const ExportProgress& progress, const AskRetry& ask);

}  // namespace tq
