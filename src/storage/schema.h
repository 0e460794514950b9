#pragma once
// The three tables of the site database, the archive tables that keep old rows, and the
// creation of whatever is missing.

#include <QDate>
#include <QString>
#include <functional>
#include <utility>

#include "storage/database.h"

namespace tq {

/// Appends one column to a table being defined. `scale` must be 0 (every decimal of the
/// site is whole); `defaultText` is written as the schema writes it ("0", "False", "Now()").
void AddColumn(TableDef& table, const QString& name, ColumnType type, int size, int scale,
               bool autoIncrement, const QString& defaultText, const QString& description);
/// Sets the primary key; `columnList` is comma-separated. An empty list adds nothing.
void AddKey(TableDef& table, const QString& keyName, const QString& columnList);
/// Adds an index (nulls allowed); `columnList` is comma-separated. An empty list adds nothing.
void AddIndex(TableDef& table, const QString& indexName, bool unique, const QString& columnList);

/// The archive tables: the same columns as T_勤務 and T_ログ, without key or auto-number, so
/// that a moved row can never be refused. The work archive has one index (never unique), by
/// which the listings of archived days read it.
inline const QString kWorkArchiveTable = QStringLiteral("T_勤務_保存");
inline const QString kLogArchiveTable = QStringLiteral("T_ログ_保存");
TableDef DefineArchiveTable(const TableDef& source, const QString& archiveName);
/// The work archive's index: 担当者コード, 勤務日.
IndexDef WorkArchiveIndex();

TableDef DefineLogTable();    ///< T_ログ
TableDef DefineStaffTable();  ///< T_担当者
TableDef DefineWorkTable();   ///< T_勤務

/// Probes T_ログ, T_担当者 and T_勤務 in this order and creates each missing one (an existing
/// table is never altered). Stops at the first broken table and returns its name; returns an
/// empty string when all three are usable. The archive tables and the leave tables
/// (storage/leave_schema.h) are created alongside when missing, and a work archive of an
/// earlier version gets its index.
QString EnsureTables(Database& db);

/// Tells what the move is doing, before each of its steps (copying, then deleting, the old
/// rows of T_勤務 and then of T_ログ), in words the terminal shows.
using ArchiveProgress = std::function<void(const QString& what)>;

/// Moves work rows with 勤務日 before `cutoff` and log rows with 処理日時 before `cutoff`
/// 00:00:00 into T_勤務_保存 and T_ログ_保存, in one transaction. Returns the numbers of work
/// and log rows moved.
std::pair<int, int> ArchiveOldRows(Database& db, const QDate& cutoff,
                                   const ArchiveProgress& progress = {});

/// The same move a batch at a time, oldest rows first: each `step` moves about `batchRows`
/// rows of T_勤務 (then of T_ログ) in a transaction of its own, so that a writer waits at most
/// one batch and a stop between two steps leaves every row in exactly one of the tables.
/// Nothing is counted beforehand: a batch spans a range of dates, widened or narrowed after
/// each step towards `batchRows` rows.
class ArchiveMove {
  public:
    explicit ArchiveMove(const QDate& cutoff, int batchRows = 2000);
    /// Moves the next batch. False once nothing before the cut-off is left (nothing moved).
    bool step(Database& db);
    bool done() const { return next_ == 2; }
    const QDate& cutoff() const { return cutoff_; }
    qint64 workMoved() const { return tables_[0].moved; }
    qint64 logMoved() const { return tables_[1].moved; }

  private:
    struct Table {
        QString name;
        QString archive;
        QString column;
        bool dated;          ///< the column holds days (T_勤務), not date-times
        qint64 spanSeconds;  ///< the width of the next batch's range
        qint64 moved = 0;
    };
    QDate cutoff_;
    int batchRows_;
    Table tables_[2];
    int next_ = 0;  ///< the table being moved; 2 when done
};

}  // namespace tq
