#pragma once
// The database engine layer. Nothing above it knows which engine runs underneath: the
// embedded default is one SQLCipher file keyed with the database password; a server engine
// can take its place behind the same interface.
//
// Failures that typed input cannot cause (file unreadable, disk full, server gone) are
// thrown as DbError; each user operation catches it at its boundary, shows the engine's
// message and ends the program. A database busy with another terminal's write is waited for
// (up to 10 s) before it counts as such a failure.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "storage/sql.h"

namespace tq {

/// The database password of every site database.
inline constexpr char kDatabasePassword[] = "kzq4719";

/// What kind of failure a DbError reports, for callers and tests that must tell them apart.
enum class DbFailure {
    General,
    Constraint,    ///< a key, length or type rule of a column refused the change
    Busy,          ///< another connection held the lock for longer than the busy timeout
    NotADatabase,  ///< wrong password, or not a database file of this system
    NotFound,      ///< the database file does not exist
    Damaged,       ///< the file or a table in it is damaged (torn, truncated, corrupt pages)
    DiskFull,      ///< the disk (or the user's quota) has no room for the change
    NoPermission,  ///< the file or its folder may not be written (permissions, read-only disk)
};

class DbError : public std::runtime_error {
  public:
    explicit DbError(const QString& message, DbFailure kind = DbFailure::General)
        : std::runtime_error(message.toStdString()), message_(message), kind_(kind) {}
    const QString& message() const { return message_; }
    DbFailure kind() const { return kind_; }

  private:
    QString message_;
    DbFailure kind_;
};

/// Column types of the schema.
enum class ColumnType { Integer, DateTime, Boolean, Decimal, Text, LongText };

struct ColumnDef {
    QString name;
    ColumnType type = ColumnType::Text;
    int size = 0;   ///< characters of a text, precision of a decimal
    int scale = 0;  ///< digits after the point of a decimal (0 for every column here)
    bool autoIncrement = false;
    QString defaultText;  ///< as the schema writes it ("0", "False", "Now()", ...) or empty
    QString description;
};

struct IndexDef {
    QString name;
    bool unique = false;
    QStringList columns;
};

struct TableDef {
    QString name;
    std::vector<ColumnDef> columns;
    QString primaryKeyName;
    QStringList primaryKey;
    std::vector<IndexDef> indexes;
};

/// What a probe found for a table name.
enum class TableState { Missing, Present, Broken };

/// A forward-only reader of a query's rows.
class ResultSet {
  public:
    virtual ~ResultSet() = default;
    /// Moves to the next row; false after the last one. Call once before reading the first.
    virtual bool next() = 0;
    /// The named field of the current row, typed by its column. Throws DbError for an
    /// unknown field name.
    virtual SqlValue value(const QString& field) const = 0;
    /// The names of the result's fields, in select order.
    virtual QStringList fieldNames() const = 0;
    bool isNull(const QString& field) const;
    /// The field as text ("" for null); date-times as "yyyy/mm/dd hh:nn:ss", or "yyyy/mm/dd"
    /// when the time is midnight (as a date shows), numbers in decimal, yes/no as True/False.
    QString text(const QString& field) const;
    /// The field as a whole number (0 for null; a text is read as a number).
    qint64 integer(const QString& field) const;
    /// The field as a date (invalid for null or a value that is no date).
    QDate date(const QString& field) const;
    /// The field as a wall-clock date-time (invalid for null or a value that is no date).
    QDateTime dateTime(const QString& field) const;
    /// The field as yes/no (false for null).
    bool boolean(const QString& field) const;
};

/// What a writing transaction keeps other writers away from. The whole site (the default)
/// excludes every other writer. One staff member's rows exclude writers of the same staff
/// member and whole-site writers only, so terminals punching different staff need not wait
/// for each other; an engine with a single writer lock treats every scope as the whole site.
class WriteScope {
  public:
    WriteScope() = default;
    /// The rows of one staff member (by code, ignoring letter case as the code columns do).
    static WriteScope staffMember(const QString& code) {
        WriteScope s;
        s.staff_ = code;
        return s;
    }
    bool wholeSite() const { return !staff_.has_value(); }
    /// The staff member's code; empty for the whole site.
    QString staffCode() const { return staff_.value_or(QString()); }

