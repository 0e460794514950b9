#include "storage/engine_support.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QThread>

#include "storage/catalog_codes.h"

namespace tq::engine {

namespace {

// The catalog's columns, in the order of its rows (see catalog::AddCatalogRow).
const char* const kCatalogColumns[] = {"TableName",   "Kind",        "Ordinal", "Name",
                                       "TypeCode",    "Size",        "Scale",   "AutoNumber",
                                       "DefaultText", "Description", "Columns", "IsUnique"};

// A definition neither engine can create.
void checkTableDef(const TableDef& def) {
    if (def.name.isEmpty() || def.columns.empty()) {
        throw DbError(QStringLiteral("a table needs a name and columns"));
    }
    for (const ColumnDef& c : def.columns) {
        if (c.type == ColumnType::Decimal && (c.scale != 0 || c.size < 1 || c.size > 18)) {
            throw DbError(
                QStringLiteral("decimal column %1 needs a precision of 1 to 18 and scale 0")
                    .arg(c.name));
        }
        if (c.autoIncrement &&
            (c.type != ColumnType::Integer || def.primaryKey != QStringList{c.name})) {
            throw DbError(QStringLiteral("auto-number column %1 must be the integer primary key")
                              .arg(c.name));
        }
    }
}

// The catalog rows of a new table: its columns, its key, its indexes.
std::vector<std::vector<SqlValue>> catalogRows(const TableDef& def) {
    std::vector<std::vector<SqlValue>> rows;
    qint64 ordinal = 0;
    for (const ColumnDef& c : def.columns) {
        rows.push_back({def.name, QStringLiteral("column"), ++ordinal, c.name,
                        static_cast<qint64>(catalog::adoxCode(c.type)), static_cast<qint64>(c.size),
                        static_cast<qint64>(c.scale), static_cast<qint64>(c.autoIncrement),
                        c.defaultText, c.description, QString(), qint64{0}});
    }
    if (!def.primaryKey.isEmpty()) {
        rows.push_back({def.name, QStringLiteral("key"), qint64{1}, keyNameOf(def), qint64{0},
                        qint64{0}, qint64{0}, qint64{0}, QString(), QString(),
                        def.primaryKey.join(QLatin1Char(',')), qint64{1}});
    }
    ordinal = 0;
    for (const IndexDef& ix : def.indexes) {
        rows.push_back(catalog::CatalogIndexRow(def.name, ix, ++ordinal));
    }
    return rows;
}

}  // namespace

bool BusyWait::pause(int attempt) {
    if (attempt == 0 || !since_.isValid()) {
        since_.start();
    }
    if (since_.elapsed() >= kBusyWaitMs) {
        return false;
    }
    // A writer holds the lock for a few milliseconds (one flush). The longer a terminal has
    // waited, the shorter its step, so that it rather than a newcomer finds the lock free
    // first after a release: waits stay near a queue's. Past a quarter of a second another
    // program's bulk change holds the lock, and polling costs less.
    const qint64 waited = since_.elapsed();
    QThread::usleep(waited < 2 ? 250 : waited < 20 ? 100 : waited < 250 ? 50 : 1000);
    return true;
}

MaterialisedRows::MaterialisedRows(const QStringList& names) : names_(names) {
    for (int i = 0; i < names_.size(); ++i) {
        const QString key = names_[i].toCaseFolded();
        if (!index_.contains(key)) {
            index_.insert(key, i);
        }
    }
}

bool MaterialisedRows::next() {
    if (cursor_ <= rows_.size()) {
        ++cursor_;
    }
    return cursor_ <= rows_.size();
}

SqlValue MaterialisedRows::value(const QString& field) const {
    if (cursor_ == 0 || cursor_ > rows_.size()) {
        throw DbError(QStringLiteral("no current row to read ") + field);
    }
    const auto it = index_.constFind(field.toCaseFolded());
    if (it == index_.constEnd()) {
        throw DbError(QStringLiteral("no field named ") + field);
    }
    return rows_[cursor_ - 1][static_cast<size_t>(it.value())];
}

DefaultForm defaultFormOf(const ColumnDef& c) {
    if (c.defaultText.isEmpty() || c.autoIncrement) {
        return DefaultForm::None;
    }
    const QString d = c.defaultText.trimmed();
    if (d.compare(u"Now()", Qt::CaseInsensitive) == 0 && c.type == ColumnType::DateTime) {
        return DefaultForm::Now;
    }
    if (c.type == ColumnType::Boolean) {
        if (d.compare(u"True", Qt::CaseInsensitive) == 0) {
            return DefaultForm::True;
        }
        if (d.compare(u"False", Qt::CaseInsensitive) == 0) {
            return DefaultForm::False;
        }
    }
    static const QRegularExpression whole(QStringLiteral("^-?\\d+$"));
    if ((c.type == ColumnType::Integer || c.type == ColumnType::Decimal) &&
        whole.match(d).hasMatch()) {
        return DefaultForm::Number;
    }
    if (c.type == ColumnType::Text || c.type == ColumnType::LongText) {
        return DefaultForm::Text;
    }
    throw DbError(QStringLiteral("unsupported default %1 of column %2").arg(c.defaultText, c.name));
}

QString keyNameOf(const TableDef& def) {
    return def.primaryKeyName.isEmpty() ? QStringLiteral("PrimaryKey") : def.primaryKeyName;
}

void EngineDatabase::beginWrite(const WriteScope& scope) {
    refuseChangeWhileReading();
    if (depth_ == 0) {
        beginOutermostWrite(scope);
        reading_ = false;
    } else {
        openSavepoint(depth_);
    }
    ++depth_;
}

void EngineDatabase::beginRead() {
    if (depth_ == 0) {
        beginOutermostRead();
        reading_ = true;
    } else {
        openSavepoint(depth_);
    }
    ++depth_;
}

void EngineDatabase::commit() {
    if (depth_ == 0) {
        throw DbError(QStringLiteral("commit without a transaction"));
    }
    if (depth_ > 1) {
        releaseSavepoint(depth_ - 1);
        --depth_;
        return;
    }
    try {
        commitOutermost();
    } catch (const DbError&) {
        // An engine that ended the transaction itself has nothing left to roll back.
        if (!engineInTransaction()) {
            forgetTransaction();
        }
        throw;
    }
    forgetTransaction();
}

std::vector<int> EngineDatabase::commitWith(const std::vector<Sql>& statements) {
    if (depth_ != 1 || reading_) {
        return Database::commitWith(statements);
    }
    try {
        std::vector<int> changed = commitOutermostWith(statements);
        forgetTransaction();
        return changed;
    } catch (const DbError&) {
        if (!engineInTransaction()) {
            forgetTransaction();
        }
        throw;
    }
}

std::vector<int> EngineDatabase::commitOutermostWith(const std::vector<Sql>& statements) {
    return Database::commitWith(statements);
}

void EngineDatabase::rollback() {
    if (depth_ == 0) {
        return;
    }
    --depth_;
    if (!engineInTransaction()) {
        // The engine already ended the transaction (after a failed commit, say).
        forgetTransaction();
        return;
    }
    if (depth_ == 0) {
        const auto ended = qScopeGuard([this] { outermostEnded(); });
        rollbackOutermost();
    } else {
        undoSavepoint(depth_);
    }
}

QString EngineDatabase::savepointName(int level) {
    return QStringLiteral("tq_%1").arg(level);
}

void EngineDatabase::openSavepoint(int level) {
    runOwn(QStringLiteral("SAVEPOINT ") + savepointName(level), {});
}

void EngineDatabase::releaseSavepoint(int level) {
    runOwn(QStringLiteral("RELEASE SAVEPOINT ") + savepointName(level), {});
}

void EngineDatabase::undoSavepoint(int level) {
    runOwn(QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepointName(level), {});
    runOwn(QStringLiteral("RELEASE SAVEPOINT ") + savepointName(level), {});
}

void EngineDatabase::refuseChangeWhileReading() const {
    if (depth_ > 0 && reading_) {
        throw DbError(QStringLiteral("a change was asked for inside a reading transaction"));
    }
}

void EngineDatabase::ensureCatalog() {
    QStringList columns;
    for (const char* c : kCatalogColumns) {
        columns << quoteName(QString::fromLatin1(c));
    }
    const auto col = [&](int i) { return columns[i]; };
    runOwn(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2 text NOT NULL, %3 text NOT NULL, "
                          "%4 integer NOT NULL, %5 text NOT NULL, %6 integer, %7 integer, "
                          "%8 integer, %9 integer, ")
                   .arg(quoteName(kCatalog), col(0), col(1), col(2), col(3), col(4), col(5), col(6),
                        col(7)) +
               QStringLiteral("%1 text, %2 text, %3 text, %4 integer, PRIMARY KEY (%5, %6, %7))")
                   .arg(col(8), col(9), col(10), col(11), col(0), col(1), col(2)),
           {});
}

