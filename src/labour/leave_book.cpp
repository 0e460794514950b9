#include "labour/leave_book.h"

#include <algorithm>

#include "attendance/punch.h"
#include "common/datetime.h"
#include "labour/leave_sql.h"
#include "masters/staff.h"

namespace tq {

namespace {

const QString kGrantOperation = QStringLiteral("有給付与");
const QString kPatternOperation = QStringLiteral("勤務形態");
// Before any day the site can hold: "all days taken".
const QDate kEarliest(1900, 1, 1);

QDate dateOf(const std::optional<QString>& text) {
    return text ? parseDate(text->trimmed()) : QDate();
}

QString hoursText(int minutes) {
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString patternText(const WorkPattern& p) {
    return QStringLiteral("週%1日 %2 %3")
        .arg(p.weeklyDays)
        .arg(hoursText(p.weeklyMinutes),
             IsProportional(p) ? QStringLiteral("比例付与") : QStringLiteral("通常付与"));
}

QString dutyText(const GrantLine& g) {
    switch (g.duty.state) {
        case DutyState::NotApplicable:
            return QStringLiteral("対象外");
        case DutyState::Met:
            return QStringLiteral("達成");
        case DutyState::Missed:
            return QStringLiteral("未達");
        case DutyState::Open:
            break;
    }
    return QStringLiteral("残り%1日").arg(g.duty.left());
}

struct Change {
    Sql statement;
    QString line;
};

// What the sync must write for the stored grants to match the joining day's schedule.
std::vector<Change> plannedChanges(Database& db, const QDateTime& now, const LeaveStaff& staff,
                                   const QDate& recalculateFrom) {
    const std::vector<LeaveGrant> expected =
        DueStatutoryGrants(staff.joined, staff.left, now.date(), ReadWorkPatterns(db, staff.code));
    std::vector<LeaveGrant> stored = ReadLeaveGrants(db, staff.code);
    std::erase_if(stored, [](const LeaveGrant& g) { return g.kind != GrantKind::Automatic; });
    std::vector<Change> changes;
    for (const LeaveGrant& e : expected) {
        const auto s = std::find_if(stored.begin(), stored.end(),
                                    [&e](const LeaveGrant& g) { return g.base == e.base; });
        if (s == stored.end()) {
            changes.push_back({LeaveGrantInsert(staff.code, e, now),
                               QStringLiteral("%1 自動付与 %2日")
                                   .arg(formatDate(e.base), FormatLeaveDays(e.halves))});
        } else if (recalculateFrom.isValid() && e.base >= recalculateFrom &&
                   (s->halves != e.halves || s->pattern.weeklyDays != e.pattern.weeklyDays ||
                    s->pattern.weeklyMinutes != e.pattern.weeklyMinutes)) {
            LeaveGrant updated = e;
            updated.note = s->note;
            changes.push_back({LeaveGrantUpdate(staff.code, updated, now),
                               s->halves == e.halves
                                   ? QStringLiteral("%1 自動付与 %2日 (%3)")
                                         .arg(formatDate(e.base), FormatLeaveDays(e.halves),
                                              patternText(e.pattern))
                                   : QStringLiteral("%1 自動付与 %2日 → %3日")
                                         .arg(formatDate(e.base), FormatLeaveDays(s->halves),
                                              FormatLeaveDays(e.halves))});
        }
    }
    for (const LeaveGrant& s : stored) {
        const bool due = std::any_of(expected.begin(), expected.end(),
                                     [&s](const LeaveGrant& e) { return e.base == s.base; });
        if (!due) {
            changes.push_back({LeaveGrantDelete(staff.code, s),
                               QStringLiteral("%1 自動付与 %2日 取消")
                                   .arg(formatDate(s.base), FormatLeaveDays(s.halves))});
        }
    }
    return changes;
}

Message warning(const QString& text) {
    return Message{text, Icon::Exclamation};
}

// Told after a change that was stored all the same, on one line (the tool prints each
// message as one line).
Message unreadable(const DbError& e) {
    return warning(QStringLiteral("有給休暇の状況を読めませんでした。") + e.message().simplified());
}

Outcome refusedWith(const QString& text) {
    Outcome o;
    o.messages.push_back(warning(text));
    return o;
}

}  // namespace

LeaveStaff LeaveStaffOf(const StaffRow& row) {
    return LeaveStaff{row.code, row.name, row.password, parseDate(row.joined.trimmed()),
                      parseDate(row.left.trimmed())};
}

LeaveStaff LeaveStaffOf(const Identification& who) {
    const StaffRecord& r = *who.StaffRecord;
    return LeaveStaff{r.担当者コード, r.担当者名, who.code, dateOf(r.入社年月日),
                      dateOf(r.退社年月日)};
}

std::vector<WorkPattern> ReadWorkPatterns(Database& db, const QString& code) {
    std::vector<WorkPattern> patterns;
    auto rs = db.query(WorkPatternsQuery(code));
    while (rs->next()) {
        patterns.push_back(
            WorkPattern{rs->date(QStringLiteral("適用開始日")),
                        static_cast<int>(rs->integer(QStringLiteral("週所定労働日数"))),
                        static_cast<int>(rs->integer(QStringLiteral("週所定労働時間")))});
    }
    return patterns;
}

std::vector<LeaveGrant> ReadLeaveGrants(Database& db, const QString& code) {
    std::vector<LeaveGrant> grants;
    auto rs = db.query(LeaveGrantsQuery(code));
    while (rs->next()) {
        LeaveGrant g;
        g.base = rs->date(QStringLiteral("基準日"));
        g.kind = rs->text(QStringLiteral("付与区分")) == GrantKindText(GrantKind::Manual)
                     ? GrantKind::Manual
                     : GrantKind::Automatic;
        g.halves = static_cast<int>(rs->integer(QStringLiteral("付与半日数")));
        g.pattern =
            WorkPattern{g.base, static_cast<int>(rs->integer(QStringLiteral("週所定労働日数"))),
                        static_cast<int>(rs->integer(QStringLiteral("週所定労働時間")))};
        g.note = rs->text(QStringLiteral("備考"));
        grants.push_back(g);
    }
    // The engines order the kind texts differently: automatic first, by hand.
    std::stable_sort(grants.begin(), grants.end(), [](const LeaveGrant& a, const LeaveGrant& b) {
        return a.base != b.base ? a.base < b.base
                                : a.kind == GrantKind::Automatic && b.kind == GrantKind::Manual;
    });
    return grants;
}

std::vector<QDate> ReadLeaveDays(Database& db, const QString& workCode, const QDate& from) {
    std::vector<QDate> days;
    auto rs = db.query(LeaveDaysQuery(workCode, from.isValid() ? from : kEarliest));
    while (rs->next()) {
        days.push_back(rs->date(QStringLiteral("勤務日")));
    }
    // A day moved to the archive is never in both tables; should it be, it is one day taken.
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

QStringList SyncStatutoryGrants(Database& db, const LogContext& ctx, const QDateTime& now,
                                const LeaveStaff& staff, const QDate& recalculateFrom) {
    // Most calls find nothing to do and take no write lock.
    if (plannedChanges(db, now, staff, recalculateFrom).empty()) {
        return {};
    }
    WriteTransaction tx(db);
    QStringList lines;
    // Planned again under the lock: another terminal may have written them meanwhile.
    for (const Change& c : plannedChanges(db, now, staff, recalculateFrom)) {
        ExecuteLogged(db, ctx, now, kGrantOperation, c.statement);
        lines << c.line;
    }
    tx.commit();
    return lines;
}

LeaveLedger ReadLeaveLedger(Database& db, const LeaveStaff& staff, const QDate& today,
                            const QDate& through) {
    const QDate last = through.isValid() && through > today ? through : today;
    const std::vector<LeaveGrant> due =
        DueStatutoryGrants(staff.joined, staff.left, last, ReadWorkPatterns(db, staff.code));
    return BuildLedger(EffectiveGrants(GrantsAsSynced(ReadLeaveGrants(db, staff.code), due)),
                       ReadLeaveDays(db, staff.workCode), today, staff.left);
}

LeaveLedger LoadLeaveLedger(Database& db, const LogContext& ctx, const QDateTime& now,
                            const LeaveStaff& staff, const QDate& through) {
    SyncStatutoryGrants(db, ctx, now, staff);
    return ReadLeaveLedger(db, staff, now.date(), through);
}

QStringList GrantLineTexts(const GrantLine& g) {
    const QString none = QStringLiteral("-");
    const bool duty = g.grant.halves >= kDutyGrantHalves;
    return {formatDate(g.grant.base),
            FormatLeaveDays(g.grant.halves),
            FormatLeaveDays(g.used),
            FormatLeaveDays(g.remaining()),
            formatDate(g.lapse),
            duty ? formatDate(g.duty.deadline) : none,
            duty ? FormatLeaveDays(g.duty.taken * kHalvesPerDay) : none,
            dutyText(g)};
}

QStringList UncoveredLineTexts(const LeaveLedger& ledger) {
    const QString none = QStringLiteral("-");
    return {kUncoveredBase,
            FormatLeaveDays(0),
            FormatLeaveDays(ledger.uncovered),
            FormatLeaveDays(-ledger.uncovered),
            none,
            none,
            none,
            QStringLiteral("対象外")};
}

QString TakenDayBases(const TakenDay& day) {
    QStringList bases;
    for (const QDate& b : day.bases) {
        bases << formatDate(b);
    }
    return bases.isEmpty() ? kUncoveredBase : bases.join(u',');
}

QStringList LedgerTextLines(const LeaveLedger& ledger, const LeaveStaff& staff) {
    QStringList lines{kLedgerColumns.join(u'\t')};
    for (const GrantLine& g : ledger.grants) {
        lines << GrantLineTexts(g).join(u'\t');
    }
    if (ledger.uncovered > 0) {
        lines << UncoveredLineTexts(ledger).join(u'\t');
    }
    for (const TakenDay& t : ledger.days) {
        lines << QStringLiteral("取得日\t") + formatDate(t.day) + u'\t' + TakenDayBases(t);
    }
    if (!staff.joined.isValid()) {
        lines << kNoJoiningDayNote;
    }
    return lines;
}

QString LeaveStatusLine(const LeaveLedger& ledger, const LeaveStaff& staff, const QDate& today) {
    if (ledger.grants.empty() && ledger.uncovered == 0) {
        return staff.joined.isValid() ? QStringLiteral("有給休暇 付与前（初回付与 %1）")
                                            .arg(formatDate(BaseDate(staff.joined, 0)))
                                      : QStringLiteral("有給休暇 付与なし（入社年月日が未登録）");
    }
    QString line = QStringLiteral("有給休暇 残%1日").arg(FormatLeaveDays(ledger.balanceOn(today)));
    if (const GrantLine* next = ledger.nextToLapse(today)) {
        line += QStringLiteral("（%1に%2日失効）")
                    .arg(formatDate(next->lapse), FormatLeaveDays(next->remaining()));
    }
    // The duty of the latest grant that carries one and whose year has begun.
    for (auto it = ledger.grants.rbegin(); it != ledger.grants.rend(); ++it) {
        if (it->grant.halves < kDutyGrantHalves || it->grant.base > today) {
            continue;
        }
        const QString deadline = formatDate(it->duty.deadline);
        switch (it->duty.state) {
            case DutyState::Open:
                line += QStringLiteral("　取得義務 あと%1日（期限 %2）")
                            .arg(it->duty.left())
                            .arg(deadline);
                break;
            case DutyState::Met:
                line += QStringLiteral("　取得義務 達成（期限 %1）").arg(deadline);
                break;
            case DutyState::Missed:
                line += QStringLiteral("　取得義務 未達（期限 %1）").arg(deadline);
                break;
            case DutyState::NotApplicable:
                break;
        }
        break;
    }
    return line;
}

std::optional<Message> LeaveDutyReminder(Database& db, const LogContext& ctx,
                                         const LeaveStaff& staff, const Settings& settings,
                                         const QDateTime& now) {
    SyncStatutoryGrants(db, ctx, now, staff);
    const QDate today = now.date();
    const int warningDays = DutyWarningDays(settings);
    std::vector<LeaveGrant> due;
    for (const LeaveGrant& g : EffectiveGrants(ReadLeaveGrants(db, staff.code))) {
        const QDate deadline = DutyDeadline(g.base);
        if (g.halves >= kDutyGrantHalves && g.base <= today && today <= deadline &&
            today.daysTo(deadline) <= warningDays) {
            due.push_back(g);
        }
    }
    // Most clock-ins fall outside the last weeks of a duty year and read no days at all.
    if (due.empty()) {
        return std::nullopt;
    }
    const std::vector<QDate> days = ReadLeaveDays(db, staff.workCode, due.front().base);
    for (auto it = due.rbegin(); it != due.rend(); ++it) {
        const Duty d = DutyOf(*it, days, today, staff.left);
        if (d.state == DutyState::Open) {
            return Message{QStringLiteral("年次有給休暇をあと%1日取得してください。(期限 %2)")
                               .arg(d.left())
                               .arg(formatDate(d.deadline)),
                           Icon::Information};
        }
    }
    return std::nullopt;
}

Outcome ClockInWithLeaveReminder(Database& db, const LogContext& ctx, const Identification& who,
                                 const Settings& settings, const QDateTime& CurrentTime) {
    Outcome o = ClockIn(db, ctx, who, settings, CurrentTime);
    if (!o.accepted || !o.failureAfter.isEmpty()) {
        return o;  // a database that just failed is not asked again
    }
    std::optional<Message> reminder;
    try {
        reminder = LeaveDutyReminder(db, ctx, LeaveStaffOf(who), settings, CurrentTime);
    } catch (const DbError& e) {
        reminder = unreadable(e);
    }
    if (reminder) {
        // Right after the confirmation, before the warnings about earlier days.
        o.messages.insert(o.messages.begin() + 1, *reminder);
    }
    return o;
}

std::optional<Message> LeaveShortfallWarning(Database& db, const LogContext& ctx,
                                             const Identification& who, const QDateTime& now,
                                             const QDate& day) {
    try {
        const LeaveLedger ledger = LoadLeaveLedger(db, ctx, now, LeaveStaffOf(who), day);
        const TakenDay* taken = ledger.dayTaken(day);
        if (taken && taken->overdrawn) {
            return warning(QStringLiteral("有給休暇の残日数がありません。"));
        }
        return std::nullopt;
    } catch (const DbError& e) {
        return unreadable(e);
    }
}

std::vector<DutyListLine> LeaveDutyList(Database& db, const LogContext& ctx,
                                        const Settings& settings, const QDateTime& now) {
    std::vector<DutyListLine> lines;
    const int warningDays = DutyWarningDays(settings);
    for (const StaffRow& row : ListStaff(db)) {
        const LeaveStaff staff = LeaveStaffOf(row);
        const LeaveLedger ledger = LoadLeaveLedger(db, ctx, now, staff);
        if (const GrantLine* g = DutyToWatch(ledger, now.date(), warningDays)) {
            lines.push_back(DutyListLine{staff, g->grant.base, g->duty.deadline, g->duty.taken,
                                         g->duty.left()});
        }
    }
    return lines;
}

Outcome SetWorkPattern(Database& db, const LogContext& ctx, const QDateTime& now,
                       const LeaveStaff& staff, WorkPattern pattern) {
    if (pattern.weeklyDays < 1 || pattern.weeklyDays > 7) {
        return refusedWith(QStringLiteral("週所定労働日数は1から7までです。"));
    }
    if (pattern.weeklyMinutes < 1 || pattern.weeklyMinutes > 7 * 24 * 60) {
        return refusedWith(QStringLiteral("週所定労働時間が不正です。"));
    }
    Outcome o;
    {
        WriteTransaction tx(db);
        const std::vector<WorkPattern> stored = ReadWorkPatterns(db, staff.code);
        if (!pattern.from.isValid()) {
            // The first pattern describes the employment from its start.
            pattern.from = stored.empty() && staff.joined.isValid() ? staff.joined : now.date();
        }
        const bool replaces = std::any_of(stored.begin(), stored.end(), [&](const WorkPattern& p) {
            return p.from == pattern.from;
        });
        ExecuteLogged(db, ctx, now, kPatternOperation,
                      replaces ? WorkPatternUpdate(staff.code, pattern, now)
                               : WorkPatternInsert(staff.code, pattern, now));
        o.messages.push_back(Message{QStringLiteral("勤務形態を登録しました。(%1から %2)")
                                         .arg(formatDate(pattern.from), patternText(pattern)),
                                     Icon::Information});
        for (const QString& line : SyncStatutoryGrants(db, ctx, now, staff, pattern.from)) {
            o.messages.push_back(Message{line, Icon::Information});
        }
        tx.commit();
    }
    o.accepted = true;
    return o;
}

Outcome GrantLeave(Database& db, const LogContext& ctx, const QDateTime& now,
                   const LeaveStaff& staff, const QDate& base, HalfDays halves,
                   const QString& note) {
    if (!base.isValid()) {
        return refusedWith(QStringLiteral("基準日が不正です。"));
    }
    if (halves < 0) {
        return refusedWith(QStringLiteral("付与日数が不正です。"));
    }
    if (note.size() > kGrantNoteLength) {
        return refusedWith(QStringLiteral("備考は%1文字までです。").arg(kGrantNoteLength));
    }
    Outcome o;
    {
        WriteTransaction tx(db);
        // The automatic grants first, so that the one this grant replaces is known.
        SyncStatutoryGrants(db, ctx, now, staff);
        LeaveGrant g;
        g.base = base;
        g.halves = halves;
        g.kind = GrantKind::Manual;
        g.pattern = PatternOn(ReadWorkPatterns(db, staff.code), base);
        g.note = note;
        const std::vector<LeaveGrant> stored = ReadLeaveGrants(db, staff.code);
        const auto same = [&base](GrantKind kind) {
            return [&base, kind](const LeaveGrant& s) { return s.base == base && s.kind == kind; };
        };
        const bool replaces = std::any_of(stored.begin(), stored.end(), same(GrantKind::Manual));
        ExecuteLogged(
            db, ctx, now, kGrantOperation,
            replaces ? LeaveGrantUpdate(staff.code, g, now) : LeaveGrantInsert(staff.code, g, now));
        o.messages.push_back(
            Message{QStringLiteral("有給休暇の付与を%1しました。(%2 %3日)")
                        .arg(replaces ? QStringLiteral("更新") : QStringLiteral("登録"),
                             formatDate(base), FormatLeaveDays(halves)),
                    Icon::Information});
        const auto automatic =
            std::find_if(stored.begin(), stored.end(), same(GrantKind::Automatic));
        if (automatic != stored.end()) {
            o.messages.push_back(Message{QStringLiteral("この基準日の自動付与(%1日)に代わります。")
                                             .arg(FormatLeaveDays(automatic->halves)),
                                         Icon::Information});
        }
        tx.commit();
    }
    o.accepted = true;
    return o;
}

}  // namespace tq
