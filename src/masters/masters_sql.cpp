#include "masters/masters_sql.h"

namespace tq {

namespace {
constexpr Quote kQ = Quote::Doubled;

QString overtimeText(bool noOvertime) {
    return noOvertime ? QStringLiteral("無") : QStringLiteral("有");
}
}  // namespace

Sql StaffListQuery() {
    return Sql(QStringLiteral("SELECT * FROM T_担当者 ORDER BY 担当者コード"));
}

Sql StaffQuery(const QString& code) {
    Sql s(QStringLiteral("SELECT * FROM T_担当者 WHERE 担当者コード = "));
    s.text(code, kQ);
    return s;
}

Sql StaffInsert(const StaffValues& v, const QDateTime& now) {
    Sql s(
        QStringLiteral("INSERT INTO T_担当者 (担当者コード,担当者名,[PassWord],社員区分,入社年月日,"
                       "退社年月日,残業計算区分,勤務シフト,廃番区分,登録日) VALUES ("));
    s.text(v.code.trimmed(), kQ)
        .raw(QStringLiteral(","))
        .text(v.name, kQ)
        .raw(QStringLiteral(","))
        .text(v.code, kQ)
        .raw(QStringLiteral(","))
        .integer(v.type)
        .raw(QStringLiteral(","))
        .text(v.joined, kQ)
        .raw(QStringLiteral(","))
        .text(v.left, kQ)
        .raw(QStringLiteral(","))
        .text(overtimeText(v.noOvertime), kQ)
        .raw(QStringLiteral(","))
        .text(v.shift, kQ)
        .raw(QStringLiteral(","))
        .boolean(false)
        .raw(QStringLiteral(","))
        .dateTime(now)
        .raw(QStringLiteral(")"));
    return s;
}

Sql StaffUpdate(const StaffValues& v) {
    Sql s(QStringLiteral("UPDATE T_担当者 SET 担当者名 = "));
    s.text(v.name.trimmed(), kQ)
        .raw(QStringLiteral(",[PassWord] = "))
        .text(v.code, kQ)
        .raw(QStringLiteral(",社員区分 = "))
        .integer(v.type)
        .raw(QStringLiteral(",入社年月日 = "))
        .text(v.joined, kQ)
        .raw(QStringLiteral(",退社年月日 = "))
        .text(v.left, kQ)
        .raw(QStringLiteral(",残業計算区分 = "))
        .text(overtimeText(v.noOvertime), kQ)
        .raw(QStringLiteral(",勤務シフト = "))
        .text(v.shift, kQ)
        .raw(QStringLiteral(" WHERE 担当者コード = "))
        .text(v.code, kQ);
    return s;
}

Sql StaffDelete(const QString& code) {
    Sql s(QStringLiteral("DELETE FROM T_担当者 WHERE 担当者コード = "));
    s.text(code, kQ);
    return s;
}

Sql MonthShiftQuery(const QString& code, const QDate& first) {
    Sql s(QStringLiteral("SELECT * FROM T_勤務 WHERE 担当者コード = "));
    s.text(code, kQ)
        .raw(QStringLiteral(" AND 勤務日 >= "))
        .date(first)
        .raw(QStringLiteral(" AND 勤務日 < "))
        .date(first.addMonths(1))
        .raw(QStringLiteral(" ORDER BY T_勤務.勤務日"));
    return s;
}

Sql DayShiftQuery(const QString& code, const QDate& day) {
    Sql s(QStringLiteral("SELECT * FROM T_勤務 WHERE 担当者コード = "));
    s.text(code, kQ).raw(QStringLiteral(" AND 勤務日 = ")).date(day);
    return s;
}

Sql DayShiftInsert(const QString& code, const QDate& day, const QString& shift) {
    Sql s(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,シフト) VALUES ("));
    s.text(code, kQ)
        .raw(QStringLiteral(","))
        .date(day)
        .raw(QStringLiteral(","))
        .text(shift, kQ)
        .raw(QStringLiteral(")"));
    return s;
}

Sql DayShiftUpdate(const QString& code, const QDate& day, const QString& shift) {
    Sql s(QStringLiteral("UPDATE T_勤務 SET シフト = "));
    s.text(shift, kQ)
        .raw(QStringLiteral(" WHERE 担当者コード = "))
        .text(code, kQ)
        .raw(QStringLiteral(" AND 勤務日 = "))
        .date(day);
    return s;
}

}  // namespace tq
