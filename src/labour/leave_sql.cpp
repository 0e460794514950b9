#include "labour/leave_sql.h"

#include "storage/schema.h"

namespace tq {

namespace {

constexpr Quote kQ = Quote::Doubled;

Sql& whereGrant(Sql& s, const QString& code, const LeaveGrant& g) {
    return s.raw(QStringLiteral(" WHERE 担当者コード = "))
        .text(code, kQ)
        .raw(QStringLiteral(" AND 基準日 = "))
        .date(g.base)
        .raw(QStringLiteral(" AND 付与区分 = "))
        .text(GrantKindText(g.kind), kQ);
}

}  // namespace

QString GrantKindText(GrantKind kind) {
    return kind == GrantKind::Manual ? QStringLiteral("手動") : QStringLiteral("自動");
}

Sql WorkPatternsQuery(const QString& code) {
    Sql s(QStringLiteral("SELECT * FROM T_勤務形態 WHERE 担当者コード = "));
    s.text(code, kQ).raw(QStringLiteral(" ORDER BY 適用開始日"));
    return s;
}

Sql WorkPatternInsert(const QString& code, const WorkPattern& p, const QDateTime& now) {
    Sql s(
        QStringLiteral("INSERT INTO T_勤務形態 (担当者コード,適用開始日,週所定労働日数,"
                       "週所定労働時間,登録日) VALUES ("));
    s.text(code, kQ)
        .raw(QStringLiteral(","))
        .date(p.from)
        .raw(QStringLiteral(","))
        .integer(p.weeklyDays)
        .raw(QStringLiteral(","))
        .integer(p.weeklyMinutes)
        .raw(QStringLiteral(","))
        .dateTime(now)
        .raw(QStringLiteral(")"));
    return s;
}

Sql WorkPatternUpdate(const QString& code, const WorkPattern& p, const QDateTime& now) {
    Sql s(QStringLiteral("UPDATE T_勤務形態 SET 週所定労働日数 = "));
    s.integer(p.weeklyDays)
        .raw(QStringLiteral(",週所定労働時間 = "))
        .integer(p.weeklyMinutes)
        .raw(QStringLiteral(",登録日 = "))
        .dateTime(now)
        .raw(QStringLiteral(" WHERE 担当者コード = "))
        .text(code, kQ)
        .raw(QStringLiteral(" AND 適用開始日 = "))
        .date(p.from);
    return s;
}

Sql LeaveGrantsQuery(const QString& code) {
    Sql s(QStringLiteral("SELECT * FROM T_有給付与 WHERE 担当者コード = "));
    s.text(code, kQ).raw(QStringLiteral(" ORDER BY 基準日"));
    return s;
}

Sql LeaveGrantInsert(const QString& code, const LeaveGrant& g, const QDateTime& now) {
    Sql s(
        QStringLiteral("INSERT INTO T_有給付与 (担当者コード,基準日,付与区分,付与半日数,"
                       "週所定労働日数,週所定労働時間,備考,登録日) VALUES ("));
    s.text(code, kQ)
        .raw(QStringLiteral(","))
        .date(g.base)
        .raw(QStringLiteral(","))
        .text(GrantKindText(g.kind), kQ)
        .raw(QStringLiteral(","))
        .integer(g.halves)
        .raw(QStringLiteral(","))
        .integer(g.pattern.weeklyDays)
        .raw(QStringLiteral(","))
        .integer(g.pattern.weeklyMinutes)
        .raw(QStringLiteral(","))
        .text(g.note, kQ)
        .raw(QStringLiteral(","))
        .dateTime(now)
        .raw(QStringLiteral(")"));
    return s;
}

Sql LeaveGrantUpdate(const QString& code, const LeaveGrant& g, const QDateTime& now) {
    Sql s(QStringLiteral("UPDATE T_有給付与 SET 付与半日数 = "));
    s.integer(g.halves)
        .raw(QStringLiteral(",週所定労働日数 = "))
        .integer(g.pattern.weeklyDays)
        .raw(QStringLiteral(",週所定労働時間 = "))
        .integer(g.pattern.weeklyMinutes)
        .raw(QStringLiteral(",備考 = "))
        .text(g.note, kQ)
        .raw(QStringLiteral(",登録日 = "))
        .dateTime(now);
    return whereGrant(s, code, g);
}

Sql LeaveGrantDelete(const QString& code, const LeaveGrant& g) {
    Sql s(QStringLiteral("DELETE * FROM T_有給付与"));
    return whereGrant(s, code, g);
}

Sql LeaveDaysQuery(const QString& workCode, const QDate& from) {
    Sql s;
    for (const QString& table : {QStringLiteral("T_勤務"), kWorkArchiveTable}) {
        if (table != QStringLiteral("T_勤務")) {
            s.raw(QStringLiteral(" UNION ALL "));
        }
        s.raw(QStringLiteral("SELECT 勤務日 FROM [") + table +
              QStringLiteral("] WHERE 担当者コード = "))
            .text(workCode)
            .raw(QStringLiteral(" AND 勤務日 >= "))
            .date(from)
            .raw(QStringLiteral(" AND 状態 LIKE "))
            .text(QStringLiteral("%有給休暇%"));
    }
    return s;
}

}  // namespace tq
