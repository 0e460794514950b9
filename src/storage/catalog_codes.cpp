#include "storage/catalog_codes.h"

namespace tq::catalog {

int adoxCode(ColumnType t) {
    switch (t) {
        case ColumnType::Integer:
            return 3;
        case ColumnType::DateTime:
            return 7;
        case ColumnType::Boolean:
            return 11;
        case ColumnType::Decimal:
            return 131;
        case ColumnType::Text:
            return 202;
        case ColumnType::LongText:
            return 203;
    }
    return 202;
}

ColumnType typeOfAdoxCode(int code) {
    switch (code) {
        case 3:
            return ColumnType::Integer;
        case 7:
            return ColumnType::DateTime;
        case 11:
            return ColumnType::Boolean;
        case 131:
            return ColumnType::Decimal;
        case 203:
            return ColumnType::LongText;
        default:
            return ColumnType::Text;
    }
}

void AddCatalogRow(TableDef& def, const std::function<QString(int)>& text,
                   const std::function<qint64(int)>& number) {
    const QString kind = text(0);
    if (kind == u"column") {
        ColumnDef c;
        c.name = text(1);
        c.type = typeOfAdoxCode(static_cast<int>(number(2)));
        c.size = static_cast<int>(number(3));
        c.scale = static_cast<int>(number(4));
        c.autoIncrement = number(5) != 0;
        c.defaultText = text(6);
        c.description = text(7);
        def.columns.push_back(c);
    } else if (kind == u"key") {
        def.primaryKeyName = text(1);
        def.primaryKey = text(8).split(QLatin1Char(','), Qt::SkipEmptyParts);
    } else if (kind == u"index") {
        IndexDef ix;
        ix.name = text(1);
        ix.columns = text(8).split(QLatin1Char(','), Qt::SkipEmptyParts);
        ix.unique = number(9) != 0;
        def.indexes.push_back(ix);
    }
}

std::vector<SqlValue> CatalogIndexRow(const QString& table, const IndexDef& index, qint64 ordinal) {
    return {table,
            QStringLiteral("index"),
            ordinal,
            index.name,
            qint64{0},
            qint64{0},
            qint64{0},
            qint64{0},
            QString(),
            QString(),
            index.columns.join(QLatin1Char(',')),
            static_cast<qint64>(index.unique)};
}

QString quoteText(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

}  // namespace tq::catalog
