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
    QString code;  ///< 担当者コード, printed in the page footer
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

/// The page footer of a sheet: "社員コード 0001　2026/10/21～2026/11/20", which tells apart on
/// paper two staff members of the same name.
QString SheetFooter(const QString& code, const PayrollMonth& month);

/// The workbook of the given sheets of `month`: header row, day rows, separator row, totals
/// rows, the formats, widths, frozen header and page set-up of the payroll sheets. The
/// workbook's font is IPAGothic, whose half-width characters are exactly half as wide as its
/// full-width ones: the column widths fitted to that are the real widths where it is
/// installed (the terminal needs it), so each sheet of a month prints one page wide at 80 %.
xls::Workbook MonthlyWorkbook(const std::vector<StaffSheet>& sheets, const PayrollMonth& month);

/// Told before each staff member's sheet is calculated: the name, its number from 0 and the
/// number of sheets.
using ExportProgress = std::function<void(const QString& name, int index, int count)>;

/// The payroll month that the export at `CurrentTime` covers: the one holding the first day
/// ComputePeriod leaves open.
PayrollMonth ExportMonth(const QDateTime& CurrentTime, const Settings& settings);

/// The sheets of every staff member with rows in `month`, in code order, their names made
/// valid and unique. All rows are read in one reading transaction, so the sheets show one
/// moment of the database, before the calculation (and `progress`) begins. Database failures
/// are thrown as DbError.
std::vector<StaffSheet> MonthlySheets(Database& db, const Settings& settings,
                                      const PayrollMonth& month, const QDateTime& CurrentTime,
                                      const ExportProgress& progress);

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

/// Exports `month` for every staff member (in code order) into `folder` (created when
/// missing), as WorkbookFileName(month's last day), and the month's 36 agreement workbook
/// and the paid-leave ledger (report/leave_workbook.h) beside it as companions. Database
/// failures are thrown as DbError before anything is written.
ExportResult ExportMonthlyWorkbook(Database& db, const Settings& settings,
                                   const PayrollMonth& month, const QDateTime& CurrentTime,
                                   const QString& folder, const ExportProgress& progress,
                                   const AskRetry& ask);
/// The same for ExportMonth(CurrentTime).
ExportResult ExportMonthlyWorkbook(Database& db, const Settings& settings,
                                   const QDateTime& CurrentTime, const QString& folder,
                                   const ExportProgress& progress, const AskRetry& ask);

}  // namespace tq
