// The embedded engine: one SQLCipher file keyed with the database password.
//
// Journal: write-ahead log, see openEmbeddedDatabase.
//
// Storage forms: a date-time column holds the text "yyyy-MM-dd HH:mm:ss" (a date is that
// day at 00:00:00), so that <, >=, <= and = compare correctly as text; yes/no holds 0 or 1;
// a decimal holds a whole number within its precision. Every column carries CHECK rules for
// its type and size, so a value that does not fit is refused by the engine as well.
// Descriptions, defaults as written and the key and index names are kept in the catalog
// table TQ_Catalog of the same file.

// The key functions are declared only for builds that say they use the codec.
#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUrl>

#include <signal.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/datetime.h"
#include "storage/catalog_codes.h"
#include "storage/database.h"
#include "storage/engine_support.h"
#include "storage/jet_dialect.h"
#include "storage/writer_queue.h"

namespace tq {

namespace {

using catalog::quoteText;
using engine::DefaultForm;
using engine::kBusyWaitMs;
using engine::kCatalog;
// The engine's page size, which this system never changes.
constexpr qint64 kDefaultPageSize = 1024;
// A text column defined without a size holds up to 255 characters.
constexpr int kDefaultTextSize = 255;

// Declared column types. Their names give the engine the right affinity (TEXT for dates and
// texts, INTEGER for whole numbers, NUMERIC for decimals and yes/no) and tell a result column
// its type when it is read back.
const char* const kTypeInteger = "INTEGER";
const char* const kTypeDateTime = "DATETIME_TEXT";
const char* const kTypeBoolean = "BOOLEAN";
const char* const kTypeDecimal = "DECIMAL";
const char* const kTypeText = "VARCHAR";
const char* const kTypeLongText = "LONGTEXT";

QString quoteName(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

DbFailure failureOf(sqlite3* db, int code) {
    switch (code & 0xff) {
        case SQLITE_CONSTRAINT:
            return DbFailure::Constraint;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return DbFailure::Busy;
        case SQLITE_NOTADB:
            return DbFailure::NotADatabase;
        case SQLITE_CORRUPT:
            return DbFailure::Damaged;
        case SQLITE_FULL:
            return DbFailure::DiskFull;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return DbFailure::NoPermission;
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN: {
            // The operating system's reason tells a full disk and a refused write from other
            // input/output failures.
            const int e = db ? sqlite3_system_errno(db) : 0;
            if (e == ENOSPC || e == EDQUOT) {
                return DbFailure::DiskFull;
            }
            if (e == EACCES || e == EPERM || e == EROFS) {
                return DbFailure::NoPermission;
            }
            return DbFailure::General;
        }
        default:
            return DbFailure::General;
    }
}

// What a failure of the file means, naming the file and the cause. Only a file that is not
// a database of this system (or was keyed with another password) is a key problem.
QString describeFailure(DbFailure kind, const QString& path, const QString& engineText) {
    switch (kind) {
        case DbFailure::NotADatabase:
            return QStringLiteral(
                       "database file %1 is not a database of this system or was "
                       "made with another key: %2")
                .arg(path, engineText);
        case DbFailure::Damaged:
            return QStringLiteral("database file %1 is damaged: %2").arg(path, engineText);
        case DbFailure::DiskFull:
            return QStringLiteral("the disk is full: database file %1 cannot be written: %2")
                .arg(path, engineText);
        case DbFailure::NoPermission:
            return QStringLiteral(
                       "database file %1 or its folder cannot be written (no "
                       "permission, or a read-only disk): %2")
                .arg(path, engineText);
        case DbFailure::Busy:
            return QStringLiteral(
                       "database file %1 stayed busy with another program's change for more "
                       "than %2 s: %3")
                .arg(path)
                .arg(kBusyWaitMs / 1000)
                .arg(engineText);
        default:
            return QStringLiteral("database file %1 cannot be read: %2").arg(path, engineText);
    }
}

// The file a connection works on, as the engine resolved it.
QString fileOf(sqlite3* db) {
    const char* name = db ? sqlite3_db_filename(db, "main") : nullptr;
    return name ? QFile::decodeName(name) : QString();
}

// Where a file cut short ends: inside a page, which no whole file does (a file of this
// system has pages of `pageSize` bytes). Empty when the file ends on a page boundary.
QString cutShort(const QString& file, qint64 pageSize) {
    const qint64 size = QFileInfo(file).size();
    if (pageSize <= 0 || size % pageSize == 0) {
        return {};
    }
    return QStringLiteral(
               "it ends inside page %1 (%2 bytes, pages of %3 bytes): the file was "
               "cut short")
        .arg(size / pageSize + 1)
        .arg(size)
        .arg(pageSize);
}

// Failures of the file itself (busy, damaged, full, read-only) name it; a refused value or a
// statement the engine does not take is about the statement, not the file.
[[noreturn]] void fail(sqlite3* db, int code) {
    const QString engineText = QString::fromUtf8(sqlite3_errmsg(db));
    const DbFailure kind = failureOf(db, code);
    const QString file = fileOf(db);
    if (kind == DbFailure::General || kind == DbFailure::Constraint || file.isEmpty()) {
        throw DbError(engineText, kind);
    }
    throw DbError(describeFailure(kind, file, engineText), kind);
}

// The typed reading of a result column, from its declared type.
enum class ReadAs { Untyped, Integer, DateTime, Boolean, Decimal, Text, LongText };

ReadAs readAsOf(const char* declared) {
    if (!declared) {
        return ReadAs::Untyped;
    }
    const QByteArray d = QByteArray(declared).toUpper();
    if (d.startsWith(kTypeDateTime)) {
        return ReadAs::DateTime;
    }
    if (d.startsWith(kTypeInteger)) {
        return ReadAs::Integer;
    }
    if (d.startsWith(kTypeBoolean)) {
        return ReadAs::Boolean;
    }
    if (d.startsWith(kTypeDecimal)) {
        return ReadAs::Decimal;
    }
    if (d.startsWith(kTypeLongText)) {
        return ReadAs::LongText;
    }
    if (d.startsWith(kTypeText)) {
        return ReadAs::Text;
    }
    return ReadAs::Untyped;
}

QDateTime parseStored(const QString& s) {
    static const QRegularExpression re(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})$"));
    const auto m = re.match(s);
    if (!m.hasMatch()) {
        return {};
    }
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime t(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!d.isValid() || !t.isValid()) {
        return {};
    }
    return wallClock(d, t);
}

// One prepared statement: exactly one statement per text, every parameter bound, finalized
// when it goes out of scope.
class Statement {
  public:
    Statement(sqlite3* db, const QString& text) : db_(db) {
        const QByteArray utf8 = text.toUtf8();
        const char* tail = nullptr;
        const int rc =
            sqlite3_prepare_v2(db_, utf8.constData(), static_cast<int>(utf8.size()), &stmt_, &tail);
        if (rc != SQLITE_OK) {
            fail(db_, rc);
        }
        if (!stmt_) {
            throw DbError(QStringLiteral("empty statement"));
        }
        if (tail && !QByteArray(tail).trimmed().isEmpty()) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
            throw DbError(QStringLiteral("only one statement may be run at a time: ") + text);
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(const std::vector<SqlValue>& values) {
        if (sqlite3_bind_parameter_count(stmt_) != static_cast<int>(values.size())) {
            throw DbError(QStringLiteral("statement has %1 parameters but %2 values")
                              .arg(sqlite3_bind_parameter_count(stmt_))
                              .arg(values.size()));
        }
        for (size_t k = 0; k < values.size(); ++k) {
            bindOne(static_cast<int>(k) + 1, values[k]);
        }
    }

    /// Runs to the next row: true when a row is there, false when the statement is done.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) {
            return true;
        }
        if (rc == SQLITE_DONE) {
            return false;
        }
        fail(db_, rc);
    }

