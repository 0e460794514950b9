// The server engine: a PostgreSQL database reached through libpq, named by a connection URI.
//
// Column forms: Text(n) is citext (text that compares ignoring letter case, as the embedded
// engine's text columns do) with a length rule of n characters; Decimal(p) is numeric with
// rules for whole numbers of at most p digits;
// Date/Time is timestamp(0) without time zone holding Japan time; Long Integer is integer,
// an auto-number one an identity column; Yes/No is boolean; Memo is text. Descriptions are
// the columns' comments; defaults as written and the key and index names as the site knows
// them are kept in the catalog table TQ_Catalog, as in the embedded file. Index and key names
// are unique per schema on the server, so each carries its table's name in front
// ("T_勤務_PrimaryKey").
//
// Writers: every writing transaction (and every change run outside one) first takes one
// transaction-scoped advisory lock of the database, so two terminals never interleave a
// read-then-write sequence (the duplicate clock-in check and its write) and never deadlock
// with each other. The lock is waited for up to 10 s before it counts as a failure.

#include <libpq-fe.h>

#include <algorithm>

#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include "common/datetime.h"
#include "storage/catalog_codes.h"
#include "storage/database.h"
#include "storage/jet_dialect.h"
#include "storage/pg_dialect.h"

namespace tq {

namespace {

using catalog::AddCatalogRow;
using catalog::adoxCode;
using catalog::CatalogIndexRow;
using catalog::quoteText;

const QString kCatalog = QStringLiteral("TQ_Catalog");
constexpr int kDefaultTextSize = 255;
// The key of the site's write lock ("TQ58" in ASCII).
constexpr qint64 kWriteLockKey = 0x54513538;
constexpr int kLockTimeoutSeconds = 10;
// A transaction idle for longer than this is ended by the server: well within the lock wait.
constexpr int kIdleTransactionSeconds = 5;
// A change run outside a transaction is tried this often when the server ends it to resolve
// a conflict with another session.
constexpr int kConflictAttempts = 8;

// libpq's type numbers of the types this engine reads.
enum : Oid {
    kOidBool = 16,
    kOidInt8 = 20,
    kOidInt2 = 21,
    kOidInt4 = 23,
    kOidText = 25,
    kOidOid = 26,
    kOidFloat4 = 700,
    kOidFloat8 = 701,
    kOidDate = 1082,
    kOidTimestamp = 1114,
    kOidTimestampTz = 1184,
    kOidNumeric = 1700,
};

QDateTime parseServerStamp(const QString& s) {
    // "yyyy-MM-dd HH:mm:ss", perhaps with fractions or a zone after it.
    static const QRegularExpression re(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})(?: (\\d{2}):(\\d{2}):(\\d{2}))?"));
    const auto m = re.match(s);
    if (!m.hasMatch()) {
        return {};
    }
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime t = m.captured(4).isEmpty() ? QTime(0, 0)
                                            : QTime(m.captured(4).toInt(), m.captured(5).toInt(),
                                                    m.captured(6).toInt());
    if (!d.isValid() || !t.isValid()) {
        return {};
    }
    return wallClock(d, t);
}

/// Owns one result of libpq.
class PgResult {
  public:
    explicit PgResult(PGresult* r = nullptr) : r_(r) {}
    ~PgResult() { PQclear(r_); }
    PgResult(PgResult&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
    PgResult& operator=(PgResult&& o) noexcept {
        std::swap(r_, o.r_);
        return *this;
    }
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    PGresult* get() const { return r_; }

  private:
    PGresult* r_;
};

class PgRows final : public ResultSet {
  public:
    explicit PgRows(const PgResult& r) {
        PGresult* res = r.get();
        const int n = PQnfields(res);
        std::vector<Oid> types;
        for (int i = 0; i < n; ++i) {
            const QString name = QString::fromUtf8(PQfname(res, i));
            names_ << name;
            if (!index_.contains(name.toCaseFolded())) {  // the first of equal names wins
                index_.insert(name.toCaseFolded(), i);
            }
            types.push_back(PQftype(res, i));
        }
        const int rows = PQntuples(res);
        rows_.reserve(static_cast<size_t>(rows));
        for (int row = 0; row < rows; ++row) {
            std::vector<SqlValue> values;
            values.reserve(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) {
                values.push_back(decode(res, row, i, types[static_cast<size_t>(i)]));
            }
            rows_.push_back(std::move(values));
        }
    }

    bool next() override {
        if (cursor_ <= rows_.size()) {
            ++cursor_;
        }
        return cursor_ <= rows_.size();
    }

    SqlValue value(const QString& field) const override {
        if (cursor_ == 0 || cursor_ > rows_.size()) {
            throw DbError(QStringLiteral("no current row to read ") + field);
        }
        const auto it = index_.constFind(field.toCaseFolded());
        if (it == index_.constEnd()) {
            throw DbError(QStringLiteral("no field named ") + field);
        }
        return rows_[cursor_ - 1][static_cast<size_t>(it.value())];
    }

    QStringList fieldNames() const override { return names_; }

