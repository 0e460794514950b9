#pragma once
// What both engines write into and read from their catalog of column definitions: the
// column types as the type codes the site's tools know (3 whole number, 7 date and time,
// 11 yes/no, 131 decimal, 202 text, 203 long text), and texts quoted for a default or a
// description in a table definition.

#include <QString>
#include <functional>
#include <vector>

#include "storage/database.h"

namespace tq::catalog {

/// The type code of a column type.
int adoxCode(ColumnType t);
/// The column type of a type code; an unknown code reads as text.
ColumnType typeOfAdoxCode(int code);
/// Adds one catalog row to `def`: a column, the primary key or an index. The row's fields, read
/// through `text` and `number` by position, are kind, name, type code, size, scale, auto
/// number, default, description, key or index columns (comma-separated) and unique.
void AddCatalogRow(TableDef& def, const std::function<QString(int)>& text,
                   const std::function<qint64(int)>& number);
/// The twelve values of an index's catalog row (table, kind, ordinal, name, ..., columns,
/// unique), in the order both engines insert them.
std::vector<SqlValue> CatalogIndexRow(const QString& table, const IndexDef& index, qint64 ordinal);
/// The text between single quotes, quotes inside doubled.
QString quoteText(const QString& text);

}  // namespace tq::catalog