    int columnCount() const { return sqlite3_column_count(stmt_); }
    QString columnName(int i) const { return QString::fromUtf8(sqlite3_column_name(stmt_, i)); }
    ReadAs columnReadAs(int i) const { return readAsOf(sqlite3_column_decltype(stmt_, i)); }

    SqlValue column(int i, ReadAs as) const {
        const int storage = sqlite3_column_type(stmt_, i);
        if (storage == SQLITE_NULL) {
            return SqlNull{};
        }
        switch (as) {
            case ReadAs::Integer:
                return static_cast<qint64>(sqlite3_column_int64(stmt_, i));
            case ReadAs::Decimal:
                return SqlDecimal{sqlite3_column_int64(stmt_, i)};
            case ReadAs::Boolean:
                return sqlite3_column_int64(stmt_, i) != 0;
            case ReadAs::DateTime: {
                const QString s = columnText(i);
                const QDateTime t = parseStored(s);
                if (t.isValid()) {
                    return t;
                }
                return s;
            }
            case ReadAs::Text:
                return columnText(i);
            case ReadAs::LongText:
                return SqlLongText{columnText(i)};
            case ReadAs::Untyped:
                break;
        }
        // Expressions carry no declared type: their storage class decides.
        switch (storage) {
            case SQLITE_INTEGER:
                return static_cast<qint64>(sqlite3_column_int64(stmt_, i));
            case SQLITE_FLOAT: {
                const double v = sqlite3_column_double(stmt_, i);
                if (v == static_cast<double>(static_cast<qint64>(v))) {
                    return static_cast<qint64>(v);
                }
                return QString::number(v, 'g', 15);
            }
            default: {
                const QString s = columnText(i);
                const QDateTime t = parseStored(s);
                if (t.isValid()) {
                    return t;
                }
                return s;
            }
        }
    }

