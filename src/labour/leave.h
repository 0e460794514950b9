#pragma once
// Annual paid leave (art. 39 of the Labour Standards Act): the statutory grants, how long a
// grant lasts, which grant each day taken draws on, and the employer's 5-day duty. Pure
// rules: the stored grants and the days taken come in, the ledger comes out.

#include <QDate>
#include <QString>
#include <vector>

#include "attendance/calculation.h"
#include "settings/settings.h"

namespace tq {

/// Leave is counted in half days, so that grants in steps of 0.5 stay whole numbers.
using HalfDays = int;
inline constexpr HalfDays kHalvesPerDay = 2;
/// A grant of this size or more obliges the employer to see 5 days taken within its year.
inline constexpr HalfDays kDutyGrantHalves = 20;
inline constexpr int kDutyDays = 5;

/// Days with one decimal: "10.0", "10.5", "-2.0".
QString FormatLeaveDays(HalfDays halves);

/// [有給取得義務警告日数] as a number of days: a whole number of 0 or more, else the default.
int DutyWarningDays(const Settings& settings);

/// A staff member's working pattern from a day on; before the first one, the full-time week.
struct WorkPattern {
    QDate from;
    int weeklyDays = 5;
    int weeklyMinutes = 40 * 60;

    bool operator==(const WorkPattern&) const = default;
};

/// The pattern in force on `day` (`patterns` in any order).
WorkPattern PatternOn(const std::vector<WorkPattern>& patterns, const QDate& day);
/// The proportional table applies to at most 4 days and under 30 hours a week.
bool IsProportional(const WorkPattern& pattern);
/// Days granted at the `step`-th 基準日 (0 at six months of service; 6 and every later step
/// at six and a half years and more).
int StatutoryGrantDays(const WorkPattern& pattern, int step);

/// The `step`-th 基準日: the joining day plus six months plus `step` years, a day the month
/// lacks becoming its last day (joined 08/31: the last day of February).
QDate BaseDate(const QDate& joined, int step);
/// The last day of a period of `years` years beginning on `start`: the day before the
/// corresponding day, or the month's last day when that day does not exist (2024/02/29 gives
/// 2025/02/28).
QDate PeriodLastDay(const QDate& start, int years);
/// The last day a grant can be used (two years) and the last day of its 5-day duty (one year).
QDate LapseDay(const QDate& base);
QDate DutyDeadline(const QDate& base);

enum class GrantKind { Automatic, Manual };

struct LeaveGrant {
    QDate base;  ///< 基準日
    HalfDays halves = 0;
    GrantKind kind = GrantKind::Automatic;
    WorkPattern pattern;  ///< in force on the base date
    QString note;

    bool operator==(const LeaveGrant&) const = default;
};

/// The statutory grants whose 基準日 lies on or before `through`, from the joining day's
/// schedule and the patterns in force on each 基準日; none after the leaving day (when
/// valid) and none without a joining day.
std::vector<LeaveGrant> DueStatutoryGrants(const QDate& joined, const QDate& left,
                                           const QDate& through,
                                           const std::vector<WorkPattern>& patterns);

/// The stored grants as the sync leaves them: each statutory grant in `due` as stored when it
/// is (a grant once written keeps its days), else as due; automatic grants that are not due
/// are dropped; manual grants stay.
std::vector<LeaveGrant> GrantsAsSynced(const std::vector<LeaveGrant>& stored,
                                       const std::vector<LeaveGrant>& due);

/// The grants that count, oldest first: a manual grant on the 基準日 of an automatic one takes
/// its place (a balance carried over from paper, or a grant withheld because the 80 %
/// attendance was not met), otherwise both count.
std::vector<LeaveGrant> EffectiveGrants(const std::vector<LeaveGrant>& stored);

enum class DutyState {
    NotApplicable,  ///< under 10 days, or the employee left before the year was over
    Met,            ///< 5 days taken (or registered) within the year
    Missed,         ///< the year is over with fewer than 5
    Open,           ///< the year is running and days are still to be taken
};

/// The 5-day duty of one grant: the days taken from its 基準日 to its deadline, whichever
/// grant they drew on (registered future days count as taken).
struct Duty {
    DutyState state = DutyState::NotApplicable;
    QDate deadline;
    int taken = 0;
    int left() const { return taken >= kDutyDays ? 0 : kDutyDays - taken; }
};
Duty DutyOf(const LeaveGrant& grant, const std::vector<QDate>& daysTaken, const QDate& today,
            const QDate& leavingDay);

struct GrantLine {
    LeaveGrant grant;
    HalfDays used = 0;  ///< drawn from this grant (more than granted when overdrawn)
    QDate lapse;
    Duty duty;
    HalfDays remaining() const { return grant.halves - used; }
    bool validOn(const QDate& day) const { return grant.base <= day && day <= lapse; }
};

struct TakenDay {
    QDate day;
    std::vector<QDate> bases;  ///< the 基準日 of the grants it drew on; empty: none yet
    bool overdrawn = false;    ///< no balance was left for it when it was taken
};

struct LeaveLedger {
    std::vector<GrantLine> grants;  ///< oldest first
    std::vector<TakenDay> days;     ///< in day order
    HalfDays uncovered = 0;         ///< days taken that no grant has covered yet

    /// What can still be taken on `day`: the balance of the grants valid that day, less the
    /// days no grant covers. Negative after days taken beyond the balance.
    HalfDays balanceOn(const QDate& day) const;
    /// The grant with days left that lapses first on `day`, or nullptr.
    const GrantLine* nextToLapse(const QDate& day) const;
    /// The day taken on `day`, or nullptr.
    const TakenDay* dayTaken(const QDate& day) const;
};

/// The ledger of `grants` (effective, any order) and the days taken (state 有給休暇, any
/// order, each once): every day draws on the oldest grant valid that day that has days left;
/// with none left it overdraws the newest valid grant, and with none valid it waits for the
/// next grant. A grant that arrives first makes good what older grants were overdrawn by.
LeaveLedger BuildLedger(const std::vector<LeaveGrant>& grants, std::vector<QDate> daysTaken,
                        const QDate& today, const QDate& leavingDay);

/// The duty to call out on `today`, if any: the latest grant whose duty is open with its
/// deadline at most `warningDays` away, or was missed and the grant has not lapsed yet.
const GrantLine* DutyToWatch(const LeaveLedger& ledger, const QDate& today, int warningDays);

/// The attendance of a grant's preceding period that the 80 % condition reads.
struct AttendanceRate {
    QDate from;
    QDate to;
    int attended = 0;  ///< working days worked, on leave or on work-injury leave
    int working = 0;   ///< working days with a row (rest days and substitute rest left out)
    /// Tenths of a percent (923 is 92.3 %); -1 when no working day has a row.
    int permille() const;
    bool below80() const { return working > 0 && attended * 10 < working * 8; }
};

/// The period whose attendance decides a grant on `base`: the year before it, or from the
/// joining day when that is later.
AttendanceRate PrecedingPeriod(const QDate& base, const QDate& joined);

/// Counts the rows of the rate's period. A working day is a day the day text of the row's
/// shift does not mark as rest, unless the day is a substitute rest; it is attended when
/// punched, worked outside, or spent on paid, work-injury or special leave (leave the law or
/// the company counts as attendance).
void CountAttendance(AttendanceRate& rate, const std::vector<WorkRow>& rows,
                     const Settings& settings);

}  // namespace tq
