#include "attendance/identify.h"

#include "attendance/punch_sql.h"

namespace tq {

namespace {

std::optional<QString> nullable(const ResultSet& rs, const QString& field) {
    if (rs.isNull(field)) {
        return std::nullopt;
    }
    return rs.text(field);
}

tq::StaffRecord readStaff(const ResultSet& rs) {
    tq::StaffRecord r;
    r.担当者コード = rs.text(QStringLiteral("担当者コード"));
    r.担当者名 = rs.text(QStringLiteral("担当者名"));
    r.PassWord = rs.text(QStringLiteral("PassWord"));
    r.入社年月日 = nullable(rs, QStringLiteral("入社年月日"));
    r.退社年月日 = nullable(rs, QStringLiteral("退社年月日"));
    r.残業計算区分 = rs.text(QStringLiteral("残業計算区分"));
    r.勤務シフト = nullable(rs, QStringLiteral("勤務シフト"));
    return r;
}

}  // namespace

std::optional<StaffRecord> ReadStaffRecord(Database& db, const QString& code) {
    auto staff = db.query(StaffByPassWordQuery(code));
    if (!staff->next()) {
        return std::nullopt;
    }
    return readStaff(*staff);
}

Message UnknownStaffMessage() {
    return Message{QStringLiteral("社員名が未登録です。"), Icon::None, true};
}

Identification Identify(Database& db, const QString& code, const QDateTime& CurrentTime) {
    Identification who;
    who.code = code;
    if (code.isEmpty()) {
        return who;
    }
    who.StaffRecord = ReadStaffRecord(db, code);
    if (!who.StaffRecord) {
        who.outcome.messages.push_back(UnknownStaffMessage());
        return who;
    }
    who.社員名 = who.StaffRecord->担当者名;
    who.outcome.accepted = true;

    // A shift registered for the day overrides the employee's standard shift.
    auto work = db.query(WorkDayQuery(code, CurrentTime.date()));
    QString dayShift;
    if (work->next()) {
        dayShift = work->text(QStringLiteral("シフト"));
    }
    who.シフトコード =
        dayShift.isEmpty() ? who.StaffRecord->勤務シフト.value_or(QString()) : dayShift;
    return who;
}

}  // namespace tq