  private:
    static SqlValue decode(PGresult* res, int row, int col, Oid type) {
        if (PQgetisnull(res, row, col)) {
            return SqlNull{};
        }
        const QString s = QString::fromUtf8(PQgetvalue(res, row, col), PQgetlength(res, row, col));
        switch (type) {
            case kOidBool:
                return s == u"t";
            case kOidInt2:
            case kOidInt4:
            case kOidInt8:
            case kOidOid:
                return s.toLongLong();
            case kOidNumeric: {
                bool ok = false;
                const qint64 v = s.toLongLong(&ok);
                if (ok) {
                    return SqlDecimal{v};
                }
                return s;
            }
            case kOidFloat4:
            case kOidFloat8: {
                const double v = s.toDouble();
                if (v == static_cast<double>(static_cast<qint64>(v))) {
                    return static_cast<qint64>(v);
                }
                return s;
            }
            case kOidDate:
            case kOidTimestamp:
            case kOidTimestampTz: {
                const QDateTime t = parseServerStamp(s);
                if (t.isValid()) {
                    return t;
                }
                return s;
            }
            case kOidText:
                return SqlLongText{s};
            default:  // citext, varchar, name: plain text
                return s;
        }
    }

    QStringList names_;
    QHash<QString, int> index_;
    std::vector<std::vector<SqlValue>> rows_;
    size_t cursor_ = 0;
};

/// The text form a value is sent in (no bytes at all for null) and, when `typed`, its type:
/// a text then compares ignoring case (citext) and is refused by a date or number column,
/// as on the embedded engine. Untyped values take the type their place in the statement asks.
struct Parameters {
    std::vector<QByteArray> bytes;
    std::vector<const char*> pointers;
    std::vector<Oid> types;

    Parameters(const std::vector<SqlValue>& values, bool typed, Oid citext) {
        bytes.reserve(values.size());
        pointers.reserve(values.size());
        for (const SqlValue& v : values) {
            bool null = false;
            QByteArray b;
            Oid type = 0;
            if (std::holds_alternative<SqlNull>(v)) {
                null = true;
            } else if (const auto* n = std::get_if<qint64>(&v)) {
                b = QByteArray::number(*n);
                type = kOidInt8;
            } else if (const auto* d = std::get_if<SqlDecimal>(&v)) {
                b = QByteArray::number(d->value);
                type = kOidNumeric;
            } else if (const auto* day = std::get_if<QDate>(&v)) {
                null = !day->isValid();
                b = storedDate(*day).toUtf8();
                type = kOidTimestamp;
            } else if (const auto* t = std::get_if<QDateTime>(&v)) {
                null = !t->isValid();
                b = storedDateTime(*t).toUtf8();
                type = kOidTimestamp;
            } else if (const auto* yes = std::get_if<bool>(&v)) {
                b = *yes ? QByteArray("true") : QByteArray("false");
                type = kOidBool;
            } else if (const auto* s = std::get_if<QString>(&v)) {
                b = s->toUtf8();  // a text value is never null, only empty
                type = citext;
            } else if (const auto* l = std::get_if<SqlLongText>(&v)) {
                b = l->value.toUtf8();
                type = kOidText;
            }
            types.push_back(typed ? type : 0);
            if (!null && b.isNull()) {
                b = QByteArray("");
            }
            bytes.push_back(null ? QByteArray() : b);
        }
        for (size_t i = 0; i < values.size(); ++i) {
            pointers.push_back(bytes[i].isNull() ? nullptr : bytes[i].constData());
        }
    }
};

class PgDatabase final : public Database {
  public:
    PgDatabase(PGconn* conn, QString shownName) : conn_(conn), shownName_(std::move(shownName)) {
        // The server's notices (a session ended by the administrator, say) are kept as the
        // cause of a failure, never printed: a recovered connection leaves no trace on stderr.
        PQsetNoticeReceiver(conn_, &PgDatabase::keepNotice, this);
    }
    ~PgDatabase() override { PQfinish(conn_); }
    PgDatabase(const PgDatabase&) = delete;
    PgDatabase& operator=(const PgDatabase&) = delete;

    /// Every transaction of the session refuses changes (set before `setUp`).
    void setReadOnly() { readOnly_ = true; }

    /// Session settings every statement relies on: ISO dates, literal backslashes, the lock
    /// wait. The site's times never depend on the session's zone.
    void setUp() {
        if (PQsetClientEncoding(conn_, "UTF8") != 0) {
            failConnection();
        }
        const char* encoding = PQparameterStatus(conn_, "server_encoding");
        if (!encoding || QByteArray(encoding) != "UTF8") {
            throw DbError(QStringLiteral("the database %1 stores text as %2; a site database "
                                         "needs the encoding UTF8 (CREATE DATABASE ... "
                                         "ENCODING 'UTF8' TEMPLATE template0)")
                              .arg(shownName_, QString::fromUtf8(encoding ? encoding : "?")));
        }
        simple(QStringLiteral("SET DateStyle = 'ISO, YMD'; SET standard_conforming_strings = on; "
                              "SET lock_timeout = '%1s'; SET client_min_messages = warning")
                   .arg(kLockTimeoutSeconds));
        if (readOnly_) {
            simple(QStringLiteral("SET default_transaction_read_only = on"));
        }
        refreshCitext();
    }

