#include "requests/request_sql.h"

#include <vector>

#include "common/datetime.h"
#include "requests/request_kinds.h"

namespace tq {

namespace {

/// One column and the value it receives.
struct Assignment {
    QString column;
    bool number = false;
    QString text;     ///< a text value
    qint64 n = 0;     ///< a number
    QString logForm;  ///< how the number is written in the log ("0830")
};

Assignment textValue(const QString& column, const QString& value) {
    return Assignment{column, false, value, 0, QString()};
}

Assignment numberValue(const QString& column, qint64 n, const QString& logForm) {
    return Assignment{column, true, QString(), n, logForm};
}

Sql& put(Sql& s, const Assignment& a) {
    return a.number ? s.integer(a.n, a.logForm) : s.text(a.text);
}

/// INSERT INTO T_勤務 (担当者コード,勤務日,<columns>) VALUES ('code',#day#,<values>)
Sql insertRow(const QString& code, const QDate& day, const std::vector<Assignment>& values) {
    QString columns = QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日");
    for (const Assignment& a : values) {
        columns += QLatin1Char(',') + a.column;
    }
    Sql s(columns + QStringLiteral(") VALUES ("));
    s.text(code).raw(QStringLiteral(",")).date(day);
    for (const Assignment& a : values) {
        put(s.raw(QStringLiteral(",")), a);
    }
    s.raw(QStringLiteral(")"));
    return s;
}

/// UPDATE T_勤務 SET <column> = <value>,... WHERE 担当者コード = 'code' AND 勤務日 = #day#
Sql updateRow(const QString& code, const QDate& day, const std::vector<Assignment>& values) {
    Sql s(QStringLiteral("UPDATE T_勤務 SET "));
    bool first = true;
    for (const Assignment& a : values) {
        s.raw((first ? QString() : QStringLiteral(",")) + a.column + QStringLiteral(" = "));
        put(s, a);
        first = false;
    }
    s.raw(QStringLiteral(" WHERE 担当者コード = "))
        .text(code)
        .raw(QStringLiteral(" AND 勤務日 = "))
        .date(day);
    return s;
}

Sql rowStatement(bool rowExists, const QString& code, const QDate& day,
                 const std::vector<Assignment>& values) {
    return rowExists ? updateRow(code, day, values) : insertRow(code, day, values);
}

/// The punch kinds' time and stamp columns.
struct PunchColumns {
    QString time;
    QString stamp;
};

PunchColumns punchColumns(const QString& kind) {
    if (kind == QStringLiteral("出勤打刻")) {
        return {QStringLiteral("出勤時刻"), QStringLiteral("出勤打刻日")};
    }
    return {QStringLiteral("退勤時刻"), QStringLiteral("退勤打刻日")};
}

bool isPunchKind(const QString& kind) {
    return kind == QStringLiteral("出勤打刻") || kind == QStringLiteral("退勤打刻");
}

}  // namespace

Sql RegistrationStatement(bool rowExists, const QString& kind, const QString& code,
                          const QDate& day, const QString& shift, const QString& value,
                          const QDateTime& stamp) {
    const QString stampText = formatStamp(stamp);
    std::vector<Assignment> values{textValue(QStringLiteral("シフト"), shift)};
    if (isPunchKind(kind)) {
        const PunchColumns c = punchColumns(kind);
        QString t = value;
        t.remove(QLatin1Char(':'));
        values.push_back(numberValue(c.time, t.toLongLong(), t));
        values.push_back(textValue(c.stamp, stampText));
    } else if (kind == QStringLiteral("残業指示")) {
        values.push_back(textValue(QStringLiteral("残業指示"), value));
    } else {
        const QString state = IsSubstituteKind(kind)
                                  ? kind + QStringLiteral("(") + value + QStringLiteral(")")
                                  : kind;
        values.push_back(textValue(QStringLiteral("状態"), state));
        values.push_back(textValue(QStringLiteral("状態申告日"), stampText));
    }
    return rowStatement(rowExists, code, day, values);
}

Sql CancellationStatement(bool rowExists, const QString& kind, const QString& code,
                          const QDate& day, const QDateTime& stamp) {
    const QString stampText = formatStamp(stamp);
    std::vector<Assignment> values;
    if (isPunchKind(kind)) {
        const PunchColumns c = punchColumns(kind);
        values.push_back(numberValue(c.time, 0, QStringLiteral("0")));
        values.push_back(textValue(c.stamp, stampText));
    } else if (kind == QStringLiteral("残業指示")) {
        values.push_back(textValue(QStringLiteral("残業指示"), QString()));
    } else {
        values.push_back(textValue(QStringLiteral("状態"), QString()));
        values.push_back(textValue(QStringLiteral("状態申告日"), stampText));
    }
    return rowStatement(rowExists, code, day, values);
}

}  // namespace tq
