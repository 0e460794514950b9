#include "labour/leave.h"

#include <algorithm>
#include <array>

#include "attendance/calendar.h"

namespace tq {

namespace {

// Days granted at 0.5, 1.5, ... 6.5 years of service: the full table, then the proportional
// ones for 4, 3, 2 and 1 working days a week.
constexpr std::array<int, 7> kFullTable{10, 11, 12, 14, 16, 18, 20};
constexpr std::array<std::array<int, 7>, 4> kProportional{{
    {1, 2, 2, 2, 3, 3, 3},
    {3, 4, 4, 5, 6, 6, 7},
    {5, 6, 6, 8, 9, 10, 11},
    {7, 8, 9, 10, 12, 13, 15},
}};

// Far beyond any working life: the schedule walk always ends.
constexpr int kMaxSteps = 100;

struct Portion {
    size_t day = 0;  // index into the sorted days
    HalfDays halves = 0;
};

bool contains(const QString& text, QStringView what) {
    return text.contains(what);
}

}  // namespace

QString FormatLeaveDays(HalfDays halves) {
    const int a = halves < 0 ? -halves : halves;
    return QStringLiteral("%1%2.%3")
        .arg(halves < 0 ? QStringLiteral("-") : QString())
        .arg(a / kHalvesPerDay)
        .arg(a % kHalvesPerDay == 0 ? 0 : 5);
}

int DutyWarningDays(const Settings& settings) {
    return settings.dutyWarningDays().value_or(kDefaultLeaveDutyWarningDays);
}

WorkPattern PatternOn(const std::vector<WorkPattern>& patterns, const QDate& day) {
    WorkPattern best;
    for (const WorkPattern& p : patterns) {
        if (p.from <= day && (!best.from.isValid() || p.from > best.from)) {
            best = p;
        }
    }
    return best;
}

bool IsProportional(const WorkPattern& pattern) {
    return pattern.weeklyDays <= 4 && pattern.weeklyMinutes < 30 * 60;
}

int StatutoryGrantDays(const WorkPattern& pattern, int step) {
    const size_t i = static_cast<size_t>(std::clamp(step, 0, 6));
    if (!IsProportional(pattern)) {
        return kFullTable[i];
    }
    if (pattern.weeklyDays < 1) {
        return 0;
    }
    return kProportional[static_cast<size_t>(pattern.weeklyDays - 1)][i];
}

QDate BaseDate(const QDate& joined, int step) {
    return joined.addMonths(6 + 12 * step);
}

QDate PeriodLastDay(const QDate& start, int years) {
    const QDate corresponding = start.addYears(years);
    // 29 February has no corresponding day in a common year: the period ends with the month.
    return corresponding.day() != start.day() ? corresponding : corresponding.addDays(-1);
}

QDate LapseDay(const QDate& base) {
    return PeriodLastDay(base, 2);
}

QDate DutyDeadline(const QDate& base) {
    return PeriodLastDay(base, 1);
}

std::vector<LeaveGrant> DueStatutoryGrants(const QDate& joined, const QDate& left,
                                           const QDate& through,
                                           const std::vector<WorkPattern>& patterns) {
    std::vector<LeaveGrant> grants;
    if (!joined.isValid()) {
        return grants;
    }
    for (int step = 0; step < kMaxSteps; ++step) {
        const QDate base = BaseDate(joined, step);
        if (base > through || (left.isValid() && base > left)) {
            break;
        }
        LeaveGrant g;
        g.base = base;
        g.pattern = PatternOn(patterns, base);
        g.halves = StatutoryGrantDays(g.pattern, step) * kHalvesPerDay;
        grants.push_back(g);
    }
    return grants;
}

std::vector<LeaveGrant> GrantsAsSynced(const std::vector<LeaveGrant>& stored,
                                       const std::vector<LeaveGrant>& due) {
    std::vector<LeaveGrant> out;
    for (const LeaveGrant& d : due) {
        const auto s = std::find_if(stored.begin(), stored.end(), [&d](const LeaveGrant& g) {
            return g.kind == GrantKind::Automatic && g.base == d.base;
        });
        out.push_back(s == stored.end() ? d : *s);
    }
    for (const LeaveGrant& g : stored) {
        if (g.kind == GrantKind::Manual) {
            out.push_back(g);
        }
    }
    return out;
}

std::vector<LeaveGrant> EffectiveGrants(const std::vector<LeaveGrant>& stored) {
    std::vector<LeaveGrant> out;
    for (const LeaveGrant& g : stored) {
        const bool replaced =
            g.kind == GrantKind::Automatic &&
            std::any_of(stored.begin(), stored.end(), [&g](const LeaveGrant& other) {
                return other.kind == GrantKind::Manual && other.base == g.base;
            });
        if (!replaced) {
            out.push_back(g);
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const LeaveGrant& a, const LeaveGrant& b) { return a.base < b.base; });
    return out;
}

Duty DutyOf(const LeaveGrant& grant, const std::vector<QDate>& daysTaken, const QDate& today,
            const QDate& leavingDay) {
    Duty d;
    d.deadline = DutyDeadline(grant.base);
    if (grant.halves < kDutyGrantHalves) {
        return d;
    }
    d.taken =
        static_cast<int>(std::count_if(daysTaken.begin(), daysTaken.end(), [&](const QDate& day) {
            return grant.base <= day && day <= d.deadline;
        }));
    if (d.taken >= kDutyDays) {
        d.state = DutyState::Met;
    } else if (leavingDay.isValid() && leavingDay < d.deadline) {
        d.state = DutyState::NotApplicable;  // no breach for someone who left within the year
    } else {
        d.state = today > d.deadline ? DutyState::Missed : DutyState::Open;
    }
    return d;
}

HalfDays LeaveLedger::balanceOn(const QDate& day) const {
    HalfDays sum = -uncovered;
    for (const GrantLine& g : grants) {
        if (g.validOn(day)) {
            sum += g.remaining();
        }
    }
    return sum;
}

const GrantLine* LeaveLedger::nextToLapse(const QDate& day) const {
    const GrantLine* first = nullptr;
    for (const GrantLine& g : grants) {
        if (g.validOn(day) && g.remaining() > 0 && (!first || g.lapse < first->lapse)) {
            first = &g;
        }
    }
    return first;
}

const TakenDay* LeaveLedger::dayTaken(const QDate& day) const {
    for (const TakenDay& t : days) {
        if (t.day == day) {
            return &t;
        }
    }
    return nullptr;
}

LeaveLedger BuildLedger(const std::vector<LeaveGrant>& grants, std::vector<QDate> daysTaken,
                        const QDate& today, const QDate& leavingDay) {
    std::sort(daysTaken.begin(), daysTaken.end());
    daysTaken.erase(std::unique(daysTaken.begin(), daysTaken.end()), daysTaken.end());

    LeaveLedger ledger;
    for (const LeaveGrant& g : grants) {
        GrantLine line;
        line.grant = g;
        line.lapse = LapseDay(g.base);
        line.duty = DutyOf(g, daysTaken, today, leavingDay);
        ledger.grants.push_back(line);
    }
    std::stable_sort(
        ledger.grants.begin(), ledger.grants.end(),
        [](const GrantLine& a, const GrantLine& b) { return a.grant.base < b.grant.base; });
    for (const QDate& d : daysTaken) {
        ledger.days.push_back(TakenDay{d, {}, false});
    }

    std::vector<std::vector<Portion>> portions(ledger.grants.size());
    std::vector<Portion> pending;
    auto& lines = ledger.grants;
    const auto draw = [&](size_t g, size_t day, HalfDays halves) {
        portions[g].push_back(Portion{day, halves});
        lines[g].used += halves;
    };
    // A grant's arrival first makes good the older grants' overdrafts (their latest days)
    // and the days that had no grant at all.
    const auto arrive = [&](size_t g) {
        for (size_t older = 0; older < g; ++older) {
            while (lines[older].used > lines[older].grant.halves) {
                Portion& last = portions[older].back();
                const HalfDays move =
                    std::min(last.halves, lines[older].used - lines[older].grant.halves);
                draw(g, last.day, move);
                lines[older].used -= move;
                last.halves -= move;
                if (last.halves == 0) {
                    portions[older].pop_back();
                }
            }
        }
        for (const Portion& p : pending) {
            draw(g, p.day, p.halves);
        }
        pending.clear();
    };

    size_t arrived = 0;
    for (size_t k = 0; k < ledger.days.size(); ++k) {
        const QDate& d = ledger.days[k].day;
        while (arrived < lines.size() && lines[arrived].grant.base <= d) {
            arrive(arrived++);
        }
        HalfDays need = kHalvesPerDay;
        for (size_t g = 0; g < arrived && need > 0; ++g) {
            if (lines[g].validOn(d) && lines[g].remaining() > 0) {
                const HalfDays take = std::min(need, lines[g].remaining());
                draw(g, k, take);
                need -= take;
            }
        }
        if (need == 0) {
            continue;
        }
        ledger.days[k].overdrawn = true;
        size_t newest = arrived;
        for (size_t g = 0; g < arrived; ++g) {
            if (lines[g].validOn(d)) {
                newest = g;
            }
        }
        if (newest < arrived) {
            draw(newest, k, need);
        } else {
            pending.push_back(Portion{k, need});
        }
    }
    while (arrived < lines.size()) {
        arrive(arrived++);
    }
    for (const Portion& p : pending) {
        ledger.uncovered += p.halves;
    }
    for (size_t g = 0; g < lines.size(); ++g) {
        for (const Portion& p : portions[g]) {
            std::vector<QDate>& bases = ledger.days[p.day].bases;
            if (std::find(bases.begin(), bases.end(), lines[g].grant.base) == bases.end()) {
                bases.push_back(lines[g].grant.base);
            }
        }
    }
    return ledger;
}

const GrantLine* DutyToWatch(const LeaveLedger& ledger, const QDate& today, int warningDays) {
    for (auto it = ledger.grants.rbegin(); it != ledger.grants.rend(); ++it) {
        const Duty& d = it->duty;
        if (it->grant.base > today) {
            continue;
        }
        if (d.state == DutyState::Open && today.daysTo(d.deadline) <= warningDays) {
            return &*it;
        }
        if (d.state == DutyState::Missed && today <= it->lapse) {
            return &*it;
        }
    }
    return nullptr;
}

int AttendanceRate::permille() const {
    if (working <= 0) {
        return -1;
    }
    return (attended * 2000 + working) / (2 * working);
}

AttendanceRate PrecedingPeriod(const QDate& base, const QDate& joined) {
    AttendanceRate r;
    r.from = base.addYears(-1);
    if (joined.isValid() && joined > r.from) {
        r.from = joined;
    }
    r.to = base.addDays(-1);
    return r;
}

void CountAttendance(AttendanceRate& rate, const std::vector<WorkRow>& rows,
                     const Settings& settings) {
    static const QStringView attendedStates[] = {
        u"有給休暇", u"公傷休暇", u"特別休暇", u"直行", u"直帰", u"出張", u"代替勤務", u"休日勤務"};
    for (const WorkRow& row : rows) {
        if (row.勤務日 < rate.from || row.勤務日 > rate.to) {
            continue;
        }
        const QString state = row.状態.value_or(QString());
        const int shift = settings.shiftIndex(row.シフト.value_or(QString()));
        const bool calendarRest = contains(DayText(settings, shift, row.勤務日), u"休");
        // A rest day worked in exchange is a working day; the day given in exchange is not.
        const bool rest =
            (calendarRest && !contains(state, u"代替勤務")) || contains(state, u"代替休暇");
        if (rest) {
            continue;
        }
        ++rate.working;
        const bool punched = row.出勤時刻.value_or(0) != 0 || row.退勤時刻.value_or(0) != 0;
        if (punched || std::any_of(std::begin(attendedStates), std::end(attendedStates),
                                   [&state](QStringView s) { return state.contains(s); })) {
            ++rate.attended;
        }
    }
}

}  // namespace tq