    /// A field as the text the engine stores ("" for null).
    QString text(int i) const { return columnText(i); }

  private:
    QString columnText(int i) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        return QString::fromUtf8(p, sqlite3_column_bytes(stmt_, i));
    }

    void bindText(int k, const QString& s) {
        const QByteArray u = s.toUtf8();
        // A null QString is bound as the empty text: a text value is never null.
        check(sqlite3_bind_text(stmt_, k, u.isNull() ? "" : u.constData(),
                                static_cast<int>(u.size()), SQLITE_TRANSIENT));
    }

    void bindOne(int k, const SqlValue& v) {
        if (std::holds_alternative<SqlNull>(v)) {
            check(sqlite3_bind_null(stmt_, k));
        } else if (const auto* n = std::get_if<qint64>(&v)) {
            check(sqlite3_bind_int64(stmt_, k, *n));
        } else if (const auto* d = std::get_if<SqlDecimal>(&v)) {
            check(sqlite3_bind_int64(stmt_, k, d->value));
        } else if (const auto* day = std::get_if<QDate>(&v)) {
            if (day->isValid()) {
                bindText(k, storedDate(*day));
            } else {
                check(sqlite3_bind_null(stmt_, k));
            }
        } else if (const auto* t = std::get_if<QDateTime>(&v)) {
            if (t->isValid()) {
                bindText(k, storedDateTime(*t));
            } else {
                check(sqlite3_bind_null(stmt_, k));
            }
        } else if (const auto* b = std::get_if<bool>(&v)) {
            check(sqlite3_bind_int(stmt_, k, *b ? 1 : 0));
        } else if (const auto* s = std::get_if<QString>(&v)) {
            bindText(k, *s);
        } else if (const auto* l = std::get_if<SqlLongText>(&v)) {
            bindText(k, l->value);
        }
    }

    void check(int rc) {
        if (rc != SQLITE_OK) {
            fail(db_, rc);
        }
    }

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// A query's rows, read completely when the query runs.
std::unique_ptr<ResultSet> readAll(Statement& st) {
    const int n = st.columnCount();
    QStringList names;
    std::vector<ReadAs> as;
    for (int i = 0; i < n; ++i) {
        names << st.columnName(i);
        as.push_back(st.columnReadAs(i));
    }
    auto rows = std::make_unique<engine::MaterialisedRows>(names);
    while (st.step()) {
        std::vector<SqlValue> row;
        row.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            row.push_back(st.column(i, as[static_cast<size_t>(i)]));
        }
        rows->addRow(std::move(row));
    }
    return rows;
}

