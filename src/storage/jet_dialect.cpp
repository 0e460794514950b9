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

QString translateJet(const QString& in, const JetForms& forms) {
    QString out;
    out.reserve(in.size() + 32);
    qsizetype i = 0;
    while (i < in.size()) {
        const QChar c = in[i];
        if (c == u'\'') {
            // A literal, apostrophes doubled inside, copied unchanged.
            const qsizetype j = jetLiteralEnd(in, i);
            out += QStringView(in).mid(i, j - i + 1);
            i = j + 1;
        } else if (c == u'[' || c == u'"' || c == u'#') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            const qsizetype end = in.indexOf(close, i + 1);
            if (end < 0) {
                refuse(c == u'['   ? QStringLiteral("unterminated [name] in statement")
                       : c == u'"' ? QStringLiteral("unterminated quoted name in statement")
                                   : QStringLiteral("unterminated date literal in statement"),
                       in);
            }
            const QString inner = in.mid(i + 1, end - i - 1);
            if (c == u'[') {
                out += forms.bracketName(inner);
            } else if (c == u'"') {
                out += QStringView(in).mid(i, end - i + 1);  // already quoted: kept as it stands
            } else {
                const QDateTime t = parseStamp(inner);
                if (!t.isValid()) {
                    refuse(QStringLiteral("invalid date literal #") + inner + QLatin1Char('#'), in);
                }
                out += forms.dateLiteral(t);
            }
            i = end + 1;
        } else if (c == u';') {
            // One statement per text: only blanks may follow a closing semicolon.
            if (skipBlanks(in, i + 1) < in.size()) {
                refuse(QStringLiteral("only one statement may be run at a time"), in);
            }
            i = in.size();
        } else if (isWordChar(c)) {
            qsizetype j = i;
            while (j < in.size() && isWordChar(in[j])) {
                ++j;
            }
            const QStringView word = QStringView(in).mid(i, j - i);
            const bool qualified = i > 0 && in[i - 1] == u'.';
            const qsizetype after = skipBlanks(in, j);
            const qsizetype close =
                after < in.size() && in[after] == u'(' ? skipBlanks(in, after + 1) : -1;
            const bool now = word.compare(u"Now", Qt::CaseInsensitive) == 0;
            if (word.front().isDigit()) {
                out += word;  // a number
            } else if (word.compare(u"DELETE", Qt::CaseInsensitive) == 0) {
                out += word;
                if (after < in.size() && in[after] == u'*') {
                    j = after + 1;  // Jet's "DELETE * FROM" names no columns
                }
            } else if (!qualified && (now || word.compare(u"Date", Qt::CaseInsensitive) == 0) &&
                       close >= 0 && close < in.size() && in[close] == u')') {
                out += now ? forms.now : forms.today;
                j = close + 1;
            } else {
                out += forms.word(word, qualified, j < in.size() && in[j] == u'(');
            }
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

namespace {

QString embeddedName(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QString embeddedDate(const QDateTime& wall) {
    return QLatin1Char('\'') + storedDateTime(wall) + QLatin1Char('\'');
}

// Yes/no is stored as 0 or 1; a column that happens to be named True keeps its name.
QString embeddedWord(QStringView word, bool qualified, bool) {
    if (!qualified && word.compare(u"True", Qt::CaseInsensitive) == 0) {
        return QStringLiteral("1");
    }
    if (!qualified && word.compare(u"False", Qt::CaseInsensitive) == 0) {
        return QStringLiteral("0");
    }
    return word.toString();
}

}  // namespace

QString translateJetText(const QString& in) {
    static const JetForms forms{&embeddedName, &embeddedDate, kLocalNow, kLocalToday,
                                &embeddedWord};
    return translateJet(in, forms);
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
