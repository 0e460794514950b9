#include "attendance/punch.h"

#include "attendance/calculation.h"
#include "attendance/calendar.h"
#include "attendance/punch_sql.h"
#include "attendance/review.h"
#include "common/datetime.h"
#include "common/text.h"

namespace tq {

namespace {

Message warning(const QString& text) {
    return Message{text, Icon::Exclamation};
}

Outcome refused(const Message& m) {
    Outcome o;
    o.messages.push_back(m);
    return o;
}

int hhmmOf(const QDateTime& t) {
    return t.time().hour() * 100 + t.time().minute();
}

/// A date column of the staff master; an empty or unreadable text is no date at all.
QDate employmentDate(const std::optional<QString>& text) {
    if (!text || text->trimmed().isEmpty()) {
        return {};
    }
    return parseDate(text->trimmed());
}

/// A setting "hh:mm" (or "h:mm", or hhmm without a colon) as minutes of the day; nothing
/// when the text holds no time at all.
std::optional<int> settingMinutes(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || !t.front().isDigit()) {
        return std::nullopt;
    }
    const qsizetype colon = t.indexOf(u':');
    if (colon < 0) {
        const int v = static_cast<int>(numericValue(t));
        return v / 100 * 60 + v % 100;
    }
    return static_cast<int>(numericValue(t.left(colon))) * 60 +
           static_cast<int>(numericValue(t.mid(colon + 1)));
}

std::optional<Message> codeRefusal(const QString& code) {
    if (code.size() > kWorkCodeLength) {
        return warning(QStringLiteral("社員コードの桁数制限を越えています。"));
    }
    return std::nullopt;
}

/// The days of the open period before today that the daily calculation marks "？？".
void warnMissingPunches(Database& db, const Identification& who, const Settings& settings,
                        const QDateTime& CurrentTime, Outcome& out) {
    Period p = ComputePeriod(CurrentTime, settings);
    p.PeriodEnd = CurrentTime.date().addDays(-1);
    if (p.PeriodEnd < p.PeriodStart) {
        return;
    }
    const std::vector<WorkRow> rows = ReadListing(db, who.code, p.PeriodStart, p.PeriodEnd);
    MonthTotals scratch;
    for (const DayFigures& f : WalkRows(rows, p.PeriodStart, who.StaffRecord->残業計算区分,
                                        settings, CurrentTime, scratch)) {
        if (f.状態 == QStringView(u"？？")) {
            out.messages.push_back(warning(f.日付 + QStringLiteral("の打刻がありません。")));
        }
    }
}

}  // namespace

std::optional<Message> EmploymentRefusal(const StaffRecord& staff, const QDate& workingDay) {
    const QDate joined = employmentDate(staff.入社年月日);
    if (joined.isValid() && joined > workingDay) {
        return warning(QStringLiteral("入社前です。"));
    }
    const QDate left = employmentDate(staff.退社年月日);
    if (left.isValid() && left < workingDay) {
        return warning(QStringLiteral("退社後です。"));
    }
    return std::nullopt;
}

ClockOutTarget ClockOutTargetFor(const QDateTime& CurrentTime, const QString& startTime) {
    const int now = CurrentTime.time().hour() * 60 + CurrentTime.time().minute();
    const std::optional<int> start = settingMinutes(startTime);
    if (start && now <= *start) {
        return {CurrentTime.date().addDays(-1), hhmmOf(CurrentTime) + 2400, true};
    }
    return {CurrentTime.date(), hhmmOf(CurrentTime), false};
}

Outcome ClockIn(Database& db, const LogContext& ctx, const Identification& who,
                const Settings& settings, const QDateTime& CurrentTime) {
    if (!who.identified()) {
        return {};
    }
    if (auto m = codeRefusal(who.code)) {
        return refused(*m);
    }
    const QDate day = CurrentTime.date();
    const int t = hhmmOf(CurrentTime);
    {
        // The look at today's row and the write share the employee's lock, so two terminals
        // cannot both clock the same employee in; the staff row is read again under it (staff
        // changes hold the whole site), so a punch never lands for someone deleted (or given
        // a leaving day) a moment before. Punches of other staff go on meanwhile.
        WriteTransaction tx(db, WriteScope::staffMember(who.code));
        const std::optional<StaffRecord> staff = ReadStaffRecord(db, who.code);
        if (!staff) {
            return refused(UnknownStaffMessage());
        }
        auto row = db.query(WorkDayQuery(who.code, day));
        Sql statement;
        if (!row->next()) {
            statement = ClockInInsert(who.code, day, who.シフトコード, t, CurrentTime);
        } else if (!row->isNull(QStringLiteral("出勤時刻")) &&
                   row->integer(QStringLiteral("出勤時刻")) == 0) {
            statement = ClockInUpdate(who.code, day, who.シフトコード, t, CurrentTime);
        } else {
            return refused(warning(QStringLiteral("出勤はすでに受付済みです。")));
        }
        if (auto m = EmploymentRefusal(*staff, day)) {
            return refused(*m);
        }
        CommitLogged(tx, ctx, CurrentTime, QStringLiteral("出勤"), statement);
    }
    Outcome out;
    out.accepted = true;
    out.messages.push_back(Message{QStringLiteral("出勤を受け付けました。"), Icon::Information});
    try {
        warnMissingPunches(db, who, settings, CurrentTime, out);
    } catch (const DbError& e) {
        out.failureAfter = e.message();  // the clock-in itself is stored all the same
    }
    return out;
}

Outcome ClockOut(Database& db, const LogContext& ctx, const Identification& who,
                 const Settings& settings, const QDateTime& CurrentTime) {
    if (!who.identified()) {
        return {};
    }
    if (auto m = codeRefusal(who.code)) {
        return refused(*m);
    }
    const int s = settings.shiftIndex(who.シフトコード);
    const ClockOutTarget target = ClockOutTargetFor(CurrentTime, settings.rules(s).始業時刻);
    const ClockOutTime t{target.hhmm, target.night};
    {
        WriteTransaction tx(db, WriteScope::staffMember(who.code));
        const std::optional<StaffRecord> staff = ReadStaffRecord(db, who.code);
        if (!staff) {
            return refused(UnknownStaffMessage());
        }
        auto row = db.query(WorkDayQuery(who.code, target.day));
        const Sql statement =
            row->next() ? ClockOutUpdate(who.code, target.day, who.シフトコード, t, CurrentTime)
                        : ClockOutInsert(who.code, target.day, who.シフトコード, t, CurrentTime);
        if (auto m = EmploymentRefusal(*staff, target.day)) {
            return refused(*m);
        }
        CommitLogged(tx, ctx, CurrentTime, QStringLiteral("退勤"), statement);
    }
    Outcome out;
    out.accepted = true;
    out.messages.push_back(Message{QStringLiteral("退勤を受け付けました。"), Icon::Information});
    return out;
}

}  // namespace tq