// `rowKeyName` is the key's name when the column is the table's auto-number key.
QString columnDdl(const ColumnDef& c, const QString& rowKeyName) {
    const bool isRowKey = !rowKeyName.isEmpty();
    QString ddl = quoteName(c.name) + QLatin1Char(' ');
    const QString name = quoteName(c.name);
    QStringList checks;
    switch (c.type) {
        case ColumnType::Integer:
            ddl += QLatin1String(kTypeInteger);
            if (!isRowKey) {
                checks << QStringLiteral("typeof(%1) IN ('integer','null')").arg(name)
                       << QStringLiteral("%1 BETWEEN -2147483648 AND 2147483647").arg(name);
            }
            break;
        case ColumnType::DateTime:
            ddl += QLatin1String(kTypeDateTime);
            checks << QStringLiteral(
                          "%1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] "
                          "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]'")
                          .arg(name);
            break;
        case ColumnType::Boolean:
            ddl += QLatin1String(kTypeBoolean);
            checks << QStringLiteral("%1 IN (0,1)").arg(name);
            break;
        case ColumnType::Decimal: {
            ddl += QStringLiteral("%1(%2,0)").arg(QLatin1String(kTypeDecimal)).arg(c.size);
            QString limit = QStringLiteral("9").repeated(c.size);
            checks << QStringLiteral("typeof(%1) IN ('integer','null')").arg(name)
                   << QStringLiteral("%1 BETWEEN -%2 AND %2").arg(name, limit);
            break;
        }
        case ColumnType::Text: {
            const int size = c.size > 0 ? c.size : kDefaultTextSize;
            ddl += QStringLiteral("%1(%2)").arg(QLatin1String(kTypeText)).arg(size);
            checks << QStringLiteral("length(%1) <= %2").arg(name).arg(size);
            break;
        }
        case ColumnType::LongText:
            ddl += QLatin1String(kTypeLongText);
            break;
    }
    if (isRowKey) {
        ddl += QStringLiteral(" CONSTRAINT %1 PRIMARY KEY").arg(quoteName(rowKeyName));
        if (c.autoIncrement) {
            ddl += QStringLiteral(" AUTOINCREMENT");
        }
    }
    QString expr;
    switch (engine::defaultFormOf(c)) {
        case DefaultForm::None:
            break;
        case DefaultForm::Now:
            expr =
                QStringLiteral("(") + translateJetText(QStringLiteral("Now()")) + QLatin1Char(')');
            break;
        case DefaultForm::True:
            expr = QStringLiteral("1");
            break;
        case DefaultForm::False:
            expr = QStringLiteral("0");
            break;
        case DefaultForm::Number:
            expr = c.defaultText.trimmed();
            break;
        case DefaultForm::Text:
            expr = quoteText(c.defaultText);
            break;
    }
    if (!expr.isEmpty()) {
        ddl += QStringLiteral(" DEFAULT ") + expr;
    }
    if (c.type == ColumnType::Text) {
        // Text comparisons ignore letter case, as keys and lookups always have at this site.
        ddl += QStringLiteral(" COLLATE NOCASE");
    }
    for (const QString& chk : checks) {
        ddl += QStringLiteral(" CHECK (") + chk + QLatin1Char(')');
    }
    return ddl;
}

class SqliteDatabase final : public engine::EngineDatabase {
  public:
    explicit SqliteDatabase(sqlite3* db) : db_(db) {}
    ~SqliteDatabase() override {
        if (depth() > 0 && !sqlite3_get_autocommit(db_)) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        sqlite3_close_v2(db_);
    }
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    /// Writes in turn with the other terminals of this computer writing to `file`.
    void queueWriters(const QString& file) { queue_ = std::make_unique<engine::WriterQueue>(file); }

    TableState probeTable(const QString& name) override {
        try {
            Statement find(db_, QStringLiteral("SELECT name FROM sqlite_master WHERE type IN "
                                               "('table','view') AND name = ? COLLATE NOCASE"));
            find.bind({name});
            if (!find.step()) {
                return TableState::Missing;
            }
            // The first rows in full: a table whose root page or first leaf is damaged shows
            // here; damage deeper in is found by checkIntegrity, which reads everything.
            Statement first(db_, QStringLiteral("SELECT * FROM ") + quoteName(name) +
                                     QStringLiteral(" LIMIT 16"));
            first.bind({});
            while (first.step()) {
            }
            return TableState::Present;
        } catch (const DbError& e) {
            // A full disk, a refused write or a lock held elsewhere is the engine's failure
            // and is reported as such; anything else (damaged pages, a definition that no
            // longer reads) makes the table broken.
            if (e.kind() == DbFailure::DiskFull || e.kind() == DbFailure::NoPermission ||
                e.kind() == DbFailure::Busy) {
                throw;
            }
            return TableState::Broken;
        }
    }