    TableState probeTable(const QString& name) override {
        const QString actual = actualName(name);
        if (actual.isEmpty()) {
            return TableState::Missing;
        }
        // Reading the first rows proves the table can be read at all; the server keeps its
        // own pages whole, so reading every row would prove nothing more.
        const bool inTransaction = depth_ > 0;
        if (inTransaction) {
            simple(QStringLiteral("SAVEPOINT tq_probe"));
        }
        try {
            run(QStringLiteral("SELECT * FROM ") + serverName(actual) + QStringLiteral(" LIMIT 1"),
                {});
        } catch (const DbError&) {
            if (PQstatus(conn_) != CONNECTION_OK) {
                throw;
            }
            if (inTransaction) {
                simple(QStringLiteral("ROLLBACK TO SAVEPOINT tq_probe"));
            }
            return TableState::Broken;
        }
        if (inTransaction) {
            simple(QStringLiteral("RELEASE SAVEPOINT tq_probe"));
        }
        return TableState::Present;
    }

    void createTable(const TableDef& def) override {
        const QStringList ddl = tableDdl(def);
        WriteTransaction tx(*this);
        if (!actualName(def.name).isEmpty()) {
            return;
        }
        ensureCatalog();
        for (const QString& statement : ddl) {
            run(statement, {});
        }
        const QString insert = catalogInsert();
        qint64 ordinal = 0;
        for (const ColumnDef& c : def.columns) {
            run(insert, {def.name, QStringLiteral("column"), ++ordinal, c.name,
                         static_cast<qint64>(adoxCode(c.type)), static_cast<qint64>(c.size),
                         static_cast<qint64>(c.scale), static_cast<qint64>(c.autoIncrement),
                         c.defaultText, c.description, QString(), qint64{0}});
        }
        if (!def.primaryKey.isEmpty()) {
            run(insert, {def.name, QStringLiteral("key"), qint64{1}, keyName(def), qint64{0},
                         qint64{0}, qint64{0}, qint64{0}, QString(), QString(),
                         def.primaryKey.join(QLatin1Char(',')), qint64{1}});
        }
        ordinal = 0;
        for (const IndexDef& ix : def.indexes) {
            run(insert, CatalogIndexRow(def.name, ix, ++ordinal));
        }
        tx.commit();
    }

    void createIndex(const QString& table, const IndexDef& ix) override {
        WriteTransaction tx(*this);
        const QString actual = actualName(table);
        if (actual.isEmpty()) {
            throw DbError(QStringLiteral("no table named ") + table, DbFailure::NotFound);
        }
        ensureCatalog();
        PgResult known = run(QStringLiteral("SELECT count(*), count(*) FILTER (WHERE \"Name\" = "
                                            "$1) FROM ") +
                                 serverName(kCatalog) +
                                 QStringLiteral(" WHERE \"TableName\" = $2 AND \"Kind\" = 'index'"),
                             {ix.name, table});
        const qint64 indexes = QByteArray(PQgetvalue(known.get(), 0, 0)).toLongLong();
        const bool recorded = QByteArray(PQgetvalue(known.get(), 0, 1)).toLongLong() > 0;
        run(indexDdl(actual, ix), {});
        if (!recorded) {
            run(catalogInsert(), CatalogIndexRow(table, ix, indexes + 1));
        }
        tx.commit();
    }

    QStringList tableNames() override {
        PgResult r =
            run(QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = "
                               "c.relnamespace WHERE c.relkind IN ('r','p') AND n.nspname = "
                               "current_schema() AND c.relname <> $1 ORDER BY c.oid"),
                {kCatalog});
        return firstColumn(r);
    }

    QStringList columnNames(const QString& table) override {
        const QString actual = actualName(table);
        if (actual.isEmpty()) {
            return {};
        }
        PgResult r =
            run(QStringLiteral("SELECT a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = "
                               "a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace WHERE "
                               "n.nspname = current_schema() AND c.relname = $1 AND a.attnum > 0 "
                               "AND NOT a.attisdropped ORDER BY a.attnum"),
                {actual});
        return firstColumn(r);
    }

    TableDef describeTable(const QString& table) override {
        const QString actual = actualName(table);
        if (actual.isEmpty()) {
            throw DbError(QStringLiteral("no table named ") + table, DbFailure::NotFound);
        }
        TableDef def;
        def.name = actual;
        if (!actualName(kCatalog).isEmpty()) {
            PgResult r = run(QStringLiteral("SELECT \"Kind\",\"Name\",\"TypeCode\",\"Size\","
                                            "\"Scale\",\"AutoNumber\",\"DefaultText\","
                                            "\"Description\",\"Columns\",\"IsUnique\" FROM ") +
                                 serverName(kCatalog) +
                                 QStringLiteral(" WHERE \"TableName\" = $1 ORDER BY \"Kind\","
                                                "\"Ordinal\""),
                             {actual});
            PGresult* res = r.get();
            for (int row = 0; row < PQntuples(res); ++row) {
                const auto text = [&](int i) { return QString::fromUtf8(PQgetvalue(res, row, i)); };
                const auto number = [&](int i) { return text(i).toLongLong(); };
                AddCatalogRow(def, text, number);
            }
        }
        if (def.columns.empty()) {
            for (const QString& n : columnNames(actual)) {
                ColumnDef c;
                c.name = n;
                def.columns.push_back(c);
            }
        }
        return def;
    }

