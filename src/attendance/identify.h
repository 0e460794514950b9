#pragma once
// Staff identification: the typed code's staff row, and the name and shift that apply on the
// day of `CurrentTime`. The punches, the review and the requests act on its result.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

#include "common/outcome.h"
#include "storage/database.h"

namespace tq {

/// The columns of the identified employee's `T_担当者` row that the terminal reads. A null
/// column is std::nullopt.
struct StaffRecord {
    QString 担当者コード;
    QString 担当者名;
    QString PassWord;
    std::optional<QString> 入社年月日;
    std::optional<QString> 退社年月日;
    QString 残業計算区分;
    std::optional<QString> 勤務シフト;
};

/// Who stands at the terminal. Nobody is identified when `StaffRecord` is empty.
struct Identification {
    QString code;  ///< the typed code, unchanged
    std::optional<tq::StaffRecord> StaffRecord;
    QString 社員名;  ///< the caption of `社員名`
    QString
        シフトコード;  ///< the caption of `シフトコード`: the day's shift, else the standard one
    Outcome outcome;  ///< "社員名が未登録です。" for an unknown code

    bool identified() const { return StaffRecord.has_value(); }
};

/// The staff row of the code typed at the terminal, if there is one.
std::optional<StaffRecord> ReadStaffRecord(Database& db, const QString& code);

/// The message for a code that is not in the staff master (default title, no icon).
Message UnknownStaffMessage();

/// Identifies the typed code on the day of `CurrentTime`. An empty code touches nothing and
/// identifies nobody; an unknown code identifies nobody and says so.
Identification Identify(Database& db, const QString& code, const QDateTime& CurrentTime);

}  // namespace tq