    void beginBulkChange() override {
        // 256 MB of page cache: the move of a million rows touches every page of the tables
        // and their indexes, and with the default cache re-reads them from disk many times.
        run(QStringLiteral("PRAGMA cache_size = -262144"), {});
    }

    void endBulkChange() override {
        run(QStringLiteral("PRAGMA cache_size = -2000"), {});
        // The write-ahead log grew to the size of the move; without this it would keep that
        // size on disk for the life of the program.
        Statement st(db_, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        st.bind({});
        while (st.step()) {
        }
        sqlite3_db_release_memory(db_);
    }

    QStringList checkIntegrity() override {
        QStringList problems;
        const QString file = fileOf(db_);
        // A file cut short ends inside a page; the engine's check then stops at the missing
        // bytes without saying where they are.
        qint64 pageSize = kDefaultPageSize;
        try {
            Statement page(db_, QStringLiteral("PRAGMA page_size"));
            page.bind({});
            if (page.step()) {
                pageSize = std::get<qint64>(page.column(0, ReadAs::Integer));
            }
        } catch (const DbError&) {
            // A first page that cannot be read: the size this system's files always have.
        }
        const QString cut = cutShort(file, pageSize);
        if (!cut.isEmpty()) {
            problems << QStringLiteral("database file %1 is damaged: %2").arg(file, cut);
        }
        try {
            Statement st(db_, QStringLiteral("PRAGMA integrity_check"));
            st.bind({});
            while (st.step()) {
                const QString line = std::get<QString>(st.column(0, ReadAs::Text));
                if (line != u"ok") {
                    problems << line;
                }
            }
        } catch (const DbError& e) {
            if (e.kind() == DbFailure::DiskFull || e.kind() == DbFailure::NoPermission ||
                e.kind() == DbFailure::Busy) {
                throw;
            }
            problems << QStringLiteral(
                            "database file %1 is damaged: its check stopped at a page "
                            "it cannot read: %2")
                            .arg(file, e.message());
            // Where: every table whose rows can no longer be read all through.
            problems << Database::checkIntegrity();
        }
        return problems;
    }

    QStringList tableNames() override {
        Statement st(db_, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                         "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND "
                                         "name <> ? ORDER BY rowid"));
        st.bind({kCatalog});
        QStringList names;
        while (st.step()) {
            names << std::get<QString>(st.column(0, ReadAs::Text));
        }
        return names;
    }

    QStringList columnNames(const QString& table) override {
        Statement st(db_,
                     QStringLiteral("PRAGMA table_info(") + quoteName(table) + QLatin1Char(')'));
        st.bind({});
        QStringList names;
        while (st.step()) {
            names << std::get<QString>(st.column(1, ReadAs::Text));
        }
        return names;
    }

    int execute(const Sql& statement) override {
        refuseChangeWhileReading();
        const EngineStatement es = toEngineStatement(statement);
        return run(es.text, es.values);
    }

    std::unique_ptr<ResultSet> query(const Sql& statement) override {
        const EngineStatement es = toEngineStatement(statement);
        Statement st(db_, es.text);
        st.bind(es.values);
        return readAll(st);
    }

    /// Runs one statement of the engine's own SQL; returns the rows it changed.
    int run(const QString& text, const std::vector<SqlValue>& values) {
        Statement st(db_, text);
        st.bind(values);
        while (st.step()) {
        }
        return sqlite3_changes(db_);
    }

  private:
    // One writer lock for the whole file: every scope takes it. The terminals of this
    // computer queue for it first, asleep, so that only one at a time polls the file's lock.
    void beginOutermostWrite(const WriteScope&) override {
        if (queue_ && queue_->take(kBusyWaitMs) == engine::WriterQueue::Turn::TimedOut) {
            throw DbError(describeFailure(DbFailure::Busy, fileOf(db_),
                                          QString::fromUtf8(sqlite3_errstr(SQLITE_BUSY))),
                          DbFailure::Busy);
        }
        try {
            run(QStringLiteral("BEGIN IMMEDIATE"), {});
        } catch (const DbError&) {
            outermostEnded();
            throw;
        }
    }

