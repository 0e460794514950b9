#pragma once
// Translation of the Jet-dialect statements into the SQL of the embedded engine.

#include <QString>
#include <vector>

#include "storage/sql.h"

namespace tq {

/// A statement as the engine runs it: its SQL with one "?" per value, and the values in order.
struct EngineStatement {
    QString text;
    std::vector<SqlValue> values;
};

/// How an engine writes the parts of Jet text that differ between engines.
struct JetForms {
    /// A name written between brackets.
    QString (*bracketName)(const QString& name);
    /// A date literal "#yyyy/mm/dd#" or "#yyyy/mm/dd hh:nn:ss#".
    QString (*dateLiteral)(const QDateTime& wall);
    /// Now() and Date(): the Japan date and time, and the Japan day at midnight.
    QString now;
    QString today;
    /// Any other word but a number: `qualified` when a "." stands before it, `call` when a
    /// "(" follows it at once.
    QString (*word)(QStringView word, bool qualified, bool call);
};

/// Translates fixed Jet text for an engine: what every engine reads alike is done here
/// (literals between apostrophes and names between double quotes kept, numbers kept,
/// "DELETE * FROM" → "DELETE FROM", only blanks after a closing ";"), the rest by `forms`.
/// Throws DbError for an unterminated literal, bracket, quoted name or date sign, an invalid
/// date, or a second statement.
QString translateJet(const QString& fixedJetText, const JetForms& forms);

/// Translates fixed Jet text for the embedded engine: "[Name]" → a quoted identifier,
/// False/True → 0/1, "#yyyy/mm/dd#" and "#yyyy/mm/dd hh:nn:ss#" → the stored date form,
/// Now() and Date() → Japan date and time, and what translateJet does for every engine.
QString translateJetText(const QString& fixedJetText);

/// The position of the apostrophe that closes the literal opened at `start` in Jet text
/// (apostrophes doubled inside the literal belong to it). Throws DbError when it is never
/// closed.
qsizetype jetLiteralEnd(const QString& text, qsizetype start);

/// The engine's statement for `sql`: fixed pieces translated, a "?" for each value.
EngineStatement toEngineStatement(const Sql& sql);

/// How a date-time is stored: "yyyy-MM-dd HH:mm:ss", which compares correctly as text. A
/// date is stored as that day at 00:00:00.
QString storedDateTime(const QDateTime& wall);
QString storedDate(const QDate& day);

}  // namespace tq
