#pragma once
// The staff master: looking up, checking, registering and deleting rows of T_担当者. The
// panel of the window and the command-line tool call these same operations.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "common/outcome.h"
#include "storage/database.h"
#include "storage/oplog.h"

namespace tq {

/// Column limits of the staff master.
inline constexpr int kStaffCodeLength = 4;  ///< characters
inline constexpr int kStaffNameBytes = 30;  ///< bytes in Shift_JIS
inline constexpr int kShiftCodeLength = 1;  ///< characters of a shift code

/// A field of the staff panel; a refusal names the one the focus returns to.
enum class StaffField { None, Code, Name, Type, Joined, Left, Shift };

struct StaffOutcome : Outcome {
    StaffField field = StaffField::None;
};

/// One row of T_担当者 as the panel and the tool show it.
struct StaffRow {
    QString code;
    QString name;
    QString password;
    qint64 type = 0;
    QString joined;    ///< "" when null
    QString left;      ///< "" when null
    QString overtime;  ///< "有" or "無"
    QString shift;
    bool retired = false;
    QDateTime registered;
};

/// The code part of the code box: a chosen list item ("code : name") leaves what stands
/// before the first " : ".
QString StaffCodeOf(const QString& boxText);
/// The list item of a row: code + " : " + name.
QString StaffListItem(const StaffRow& row);
/// Every staff row in code order, retired ones included.
std::vector<StaffRow> ListStaff(Database& db);
QStringList StaffListItems(Database& db);

/// The refusal of a code longer than the column, if any.
std::optional<Message> CheckStaffCode(const QString& code);
/// The refusal of a name over 30 Shift_JIS bytes, if any.
std::optional<Message> CheckStaffName(const QString& name);
/// The refusal of a staff shift code over one character, if any.
std::optional<Message> CheckStaffShift(const QString& shift);

enum class LookupResult {
    Ignored,   ///< a blank code: nothing happens
    Refused,   ///< the code is too long; `outcome` holds the warning
    NotFound,  ///< a new staff member
    Found,     ///< `row` holds the staff member
};

struct StaffLookup {
    LookupResult result = LookupResult::Ignored;
    QString code;  ///< the box text after the list-item cut
    Outcome outcome;
    std::optional<StaffRow> row;
};

/// Looks up the code in the code box (after leaving it).
StaffLookup LookupStaff(Database& db, const QString& boxText);

/// The two date boxes; each has its own messages.
enum class DateBox { Joined, Left };

struct DateCheck {
    QString text;  ///< the box text after normalisation, kept even when refused
    std::optional<Message> refusal;
};

/// Normalises a date box's text on leaving it: full-width to half-width, a blank text means
/// today, short forms are completed from `today`; the result must be a 10-byte real date
/// "yyyy/mm/dd". An empty text stays empty and is accepted.
DateCheck NormaliseDate(const QString& text, const QDate& today, DateBox box);
/// The check alone, for a text already normalised (empty is accepted).
std::optional<Message> CheckDateText(const QString& text, DateBox box);

/// The panel's fields as they stand when `登録` is pressed.
struct StaffEntry {
    QString code;            ///< 従業員コード as typed
    QString name;            ///< 従業員名 as typed
    int type = 0;            ///< the chosen option button, 社員区分 0..4
    QString joined;          ///< 入社年月日
    QString left;            ///< 退社年月日
    bool noOvertime = true;  ///< 残業計算無し
    QString shift;           ///< 勤務シフト
};

/// `登録`: inserts a new row (廃番区分 False, 登録日 `now`) or updates the existing one
/// (keeping both), with its log row, in one transaction. Typed values that do not fit are
/// refused before anything is written; a blank code does nothing.
StaffOutcome RegisterStaff(Database& db, const LogContext& ctx, const QDateTime& now,
                           const StaffEntry& entry);

/// `削除`: deletes the row with its log row, in one transaction. The staff member's work rows
/// stay. A code without a row (deleted meanwhile by another terminal, or mistyped in the
/// tool) is refused with "社員コードが未登録です。" and nothing is logged.
StaffOutcome DeleteStaff(Database& db, const LogContext& ctx, const QDateTime& now,
                         const QString& code);

}  // namespace tq
