#pragma once
// Registering and cancelling a request of the identified employee: the checks of the entry,
// the day's row looked up and written with its log row in one transaction, and the answer.
// Also what the entry prefills from a day's stored row.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

#include "attendance/identify.h"
#include "common/outcome.h"
#include "requests/request_kinds.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/oplog.h"

namespace tq {

/// The columns of a day's stored `T_勤務` row that the entry reads.
struct WorkDay {
    std::optional<QString> 状態;
    std::optional<QString> シフト;
    qint64 出勤時刻 = 0;
    qint64 退勤時刻 = 0;
};

/// The employee's stored row of the day; nothing when the day has none.
std::optional<WorkDay> LookUpWorkDay(Database& db, const QString& code, const QDate& day);

/// What leaving `年月日` puts into the entry: the stored state as kind (a substitute state
/// split into its kind and its linked "mm/dd"), and the day's shift (the row's, else the
/// employee's standard one, else empty).
struct DayPrefill {
    std::optional<QString> kind;
    std::optional<QString> value;
    QString shift;
};
DayPrefill PrefillForDay(const std::optional<WorkDay>& row, const StaffRecord& staff);

/// What leaving `区分` puts into `時刻` for a day with a stored row: the stored clock-in or
/// clock-out as "hh:mm", or the linked month/day of a stored substitute state. Nothing for
/// other kinds, for "残業指示", for a time of 0 and for a day without a row.
std::optional<QString> PrefillForKind(const QString& kind, const std::optional<WorkDay>& row);

/// A stored time hhmm as `時刻` shows it: 830 is "08:30", 2530 is "25:30".
QString FormatStoredTime(qint64 hhmm);

/// What the entry holds when `申請登録` or `取消` is pressed.
struct RequestEntry {
    RequestMode mode = RequestMode::Request;
    QString day;    ///< the text of `年月日`
    QString kind;   ///< the text of `区分`
    QString value;  ///< the text of `時刻` (a prompt counts as no value)
    QString shift;  ///< the caption of `シフトコード`: the shift of the chosen day
};

/// Where the entry stands after an operation.
enum class EntryAfter {
    Unchanged,   ///< nobody identified: nothing happened
    Ends,        ///< written, or refused for the employment dates: back to the punch screen
    FocusDate,   ///< refused: the focus goes back to `年月日`
    FocusKind,   ///< refused: the focus goes back to `区分`
    FocusValue,  ///< refused: the focus goes back to `時刻`
};

struct RequestResult {
    Outcome outcome;  ///< accepted when the row was written
    EntryAfter after = EntryAfter::Unchanged;
};

/// `申請登録`: stores the kind's value on the day (inserting the row when the day has none,
/// with the day's shift) and logs it under mode word + caption ("申請登録", "訂正更新").
/// Refused before anything is written: a kind the mode does not list, a missing or bad value
/// of a kind that needs one, a day the mode does not offer, a day before joining or after
/// leaving (those two days themselves are allowed). 有給休暇 on a day no leave balance covers
/// is stored all the same and followed by the warning "有給休暇の残日数がありません。".
RequestResult RegisterRequest(Database& db, const LogContext& ctx, const Identification& who,
                              const Settings& settings, const RequestEntry& entry,
                              const QDateTime& CurrentTime);

/// `取消`: sets the kind's value of the day back to none without comparing it with what is
/// stored (a row is created when the day has none). The same checks as registering; no log
/// row.
RequestResult CancelRequest(Database& db, const LogContext& ctx, const Identification& who,
                            const Settings& settings, const RequestEntry& entry,
                            const QDateTime& CurrentTime);

}  // namespace tq
