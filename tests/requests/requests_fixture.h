#pragma once
// A site database with staff and work rows for the request tests, and every column of a work
// row as stored.

#include <gtest/gtest.h>

#include <optional>

#include "../attendance/punch_fixture.h"
#include "requests/requests.h"
#include "storage/sql.h"

namespace tq::test {

/// Every column of a T_勤務 row that requests write; `exists` is false when there is none.
struct FullWork {
    bool exists = false;
    std::optional<QString> shift;
    std::optional<QString> state;
    std::optional<QString> stateStamp;
    std::optional<QString> instruction;
    qint64 in = 0;
    qint64 out = 0;
    std::optional<QString> inStamp;
    std::optional<QString> outStamp;
};

inline FullWork ReadFullWork(Database& db, const QString& code, const QDate& day) {
    Sql s(QStringLiteral("SELECT * FROM T_勤務 WHERE 担当者コード = "));
    s.text(code).raw(QStringLiteral(" AND 勤務日 = ")).date(day);
    auto rs = db.query(s);
    FullWork w;
    if (!rs->next()) {
        return w;
    }
    auto text = [&](const char16_t* field) -> std::optional<QString> {
        const QString f = QString::fromUtf16(field);
        return rs->isNull(f) ? std::nullopt : std::optional<QString>(rs->text(f));
    };
    w.exists = true;
    w.shift = text(u"シフト");
    w.state = text(u"状態");
    w.stateStamp = text(u"状態申告日");
    w.instruction = text(u"残業指示");
    w.in = rs->integer(QStringLiteral("出勤時刻"));
    w.out = rs->integer(QStringLiteral("退勤時刻"));
    w.inStamp = text(u"出勤打刻日");
    w.outStamp = text(u"退勤打刻日");
    return w;
}

/// Inserts a work row of the day holding only a stored state and its stamp.
inline void StoreState(Database& db, const QString& code, const QDate& day, const QString& state,
                       const QString& stamp = QStringLiteral("2024/04/30 09:00:00")) {
    Sql s(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,状態,状態申告日) VALUES ("));
    s.text(code)
        .raw(QStringLiteral(","))
        .date(day)
        .raw(QStringLiteral(","))
        .text(state)
        .raw(QStringLiteral(","))
        .text(stamp)
        .raw(QStringLiteral(")"));
    db.execute(s);
}

/// Rules of the request tests: the punch rules with closing day 20 and correction day 25, so
/// that on 8 May the open period runs from 21 April.
inline QString RequestRulesText() {
    QString rules = PunchRulesText();
    rules.replace(QStringLiteral("[給与締日]\n末日\n[過日修正可能日]\n末日\n"),
                  QStringLiteral("[給与締日]\n20\n[過日修正可能日]\n25\n"));
    return rules;
}

}  // namespace tq::test
