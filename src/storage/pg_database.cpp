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
// Writers: every writing transaction (and every change run outside one) first takes
// transaction-scoped advisory locks, so two terminals never interleave a read-then-write
// sequence on the same rows (the duplicate clock-in check and its write) and never deadlock
// with each other. A whole-site writer holds the site's lock alone; a writer of one staff
// member shares the site's lock with other such writers and holds its staff member's lock
// (taken after the site's, always in that order). The locks are waited for up to 10 s before
// they count as a failure. Statements of a transaction that belong together travel in one
// round trip (pipeline mode), with the savepoint steps of nested transactions.

#include <libpq-fe.h>

#include <algorithm>
#include <optional>
#include <type_traits>

#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include "common/datetime.h"
#include "storage/catalog_codes.h"
#include "storage/database.h"
#include "storage/engine_support.h"
#include "storage/jet_dialect.h"
#include "storage/pg_dialect.h"

namespace tq {

namespace {

using catalog::quoteText;
using engine::kCatalog;

constexpr int kDefaultTextSize = 255;
// The key of the site's write lock ("TQ58" in ASCII).
constexpr qint64 kWriteLockKey = 0x54513538;
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

SqlValue decode(PGresult* res, int row, int col, Oid type) {
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

// A result's rows, typed by their columns' types.
std::unique_ptr<ResultSet> rowsOf(const PgResult& r) {
    PGresult* res = r.get();
    const int n = PQnfields(res);
    QStringList names;
    std::vector<Oid> types;
    for (int i = 0; i < n; ++i) {
        names << QString::fromUtf8(PQfname(res, i));
        types.push_back(PQftype(res, i));
    }
    auto out = std::make_unique<engine::MaterialisedRows>(names);
    const int rows = PQntuples(res);
    out->reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        std::vector<SqlValue> values;
        values.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            values.push_back(decode(res, row, i, types[static_cast<size_t>(i)]));
        }
        out->addRow(std::move(values));
    }
    return out;
}

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

/// One statement of a round trip: its text, its values, and whether they are typed (the
/// site's statements) or take the type their place asks (the engine's own).
struct Command {
    QString text;
    std::vector<SqlValue> values;
    bool typed = false;
};

/// Whether a statement may create, alter or drop a table (its first word is none of those
/// that only read or change rows, or steer a transaction).
bool mayChangeSchema(const QString& text) {
    static const QRegularExpression rowsOnly(
        QStringLiteral("^\\s*(SELECT|INSERT|UPDATE|DELETE|SAVEPOINT|RELEASE|ROLLBACK|COMMIT|"
                       "BEGIN|SET)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return !rowsOnly.match(text).hasMatch();
}

class PgDatabase final : public engine::EngineDatabase {
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

    /// Session settings every statement relies on (ISO dates, literal backslashes, the lock
    /// wait), the type of case-blind text and the tables there are, in one round trip. The
    /// site's times never depend on the session's zone.
    void setUp() {
        const char* client = PQparameterStatus(conn_, "client_encoding");
        if ((!client || QByteArray(client) != "UTF8") && PQsetClientEncoding(conn_, "UTF8") != 0) {
            failConnection();
        }
        const char* encoding = PQparameterStatus(conn_, "server_encoding");
        if (!encoding || QByteArray(encoding) != "UTF8") {
            throw DbError(QStringLiteral("the database %1 stores text as %2; a site database "
                                         "needs the encoding UTF8 (CREATE DATABASE ... "
                                         "ENCODING 'UTF8' TEMPLATE template0)")
                              .arg(shownName_, QString::fromUtf8(encoding ? encoding : "?")));
        }
        std::vector<Command> steps = {
            {QStringLiteral("SET DateStyle = 'ISO, YMD'"), {}},
            {QStringLiteral("SET standard_conforming_strings = on"), {}},
            {QStringLiteral("SET lock_timeout = '%1s'").arg(engine::kBusyWaitMs / 1000), {}},
            {QStringLiteral("SET client_min_messages = warning"), {}},
        };
        if (readOnly_) {
            steps.push_back({QStringLiteral("SET default_transaction_read_only = on"), {}});
        }
        steps.push_back({kCitextQuery, {}});
        steps.push_back({kRelationsQuery, {}});
        const std::vector<PgResult> results = exchange(steps);
        for (const PgResult& r : results) {
            check(r);
        }
        citext_ = citextOf(results[results.size() - 2]);
        keepRelations(results.back());
    }

    TableState probeTable(const QString& name) override { return probeTables({name}).front(); }

    /// The first rows of every present table are read in one round trip; when one of them
    /// fails, each is read again alone to tell which.
    std::vector<TableState> probeTables(const QStringList& names) override {
        std::vector<TableState> states;
        std::vector<Command> reads;
        std::vector<size_t> present;
        for (const QString& name : names) {
            const QString actual = tableNamed(name);
            states.push_back(actual.isEmpty() ? TableState::Missing : TableState::Present);
            if (!actual.isEmpty()) {
                // The first rows prove the table can be read at all; the server keeps its
                // own pages whole, so reading every row would prove nothing more.
                reads.push_back({QStringLiteral("SELECT * FROM ") + serverName(actual) +
                                     QStringLiteral(" LIMIT 1"),
                                 {}});
                present.push_back(states.size() - 1);
            }
        }
        if (reads.empty()) {
            return states;
        }
        try {
            if (depth() > 0) {
                runGuarded(reads, false);
            } else {
                for (const PgResult& r : exchange(reads)) {
                    check(r);
                }
            }
        } catch (const DbError&) {
            if (PQstatus(conn_) != CONNECTION_OK) {
                throw;
            }
            if (reads.size() > 1) {
                for (size_t i : present) {
                    states[i] = probeTable(names[static_cast<qsizetype>(i)]);
                }
                return states;
            }
            const size_t i = present.front();
            states[i] = TableState::Broken;
            if (lastState_ == "42P01") {  // dropped meanwhile by another connection
                relations_.reset();
                if (tableNamed(names[static_cast<qsizetype>(i)]).isEmpty()) {
                    states[i] = TableState::Missing;
                }
            }
        }
        return states;
    }

    QStringList tableNames() override {
        loadRelations();
        QStringList names;
        for (const auto& [name, kind] : *relations_) {
            if (kind != 'v' && name != kCatalog) {
                names << name;
            }
        }
        return names;
    }

    QStringList columnNames(const QString& table) override {
        const QString actual = tableNamed(table);
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

    int execute(const Sql& statement) override { return executeAll({statement}).front(); }

    std::vector<int> executeAll(const std::vector<Sql>& statements) override {
        refuseChangeWhileReading();
        std::vector<Command> commands;
        for (const Sql& s : statements) {
            const ServerStatement st = toServerStatement(s);
            commands.push_back({st.text, st.values, true});
        }
        const auto changed = [](const std::vector<PgResult>& results) {
            std::vector<int> out;
            for (const PgResult& r : results) {
                out.push_back(QByteArray(PQcmdTuples(r.get())).toInt());
            }
            return out;
        };
        if (depth() > 0) {
            return changed(runGuarded(commands, true));
        }
        // A change outside a transaction takes the site's write lock like any other writer,
        // and is simply tried again when the server ended it to resolve a conflict.
        return outsideTransaction(false, [&] {
            beginWrite();
            std::vector<int> out = changed(runGuarded(commands, true, false));
            commit();
            return out;
        });
    }

    std::unique_ptr<ResultSet> query(const Sql& statement) override {
        const ServerStatement st = toServerStatement(statement);
        if (depth() > 0) {
            return rowsOf(run(st.text, st.values, true));
        }
        // A read changes nothing: it is simply asked again after a conflict or once after
        // a connection lost while the terminal stood idle.
        return outsideTransaction(true, [&] { return rowsOf(run(st.text, st.values, true)); });
    }

    void syncAutoNumber(const QString& table) override {
        const QString actual = tableNamed(table);
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

    void allowLongPauses() override { longPauses_ = true; }

  private:
    static inline const QString kCitextQuery =
        QStringLiteral("SELECT oid FROM pg_type WHERE typname = 'citext'");
    static inline const QString kRelationsQuery = QStringLiteral(
        "SELECT c.relname, c.relkind FROM pg_class c JOIN pg_namespace n ON n.oid = "
        "c.relnamespace WHERE c.relkind IN ('r','p','v') AND n.nspname = current_schema() "
        "ORDER BY c.oid");

    // Transactions.

    /// The transaction and its locks travel in one round trip. A site-wide writer holds the
    /// site's lock alone; a writer of one staff member shares the site's lock with the
    /// writers of other staff and holds the staff member's own (by the code as the code
    /// columns compare it). A writer left waiting inside its transaction for more than a few
    /// seconds (a terminal frozen or switched off) is ended by the server: it never holds
    /// the others up beyond the lock wait.
    void beginOutermostWrite(const WriteScope& scope) override {
        std::vector<Command> begin = {
            {QStringLiteral("BEGIN ISOLATION LEVEL READ COMMITTED"), {}},
            {QStringLiteral("SET LOCAL idle_in_transaction_session_timeout = '%1s'")
                 .arg(longPauses_ ? 0 : kIdleTransactionSeconds),
             {}}};
        if (scope.wholeSite()) {
            begin.push_back(
                {QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kWriteLockKey), {}});
        } else {
            begin.push_back(
                {QStringLiteral("SELECT pg_advisory_xact_lock_shared(%1)").arg(kWriteLockKey), {}});
            begin.push_back({QStringLiteral("SELECT pg_advisory_xact_lock(%1, "
                                            "hashtext(lower($1::text)))")
                                 .arg(kWriteLockKey),
                             {scope.staffCode()}});
        }
        try {
            beginOnce(begin);
        } catch (const DbError& e) {
            abandon();
            if (lastWasLockTimeout_) {
                throw DbError(QStringLiteral("the database %1 stayed busy with another "
                                             "terminal's change for more than %2 s: %3")
                                  .arg(shownName_)
                                  .arg(engine::kBusyWaitMs / 1000)
                                  .arg(e.message()),
                              DbFailure::Busy);
            }
            throw;
        }
    }

    /// A snapshot that takes no lock: writers go on, and none of their changes shows. The
    /// snapshot is taken by the first statement after BEGIN, so one is run at once.
    void beginOutermostRead() override {
        try {
            beginOnce({{QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"), {}},
                       {QStringLiteral("SELECT 1"), {}}});
        } catch (const DbError&) {
            abandon();
            throw;
        }
    }

    void commitOutermost() override {
        if (PQtransactionStatus(conn_) == PQTRANS_INERROR) {
            pending_.clear();
            run(QStringLiteral("ROLLBACK"), {});
            throw DbError(QStringLiteral("the transaction failed earlier and was undone"));
        }
        run(QStringLiteral("COMMIT"), {});
    }

    /// The last change and the commit travel in one round trip, with no savepoint: when a
    /// statement fails, the commit is not run and the owner rolls the whole transaction back.
    std::vector<int> commitOutermostWith(const std::vector<Sql>& statements) override {
        if (PQtransactionStatus(conn_) == PQTRANS_INERROR) {
            commitOutermost();  // rolls back and says so
        }
        std::vector<Command> commands;
        for (const Sql& s : statements) {
            const ServerStatement st = toServerStatement(s);
            commands.push_back({st.text, st.values, true});
        }
        commands.push_back({QStringLiteral("COMMIT"), {}});
        const std::vector<PgResult> results = exchange(commands);
        std::vector<int> changed;
        for (const PgResult& r : results) {
            check(r);
            changed.push_back(QByteArray(PQcmdTuples(r.get())).toInt());
        }
        changed.pop_back();
        return changed;
    }

    void rollbackOutermost() override {
        pending_.clear();
        run(QStringLiteral("ROLLBACK"), {});
    }

    bool engineInTransaction() const override {
        if (PQstatus(conn_) != CONNECTION_OK) {
            return false;
        }
        const PGTransactionStatusType t = PQtransactionStatus(conn_);
        return t == PQTRANS_INTRANS || t == PQTRANS_INERROR || t == PQTRANS_ACTIVE;
    }

    // A nested transaction's savepoint steps wait for the next statement and travel with it;
    // one opened and released with nothing in between costs nothing at all.
    void openSavepoint(int level) override {
        pending_ << QStringLiteral("SAVEPOINT ") + savepointName(level);
        levelUntouched_ = true;
    }

    void releaseSavepoint(int level) override {
        if (!dropPendingSavepoint(level)) {
            pending_ << QStringLiteral("RELEASE SAVEPOINT ") + savepointName(level);
        }
        levelUntouched_ = false;
    }

    void undoSavepoint(int level) override {
        levelUntouched_ = false;
        if (dropPendingSavepoint(level)) {
            return;
        }
        for (const PgResult& r :
             exchange({{QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepointName(level), {}},
                       {QStringLiteral("RELEASE SAVEPOINT ") + savepointName(level), {}}})) {
            check(r);
        }
    }

    bool dropPendingSavepoint(int level) {
        if (!pending_.isEmpty() &&
            pending_.last() == QStringLiteral("SAVEPOINT ") + savepointName(level)) {
            pending_.removeLast();
            return true;
        }
        return false;
    }

    /// Begins the outermost transaction. Nothing was written yet: a connection that died
    /// while the terminal stood idle (a server restarted overnight) is made again once.
    void beginOnce(const std::vector<Command>& begin) {
        const auto send = [&] {
            for (const PgResult& r : exchange(begin)) {
                check(r);
            }
        };
        try {
            send();
        } catch (const DbError&) {
            if (!lastWasLostConnection_ || !reconnect()) {
                throw;
            }
            send();
        }
    }

    /// Changes inside a transaction: a refused statement undoes only what `commands` did and
    /// leaves the transaction going, as on the embedded engine. The commands travel in one
    /// round trip, behind a savepoint of their own unless the nested transaction they run in
    /// has done nothing yet (its own savepoint then serves) or `undoAlone` is off (the caller
    /// ends the transaction on a failure). `changes` tells whether they changed rows.
    std::vector<PgResult> runGuarded(const std::vector<Command>& commands, bool changes,
                                     bool undoAlone = true) {
        const bool levelGuards = !undoAlone || (levelUntouched_ && depth() > 1);
        std::vector<Command> all;
        if (!levelGuards) {
            all.push_back({QStringLiteral("SAVEPOINT tq_statement"), {}});
        }
        all.insert(all.end(), commands.begin(), commands.end());
        if (!levelGuards) {
            all.push_back({QStringLiteral("RELEASE SAVEPOINT tq_statement"), {}});
        }
        std::vector<PgResult> results = exchange(all);
        const size_t first = levelGuards ? 0 : 1;
        try {
            for (size_t i = 0; i < first + commands.size(); ++i) {
                check(results[i]);
            }
        } catch (const DbError&) {
            if (undoAlone && PQstatus(conn_) == CONNECTION_OK) {
                const bool conflict = lastWasConflict_;
                const QByteArray state = lastState_;
                const QByteArray undo = levelGuards
                                            ? QStringLiteral("ROLLBACK TO SAVEPOINT %1")
                                                  .arg(savepointName(depth() - 1))
                                                  .toUtf8()
                                            : QByteArray(
                                                  "ROLLBACK TO SAVEPOINT tq_statement; RELEASE "
                                                  "SAVEPOINT tq_statement");
                PQclear(PQexec(conn_, undo.constData()));
                lastWasConflict_ = conflict;
                lastState_ = state;
            }
            throw;
        }
        if (!levelGuards) {
            check(results.back());
        }
        if (changes) {
            levelUntouched_ = false;
        }
        return {std::make_move_iterator(results.begin() + static_cast<qsizetype>(first)),
                std::make_move_iterator(results.begin() +
                                        static_cast<qsizetype>(first + commands.size()))};
    }

    /// Runs `once` outside any transaction; a conflict the server ended it for is tried
    /// again a few times, and a read whose connection was lost while idle once more.
    template <typename F>
    std::invoke_result_t<const F&> outsideTransaction(bool reading, const F& once) {
        for (int attempt = 1;; ++attempt) {
            try {
                return once();
            } catch (const DbError&) {
                const bool conflict = lastWasConflict_;
                const bool lost = lastWasLostConnection_;
                abandon();
                if (reading && lost && attempt == 1 && reconnect()) {
                    continue;
                }
                if (!conflict || attempt >= kConflictAttempts) {
                    throw;
                }
                backOff(attempt);
            }
        }
    }

    // Definitions.

    void runOwn(const QString& text, const std::vector<SqlValue>& values) override {
        run(text, values);
    }

    std::vector<QStringList> selectTexts(const QString& text,
                                         const std::vector<SqlValue>& values) override {
        PgResult r = run(text, values);
        std::vector<QStringList> rows;
        for (int row = 0; row < PQntuples(r.get()); ++row) {
            QStringList fields;
            for (int i = 0; i < PQnfields(r.get()); ++i) {
                fields << QString::fromUtf8(PQgetvalue(r.get(), row, i));
            }
            rows.push_back(fields);
        }
        return rows;
    }

    // The table's name as the server keeps it, found ignoring case as the embedded engine
    // does (the exact name first); empty when there is no such table. The names are read
    // once and again when one is not among them (another terminal may have made it since).
    QString tableNamed(const QString& name) override {
        const bool fresh = !relations_;
        if (fresh) {
            loadRelations();
        }
        QString found = findRelation(name);
        if (found.isEmpty() && !fresh) {
            loadRelations();
            found = findRelation(name);
        }
        return found;
    }

    QString findRelation(const QString& name) const {
        QString folded;
        for (const auto& [relation, kind] : *relations_) {
            if (relation == name) {
                return relation;
            }
            if (folded.isEmpty() && relation.compare(name, Qt::CaseInsensitive) == 0) {
                folded = relation;
            }
        }
        return folded;
    }

    void loadRelations() {
        PgResult r = run(kRelationsQuery, {});
        keepRelations(r);
    }

    void keepRelations(const PgResult& r) {
        std::vector<std::pair<QString, char>> names;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            names.emplace_back(QString::fromUtf8(PQgetvalue(r.get(), i, 0)),
                               PQgetvalue(r.get(), i, 1)[0]);
        }
        relations_ = std::move(names);
    }

    static Oid citextOf(const PgResult& r) {
        return PQntuples(r.get()) > 0
                   ? static_cast<Oid>(QByteArray(PQgetvalue(r.get(), 0, 0)).toUInt())
                   : 0;
    }

    void ensureCatalog() override {
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
            citext_ = citextOf(run(kCitextQuery, {}));
        }
        EngineDatabase::ensureCatalog();
    }

    QString quoteName(const QString& name) const override { return serverName(name); }
    QString placeholder(int n) const override { return QLatin1Char('$') + QString::number(n); }

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
        switch (engine::defaultFormOf(c)) {
            case engine::DefaultForm::None:
                break;
            case engine::DefaultForm::Now:
                ddl += QStringLiteral(" DEFAULT ") + serverJapanNow();
                break;
            case engine::DefaultForm::True:
                ddl += QStringLiteral(" DEFAULT true");
                break;
            case engine::DefaultForm::False:
                ddl += QStringLiteral(" DEFAULT false");
                break;
            case engine::DefaultForm::Number:
                ddl += QStringLiteral(" DEFAULT ") + c.defaultText.trimmed();
                break;
            case engine::DefaultForm::Text:
                ddl += QStringLiteral(" DEFAULT ") + quoteText(c.defaultText);
                break;
        }
        return ddl;
    }

    // An index is named after its table: index names are the schema's, not the table's.
    QString indexDdl(const QString& table, const IndexDef& ix) override {
        QStringList cols;
        for (const QString& c : ix.columns) {
            cols << serverName(c);
        }
        return QStringLiteral("CREATE %1INDEX IF NOT EXISTS %2 ON %3 (%4)")
            .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(),
                 serverName(table + QLatin1Char('_') + ix.name), serverName(table),
                 cols.join(QLatin1Char(',')));
    }

    // CREATE TABLE, its indexes and its comments.
    QStringList tableDdl(const TableDef& def) override {
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
                         .arg(serverName(def.name + QLatin1Char('_') + engine::keyNameOf(def)),
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

    // Sending.

    // Runs one statement with its values bound, after the savepoint steps still waiting;
    // throws DbError on failure. The engine's own statements leave their values untyped;
    // the site's statements type them.
    PgResult run(const QString& text, const std::vector<SqlValue>& values, bool typed = false) {
        std::vector<PgResult> results = exchange({{text, values, typed}});
        check(results.front());
        return std::move(results.front());
    }

    /// Sends the savepoint steps still waiting and `commands` in one round trip and returns
    /// the results of `commands` in order (those after a failed one tell that they were not
    /// run); a waiting step that failed is thrown. Throws DbError when the connection is lost.
    std::vector<PgResult> exchange(const std::vector<Command>& commands) {
        std::vector<Command> all;
        for (const QString& step : pending_) {
            all.push_back({step, {}});
        }
        const size_t skip = all.size();
        pending_.clear();
        all.insert(all.end(), commands.begin(), commands.end());
        std::vector<QByteArray> texts;
        std::vector<Parameters> params;
        texts.reserve(all.size());
        params.reserve(all.size());
        for (const Command& c : all) {
            if (mayChangeSchema(c.text)) {
                relations_.reset();
            }
            texts.push_back(c.text.toUtf8());
            params.emplace_back(c.values, c.typed, citext_);
        }
        const auto send = [&](size_t i) {
            const Parameters& p = params[i];
            return PQsendQueryParams(conn_, texts[i].constData(),
                                     static_cast<int>(all[i].values.size()), p.types.data(),
                                     p.pointers.data(), nullptr, nullptr, 0) == 1;
        };
        std::vector<PgResult> results(all.size());
        if (all.size() == 1) {
            const Parameters& p = params[0];
            results[0] = PgResult(
                PQexecParams(conn_, texts[0].constData(), static_cast<int>(all[0].values.size()),
                             p.types.data(), p.pointers.data(), nullptr, nullptr, 0));
            return results;
        }
        bool sent = PQenterPipelineMode(conn_) == 1;
        for (size_t i = 0; sent && i < all.size(); ++i) {
            sent = send(i);
        }
        sent = sent && PQpipelineSync(conn_) == 1;
        bool synced = false;
        size_t query = 0;
        // Each command's results end with a null; the sync point ends the pipeline.
        for (size_t guard = 0; sent && guard < 4 * all.size() + 4 && !synced; ++guard) {
            PGresult* r = PQgetResult(conn_);
            if (!r) {
                ++query;
            } else if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
                PQclear(r);
                synced = true;
            } else if (query < all.size() && !results[query].get()) {
                results[query] = PgResult(r);
            } else {
                PQclear(r);
            }
        }
        PQexitPipelineMode(conn_);
        if (!synced) {
            const auto failed = std::find_if(results.begin(), results.end(), [](auto& r) {
                return r.get() && PQresultStatus(r.get()) == PGRES_FATAL_ERROR;
            });
            failConnection(lostCause(failed != results.end() ? *failed : results[0]));
        }
        for (size_t i = 0; i < skip; ++i) {
            check(results[i]);
        }
        return {std::make_move_iterator(results.begin() + static_cast<qsizetype>(skip)),
                std::make_move_iterator(results.end())};
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

    void check(const PgResult& r) {
        lastWasConflict_ = false;
        lastWasLockTimeout_ = false;
        lastWasLostConnection_ = false;
        lastState_.clear();
        const ExecStatusType status = r.get() ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            return;
        }
        if (PQstatus(conn_) != CONNECTION_OK) {
            failConnection(lostCause(r));
        }
        if (status == PGRES_PIPELINE_ABORTED) {
            throw DbError(QStringLiteral("not run: an earlier statement sent with it failed"));
        }
        const QByteArray state =
            r.get() ? QByteArray(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE)) : QByteArray();
        lastState_ = state;
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
        forgetTransaction();
        pending_.clear();
        lastWasLostConnection_ = true;
        throw DbError(QStringLiteral("lost the connection to the database server %1: %2")
                          .arg(shownName_, why.isEmpty() ? QStringLiteral("no answer") : why));
    }

    // Ends whatever transaction is open after a failure, without throwing again.
    void abandon() {
        forgetTransaction();
        pending_.clear();
        if (PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE) {
            PQclear(PQexec(conn_, "ROLLBACK"));
        }
    }

    static void backOff(int attempt) {
        QThread::msleep(
            static_cast<unsigned long>(QRandomGenerator::global()->bounded(5, 20) * attempt));
    }

    static QStringList firstColumn(const PgResult& r) {
        QStringList out;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            out << QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        }
        return out;
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
    Oid citext_ = 0;
    /// Savepoint steps not sent yet: they go with the next statement.
    QStringList pending_;
    /// The innermost transaction is a nested one that has changed nothing yet.
    bool levelUntouched_ = false;
    /// The tables and views of the schema with their kinds, in order of creation; unknown
    /// after a statement that may have changed the schema.
    std::optional<std::vector<std::pair<QString, char>>> relations_;
    bool lastWasConflict_ = false;
    bool lastWasLockTimeout_ = false;
    bool lastWasLostConnection_ = false;
    QByteArray lastState_;
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
    // After the URI, so that it holds whatever the URI says: the text of every statement and
    // result is UTF-8, agreed on while connecting instead of in a round trip of its own.
    keywords.push_back("client_encoding");
    values.push_back("UTF8");
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