    void outermostEnded() override {
        if (queue_) {
            queue_->leave();
        }
    }

    void beginOutermostRead() override {
        run(QStringLiteral("BEGIN"), {});
        // The write-ahead log gives a reader the database as of its first read: read at
        // once, so that the transaction's moment is its beginning.
        try {
            run(QStringLiteral("SELECT count(*) FROM sqlite_master"), {});
        } catch (const DbError&) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    void commitOutermost() override { run(QStringLiteral("COMMIT"), {}); }
    void rollbackOutermost() override { run(QStringLiteral("ROLLBACK"), {}); }
    bool engineInTransaction() const override { return !sqlite3_get_autocommit(db_); }

    void runOwn(const QString& text, const std::vector<SqlValue>& values) override {
        run(text, values);
    }

    std::vector<QStringList> selectTexts(const QString& text,
                                         const std::vector<SqlValue>& values) override {
        Statement st(db_, text);
        st.bind(values);
        std::vector<QStringList> rows;
        while (st.step()) {
            QStringList row;
            for (int i = 0; i < st.columnCount(); ++i) {
                row << st.text(i);
            }
            rows.push_back(row);
        }
        return rows;
    }

    QString tableNamed(const QString& name) override {
        Statement find(db_, QStringLiteral("SELECT name FROM sqlite_master WHERE type IN "
                                           "('table','view') AND name = ? COLLATE NOCASE"));
        find.bind({name});
        return find.step() ? find.text(0) : QString();
    }

    QString quoteName(const QString& name) const override { return tq::quoteName(name); }
    QString placeholder(int) const override { return QStringLiteral("?"); }

    /// Index names are the database's, not the table's: each index name is used once.
    QString indexDdl(const QString& table, const IndexDef& ix) override {
        QStringList cols;
        for (const QString& c : ix.columns) {
            cols << quoteName(c);
        }
        return QStringLiteral("CREATE %1INDEX IF NOT EXISTS %2 ON %3 (%4)")
            .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(), quoteName(ix.name),
                 quoteName(table), cols.join(QLatin1Char(',')));
    }

    QStringList tableDdl(const TableDef& def) override {
        // A single auto-number key becomes the row key itself; any other key is a table rule.
        const ColumnDef* rowKey = nullptr;
        for (const ColumnDef& c : def.columns) {
            if (c.autoIncrement) {
                rowKey = &c;
            }
        }
        const QString keyName = engine::keyNameOf(def);
        QStringList parts;
        for (const ColumnDef& c : def.columns) {
            parts << columnDdl(c, &c == rowKey ? keyName : QString());
        }
        if (!def.primaryKey.isEmpty() && !rowKey) {
            QStringList cols;
            for (const QString& c : def.primaryKey) {
                cols << quoteName(c);
            }
            parts << QStringLiteral("CONSTRAINT %1 PRIMARY KEY (%2)")
                         .arg(quoteName(keyName), cols.join(QLatin1Char(',')));
        }
        QStringList out{QStringLiteral("CREATE TABLE ") + quoteName(def.name) +
                        QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + QLatin1Char(')')};
        for (const IndexDef& ix : def.indexes) {
            out << indexDdl(def.name, ix);
        }
        return out;
    }

    sqlite3* db_;
    std::unique_ptr<engine::WriterQueue> queue_;  ///< none for a connection that only reads
};

}  // namespace

