#pragma once
// Translation of the Jet-dialect statements into the SQL of the server engine.

#include <QString>
#include <vector>

#include "storage/sql.h"

namespace tq {

/// A statement as the server runs it: its SQL with $1, $2, ... for the values, in order.
struct ServerStatement {
    QString text;
    std::vector<SqlValue> values;
};

/// The server's expression for the current Japan time (UTC+9, whole seconds), whatever time
/// zone the server or the session is set to.
QString serverJapanNow();

/// Translates fixed Jet text for the server: every name becomes a quoted identifier (the
/// server would fold unquoted names to lower case), "[Name]" too; "DELETE * FROM" →
/// "DELETE FROM"; "#yyyy/mm/dd#" and "#yyyy/mm/dd hh:nn:ss#" → timestamp literals; Now() and
/// Date() → Japan time. Keywords, numbers, function names (a word before "(") and literals
/// between apostrophes are kept. Throws DbError for an unterminated literal, bracket or date sign.
QString translateJetTextForServer(const QString& fixedJetText);

/// The server's statement for `sql`: fixed pieces translated, "$n" for each value.
ServerStatement toServerStatement(const Sql& sql);

/// An identifier quoted for the server.
QString serverName(const QString& name);

}  // namespace tq
