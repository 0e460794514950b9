#include "labour/overtime_watch.h"

#include "attendance/punch.h"
#include "attendance/review.h"
#include "common/datetime.h"
#include "masters/staff.h"

namespace tq {

namespace {

OvertimeYear overtimeOf(Database& db, const QString& workCode, const QString& 残業計算区分,
                        const QString& joined, int year, int month, const OvertimeRules& rules,
                        const Settings& settings, const QDateTime& CurrentTime,
                        bool* rowsInMonth = nullptr) {
    const OvertimeSpan span = OvertimeSpanFor(year, month, rules, settings);
    const std::vector<WorkRow> rows = ReadListing(db, workCode, span.from, span.to);
    if (rowsInMonth) {
        const QDate first = PayrollMonthEnding(year, month, settings).start;
        *rowsInMonth = !rows.empty() && rows.back().勤務日 >= first;
    }
    return ComputeOvertime(WorkedDays(rows, 残業計算区分, settings, CurrentTime),
                           parseDate(joined.trimmed()), year, month, rules, settings);
}

}  // namespace

std::vector<WorkedDay> WorkedDays(const std::vector<WorkRow>& rows, const QString& 残業計算区分,
                                  const Settings& settings, const QDateTime& CurrentTime) {
    std::vector<WorkedDay> days;
    days.reserve(rows.size());
    for (const WorkRow& row : rows) {
        if (!days.empty() && row.勤務日 <= days.back().day) {
            continue;
        }
        MonthTotals totals;
        CalculateDay(row.勤務日, row, 残業計算区分, settings, CurrentTime, totals);
        days.push_back({row.勤務日, totals.all.実働});
    }
    return days;
}

OvertimeYear StaffOvertime(Database& db, const QString& workCode, const QString& 残業計算区分,
                           const QString& joined, int year, int month, const Settings& settings,
                           const QDateTime& CurrentTime) {
    return overtimeOf(db, workCode, 残業計算区分, joined, year, month, ReadOvertimeRules(settings),
                      settings, CurrentTime);
}

QString OvertimeCheckText(const OvertimeCheck& check, const OvertimeRules& rules) {
    const QString value = formatDuration(check.value);
    const QString limit = formatDuration(check.limit);
    switch (check.figure) {
        case OvertimeFigure::Month:
            return QStringLiteral("今月の時間外労働は%1です。(限度 %2)").arg(value, limit);
        case OvertimeFigure::Combined:
            return QStringLiteral("今月の時間外労働と休日労働の合計は%1です。(限度 %2)")
                .arg(value, limit);
        case OvertimeFigure::Year:
            return QStringLiteral("今年度の時間外労働は%1です。(限度 %2)").arg(value, limit);
        case OvertimeFigure::Average:
            return QStringLiteral("直近%1か月平均の時間外労働と休日労働は%2です。(限度 %3)")
                .arg(QString::number(check.runMonths), value, limit);
        case OvertimeFigure::Months:
            return QStringLiteral("今年度、時間外労働が%1を超えた月は%2か月です。(限度 %3か月)")
                .arg(formatDuration(rules.月限度時間), QString::number(check.value),
                     QString::number(check.limit));
    }
    return QString();
}

std::optional<Message> OvertimeNotice(const OvertimeMonth& month, const OvertimeRules& rules) {
    const OvertimeCheck worst = month.worst();
    if (worst.status == OvertimeStatus::None) {
        return std::nullopt;
    }
    return Message{OvertimeCheckText(worst, rules),
                   OverLimit(worst.status) ? Icon::Exclamation : Icon::Information};
}

Outcome ClockOutWatched(Database& db, const LogContext& ctx, const Identification& who,
                        const Settings& settings, const QDateTime& CurrentTime) {
    Outcome out = ClockOut(db, ctx, who, settings, CurrentTime);
    if (!out.accepted) {
        return out;
    }
    try {
        const ShiftRules& shift = settings.rules(settings.shiftIndex(who.シフトコード));
        const QDate day = ClockOutTargetFor(CurrentTime, shift.始業時刻).day;
        const PayrollMonth p = PayrollMonthOf(day, settings);
        const OvertimeRules rules = ReadOvertimeRules(settings);
        const StaffRecord& staff = *who.StaffRecord;
        const OvertimeYear year =
            overtimeOf(db, who.code, staff.残業計算区分, staff.入社年月日.value_or(QString()),
                       p.end.year(), p.end.month(), rules, settings, CurrentTime);
        if (auto notice = OvertimeNotice(year.current(), rules)) {
            out.messages.push_back(*notice);
        }
    } catch (const DbError& e) {
        // The clock-out is stored: only the look at the figures failed.
        out.messages.push_back(Message{e.message(), Icon::Exclamation});
    }
    return out;
}

PayrollMonth ReviewedMonth(const Period& period, const Settings& settings) {
    return PayrollMonthOf(period.PeriodStart, settings);
}

QString OvertimeReviewLine(const OvertimeMonth& month) {
    return QStringLiteral("%1年%2月度  時間外 %3  休日労働 %4  年時間外 %5  判定 %6")
        .arg(month.year, 4, 10, QLatin1Char('0'))
        .arg(month.month, 2, 10, QLatin1Char('0'))
        .arg(formatDuration(month.時間外), formatDuration(month.休日労働),
             formatDuration(month.年時間外), StatusText(month.worst().status));
}

QString ReviewOvertimeLine(Database& db, const Identification& who, const Period& period,
                           const Settings& settings, const QDateTime& CurrentTime) {
    if (!who.identified()) {
        return QString();
    }
    const PayrollMonth p = ReviewedMonth(period, settings);
    const StaffRecord& staff = *who.StaffRecord;
    const OvertimeYear year =
        StaffOvertime(db, who.code, staff.残業計算区分, staff.入社年月日.value_or(QString()),
                      p.end.year(), p.end.month(), settings, CurrentTime);
    return OvertimeReviewLine(year.current());
}

std::vector<StaffOvertimeLine> OvertimeOfStaff(Database& db, int year, int month,
                                               const Settings& settings,
                                               const QDateTime& CurrentTime, const QString& code) {
    const OvertimeRules rules = ReadOvertimeRules(settings);
    std::vector<StaffOvertimeLine> lines;
    for (const StaffRow& member : ListStaff(db)) {
        if (!code.isEmpty() && member.code != code) {
            continue;
        }
        StaffOvertimeLine line;
        line.code = member.code;
        line.name = member.name;
        // The work rows carry the staff member's password column, as the terminal stores it.
        line.year = overtimeOf(db, member.password, member.overtime, member.joined, year, month,
                               rules, settings, CurrentTime, &line.rowsInMonth);
        if (line.rowsInMonth || !code.isEmpty()) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

QStringList OvertimeHeader() {
    return {QStringLiteral("社員コード"),   QStringLiteral("氏名"),     QStringLiteral("時間外"),
            QStringLiteral("休日労働"),     QStringLiteral("合計"),     QStringLiteral("年時間外"),
            QStringLiteral("限度超過月数"), QStringLiteral("最大平均"), QStringLiteral("判定")};
}

QStringList OvertimeLineTexts(const StaffOvertimeLine& line) {
    const OvertimeMonth& m = line.year.current();
    return {line.code,
            line.name,
            formatDuration(m.時間外),
            formatDuration(m.休日労働),
            formatDuration(m.合計()),
            formatDuration(m.年時間外),
            QString::number(m.限度超過月数),
            formatDuration(m.最大平均),
            StatusText(m.worst().status)};
}

QStringList OvertimeDayHeader() {
    return {QStringLiteral("日付"), QStringLiteral("実働"), QStringLiteral("日時間外"),
            QStringLiteral("週時間外"), QStringLiteral("休日労働")};
}

QStringList OvertimeDayTexts(const OvertimeDay& day) {
    return {formatDate(day.day), formatDuration(day.実働), formatDuration(day.日時間外),
            formatDuration(day.週時間外), formatDuration(day.休日労働)};
}

bool OverLimit(OvertimeStatus status) {
    return status == OvertimeStatus::超過 || status == OvertimeStatus::違反;
}

}  // namespace tq
