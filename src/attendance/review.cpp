#include "attendance/review.h"

#include <iterator>

#include "attendance/punch_sql.h"
#include "common/datetime.h"
#include "storage/schema.h"

namespace tq {

namespace {

const QString kMissingMarker = QStringLiteral("？？");

std::optional<QString> nullableText(const ResultSet& rs, const QString& field) {
    if (rs.isNull(field)) {
        return std::nullopt;
    }
    return rs.text(field);
}

std::optional<int> nullableTime(const ResultSet& rs, const QString& field) {
    if (rs.isNull(field)) {
        return std::nullopt;
    }
    return static_cast<int>(rs.integer(field));
}

bool hasField(const ResultSet& rs, const QString& field) {
    return rs.fieldNames().contains(field, Qt::CaseInsensitive);
}

std::vector<WorkRow> readRows(Database& db, const Sql& query) {
    std::vector<WorkRow> rows;
    auto rs = db.query(query);
    while (rs->next()) {
        rows.push_back(ReadWorkRow(*rs));
    }
    return rows;
}

std::vector<WorkRow> readArchived(Database& db, const QString& code, const QDate& start,
                                  const QDate& end) {
    try {
        return readRows(db, ArchivedListingQuery(code, start, end));
    } catch (const DbError&) {
        // A database that no terminal of this version has started yet has nothing moved.
        if (db.probeTable(kWorkArchiveTable) == TableState::Missing) {
            return {};
        }
        throw;
    }
}

}  // namespace

WorkRow ReadWorkRow(const ResultSet& rs) {
    WorkRow r;
    r.勤務日 = rs.date(QStringLiteral("勤務日"));
    r.シフト = nullableText(rs, QStringLiteral("シフト"));
    r.残業指示 = nullableText(rs, QStringLiteral("残業指示"));
    r.状態 = nullableText(rs, QStringLiteral("状態"));
    r.出勤時刻 = nullableTime(rs, QStringLiteral("出勤時刻"));
    r.退勤時刻 = nullableTime(rs, QStringLiteral("退勤時刻"));
    r.状態申告日 = nullableText(rs, QStringLiteral("状態申告日"));
    r.出勤打刻日 = nullableText(rs, QStringLiteral("出勤打刻日"));
    r.退勤打刻日 = nullableText(rs, QStringLiteral("退勤打刻日"));
    static const QString joined = QStringLiteral("入社年月日");
    static const QString left = QStringLiteral("退社年月日");
    if (hasField(rs, joined)) {
        r.入社年月日 = nullableText(rs, joined);
        r.退社年月日 = nullableText(rs, left);
    }
    return r;
}

std::vector<WorkRow> ReadListing(Database& db, const QString& code, const QDate& start,
                                 const QDate& end) {
    std::vector<WorkRow> live = readRows(db, ListingQuery(code, start, end));
    const std::vector<WorkRow> archived = readArchived(db, code, start, end);
    if (archived.empty()) {
        return live;
    }
    // Both lists are in day order. A day with a row in T_勤務 was written after its archived
    // row was moved (a correction of a day still open), so that row is the day's.
    std::vector<WorkRow> rows;
    rows.reserve(live.size() + archived.size());
    auto next = live.begin();
    for (const WorkRow& a : archived) {
        while (next != live.end() && next->勤務日 < a.勤務日) {
            rows.push_back(std::move(*next++));
        }
        const bool replaced = next != live.end() && next->勤務日 == a.勤務日;
        const bool repeated = !rows.empty() && rows.back().勤務日 == a.勤務日;
        if (!replaced && !repeated) {
            rows.push_back(a);
        }
    }
    std::move(next, live.end(), std::back_inserter(rows));
    return rows;
}

std::vector<DayFigures> WalkRows(const std::vector<WorkRow>& rows, const QDate& start,
                                 const QString& 残業計算区分, const Settings& settings,
                                 const QDateTime& CurrentTime, MonthTotals& totals) {
    std::vector<DayFigures> days;
    QDate CalcDay = start;
    for (const WorkRow& row : rows) {
        // A row the cursor has passed already (a second row of one day) adds nothing.
        if (row.勤務日 < CalcDay) {
            continue;
        }
        while (row.勤務日 > CalcDay) {
            days.push_back(CalculateDay(CalcDay, row, 残業計算区分, settings, CurrentTime, totals));
            CalcDay = CalcDay.addDays(1);
        }
        days.push_back(CalculateDay(CalcDay, row, 残業計算区分, settings, CurrentTime, totals));
        CalcDay = CalcDay.addDays(1);
    }
    return days;
}

DayFigures BlankDay(const QDate& day, const Settings& settings) {
    DayFigures f;
    f.日付 = formatMonthDay(day);
    f.曜日 = DayText(settings, 0, day);
    return f;
}

QStringList DisplayTexts(const DayFigures& f) {
    QStringList texts;
    texts.reserve(kDayFigureColumns);
    for (int c = 0; c < kDayFigureColumns; ++c) {
        // Columns 3 and 5..13: "残業指示", "出勤" .. "実働".
        const bool figure = c == 3 || (c >= 5 && c <= 13);
        const QString& t = f.at(c);
        texts << (figure && t.isEmpty() ? QStringLiteral(" ") : t);
    }
    return texts;
}

ReviewResult MonthlyReview(Database& db, const Identification& who, const Settings& settings,
                           const QDateTime& CurrentTime) {
    ReviewResult r;
    if (!who.identified()) {
        return r;
    }
    r.period = ComputePeriod(CurrentTime, settings);
    const std::vector<WorkRow> rows =
        ReadListing(db, who.code, r.period.PeriodStart, r.period.PeriodEnd);
    if (rows.empty()) {
        r.outcome.messages.push_back(
            Message{QStringLiteral("出退勤情報がありません。"), Icon::Exclamation});
        return r;
    }
    r.days = WalkRows(rows, r.period.PeriodStart, who.StaffRecord->残業計算区分, settings,
                      CurrentTime, r.totals);
    QDate CalcDay = r.period.PeriodStart.addDays(static_cast<qint64>(r.days.size()));
    for (; CalcDay <= r.period.PeriodEnd; CalcDay = CalcDay.addDays(1)) {
        r.days.push_back(BlankDay(CalcDay, settings));
    }
    for (size_t i = 0; i < r.days.size(); ++i) {
        if (r.days[i].状態 == kMissingMarker) {
            r.firstMissingRow = static_cast<int>(i);
            break;
        }
    }
    r.outcome.accepted = true;
    return r;
}

}  // namespace tq