    int execute(const Sql& statement) override {
        refuseChangeWhileReading();
        const ServerStatement st = toServerStatement(statement);
        if (depth_ > 0) {
            return runInTransaction(st);
        }
        // A change outside a transaction takes the write lock like any other writer.
        for (int attempt = 1;; ++attempt) {
            try {
                beginWrite();
                const int changed = changedRows(run(st.text, st.values, true));
                commit();
                return changed;
            } catch (const DbError&) {
                const bool conflict = lastWasConflict_;
                abandon();
                if (!conflict || attempt >= kConflictAttempts) {
                    throw;
                }
                backOff(attempt);
            }
        }
    }

    std::unique_ptr<ResultSet> query(const Sql& statement) override {
        const ServerStatement st = toServerStatement(statement);
        for (int attempt = 1;; ++attempt) {
            try {
                PgResult r = run(st.text, st.values, true);
                return std::make_unique<PgRows>(r);
            } catch (const DbError&) {
                if (depth_ == 0 && lastWasLostConnection_ && attempt == 1 && reconnect()) {
                    continue;  // a read changes nothing: it is simply asked again
                }
                if (depth_ > 0 || !lastWasConflict_ || attempt >= kConflictAttempts) {
                    throw;
                }
                backOff(attempt);
            }
        }
    }

    void beginWrite() override {
        refuseChangeWhileReading();
        if (depth_ == 0) {
            reading_ = false;
            // The transaction and the site's write lock, in one round trip. A writer left
            // waiting inside it for more than a few seconds (a terminal frozen or switched
            // off) is ended by the server: it never holds the others up beyond the lock wait.
            const QString begin =
                QStringLiteral(
                    "BEGIN ISOLATION LEVEL READ COMMITTED; SET LOCAL "
                    "idle_in_transaction_session_timeout = '%1s'; SELECT pg_advisory_xact_lock(%2)")
                    .arg(longPauses_ ? 0 : kIdleTransactionSeconds)
                    .arg(kWriteLockKey);
            try {
                beginOnce(begin);
            } catch (const DbError& e) {
                abandon();
                if (lastWasLockTimeout_) {
                    throw DbError(QStringLiteral("the database %1 stayed busy with another "
                                                 "terminal's change for more than %2 s: %3")
                                      .arg(shownName_)
                                      .arg(kLockTimeoutSeconds)
                                      .arg(e.message()),
                                  DbFailure::Busy);
                }
                throw;
            }
        } else {
            simple(QStringLiteral("SAVEPOINT tq_%1").arg(depth_));
        }
        ++depth_;
    }

    void beginRead() override {
        if (depth_ > 0) {
            simple(QStringLiteral("SAVEPOINT tq_%1").arg(depth_));
            ++depth_;
            return;
        }
        // A snapshot that takes no lock: writers go on, and none of their changes shows. The
        // snapshot is taken by the first statement after BEGIN, so one is run at once.
        const QString begin =
            QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SELECT 1");
        try {
            beginOnce(begin);
        } catch (const DbError&) {
            abandon();
            throw;
        }
        reading_ = true;
        ++depth_;
    }

    void commit() override {
        if (depth_ == 0) {
            throw DbError(QStringLiteral("commit without a transaction"));
        }
        if (depth_ == 1) {
            depth_ = 0;
            if (PQtransactionStatus(conn_) == PQTRANS_INERROR) {
                simple(QStringLiteral("ROLLBACK"));
                throw DbError(QStringLiteral("the transaction failed earlier and was undone"));
            }
            simple(QStringLiteral("COMMIT"));
        } else {
            simple(QStringLiteral("RELEASE SAVEPOINT tq_%1").arg(depth_ - 1));
            --depth_;
        }
    }

    void rollback() override {
        if (depth_ == 0) {
            return;
        }
        --depth_;
        if (PQstatus(conn_) != CONNECTION_OK || PQtransactionStatus(conn_) == PQTRANS_IDLE) {
            depth_ = 0;
            return;
        }
        if (depth_ == 0) {
            simple(QStringLiteral("ROLLBACK"));
        } else {
            simple(QStringLiteral("ROLLBACK TO SAVEPOINT tq_%1").arg(depth_));
            simple(QStringLiteral("RELEASE SAVEPOINT tq_%1").arg(depth_));
        }
    }

    void syncAutoNumber(const QString& table) override {
        const QString actual = actualName(table);
        if (actual.isEmpty()) {
            return;
        }
        PgResult r =
            run(QStringLiteral("SELECT a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = "
                               "a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace WHERE "
                               "n.nspname = current_schema() AND c.relname = $1 AND a.attnum > 0 "
                               "AND a.attidentity <> ''"),
                {actual});
        for (const QString& column : firstColumn(r)) {
            const QString t = serverName(actual);
            const QString c = serverName(column);
            run(QStringLiteral("SELECT setval(pg_get_serial_sequence($1, $2), "
                               "COALESCE(max(%1), 1), max(%1) IS NOT NULL) FROM %2")
                    .arg(c, t),
                {t, column});
        }
    }