QString EngineDatabase::catalogInsert() const {
    QStringList columns;
    QStringList values;
    for (const char* c : kCatalogColumns) {
        columns << quoteName(QString::fromLatin1(c));
        values << placeholder(static_cast<int>(values.size()) + 1);
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoteName(kCatalog), columns.join(QLatin1Char(',')), values.join(QLatin1Char(',')));
}

void EngineDatabase::createTable(const TableDef& def) {
    checkTableDef(def);
    const QStringList ddl = tableDdl(def);
    WriteTransaction tx(*this);
    // Another terminal may have created it meanwhile: it is left as it is.
    if (!tableNamed(def.name).isEmpty()) {
        return;
    }
    ensureCatalog();
    for (const QString& statement : ddl) {
        runOwn(statement, {});
    }
    const QString insert = catalogInsert();
    for (const std::vector<SqlValue>& row : catalogRows(def)) {
        runOwn(insert, row);
    }
    tx.commit();
}

void EngineDatabase::createIndex(const QString& table, const IndexDef& ix) {
    WriteTransaction tx(*this);
    const QString actual = tableNamed(table);
    if (actual.isEmpty()) {
        throw DbError(QStringLiteral("no table named ") + table, DbFailure::NotFound);
    }
    ensureCatalog();
    const std::vector<QStringList> known = selectTexts(
        QStringLiteral("SELECT count(*), coalesce(sum(CASE WHEN %1 = %2 THEN 1 ELSE 0 END), 0) "
                       "FROM %3 WHERE %4 = %5 AND %6 = 'index'")
            .arg(quoteName(QStringLiteral("Name")), placeholder(1), quoteName(kCatalog),
                 quoteName(QStringLiteral("TableName")), placeholder(2),
                 quoteName(QStringLiteral("Kind"))),
        {ix.name, table});
    const qint64 indexes = known.empty() ? 0 : known[0].value(0).toLongLong();
    const bool recorded = !known.empty() && known[0].value(1).toLongLong() > 0;
    runOwn(indexDdl(actual, ix), {});
    if (!recorded) {
        runOwn(catalogInsert(), catalog::CatalogIndexRow(table, ix, indexes + 1));
    }
    tx.commit();
}

