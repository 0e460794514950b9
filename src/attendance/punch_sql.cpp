#include "attendance/punch_sql.h"

#include "common/datetime.h"

namespace tq {

namespace {

QString fourDigits(int hhmm) {
    return QStringLiteral("%1").arg(hhmm, 4, 10, QLatin1Char('0'));
}

QString clockOutForm(ClockOutTime t) {
    return t.night ? QString::number(t.hhmm) : fourDigits(t.hhmm);
}

Sql& whereCodeAndDay(Sql& s, const QString& code, const QDate& day) {
    return s.raw(QStringLiteral(" WHERE 担当者コード = "))
        .text(code)
        .raw(QStringLiteral(" AND 勤務日 = "))
        .date(day);
}

}  // namespace

Sql StaffByPassWordQuery(const QString& code) {
    Sql s(QStringLiteral("SELECT * FROM T_担当者 WHERE PassWord = "));
    s.text(code);
    return s;
}

Sql WorkDayQuery(const QString& code, const QDate& day) {
    Sql s(QStringLiteral("SELECT * FROM T_勤務"));
    return whereCodeAndDay(s, code, day);
}

Sql ClockInInsert(const QString& code, const QDate& day, const QString& shift, int hhmm,
                  const QDateTime& stamp) {
    Sql s(QStringLiteral(
        "INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) VALUES ("));
    s.text(code)
        .raw(QStringLiteral(","))
        .date(day)
        .raw(QStringLiteral(","))
        .text(shift)
        .raw(QStringLiteral(","))
        .integer(hhmm, fourDigits(hhmm))
        .raw(QStringLiteral(","))
        .text(formatStamp(stamp))
        .raw(QStringLiteral(")"));
    return s;
}

Sql ClockInUpdate(const QString& code, const QDate& day, const QString& shift, int hhmm,
                  const QDateTime& stamp) {
    Sql s(QStringLiteral("UPDATE T_勤務 SET シフト = "));
    s.text(shift)
        .raw(QStringLiteral(",出勤時刻 = "))
        .integer(hhmm, fourDigits(hhmm))
        .raw(QStringLiteral(",出勤打刻日 = "))
        .text(formatStamp(stamp));
    return whereCodeAndDay(s, code, day);
}

Sql ClockOutInsert(const QString& code, const QDate& day, const QString& shift, ClockOutTime t,
                   const QDateTime& stamp) {
    Sql s(QStringLiteral(
        "INSERT INTO T_勤務 (担当者コード,勤務日,シフト,退勤時刻,退勤打刻日) VALUES ("));
    s.text(code)
        .raw(QStringLiteral(","))
        .date(day)
        .raw(QStringLiteral(","))
        .text(shift)
        .raw(QStringLiteral(","))
        .integer(t.hhmm, clockOutForm(t))
        .raw(QStringLiteral(","))
        .text(formatStamp(stamp))
        .raw(QStringLiteral(")"));
    return s;
}

Sql ClockOutUpdate(const QString& code, const QDate& day, const QString& shift, ClockOutTime t,
                   const QDateTime& stamp) {
    Sql s(QStringLiteral("UPDATE T_勤務 SET シフト = "));
    s.text(shift)
        .raw(QStringLiteral(",退勤時刻 = "))
        .integer(t.hhmm, clockOutForm(t))
        .raw(QStringLiteral(",退勤打刻日 = "))
        .text(formatStamp(stamp));
    return whereCodeAndDay(s, code, day);
}

Sql ListingQuery(const QString& code, const QDate& start, const QDate& end) {
    Sql s(QStringLiteral(
        "SELECT T_勤務.*,T_担当者.入社年月日,T_担当者.退社年月日 FROM T_勤務 LEFT JOIN T_担当者 "
        "ON T_勤務.担当者コード = T_担当者.[PassWord] WHERE T_勤務.担当者コード = "));
    s.text(code)
        .raw(QStringLiteral(" AND T_勤務.勤務日 >= "))
        .date(start)
        .raw(QStringLiteral(" AND T_勤務.勤務日 <= "))
        .date(end)
        .raw(QStringLiteral(" ORDER BY T_勤務.勤務日,T_勤務.担当者コード"));
    return s;
}

}  // namespace tq