  private:
    // Runs one statement with its values bound; throws DbError on failure. The engine's own
    // statements leave their values untyped; the site's statements type them.
    PgResult run(const QString& text, const std::vector<SqlValue>& values, bool typed = false) {
        const QByteArray sql = text.toUtf8();
        const Parameters p(values, typed, citext_);
        PgResult r(PQexecParams(conn_, sql.constData(), static_cast<int>(values.size()),
                                p.types.data(), p.pointers.data(), nullptr, nullptr, 0));
        check(r);
        return r;
    }

    // A change inside a transaction: a refused statement undoes only itself and leaves the
    // transaction going, as on the embedded engine.
    int runInTransaction(const ServerStatement& st) {
        // The savepoint, the statement and the release travel in one round trip.
        const QByteArray sql = st.text.toUtf8();
        const Parameters p(st.values, true, citext_);
        const char* savepoint = "SAVEPOINT tq_statement";
        const char* release = "RELEASE SAVEPOINT tq_statement";
        const bool sent =
            PQenterPipelineMode(conn_) == 1 &&
            PQsendQueryParams(conn_, savepoint, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
            PQsendQueryParams(conn_, sql.constData(), static_cast<int>(st.values.size()),
                              p.types.data(), p.pointers.data(), nullptr, nullptr, 0) == 1 &&
            PQsendQueryParams(conn_, release, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
            PQpipelineSync(conn_) == 1;
        PgResult results[3];
        bool synced = false;
        int query = 0;
        // Each query's results end with a null; the sync point ends the pipeline.
        for (int guard = 0; sent && guard < 16 && !synced; ++guard) {
            PGresult* r = PQgetResult(conn_);
            if (!r) {
                ++query;
            } else if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
                PQclear(r);
                synced = true;
            } else if (query < 3 && !results[query].get()) {
                results[query] = PgResult(r);
            } else {
                PQclear(r);
            }
        }
        PQexitPipelineMode(conn_);
        if (!synced) {
            const auto failed = std::find_if(std::begin(results), std::end(results), [](auto& r) {
                return r.get() && PQresultStatus(r.get()) == PGRES_FATAL_ERROR;
            });
            failConnection(lostCause(failed != std::end(results) ? *failed : results[0]));
        }
        check(results[0]);
        try {
            check(results[1]);
        } catch (const DbError&) {
            if (PQstatus(conn_) == CONNECTION_OK) {
                const bool conflict = lastWasConflict_;
                PQclear(PQexec(conn_,
                               "ROLLBACK TO SAVEPOINT tq_statement; RELEASE SAVEPOINT "
                               "tq_statement"));
                lastWasConflict_ = conflict;
            }
            throw;
        }
        check(results[2]);
        return changedRows(results[1]);
    }

    // Runs statements without values (session settings, transaction control).
    void simple(const QString& text) {
        PgResult r(PQexec(conn_, text.toUtf8().constData()));
        check(r);
    }

    // Makes the connection again after it was lost outside any transaction. Throws DbError
    // with the cause when the server still cannot be reached or refuses (a role no longer
    // allowed to log in, say).
    bool reconnect() {
        PQreset(conn_);
        if (PQstatus(conn_) != CONNECTION_OK) {
            failConnection(QStringLiteral("could not connect again: ") +
                           QString::fromUtf8(PQerrorMessage(conn_)).trimmed());
        }
        setUp();
        return true;
    }

    void allowLongPauses() override { longPauses_ = true; }

    void check(const PgResult& r) {
        lastWasConflict_ = false;
        lastWasLockTimeout_ = false;
        lastWasLostConnection_ = false;
        const ExecStatusType status = r.get() ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            return;
        }
        if (PQstatus(conn_) != CONNECTION_OK) {
            failConnection(lostCause(r));
        }
        const QByteArray state =
            r.get() ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray();
        QString message =
            QString::fromUtf8(r.get() ? PQresultErrorMessage(r.get()) : PQerrorMessage(conn_))
                .trimmed();
        DbFailure kind = DbFailure::General;
        if (state.startsWith("23") || state == "22003" || state == "22P02" || state == "22007" ||
            state == "22008" || state == "42804") {
            kind = DbFailure::Constraint;  // a key, check, precision or type rule
        } else if (state == "42P01") {
            message = QStringLiteral("no such table: ") + message;
        } else if (state == "40001" || state == "40P01") {
            lastWasConflict_ = true;
            kind = DbFailure::Busy;
        } else if (state == "55P03") {
            lastWasLockTimeout_ = true;
            kind = DbFailure::Busy;
        } else if (state == "57P01" || state == "57P02" || state == "57P03") {
            // The server is shutting down: the connection is as good as lost.
            failConnection(message);
        }
        throw DbError(message, kind);
    }