  private:
    std::optional<QString> staff_;
};

class Database {
  public:
    virtual ~Database() = default;

    /// Tells whether a table is missing, readable, or present but damaged, from the schema and
    /// a read of the table's first rows: its cost does not grow with the rows the table holds.
    /// An engine that cannot read at all (disk full, no permission, server gone) throws
    /// DbError rather than calling the table damaged.
    virtual TableState probeTable(const QString& name) = 0;
    /// probeTable for each of `names`, in their order. This default probes them one by one;
    /// an engine that pays a round trip for each statement reads them together.
    virtual std::vector<TableState> probeTables(const QStringList& names);
    /// The engine's full check of the database, for a nightly job: every page and row read.
    /// Returns one line per problem found, nothing when the database is sound. This default
    /// reads every row of every table; an engine with its own check overrides it.
    virtual QStringList checkIntegrity();
    /// A change of very many rows follows (the start-up move of old rows): the engine may
    /// give it more memory. `endBulkChange` gives the memory back and shrinks whatever log the
    /// change left behind. Both do nothing for an engine that manages this itself.
    virtual void beginBulkChange() {}
    virtual void endBulkChange() {}
    /// Creates a table with its keys, indexes, defaults and descriptions. A table of that name
    /// that exists already (another terminal may have created it meanwhile) is left as it is.
    virtual void createTable(const TableDef& def) = 0;
    /// Adds an index to an existing table; one of that name already there is left as it is.
    /// The catalog records it as if the table had been created with it.
    virtual void createIndex(const QString& table, const IndexDef& index) = 0;
    /// The tables of the database in order of creation (the engine's own tables left out).
    virtual QStringList tableNames() = 0;
    /// The columns of a table as they are in the database, in order.
    virtual QStringList columnNames(const QString& table) = 0;
    /// A table's definition as it was created: columns with types, sizes, defaults and
    /// descriptions, the primary key and the indexes. Throws DbError for a missing table.
    virtual TableDef describeTable(const QString& table) = 0;
    /// Runs a statement that returns no rows; returns the number of rows changed.
    virtual int execute(const Sql& statement) = 0;
    /// Runs statements that belong together as one change: all of them stay, or when one
    /// fails none does (the transaction around them goes on). Returns the rows each changed.
    /// This default runs them one by one in a nested transaction; an engine that pays a
    /// round trip for each statement sends them together.
    virtual std::vector<int> executeAll(const std::vector<Sql>& statements);
    /// Runs a query; the result is read forwards.
    virtual std::unique_ptr<ResultSet> query(const Sql& statement) = 0;

    /// Transactions: a writing transaction takes the write lock of its scope at once, so two
    /// terminals never interleave read-then-write sequences on the same rows. A transaction
    /// begun inside another one nests under the outermost one's lock (its own scope is not
    /// looked at): its rollback undoes only its own changes, and only the outermost commit
    /// makes anything durable.
    virtual void beginWrite(const WriteScope& scope) = 0;
    void beginWrite() { beginWrite(WriteScope()); }
    virtual void commit() = 0;
    virtual void rollback() = 0;
    /// Runs `statements` as the last change of the innermost writing transaction and commits
    /// it. When a statement or the commit fails, the transaction is left for its owner to roll
    /// back (WriteTransaction does). Returns the rows each statement changed. This default runs
    /// them one by one; an engine that pays a round trip for each statement sends the commit
    /// with them.
    virtual std::vector<int> commitWith(const std::vector<Sql>& statements);
    /// A reading transaction: every query until its commit sees the database as it was when
    /// it began, whatever other connections write meanwhile; ended by `commit()` or
    /// `rollback()`. Nothing may be written inside it. Begun inside another transaction it
    /// reads that one's moment. This default takes the write lock, which also gives one
    /// moment; an engine with snapshots overrides it so that writers are not held up.
    virtual void beginRead() { beginWrite(); }

