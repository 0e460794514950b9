#include "masters/shift_calendar.h"

#include <QRegularExpression>
#include <QStringList>

#include "masters/masters_sql.h"
#include "masters/staff.h"

namespace tq {

QDate MonthStart(const QString& month) {
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{4})/(\\d{1,2})\\s*$"));
    const auto m = form.match(month);
    if (!m.hasMatch()) {
        return {};
    }
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), 1);
}

DayFlags MonthDays(const QString& month) {
    DayFlags days{};
    const QDate first = MonthStart(month);
    if (!first.isValid()) {
        return days;
    }
    for (int i = 0; i < first.daysInMonth(); ++i) {
        days[static_cast<size_t>(i)] = true;
    }
    return days;
}

QStringList TargetMonths(const QDate& today) {
    const QDate first(today.year(), today.month(), 1);
    QStringList months;
    for (int delta = -1; delta <= 1; ++delta) {
        months << first.addMonths(delta).toString(QStringLiteral("yyyy/MM"));
    }
    return months;
}

DayShifts MonthShifts(Database& db, const QString& code, const QDate& first) {
    DayShifts shifts;
    auto rs = db.query(MonthShiftQuery(code, first));
    while (rs->next()) {
        const QString shift = rs->text(QStringLiteral("シフト"));
        const QDate day = rs->date(QStringLiteral("勤務日"));
        if (shift.isEmpty() || !day.isValid()) {
            continue;
        }
        shifts[static_cast<size_t>(day.day() - 1)] = shift;
    }
    return shifts;
}

ShiftOutcome RegisterMonthShifts(Database& db, const LogContext& ctx, const QDateTime& now,
                                 const ShiftRegistration& entry) {
    ShiftOutcome out;
    const QDate first = MonthStart(entry.month);
    if (!entry.staffShown || !first.isValid()) {
        return out;
    }
    const QString code = StaffCodeOf(entry.code);
    if (auto m = CheckStaffCode(code)) {
        out.messages.push_back(*m);
        out.codeRefused = true;
        return out;
    }
    const int dayCount = first.daysInMonth();
    for (int i = 0; i < dayCount; ++i) {
        if (entry.days[static_cast<size_t>(i)].size() > kShiftCodeLength) {
            out.messages.push_back(
                {QStringLiteral("日別シフトの桁数制限を越えています。"), Icon::Exclamation});
            out.refusedDay = i;
            return out;
        }
    }

    WriteTransaction tx(db);
    Sql last;
    for (int i = 0; i < dayCount; ++i) {
        const QDate day = first.addDays(i);
        const QString& shift = entry.days[static_cast<size_t>(i)];
        const bool exists = db.query(DayShiftQuery(code, day))->next();
        last = exists ? DayShiftUpdate(code, day, shift) : DayShiftInsert(code, day, shift);
        db.execute(last);
    }
    WriteLog(db, ctx, now, QStringLiteral("登録"), QStringLiteral("(SQL)") + last.logText());
    tx.commit();

    out.accepted = true;
    out.messages.push_back({QStringLiteral("シフト登録を受け付けました。"), Icon::Information});
    return out;
}

}  // namespace tq
