#include "storage/pg_dialect.h"

#include <QSet>

#include "common/datetime.h"
#include "storage/database.h"
#include "storage/jet_dialect.h"

namespace tq {

namespace {

// The words of the statements that are SQL, not names. Everything else is a name and is
// quoted, so that "T_勤務" and "PassWord" keep their case on the server.
bool isKeyword(QStringView word) {
    static const QSet<QString> keywords = [] {
        QSet<QString> k;
        for (const char* w :
             {"SELECT", "FROM", "WHERE", "AND", "OR", "NOT", "INSERT", "INTO", "VALUES", "UPDATE",
              "SET", "DELETE", "LEFT", "RIGHT", "INNER", "OUTER", "FULL", "CROSS", "JOIN", "ON",
              "ORDER", "BY", "ASC", "DESC", "GROUP", "HAVING", "AS", "IS", "NULL", "IN", "BETWEEN",
              "LIKE", "ESCAPE", "DISTINCT", "TRUE", "FALSE", "LIMIT", "OFFSET", "CASE", "WHEN",
              "THEN", "ELSE", "END", "EXISTS", "UNION", "ALL", "USING",
              // definitions written by hand (tools, tests): statements and type names
              "CREATE", "TABLE", "VIEW", "DROP", "INDEX", "PRIMARY", "KEY", "DEFAULT", "CONSTRAINT",
              "TEXT", "INTEGER", "INT", "BIGINT", "VARCHAR", "BOOLEAN", "NUMERIC", "TIMESTAMP",
              "ALTER", "RENAME", "TO"}) {
            k.insert(QString::fromLatin1(w));
        }
        return k;
    }();
    return keywords.contains(word.toString().toUpper());
}

}  // namespace

QString serverJapanNow() {
    // An interval as the zone counts east of UTC; a zone name would follow the server's own
    // rules, and "UTC+9" means the opposite in POSIX notation.
    return QStringLiteral("date_trunc('second', now() AT TIME ZONE INTERVAL '+09:00')");
}

QString serverName(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

namespace {

QString serverDate(const QDateTime& wall) {
    return QStringLiteral("TIMESTAMP '") + storedDateTime(wall) + QLatin1Char('\'');
}

// Keywords and functions (a word right before its parenthesis) stay; every other word is a
// name, quoted so that the server keeps its case.
QString serverWord(QStringView word, bool, bool call) {
    return call || isKeyword(word) ? word.toString() : serverName(word.toString());
}

}  // namespace

QString translateJetTextForServer(const QString& in) {
    static const JetForms forms{
        &serverName, &serverDate, serverJapanNow(),
        QStringLiteral("date_trunc('day', ") + serverJapanNow() + QLatin1Char(')'), &serverWord};
    return translateJet(in, forms);
}

ServerStatement toServerStatement(const Sql& sql) {
    ServerStatement st;
    for (const Sql::Piece& p : sql.pieces()) {
        if (p.isValue) {
            st.values.push_back(p.value);
            st.text += QLatin1Char('$') + QString::number(st.values.size());
        } else {
            st.text += translateJetTextForServer(p.fixed);
        }
    }
    return st;
}

}  // namespace tq