namespace {

// The smallest file a database of this system can be: one page.
constexpr qint64 kMinimumFileSize = kDefaultPageSize;

// An open or first read that failed without a reason the engine could name: the engine
// also needs to write its journal files beside the database, so a file or folder that may
// not be written is the likely cause.
DbFailure refineOpenFailure(DbFailure kind, const QString& path) {
    if (kind != DbFailure::General) {
        return kind;
    }
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const bool fileWritable =
        ::access(file.constData(), F_OK) != 0 || ::access(file.constData(), W_OK) == 0;
    if (!fileWritable || ::access(folder.constData(), W_OK) != 0) {
        return DbFailure::NoPermission;
    }
    return kind;
}

// The engine's own busy handler sleeps up to 100 ms between its tries, so a terminal waiting
// behind three others would sleep through their turns; this one tries again in short steps.
// A connection waits in one thread at a time, so the wait's start can live there.
int waitWhileBusy(void*, int attempt) {
    thread_local engine::BusyWait wait;
    return wait.pause(attempt) ? 1 : 0;
}

// Keys a freshly opened connection and proves the key with a first read.
void keyAndVerify(sqlite3* raw, const QString& path, const QString& password) {
    const QByteArray key = password.toUtf8();
    if (sqlite3_key(raw, key.constData(), static_cast<int>(key.size())) != SQLITE_OK) {
        throw DbError(QStringLiteral("cannot key database file %1: %2")
                          .arg(path, QString::fromUtf8(sqlite3_errmsg(raw))));
    }
    sqlite3_busy_handler(raw, &waitWhileBusy, nullptr);
    // The key only shows whether it fits at the first read of the file.
    char* error = nullptr;
    const int rc =
        sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString msg = QString::fromUtf8(error ? error : sqlite3_errmsg(raw));
        sqlite3_free(error);
        const DbFailure kind = refineOpenFailure(failureOf(raw, rc), path);
        const QString cut =
            kind == DbFailure::Damaged ? cutShort(path, kDefaultPageSize) : QString();
        throw DbError(
            describeFailure(kind, path, cut.isEmpty() ? msg : msg + QStringLiteral("; ") + cut),
            kind);
    }
}

// Opens `file` (a path, or a "file:" URI with SQLITE_OPEN_URI); failures name `shown`, the
// database file the user knows (a creation works on a temporary file under another name).
sqlite3* openConnection(const QString& file, int flags, const QString& shown) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg =
            raw ? QString::fromUtf8(sqlite3_errmsg(raw)) : QStringLiteral("out of memory");
        const DbFailure kind = refineOpenFailure(failureOf(raw, rc), shown);
        sqlite3_close_v2(raw);
        throw DbError(describeFailure(kind, shown, msg), kind);
    }
    return raw;
}

// The prefix of the temporary names a creation writes its file under; the process id follows.
QString tempPrefix(const QString& path) {
    return QFileInfo(path).fileName() + QStringLiteral(".new-");
}

// Removes what interrupted creations left beside `path`: temporary files (with their
// journals) whose process no longer runs. A creation still under way keeps its file.
void removeLeftoverTempFiles(const QString& path) {
    const QFileInfo info(path);
    const QDir dir = info.absoluteDir();
    const QString prefix = tempPrefix(path);
    for (const QString& name : dir.entryList({prefix + QLatin1Char('*')}, QDir::Files)) {
        QString pidText = name.mid(prefix.size());
        const qsizetype dash = pidText.indexOf(u'-');  // "-wal", "-shm", "-journal"
        if (dash >= 0) {
            pidText.truncate(dash);
        }
        bool ok = false;
        const qint64 pid = pidText.toLongLong(&ok);
        if (!ok || pid <= 0) {
            continue;
        }
        const bool running = ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
        if (!running || pid == QCoreApplication::applicationPid()) {
            QFile::remove(dir.filePath(name));
        }
    }
}

// Creates a new keyed database file at `path`. The file is written complete under another
// name and then linked into place, so a terminal starting at the same moment never reads a
// half-made file (its key would be derived from a different salt). When another terminal
// wins the race, its file is kept.
void createDatabaseFile(const QString& path, const QString& password) {
    removeLeftoverTempFiles(path);
    const QString temp = QFileInfo(path).absoluteDir().filePath(tempPrefix(path)) +
                         QString::number(QCoreApplication::applicationPid());
    const auto dropTemp = qScopeGuard([&temp] {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
            QFile::remove(temp + QLatin1String(suffix));
        }
    });
    {
        sqlite3* raw = openConnection(temp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, path);
        const auto close = qScopeGuard([raw] { sqlite3_close_v2(raw); });
        keyAndVerify(raw, path, password);  // failures name the file being made
        const int rc = sqlite3_exec(raw, "PRAGMA user_version = 1", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            const QString msg = QString::fromUtf8(sqlite3_errmsg(raw));
            const DbFailure kind = failureOf(raw, rc);
            throw DbError(describeFailure(kind, path, msg), kind);
        }
    }
    const QByteArray from = QFile::encodeName(temp);
    const QByteArray to = QFile::encodeName(path);
    if (::link(from.constData(), to.constData()) != 0 && errno != EEXIST) {
        // A file system without hard links: a plain rename, unless the file appeared.
        if (!QFile::exists(path) && ::rename(from.constData(), to.constData()) != 0) {
            const int e = errno;
            const DbFailure kind = e == ENOSPC || e == EDQUOT ? DbFailure::DiskFull
                                   : e == EACCES || e == EPERM || e == EROFS
                                       ? DbFailure::NoPermission
                                       : DbFailure::General;
            throw DbError(QStringLiteral("cannot create database file %1: %2")
                              .arg(path, QString::fromLocal8Bit(std::strerror(e))),
                          kind);
        }
    }
}