    // Why a connection was lost: the server's own reason (a session ended for waiting too
    // long, say) when the result carries one, and the library's.
    QString lostCause(const PgResult& r) const {
        const QString result =
            r.get() ? QString::fromUtf8(PQresultErrorMessage(r.get())).trimmed() : QString();
        const QString connection = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
        if (connection.contains(result)) {
            return connection;
        }
        return result.contains(connection) ? result : result + QStringLiteral("; ") + connection;
    }

    [[noreturn]] void failConnection(const QString& detail = QString()) {
        QString why =
            detail.isEmpty() ? QString::fromUtf8(PQerrorMessage(conn_)).trimmed() : detail;
        // What the server said before it closed the connection is the cause worth reading.
        if (!lastNotice_.isEmpty() && !why.contains(lastNotice_)) {
            why = why.isEmpty() ? lastNotice_ : lastNotice_ + QStringLiteral("; ") + why;
        }
        lastNotice_.clear();
        depth_ = 0;
        lastWasLostConnection_ = true;
        throw DbError(QStringLiteral("lost the connection to the database server %1: %2")
                          .arg(shownName_, why.isEmpty() ? QStringLiteral("no answer") : why));
    }

    // Ends whatever transaction is open after a failure, without throwing again.
    void abandon() {
        depth_ = 0;
        if (PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
            PQclear(PQexec(conn_, "ROLLBACK"));
        }
    }

    static void backOff(int attempt) {
        QThread::msleep(
            static_cast<unsigned long>(QRandomGenerator::global()->bounded(5, 20) * attempt));
    }

    static int changedRows(const PgResult& r) { return QByteArray(PQcmdTuples(r.get())).toInt(); }

    static QStringList firstColumn(const PgResult& r) {
        QStringList out;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            out << QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        }
        return out;
    }

