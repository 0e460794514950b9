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

/// Translates fixed Jet text: "DELETE * FROM" → "DELETE FROM", "[Name]" → a quoted
/// identifier, False/True → 0/1, "#yyyy/mm/dd#" and "#yyyy/mm/dd hh:nn:ss#" → the stored
/// date form, Now() and Date() → Japan date and time. Literals between apostrophes are
/// kept. Throws DbError for an unterminated literal, bracket or date sign.
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