    /// After rows were copied into `table` with their auto-numbers given (a migration), makes
    /// the next automatic number follow the highest one present.
    virtual void syncAutoNumber(const QString& table) { (void)table; }

    /// A writing transaction of this connection may pause for long between its statements (a
    /// copy that reads the other database meanwhile). Otherwise a server ends a writing
    /// transaction left waiting for more than a few seconds: a frozen terminal must not hold
    /// up the others.
    virtual void allowLongPauses() {}
};

/// Commits on `commit()`, rolls back when left without it.
class WriteTransaction {
  public:
    explicit WriteTransaction(Database& db, const WriteScope& scope = WriteScope()) : db_(db) {
        db_.beginWrite(scope);
    }
    ~WriteTransaction() {
        if (!done_) {
            try {
                db_.rollback();
            } catch (...) {
            }
        }
    }
    void commit() {
        db_.commit();
        done_ = true;
    }
    /// Runs `statements` as the transaction's last change and commits: all of it stays, or
    /// when a statement or the commit fails, nothing of the transaction does.
    std::vector<int> commitWith(const std::vector<Sql>& statements) {
        std::vector<int> changed = db_.commitWith(statements);
        done_ = true;
        return changed;
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

  private:
    Database& db_;
    bool done_ = false;
};

/// Ends a reading transaction when left (reading changes nothing, so commit and rollback
/// are alike).
class ReadTransaction {
  public:
    explicit ReadTransaction(Database& db) : db_(db) { db_.beginRead(); }
    ~ReadTransaction() {
        try {
            db_.rollback();
        } catch (...) {
        }
    }
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

  private:
    Database& db_;
};

/// Opens (creating it and its missing folders when `create` is set and no file exists) the
/// embedded database file, keyed with `password`. Throws DbError when the file cannot be
/// opened or the key does not fit (kind NotFound for a missing file without `create`,
/// NotADatabase for a wrong password or a file that is not an encrypted site database).
std::unique_ptr<Database> openEmbeddedDatabase(const QString& path, const QString& password,
                                               bool create);

/// Opens an existing embedded file only to read it, also on a read-only disk or folder;
/// nothing is created or written. Throws DbError as openEmbeddedDatabase does.
std::unique_ptr<Database> openEmbeddedDatabaseToRead(const QString& path, const QString& password);

/// True when a database name (the system file's "[MDBName]" value, or --db) is a connection
/// URI of a database server ("postgresql://..." or "postgres://...") rather than a file path.
bool isServerDatabaseName(const QString& name);

/// The database name fit for messages: a password inside a URI shows as "***", whatever the
/// letter case of its scheme and whatever characters the password holds.
QString redactedDatabaseName(const QString& name);

/// A text for output with the password of every server URI inside it shown as "***". The end
/// of a URI inside free text is not known, so more may be hidden than the password.
QString withoutPasswords(const QString& text);

/// Opens the server database named by a connection URI (the password in the URI or in the
/// user's ~/.pgpass). The database itself must exist; its tables are created like the file's.
/// Throws DbError naming the cause when the server cannot be reached or refuses; no message
/// ever holds the password. With `readOnly` the session refuses every change.
std::unique_ptr<Database> openServerDatabase(const QString& uri, bool readOnly = false);

/// Opens the site database a name stands for: a server URI opens the server engine, anything
/// else the embedded file (created with its folders when `create` is set).
std::unique_ptr<Database> openDatabase(const QString& name, const QString& password, bool create);

/// Opens an existing site database only to read it (see openEmbeddedDatabaseToRead and
/// openServerDatabase); a missing file is a DbError of kind NotFound.
std::unique_ptr<Database> openDatabaseToRead(const QString& name, const QString& password);

}  // namespace tq