TableDef EngineDatabase::describeTable(const QString& table) {
    const QString actual = tableNamed(table);
    if (actual.isEmpty()) {
        throw DbError(QStringLiteral("no table named ") + table, DbFailure::NotFound);
    }
    TableDef def;
    def.name = actual;
    if (!tableNamed(kCatalog).isEmpty()) {
        QStringList fields;
        for (int i = 1; i < 12; ++i) {  // every column but the table's name
            if (i != 2) {               // nor the ordinal
                fields << quoteName(QString::fromLatin1(kCatalogColumns[i]));
            }
        }
        const std::vector<QStringList> rows = selectTexts(
            QStringLiteral("SELECT %1 FROM %2 WHERE %3 = %4 ORDER BY %5, %6")
                .arg(fields.join(QLatin1Char(',')), quoteName(kCatalog),
                     quoteName(QStringLiteral("TableName")), placeholder(1),
                     quoteName(QStringLiteral("Kind")), quoteName(QStringLiteral("Ordinal"))),
            {actual});
        for (const QStringList& row : rows) {
            catalog::AddCatalogRow(
                def, [&](int i) { return row.value(i); },
                [&](int i) { return row.value(i).toLongLong(); });
        }
    }
    if (def.columns.empty()) {
        // A table made outside this system: its columns as the engine knows them.
        for (const QString& n : columnNames(actual)) {
            ColumnDef c;
            c.name = n;
            def.columns.push_back(c);
        }
    }
    return def;
}

}  // namespace tq::engine
