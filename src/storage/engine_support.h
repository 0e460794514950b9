#pragma once
// What both engines do alike, written once: nested transactions over savepoints, results read
// in full, the rules and catalog rows of a table definition, and the patience with a database
// that another connection keeps busy. Only the engines include this.

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "storage/database.h"

namespace tq::engine {

/// How long a database busy with another connection's change is waited for before it counts
/// as a failure.
inline constexpr int kBusyWaitMs = 10'000;

/// The catalog table of column definitions, descriptions and key and index names.
inline const QString kCatalog = QStringLiteral("TQ_Catalog");

/// Waits for a lock another connection holds, in short steps: a waiting terminal tries again
/// within a fraction of a millisecond of the lock's release instead of sleeping through the
/// next holder's turn as well.
class BusyWait {
  public:
    /// Before retry `attempt` (0 for the first of a wait): pauses one short step and tells
    /// whether to try again; false once the wait has lasted `kBusyWaitMs`.
    bool pause(int attempt);

  private:
    QElapsedTimer since_;
};

/// A query's rows, read completely when the query ran: no statement stays open and no lock is
/// held while the caller works through them. Fields are found ignoring case, the first of
/// equal names winning.
class MaterialisedRows final : public ResultSet {
  public:
    explicit MaterialisedRows(const QStringList& names);
    void addRow(std::vector<SqlValue> row) { rows_.push_back(std::move(row)); }
    void reserve(size_t rows) { rows_.reserve(rows); }

    bool next() override;
    SqlValue value(const QString& field) const override;
    QStringList fieldNames() const override { return names_; }

  private:
    QStringList names_;
    QHash<QString, int> index_;
    std::vector<std::vector<SqlValue>> rows_;
    size_t cursor_ = 0;  // 1-based; 0 before the first row
};

/// What a column default as the schema writes it means. Throws DbError for one that neither
/// engine can give the column.
enum class DefaultForm { None, Now, True, False, Number, Text };
DefaultForm defaultFormOf(const ColumnDef& c);

/// The primary key's name ("PrimaryKey" when the definition names none).
QString keyNameOf(const TableDef& def);

/// An engine over the SQL of one connection: the parts of the Database interface that do not
/// depend on the engine live here, on top of a few primitive steps each engine provides.
class EngineDatabase : public Database {
  public:
    using Database::beginWrite;
    void beginWrite(const WriteScope& scope) final;
    void beginRead() final;
    void commit() final;
    void rollback() final;
    std::vector<int> commitWith(const std::vector<Sql>& statements) final;

    void createTable(const TableDef& def) final;
    void createIndex(const QString& table, const IndexDef& index) final;
    TableDef describeTable(const QString& table) final;

  protected:
    // Transactions.
    /// Begins the outermost writing transaction, holding the lock `scope` names.
    virtual void beginOutermostWrite(const WriteScope& scope) = 0;
    /// Begins the outermost reading transaction: its moment is now.
    virtual void beginOutermostRead() = 0;
    virtual void commitOutermost() = 0;
    /// Runs `statements` and commits the outermost writing transaction. This default runs
    /// them one by one, then commits.
    virtual std::vector<int> commitOutermostWith(const std::vector<Sql>& statements);
    virtual void rollbackOutermost() = 0;
    /// The outermost transaction is over, however it ended (also when the engine ended it).
    virtual void outermostEnded() {}
    /// Whether the engine still has a transaction open (it may have ended it after a failure).
    virtual bool engineInTransaction() const = 0;
    /// Savepoint `level` (1 for the first nested transaction): opened, released (its changes
    /// kept), undone (its changes gone, the savepoint ended). These run `runOwn` at once; an
    /// engine paying a round trip for each statement may send them with its next statement.
    virtual void openSavepoint(int level);
    virtual void releaseSavepoint(int level);
    virtual void undoSavepoint(int level);
    static QString savepointName(int level);

    /// A change inside a reading transaction is a fault of the caller.
    void refuseChangeWhileReading() const;
    int depth() const { return depth_; }
    /// The engine's transaction is gone (the connection was lost, the transaction abandoned).
    void forgetTransaction() {
        depth_ = 0;
        outermostEnded();
    }

    // Definitions.
    /// Runs one statement of the engine's own SQL (values bound) that returns no rows.
    virtual void runOwn(const QString& text, const std::vector<SqlValue>& values) = 0;
    /// Runs a query of the engine's own SQL; every field as the text the engine stores ("" for
    /// null), row by row.
    virtual std::vector<QStringList> selectTexts(const QString& text,
                                                 const std::vector<SqlValue>& values) = 0;
    /// The table's name as the engine keeps it, found ignoring case; empty when missing.
    virtual QString tableNamed(const QString& name) = 0;
    /// The statements that create the table with its keys and indexes (the definition is
    /// checked already), and one index of an existing table.
    virtual QStringList tableDdl(const TableDef& def) = 0;
    virtual QString indexDdl(const QString& table, const IndexDef& index) = 0;
    /// A name quoted for the engine, and the placeholder of the n-th value (from 1).
    virtual QString quoteName(const QString& name) const = 0;
    virtual QString placeholder(int n) const = 0;
    /// Creates the catalog table when missing.
    virtual void ensureCatalog();

  private:
    QString catalogInsert() const;

    int depth_ = 0;
    bool reading_ = false;  ///< the outermost transaction (while depth_ > 0) is a reading one
};

}  // namespace tq::engine
