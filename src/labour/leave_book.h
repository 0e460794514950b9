#pragma once
// Paid leave on the site database: the statutory grants written once their 基準日 has come,
// the administrator's patterns and manual grants, the ledger (年次有給休暇管理簿) of a staff
// member, and what the terminal and the tool tell about the balance and the 5-day duty.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "attendance/identify.h"
#include "common/outcome.h"
#include "labour/leave.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/oplog.h"

namespace tq {

struct StaffRow;

/// A staff member as leave sees them.
struct LeaveStaff {
    QString code;  ///< 担当者コード of the staff master, the key of the leave tables
    QString name;
    QString workCode;  ///< the code the work rows carry (the typed PassWord)
    QDate joined;      ///< invalid when not registered
    QDate left;        ///< invalid when not registered
};
LeaveStaff LeaveStaffOf(const StaffRow& row);
LeaveStaff LeaveStaffOf(const Identification& who);

std::vector<WorkPattern> ReadWorkPatterns(Database& db, const QString& code);
/// Every stored grant, automatic and manual, oldest first.
std::vector<LeaveGrant> ReadLeaveGrants(Database& db, const QString& code);
/// The days whose state is 有給休暇 from `from` on (every day when invalid), in the work rows
/// and their archive, in day order.
std::vector<QDate> ReadLeaveDays(Database& db, const QString& workCode, const QDate& from = {});

/// Brings the stored automatic grants in line with the joining day: writes the statutory grants
/// due by `now` that are missing (with the pattern in force on their 基準日) and removes those
/// the joining and leaving days no longer give. A grant once written keeps its days, unless
/// `recalculateFrom` is given: then the automatic grants from that day on are recalculated
/// with the patterns now stored. Every change is logged as "有給付与"; returns one line per
/// change.
QStringList SyncStatutoryGrants(Database& db, const LogContext& ctx, const QDateTime& now,
                                const LeaveStaff& staff, const QDate& recalculateFrom = {});

/// The ledger on `today` as the sync would leave it, without writing. Statutory grants due
/// after today up to `through` are counted as they will be written (for a day of leave
/// registered ahead).
LeaveLedger ReadLeaveLedger(Database& db, const LeaveStaff& staff, const QDate& today,
                            const QDate& through = {});
/// The sync, then the ledger on the day of `now`.
LeaveLedger LoadLeaveLedger(Database& db, const LogContext& ctx, const QDateTime& now,
                            const LeaveStaff& staff, const QDate& through = {});

/// The columns of a grant line of the ledger.
inline const QStringList kLedgerColumns{QStringLiteral("基準日"),       QStringLiteral("付与日数"),
                                        QStringLiteral("取得日数"),     QStringLiteral("残日数"),
                                        QStringLiteral("失効日"),       QStringLiteral("義務期限"),
                                        QStringLiteral("義務期間取得"), QStringLiteral("取得義務")};
/// Where the 基準日 of a grant would stand, for days taken that no grant covers yet.
inline const QString kUncoveredBase = QStringLiteral("未付与");
inline const QString kNoJoiningDayNote =
    QStringLiteral("入社年月日が未登録のため、法定の付与は自動では行われません。");

/// A grant line's texts in the order of kLedgerColumns (days with one decimal, "-" where the
/// grant carries no duty).
QStringList GrantLineTexts(const GrantLine& line);
/// The line of the days taken that no grant covers (a negative balance).
QStringList UncoveredLineTexts(const LeaveLedger& ledger);
/// The 基準日 of the grants a day drew on, comma-separated, or kUncoveredBase.
QString TakenDayBases(const TakenDay& day);

/// `leave show`: a header line, one line per grant, one line per day taken (tab-separated),
/// and a closing note when the staff member has no joining day.
QStringList LedgerTextLines(const LeaveLedger& ledger, const LeaveStaff& staff);

/// The review's line under the grid: the balance, the next lapse and the current duty.
QString LeaveStatusLine(const LeaveLedger& ledger, const LeaveStaff& staff, const QDate& today);

/// The reminder after a clock-in: the open duty whose deadline is within the warning days.
std::optional<Message> LeaveDutyReminder(Database& db, const LogContext& ctx,
                                         const LeaveStaff& staff, const Settings& settings,
                                         const QDateTime& now);

/// `出勤` with the paid-leave reminder right after "出勤を受け付けました。". The punch stays
/// accepted when the leave cannot be read; that failure is told after it.
Outcome ClockInWithLeaveReminder(Database& db, const LogContext& ctx, const Identification& who,
                                 const Settings& settings, const QDateTime& CurrentTime);

/// The warning after 有給休暇 was registered on `day` with no balance left for it (or that the
/// balance could not be read: the registration stands either way).
std::optional<Message> LeaveShortfallWarning(Database& db, const LogContext& ctx,
                                             const Identification& who, const QDateTime& now,
                                             const QDate& day);

/// One line of `leave duty`.
struct DutyListLine {
    LeaveStaff staff;
    QDate base;
    QDate deadline;
    int taken = 0;
    int left = 0;
};
/// Every staff member (code order) whose duty is to be watched on the day of `now`.
std::vector<DutyListLine> LeaveDutyList(Database& db, const LogContext& ctx,
                                        const Settings& settings, const QDateTime& now);

/// `leave set`: the weekly working days and minutes from `from` (when invalid: the joining
/// day for the first pattern of a staff member, else today). A pattern from the same day
/// replaces the one stored. Automatic grants from that day on are recalculated.
Outcome SetWorkPattern(Database& db, const LogContext& ctx, const QDateTime& now,
                       const LeaveStaff& staff, WorkPattern pattern);

/// Longest note of a manual grant, in characters.
inline constexpr int kGrantNoteLength = 64;

/// `leave grant`: a manual grant of `halves` half days on `base` (a second one on the same
/// day replaces the first). On the 基準日 of an automatic grant it takes that grant's place.
Outcome GrantLeave(Database& db, const LogContext& ctx, const QDateTime& now,
                   const LeaveStaff& staff, const QDate& base, HalfDays halves,
                   const QString& note);

}  // namespace tq
