#include "storage/database.h"

#include "common/datetime.h"

namespace tq {

QStringList Database::checkIntegrity() {
    QStringList problems;
    for (const QString& table : tableNames()) {
        try {
            auto rows = query(Sql(QStringLiteral("SELECT * FROM [") + table + QLatin1Char(']')));
            while (rows->next()) {
            }
        } catch (const DbError& e) {
            problems << table + QStringLiteral(": ") + e.message();
        }
    }
    return problems;
}

std::vector<TableState> Database::probeTables(const QStringList& names) {
    std::vector<TableState> states;
    for (const QString& name : names) {
        states.push_back(probeTable(name));
    }
    return states;
}

std::vector<int> Database::commitWith(const std::vector<Sql>& statements) {
    std::vector<int> changed;
    for (const Sql& s : statements) {
        changed.push_back(execute(s));
    }
    commit();
    return changed;
}

std::vector<int> Database::executeAll(const std::vector<Sql>& statements) {
    std::vector<int> changed;
    WriteTransaction tx(*this);
    for (const Sql& s : statements) {
        changed.push_back(execute(s));
    }
    tx.commit();
    return changed;
}

bool ResultSet::isNull(const QString& field) const {
    return std::holds_alternative<SqlNull>(value(field));
}

QString ResultSet::text(const QString& field) const {
    const SqlValue v = value(field);
    if (const auto* s = std::get_if<QString>(&v)) {
        return *s;
    }
    if (const auto* l = std::get_if<SqlLongText>(&v)) {
        return l->value;
    }
    if (const auto* n = std::get_if<qint64>(&v)) {
        return QString::number(*n);
    }
    if (const auto* d = std::get_if<SqlDecimal>(&v)) {
        return QString::number(d->value);
    }
    if (const auto* b = std::get_if<bool>(&v)) {
        return *b ? QStringLiteral("True") : QStringLiteral("False");
    }
    if (const auto* day = std::get_if<QDate>(&v)) {
        return formatDate(*day);
    }
    if (const auto* t = std::get_if<QDateTime>(&v)) {
        return t->time() == QTime(0, 0) ? formatDate(t->date()) : formatStamp(*t);
    }
    return QString();
}

qint64 ResultSet::integer(const QString& field) const {
    const SqlValue v = value(field);
    if (const auto* n = std::get_if<qint64>(&v)) {
        return *n;
    }
    if (const auto* d = std::get_if<SqlDecimal>(&v)) {
        return d->value;
    }
    if (const auto* b = std::get_if<bool>(&v)) {
        return *b ? 1 : 0;
    }
    if (const auto* s = std::get_if<QString>(&v)) {
        return s->trimmed().toLongLong();
    }
    return 0;
}

QDate ResultSet::date(const QString& field) const {
    return dateTime(field).date();
}

QDateTime ResultSet::dateTime(const QString& field) const {
    const SqlValue v = value(field);
    if (const auto* t = std::get_if<QDateTime>(&v)) {
        return *t;
    }
    if (const auto* day = std::get_if<QDate>(&v)) {
        return wallClock(*day);
    }
    if (const auto* s = std::get_if<QString>(&v)) {
        return parseStamp(*s);
    }
    return {};
}

bool ResultSet::boolean(const QString& field) const {
    const SqlValue v = value(field);
    if (const auto* b = std::get_if<bool>(&v)) {
        return *b;
    }
    return integer(field) != 0;
}

}  // namespace tq
