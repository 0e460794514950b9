#include "storage/jet_dialect.h"

#include "common/datetime.h"
#include "storage/database.h"

namespace tq {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// The engine's expression for Japan time (UTC+9, no daylight saving) in the stored form; the
// engine's 'now' is UTC, and the computer's own time zone is never used.
const QString kLocalNow = QStringLiteral("strftime('%Y-%m-%d %H:%M:%S','now','+9 hours')");
const QString kLocalToday = QStringLiteral("strftime('%Y-%m-%d 00:00:00','now','+9 hours')");

qsizetype skipBlanks(const QString& s, qsizetype i) {
    while (i < s.size() && s[i].isSpace()) {
        ++i;
    }
    return i;
}

[[noreturn]] void refuse(const QString& what, const QString& text) {
    throw DbError(what + QStringLiteral(": ") + text);
}

}  // namespace

qsizetype jetLiteralEnd(const QString& text, qsizetype start) {
    qsizetype j = start + 1;
    while (true) {
        if (j >= text.size()) {
            refuse(QStringLiteral("unterminated text literal in statement"), text);
        }
        if (text[j] == u'\'') {
            if (j + 1 < text.size() && text[j + 1] == u'\'') {
                j += 2;
                continue;
            }
            return j;
        }
        ++j;
    }
}

QString storedDateTime(const QDateTime& wall) {
    return wall.date().toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
           wall.time().toString(QStringLiteral("HH:mm:ss"));
}

QString storedDate(const QDate& day) {
    return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

QString translateJetText(const QString& in) {
    QString out;
    out.reserve(in.size() + 16);
    qsizetype i = 0;
    while (i < in.size()) {
        const QChar c = in[i];
        if (c == u'\'') {
            // A literal, apostrophes doubled inside, copied unchanged.
            const qsizetype j = jetLiteralEnd(in, i);
            out += QStringView(in).mid(i, j - i + 1);
            i = j + 1;
        } else if (c == u'[') {
            const qsizetype end = in.indexOf(u']', i + 1);
            if (end < 0) {
                refuse(QStringLiteral("unterminated [name] in statement"), in);
            }
            QString name = in.mid(i + 1, end - i - 1);
            name.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            out += QLatin1Char('"') + name + QLatin1Char('"');
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
            out += QLatin1Char('\'') + storedDateTime(t) + QLatin1Char('\'');
            i = end + 1;
        } else if (isWordChar(c) && (i == 0 || !isWordChar(in[i - 1]))) {
            qsizetype j = i;
            while (j < in.size() && isWordChar(in[j])) {
                ++j;
            }
            const QStringView word = QStringView(in).mid(i, j - i);
            const bool qualified = i > 0 && in[i - 1] == u'.';
            if (!qualified && word.compare(u"True", Qt::CaseInsensitive) == 0) {
                out += QLatin1Char('1');
            } else if (!qualified && word.compare(u"False", Qt::CaseInsensitive) == 0) {
                out += QLatin1Char('0');
            } else if (word.compare(u"DELETE", Qt::CaseInsensitive) == 0) {
                out += word;
                const qsizetype k = skipBlanks(in, j);
                if (k < in.size() && in[k] == u'*') {
                    j = k + 1;  // Jet's "DELETE * FROM" names no columns
                }
            } else if (!qualified && (word.compare(u"Now", Qt::CaseInsensitive) == 0 ||
                                      word.compare(u"Date", Qt::CaseInsensitive) == 0)) {
                const qsizetype open = skipBlanks(in, j);
                const qsizetype close =
                    open < in.size() && in[open] == u'(' ? skipBlanks(in, open + 1) : -1;
                if (close >= 0 && close < in.size() && in[close] == u')') {
                    out += word.compare(u"Now", Qt::CaseInsensitive) == 0 ? kLocalNow : kLocalToday;
                    j = close + 1;
                } else {
                    out += word;
                }
            } else {
                out += word;
            }
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

EngineStatement toEngineStatement(const Sql& sql) {
    EngineStatement st;
    for (const Sql::Piece& p : sql.pieces()) {
        if (p.isValue) {
            st.text += QLatin1Char('?');
            st.values.push_back(p.value);
        } else {
            st.text += translateJetText(p.fixed);
        }
    }
    return st;
}

}  // namespace tq
