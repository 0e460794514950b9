#include "storage/pg_dialect.h"

#include <QSet>

#include "common/datetime.h"
#include "storage/database.h"
#include "storage/jet_dialect.h"

namespace tq {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

qsizetype skipBlanks(const QString& s, qsizetype i) {
    while (i < s.size() && s[i].isSpace()) {
        ++i;
    }
    return i;
}

[[noreturn]] void refuse(const QString& what, const QString& text) {
    throw DbError(what + QStringLiteral(": ") + text);
}

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

QString translateJetTextForServer(const QString& in) {
    QString out;
    out.reserve(in.size() + 32);
    qsizetype i = 0;
    while (i < in.size()) {
        const QChar c = in[i];
        if (c == u'\'') {
            const qsizetype j = jetLiteralEnd(in, i);
            out += QStringView(in).mid(i, j - i + 1);
            i = j + 1;
        } else if (c == u'[') {
            const qsizetype end = in.indexOf(u']', i + 1);
            if (end < 0) {
                refuse(QStringLiteral("unterminated [name] in statement"), in);
            }
            out += serverName(in.mid(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == u'#') {
            const qsizetype end = in.indexOf(u'#', i + 1);
            if (end < 0) {
                refuse(QStringLiteral("unterminated date literal in statement"), in);
            }
            const QString inner = in.mid(i + 1, end - i - 1);
            const QDateTime t = parseStamp(inner);
            if (!t.isValid()) {
                refuse(QStringLiteral("invalid date literal #") + inner + QLatin1Char('#'), in);
            }
            out += QStringLiteral("TIMESTAMP '") + storedDateTime(t) + QLatin1Char('\'');
            i = end + 1;
        } else if (c == u';') {
            // One statement per text: only blanks may follow a closing semicolon.
            if (skipBlanks(in, i + 1) < in.size()) {
                refuse(QStringLiteral("only one statement may be run at a time"), in);
            }
            i = in.size();
        } else if (c == u'"') {
            // Already quoted: copied as it stands.
            const qsizetype end = in.indexOf(u'"', i + 1);
            if (end < 0) {
                refuse(QStringLiteral("unterminated quoted name in statement"), in);
            }
            out += QStringView(in).mid(i, end - i + 1);
            i = end + 1;
        } else if (isWordChar(c)) {
            qsizetype j = i;
            while (j < in.size() && isWordChar(in[j])) {
                ++j;
            }
            const QStringView word = QStringView(in).mid(i, j - i);
            const qsizetype after = skipBlanks(in, j);
            // A function is written with its parenthesis right after the name; a table name
            // is followed by a blank before its column list.
            const bool call = j < in.size() && in[j] == u'(';
            if (word.front().isDigit()) {
                out += word;  // a number
            } else if (word.compare(u"DELETE", Qt::CaseInsensitive) == 0) {
                out += word;
                if (after < in.size() && in[after] == u'*') {
                    j = after + 1;  // Jet's "DELETE * FROM" names no columns
                }
            } else if (call && (word.compare(u"Now", Qt::CaseInsensitive) == 0 ||
                                word.compare(u"Date", Qt::CaseInsensitive) == 0)) {
                const qsizetype close = skipBlanks(in, after + 1);
                if (close < in.size() && in[close] == u')') {
                    out += word.compare(u"Now", Qt::CaseInsensitive) == 0
                               ? serverJapanNow()
                               : QStringLiteral("date_trunc('day', ") + serverJapanNow() +
                                     QLatin1Char(')');
                    j = close + 1;
                } else {
                    out += word;
                }
            } else if (call || isKeyword(word)) {
                out += word;
            } else {
                out += serverName(word.toString());
            }
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
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
