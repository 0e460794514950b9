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

/// The listing over `table` ("T_勤務" or its archive), written as the review writes it.
Sql listingOf(const QString& table, const QString& code, const QDate& start, const QDate& end) {
    Sql s(
        QStringLiteral("SELECT %1.*,T_担当者.入社年月日,T_担当者.退社年月日 FROM %1 LEFT JOIN "
                       "T_担当者 ON %1.担当者コード = T_担当者.[PassWord] WHERE %1.担当者コード = ")
            .arg(table));
    s.text(code)
        .raw(QStringLiteral(" AND %1.勤務日 >= ").arg(table))
        .date(start)
        .raw(QStringLiteral(" AND %1.勤務日 <= ").arg(table))
        .date(end)
        .raw(QStringLiteral(" ORDER BY %1.勤務日,%1.担当者コード").arg(table));
    return s;
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
    return listingOf(QStringLiteral("T_勤務"), code, start, end);
}

Sql ArchivedListingQuery(const QString& code, const QDate& start, const QDate& end) {
    return listingOf(QStringLiteral("T_勤務_保存"), code, start, end);
}

}  // namespace tq