    // The table's name as the server keeps it, found ignoring case as the embedded engine
    // does; empty when there is no such table.
    QString actualName(const QString& name) {
        PgResult r = run(QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON "
                                        "n.oid = c.relnamespace WHERE c.relkind IN ('r','p','v') "
                                        "AND n.nspname = current_schema() AND lower(c.relname) = "
                                        "lower($1) ORDER BY c.relname = $1 DESC, c.oid LIMIT 1"),
                         {name});
        return PQntuples(r.get()) > 0 ? QString::fromUtf8(PQgetvalue(r.get(), 0, 0)) : QString();
    }

    void refreshCitext() {
        PgResult r = run(QStringLiteral("SELECT oid FROM pg_type WHERE typname = 'citext'"), {});
        citext_ = PQntuples(r.get()) > 0
                      ? static_cast<Oid>(QByteArray(PQgetvalue(r.get(), 0, 0)).toUInt())
                      : 0;
    }

    void ensureCatalog() {
        if (citext_ == 0) {
            try {
                run(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"), {});
            } catch (const DbError& e) {
                throw DbError(QStringLiteral("the database %1 lacks the extension citext and this "
                                             "role may not add it (CREATE EXTENSION citext as its "
                                             "owner): %2")
                                  .arg(shownName_, e.message()),
                              e.kind());
            }
            refreshCitext();
        }
        run(QStringLiteral("CREATE TABLE IF NOT EXISTS ") + serverName(kCatalog) +
                QStringLiteral(" (\"TableName\" text NOT NULL, \"Kind\" text NOT NULL, "
                               "\"Ordinal\" integer NOT NULL, \"Name\" text NOT NULL, \"TypeCode\" "
                               "integer, \"Size\" integer, \"Scale\" integer, \"AutoNumber\" "
                               "integer, \"DefaultText\" text, \"Description\" text, \"Columns\" "
                               "text, \"IsUnique\" integer, PRIMARY KEY (\"TableName\", \"Kind\", "
                               "\"Ordinal\"))"),
            {});
    }

    static QString keyName(const TableDef& def) {
        return def.primaryKeyName.isEmpty() ? QStringLiteral("PrimaryKey") : def.primaryKeyName;
    }

    static QString columnDdl(const ColumnDef& c) {
        const QString name = serverName(c.name);
        QString ddl = name + QLatin1Char(' ');
        switch (c.type) {
            case ColumnType::Integer:
                ddl += c.autoIncrement ? QStringLiteral("integer GENERATED BY DEFAULT AS IDENTITY")
                                       : QStringLiteral("integer");
                break;
            case ColumnType::DateTime:
                ddl += QStringLiteral("timestamp(0) without time zone");
                break;
            case ColumnType::Boolean:
                ddl += QStringLiteral("boolean");
                break;
            case ColumnType::Decimal:
                // numeric(p,0) would round a fraction into the column; the rules refuse it
                // and keep the precision of p digits.
                ddl += QStringLiteral("numeric CHECK (%1 = trunc(%1) AND abs(%1) < 1e%2)")
                           .arg(name)
                           .arg(c.size);
                break;
            case ColumnType::Text:
                ddl += QStringLiteral("citext CHECK (char_length(%1) <= %2)")
                           .arg(name)
                           .arg(c.size > 0 ? c.size : kDefaultTextSize);
                break;
            case ColumnType::LongText:
                ddl += QStringLiteral("text");
                break;
        }
        if (!c.defaultText.isEmpty() && !c.autoIncrement) {
            const QString d = c.defaultText.trimmed();
            QString expr;
            if (d.compare(u"Now()", Qt::CaseInsensitive) == 0 && c.type == ColumnType::DateTime) {
                expr = serverJapanNow();
            } else if (c.type == ColumnType::Boolean &&
                       (d.compare(u"True", Qt::CaseInsensitive) == 0 ||
                        d.compare(u"False", Qt::CaseInsensitive) == 0)) {
                expr = d.compare(u"True", Qt::CaseInsensitive) == 0 ? QStringLiteral("true")
                                                                    : QStringLiteral("false");
            } else if ((c.type == ColumnType::Integer || c.type == ColumnType::Decimal) &&
                       QRegularExpression(QStringLiteral("^-?\\d+$")).match(d).hasMatch()) {
                expr = d;
            } else if (c.type == ColumnType::Text || c.type == ColumnType::LongText) {
                expr = quoteText(c.defaultText);
            } else {
                throw DbError(QStringLiteral("unsupported default %1 of column %2")
                                  .arg(c.defaultText, c.name));
            }
            ddl += QStringLiteral(" DEFAULT ") + expr;
        }
        return ddl;
    }

    // An index is named after its table: index names are the schema's, not the table's.
    static QString indexDdl(const QString& table, const IndexDef& ix) {
        QStringList cols;
        for (const QString& c : ix.columns) {
            cols << serverName(c);
        }
        return QStringLiteral("CREATE %1INDEX IF NOT EXISTS %2 ON %3 (%4)")
            .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(),
                 serverName(table + QLatin1Char('_') + ix.name), serverName(table),
                 cols.join(QLatin1Char(',')));
    }

    static QString catalogInsert() {
        return QStringLiteral("INSERT INTO ") + serverName(kCatalog) +
               QStringLiteral(
                   " (\"TableName\",\"Kind\",\"Ordinal\",\"Name\",\"TypeCode\",\"Size\","
                   "\"Scale\",\"AutoNumber\",\"DefaultText\",\"Description\",\"Columns\","
                   "\"IsUnique\") VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12)");
    }

    // CREATE TABLE, its indexes and its comments.
    static QStringList tableDdl(const TableDef& def) {
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
                throw DbError(
                    QStringLiteral("auto-number column %1 must be the integer primary key")
                        .arg(c.name));
            }
        }
        const QString table = serverName(def.name);
        QStringList parts;
        for (const ColumnDef& c : def.columns) {
            parts << columnDdl(c);
        }
        if (!def.primaryKey.isEmpty()) {
            QStringList cols;
            for (const QString& c : def.primaryKey) {
                cols << serverName(c);
            }
            parts << QStringLiteral("CONSTRAINT %1 PRIMARY KEY (%2)")
                         .arg(serverName(def.name + QLatin1Char('_') + keyName(def)),
                              cols.join(QLatin1Char(',')));
        }
        QStringList out{QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (") +
                        parts.join(QStringLiteral(", ")) + QLatin1Char(')')};
        for (const IndexDef& ix : def.indexes) {
            out << indexDdl(def.name, ix);
        }
        for (const ColumnDef& c : def.columns) {
            if (!c.description.isEmpty()) {
                out << QStringLiteral("COMMENT ON COLUMN %1.%2 IS %3")
                           .arg(table, serverName(c.name), quoteText(c.description));
            }
        }
        return out;
    }

    /// Begins the outermost transaction. Nothing was written yet: a connection that died
    /// while the terminal stood idle (a server restarted overnight) is made again once.
    void beginOnce(const QString& begin) {
        try {
            simple(begin);
        } catch (const DbError&) {
            if (!lastWasLostConnection_ || !reconnect()) {
                throw;
            }
            simple(begin);
        }
    }

    /// The server refuses a write in a read-only transaction anyway; saying so here names the
    /// fault of the caller instead of the server's words.
    void refuseChangeWhileReading() const {
        if (depth_ > 0 && reading_) {
            throw DbError(QStringLiteral("a change was asked for inside a reading transaction"));
        }
    }

    // Only the server's last word before it ends the session is kept; other notices go.
    static void keepNotice(void* self, const PGresult* notice) {
        const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
        if (severity && (qstrcmp(severity, "FATAL") == 0 || qstrcmp(severity, "PANIC") == 0)) {
            static_cast<PgDatabase*>(self)->lastNotice_ =
                QString::fromUtf8(PQresultErrorMessage(notice)).trimmed();
        }
    }

    PGconn* conn_;
    QString shownName_;
    QString lastNotice_;
    bool longPauses_ = false;
    bool readOnly_ = false;
    int depth_ = 0;
    bool reading_ = false;  ///< the outermost transaction (while depth_ > 0) is a reading one
    Oid citext_ = 0;
    bool lastWasConflict_ = false;
    bool lastWasLockTimeout_ = false;
    bool lastWasLostConnection_ = false;
};

}  // namespace

