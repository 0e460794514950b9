#pragma once
// The paid-leave ledger workbook (年次有給休暇管理簿) the export writes beside the monthly one:
// one sheet per staff member with their grants, the days taken, and the attendance rate of
// each grant's preceding period for the administrator to check the 80 % condition.

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

#include "labour/leave_book.h"
#include "report/monthly_export.h"
#include "report/xls_writer.h"
#include "settings/settings.h"
#include "storage/database.h"

namespace tq {

inline const QString kLeaveLedgerFileName = QStringLiteral("年次有給休暇管理簿.xls");

/// One staff member's sheet.
struct LeaveSheet {
    QString name;  ///< the sheet name (already made valid and unique)
    LeaveStaff staff;
    LeaveLedger ledger;
    /// One per grant line, in the same order; counted only for grants not lapsed by the
    /// day of the ledger (the ones an administrator can still act on).
    std::vector<std::optional<AttendanceRate>> rates;
};

/// The ledger sheets of every staff member with a grant or a day taken, in code order, as of
/// `today` (read only: the grants are counted as the sync would write them).
std::vector<LeaveSheet> LeaveSheets(Database& db, const Settings& settings, const QDate& today,
                                    const ExportProgress& progress = {});

/// The workbook: a title and the staff member's particulars, the grant table, the days taken.
xls::Workbook LeaveLedgerWorkbook(const std::vector<LeaveSheet>& sheets, const QDate& today);

struct LeaveLedgerResult {
    ExportStatus status = ExportStatus::NoRows;
    QString path;
    QString error;  ///< why it could not be written (Failed)
};

/// Writes the ledger workbook into `folder`; nothing when nobody has a grant or a day taken.
LeaveLedgerResult WriteLeaveLedgerWorkbook(Database& db, const Settings& settings,
                                           const QDate& today, const QString& folder,
                                           const ExportProgress& progress, const AskRetry& ask);

}  // namespace tq
