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

QString quoteText(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

}  // namespace tq::catalog