namespace {

const QRegularExpression& schemePattern() {
    static const QRegularExpression scheme(QStringLiteral("^(postgres(?:ql)?)://"),
                                           QRegularExpression::CaseInsensitiveOption);
    return scheme;
}

/// A server URI taken apart so that the library never sees the password: it only ever gets
/// the URI without it (so no message of the library can echo it) and the password apart.
struct ServerUri {
    QByteArray withoutPassword;  ///< scheme in small letters, "user@" kept
    std::optional<QByteArray> password;
    QString shown;  ///< for messages
};

// "user:password@" ends at the last "@" of the URI: a password may hold "/", "?" or "@" even
// where a URI should have them percent-encoded, and must then still be neither cut nor shown.
// (An "@" after the host is written %40.)
ServerUri splitServerUri(const QString& uri) {
    const QString t = uri.trimmed();
    ServerUri out;
    const auto m = schemePattern().match(t);
    if (!m.hasMatch()) {
        out.withoutPassword = t.toUtf8();
        out.shown = t;
        return out;
    }
    const QString head = m.captured(1).toLower() + QStringLiteral("://");
    const QString rest = t.mid(m.capturedLength());
    const qsizetype at = rest.lastIndexOf(QLatin1Char('@'));
    const qsizetype colon = at < 0 ? -1 : rest.left(at).indexOf(QLatin1Char(':'));
    QString kept = head + rest;
    out.shown = kept;
    if (colon >= 0) {
        const QString user = rest.left(colon);
        out.password =
            QByteArray::fromPercentEncoding(rest.mid(colon + 1, at - colon - 1).toUtf8());
        const QString after = rest.mid(at + 1);
        kept = head + (user.isEmpty() ? after : user + QLatin1Char('@') + after);
        out.shown = head + user + QStringLiteral(":***@") + after;
    }
    out.withoutPassword = kept.toUtf8();
    static const QRegularExpression inQuery(QStringLiteral("([?&]password=)[^&]*"),
                                            QRegularExpression::CaseInsensitiveOption);
    out.shown.replace(inQuery, QStringLiteral("\\1***"));
    return out;
}

}  // namespace

bool isServerDatabaseName(const QString& name) {
    return schemePattern().match(name.trimmed()).hasMatch();
}

QString redactedDatabaseName(const QString& name) {
    if (!isServerDatabaseName(name)) {
        return name;
    }
    return splitServerUri(name).shown;
}

QString withoutPasswords(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("postgres(?:ql)?://"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    qsizetype from = 0;
    for (;;) {
        const auto m = scheme.match(out, from);
        if (!m.hasMatch()) {
            return out;
        }
        // Inside free text the URI's end is unknown: everything up to the line's last "@"
        // may be its password (more is hidden rather than less).
        const qsizetype begin = m.capturedEnd();
        qsizetype lineEnd = out.indexOf(QLatin1Char('\n'), begin);
        if (lineEnd < 0) {
            lineEnd = out.size();
        }
        const qsizetype at = out.lastIndexOf(QLatin1Char('@'), lineEnd - 1);
        const qsizetype colon = out.indexOf(QLatin1Char(':'), begin);
        if (at >= begin && colon >= 0 && colon < at) {
            out.replace(colon + 1, at - colon - 1, QStringLiteral("***"));
        }
        from = begin;
    }
}

std::unique_ptr<Database> openServerDatabase(const QString& uri, bool readOnly) {
    const ServerUri parts = splitServerUri(uri);
    // Defaults first: what the URI itself says overrides them. The keep-alive probes find a
    // server that went away (or a cable pulled) within a minute instead of hours.
    std::vector<const char*> keywords = {
        "connect_timeout",     "application_name", "keepalives", "keepalives_idle",
        "keepalives_interval", "keepalives_count", "dbname"};
    std::vector<const char*> values = {
        "10", "tq582", "1", "30", "10", "3", parts.withoutPassword.constData()};
    if (parts.password) {
        keywords.push_back("password");
        values.push_back(parts.password->constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = PQconnectdbParams(keywords.data(), values.data(), 1);
    const QString& shown = parts.shown;
    if (!conn) {
        throw DbError(
            QStringLiteral("cannot connect to the database server %1: out of memory").arg(shown));
    }
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString why = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        PQfinish(conn);
        throw DbError(
            QStringLiteral("cannot connect to the database server %1: %2").arg(shown, why),
            why.contains(QStringLiteral("does not exist")) ? DbFailure::NotFound
                                                           : DbFailure::General);
    }
    auto db = std::make_unique<PgDatabase>(conn, shown);
    if (readOnly) {
        db->setReadOnly();
    }
    db->setUp();
    return db;
}

std::unique_ptr<Database> openDatabase(const QString& name, const QString& password, bool create) {
    if (isServerDatabaseName(name)) {
        return openServerDatabase(name);
    }
    return openEmbeddedDatabase(name, password, create);
}

std::unique_ptr<Database> openDatabaseToRead(const QString& name, const QString& password) {
    if (isServerDatabaseName(name)) {
        return openServerDatabase(name, true);
    }
    return openEmbeddedDatabaseToRead(name, password);
}

}  // namespace tq