// An existing database file, or the reason it cannot be one.
void checkExistingFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw DbError(QStringLiteral("database file not found: ") + path, DbFailure::NotFound);
    }
    if (info.isFile() && info.size() < kMinimumFileSize) {
        // The engine would take an empty or cut-short file for a new database and quietly
        // start over with nobody in it.
        throw DbError(QStringLiteral("database file %1 is damaged: it holds %2 bytes, less than "
                                     "one page of a database")
                          .arg(path)
                          .arg(info.size()),
                      DbFailure::Damaged);
    }
}

// A file in write-ahead-log mode is read through a shared-memory file beside it, which a
// read-only disk or folder cannot hold. There, and only while no other connection has changes
// in the log (its file is absent or empty), the file cannot change under the reader, and the
// engine may read it as unchanging.
bool readableAsUnchanging(const QString& path) {
    const QFileInfo log(path + QStringLiteral("-wal"));
    if (log.exists() && log.size() > 0) {
        return false;
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    struct statvfs fs {};
    const bool readOnlyDisk = ::statvfs(folder.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY);
    return readOnlyDisk || ::access(folder.constData(), W_OK) != 0;
}

}  // namespace

std::unique_ptr<Database> openEmbeddedDatabase(const QString& path, const QString& password,
                                               bool create) {
    const QFileInfo info(path);
    if (!info.exists() && create) {
        if (!QDir().mkpath(info.absolutePath())) {
            throw DbError(QStringLiteral("cannot create the folder of the database file: ") +
                              info.absolutePath(),
                          DbFailure::NoPermission);
        }
        createDatabaseFile(path, password);
    } else {
        checkExistingFile(path);
    }
    sqlite3* raw = openConnection(path, SQLITE_OPEN_READWRITE, path);
    auto db = std::make_unique<SqliteDatabase>(raw);
    keyAndVerify(raw, path, password);
    db->queueWriters(path);
    // Write-ahead log: readers never block the writer, and each commit costs one flush of
    // the log (synchronous FULL), so a confirmed punch survives a power cut. Terminals on
    // other computers reach a shared database through the server engine, never this file.
    try {
        db->run(QStringLiteral("PRAGMA journal_mode=WAL"), {});
    } catch (const DbError& e) {
        // Another connection kept the file busy while it was switched: the rollback journal
        // it keeps is just as safe, only slower.
        if (e.kind() != DbFailure::Busy) {
            throw;
        }
    }
    db->run(QStringLiteral("PRAGMA synchronous=FULL"), {});
    return db;
}

std::unique_ptr<Database> openEmbeddedDatabaseToRead(const QString& path, const QString& password) {
    checkExistingFile(path);
    try {
        sqlite3* raw = openConnection(path, SQLITE_OPEN_READONLY, path);
        auto db = std::make_unique<SqliteDatabase>(raw);
        keyAndVerify(raw, path, password);
        return db;
    } catch (const DbError& e) {
        if (e.kind() != DbFailure::NoPermission || !readableAsUnchanging(path)) {
            throw;
        }
    }
    const QString uri = QStringLiteral("file:") +
                        QString::fromLatin1(QUrl::toPercentEncoding(
                            QFileInfo(path).absoluteFilePath(), QByteArrayLiteral("/"))) +
                        QStringLiteral("?immutable=1");
    sqlite3* raw = openConnection(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, path);
    auto db = std::make_unique<SqliteDatabase>(raw);
    keyAndVerify(raw, path, password);
    return db;
}

}  // namespace tq
