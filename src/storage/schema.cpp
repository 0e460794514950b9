#include "storage/schema.h"

#include <algorithm>
#include <functional>

#include "common/datetime.h"
#include "storage/leave_schema.h"
#include "storage/sql.h"

namespace tq {

namespace {

const QString kDigitsOnly = QStringLiteral("数字のみの場合はゼロサプレスをしない");
const QString kStampForm = QStringLiteral("YYYY/MM/DD HH:MM:SS形式 空白は申告無し");

QStringList splitColumns(const QString& list) {
    QStringList out;
    for (const QString& c : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString t = c.trimmed();
        if (!t.isEmpty()) {
            out << t;
        }
    }
    return out;
}

}  // namespace

void AddColumn(TableDef& table, const QString& name, ColumnType type, int size, int scale,
               bool autoIncrement, const QString& defaultText, const QString& description) {
    ColumnDef c;
    c.name = name;
    c.type = type;
    c.size = size;
    c.scale = scale;
    c.autoIncrement = autoIncrement;
    c.defaultText = defaultText;
    c.description = description;
    table.columns.push_back(c);
}

void AddKey(TableDef& table, const QString& keyName, const QString& columnList) {
    const QStringList cols = splitColumns(columnList);
    if (cols.isEmpty()) {
        return;
    }
    table.primaryKeyName = keyName;
    table.primaryKey = cols;
}

void AddIndex(TableDef& table, const QString& indexName, bool unique, const QString& columnList) {
    const QStringList cols = splitColumns(columnList);
    if (cols.isEmpty()) {
        return;
    }
    table.indexes.push_back(IndexDef{indexName, unique, cols});
}

TableDef DefineLogTable() {
    TableDef t;
    t.name = QStringLiteral("T_ログ");
    AddColumn(t, QStringLiteral("連番"), ColumnType::Integer, 0, 0, true, QStringLiteral("1"),
              QStringLiteral("1"));
    AddColumn(t, QStringLiteral("処理日時"), ColumnType::DateTime, 0, 0, false,
              QStringLiteral("Now()"), QStringLiteral("(yyyy/mm/dd hh:nn:ss)"));
    AddColumn(t, QStringLiteral("コンピュータ名"), ColumnType::Text, 64, 0, false, {}, {});
    AddColumn(t, QStringLiteral("ユーザー名"), ColumnType::Text, 64, 0, false, {}, {});
    AddColumn(t, QStringLiteral("担当者名"), ColumnType::Text, 32, 0, false, {}, {});
    AddColumn(t, QStringLiteral("プログラム名"), ColumnType::Text, 64, 0, false, {}, {});
    AddColumn(t, QStringLiteral("処理名"), ColumnType::Text, 64, 0, false, {}, {});
    AddColumn(t, QStringLiteral("内容"), ColumnType::LongText, 0, 0, false, {}, {});
    AddKey(t, QStringLiteral("PrimaryKey"), QStringLiteral("連番"));
    AddIndex(t, QStringLiteral("処理日時順"), false, QStringLiteral("処理日時,連番"));
    AddIndex(t, QStringLiteral("プログラム別処理日時順"), false,
             QStringLiteral("プログラム名,処理日時,連番"));
    return t;
}

TableDef DefineStaffTable() {
    TableDef t;
    t.name = QStringLiteral("T_担当者");
    AddColumn(t, QStringLiteral("担当者コード"), ColumnType::Text, 4, 0, false, {}, kDigitsOnly);
    AddColumn(t, QStringLiteral("担当者名"), ColumnType::Text, 30, 0, false, {}, {});
    AddColumn(t, QStringLiteral("PassWord"), ColumnType::Text, 32, 0, false, {}, {});
    AddColumn(t, QStringLiteral("社員区分"), ColumnType::Decimal, 1, 0, false, QStringLiteral("0"),
              QStringLiteral("選択 0:正社員 1:契約社員 2:パート 3:アルバイト 4:派遣社員"));
    AddColumn(t, QStringLiteral("入社年月日"), ColumnType::Text, 10, 0, false, {},
              QStringLiteral("yyyy/mm/dd"));
    AddColumn(t, QStringLiteral("退社年月日"), ColumnType::Text, 10, 0, false, {},
              QStringLiteral("yyyy/mm/dd"));
    AddColumn(t, QStringLiteral("残業計算区分"), ColumnType::Text, 2, 0, false, {},
              QStringLiteral("選択 有: 無:"));
    AddColumn(t, QStringLiteral("勤務シフト"), ColumnType::Text, 1, 0, false, {}, {});
    AddColumn(t, QStringLiteral("廃番区分"), ColumnType::Boolean, 0, 0, false,
              QStringLiteral("False"), QStringLiteral("廃番=True"));
    AddColumn(t, QStringLiteral("登録日"), ColumnType::DateTime, 0, 0, false,
              QStringLiteral("Now()"), QStringLiteral("登録及び修正日付(yyyy/mm/dd)"));
    AddKey(t, QStringLiteral("PrimaryKey"), QStringLiteral("担当者コード"));
    AddIndex(t, QStringLiteral("社員区分"), false, QStringLiteral("社員区分"));
    AddIndex(t, QStringLiteral("PassWord"), false, QStringLiteral("PassWord"));
    return t;
}

TableDef DefineWorkTable() {
    TableDef t;
    t.name = QStringLiteral("T_勤務");
    AddColumn(t, QStringLiteral("担当者コード"), ColumnType::Text, 4, 0, false, {}, kDigitsOnly);
    AddColumn(t, QStringLiteral("勤務日"), ColumnType::DateTime, 0, 0, false, {}, {});
    AddColumn(t, QStringLiteral("削除FLG"), ColumnType::Boolean, 0, 0, false,
              QStringLiteral("False"), QStringLiteral("削除=True"));
    AddColumn(t, QStringLiteral("状態"), ColumnType::Text, 11, 0, false, {},
              QStringLiteral("選択 出勤: 休日出勤: 欠勤: 申告欠勤: 病欠: 公傷休: 特別休: 代休: "
                             "直行: 直帰: 直行・直帰: 出張:"));
    AddColumn(t, QStringLiteral("シフト"), ColumnType::Text, 1, 0, false, {}, {});
    AddColumn(t, QStringLiteral("残業指示"), ColumnType::Text, 5, 0, false, {}, {});
    AddColumn(t, QStringLiteral("出勤時刻"), ColumnType::Decimal, 4, 0, false, QStringLiteral("0"),
              QStringLiteral("時分"));
    AddColumn(t, QStringLiteral("退勤時刻"), ColumnType::Decimal, 4, 0, false, QStringLiteral("0"),
              QStringLiteral("時分"));
    AddColumn(t, QStringLiteral("稼動時間"), ColumnType::Integer, 0, 0, false, QStringLiteral("0"),
              QStringLiteral("分"));
    AddColumn(t, QStringLiteral("休憩時間"), ColumnType::Integer, 0, 0, false, QStringLiteral("0"),
              QStringLiteral("分"));
    AddColumn(t, QStringLiteral("状態申告日"), ColumnType::Text, 19, 0, false, {}, kStampForm);
    AddColumn(t, QStringLiteral("出勤打刻日"), ColumnType::Text, 19, 0, false, {}, kStampForm);
    AddColumn(t, QStringLiteral("退勤打刻日"), ColumnType::Text, 19, 0, false, {}, kStampForm);
    AddKey(t, QStringLiteral("PrimaryKey"), QStringLiteral("担当者コード,勤務日"));
    AddIndex(t, QStringLiteral("担当者コード"), false, QStringLiteral("担当者コード"));
    AddIndex(t, QStringLiteral("勤務日"), false, QStringLiteral("勤務日"));
    return t;
}

TableDef DefineArchiveTable(const TableDef& source, const QString& archiveName) {
    TableDef t;
    t.name = archiveName;
    t.columns = source.columns;
    for (ColumnDef& c : t.columns) {
        c.autoIncrement = false;
    }
    if (archiveName == kWorkArchiveTable) {
        t.indexes.push_back(WorkArchiveIndex());
    }
    return t;
}

IndexDef WorkArchiveIndex() {
    // Index names are database-wide on the embedded engine: this one names its table.
    return IndexDef{QStringLiteral("保存担当者別勤務日"),
                    false,
                    {QStringLiteral("担当者コード"), QStringLiteral("勤務日")}};
}

QString EnsureTables(Database& db) {
    const TableDef defs[] = {DefineLogTable(), DefineStaffTable(), DefineWorkTable()};
    const std::vector<TableState> states =
        db.probeTables({defs[0].name, defs[1].name, defs[2].name});
    for (size_t i = 0; i < states.size(); ++i) {
        switch (states[i]) {
            case TableState::Missing:
                db.createTable(defs[i]);
                break;
            case TableState::Broken:
                return defs[i].name;
            case TableState::Present:
                break;
        }
    }
    // The archives only need to exist: they are never read at start-up, and reading years
    // of rows there would slow every start.
    const std::pair<const TableDef*, QString> archives[] = {{&defs[2], kWorkArchiveTable},
                                                            {&defs[0], kLogArchiveTable}};
    const QStringList present = db.tableNames();
    for (const auto& [source, name] : archives) {
        if (!present.contains(name, Qt::CaseInsensitive)) {
            db.createTable(DefineArchiveTable(*source, name));
        }
    }
    // Tables added after the first sites were set up: a site gets them on its next start.
    for (const TableDef& def : LeaveTableDefs()) {
        if (!present.contains(def.name, Qt::CaseInsensitive)) {
            db.createTable(def);
        }
    }
    const IndexDef index = WorkArchiveIndex();
    const std::vector<IndexDef> indexes = db.describeTable(kWorkArchiveTable).indexes;
    if (std::none_of(indexes.begin(), indexes.end(),
                     [&](const IndexDef& ix) { return ix.name == index.name; })) {
        db.createIndex(kWorkArchiveTable, index);
    }
    return QString();
}

namespace {

// Copies the rows whose `column` lies before the cut-off into the archive and deletes them
// from the table; returns the number of rows moved. Only the columns both tables have are
// copied: an existing table is never repaired, so it may lack some.
int moveRows(Database& db, const QString& table, const QString& archive, const QString& column,
             const std::function<void(Sql&)>& addCutoff, const ArchiveProgress& progress = {}) {
    const QStringList archiveColumns = db.columnNames(archive);
    QStringList common;
    for (const QString& c : db.columnNames(table)) {
        if (archiveColumns.contains(c)) {
            common << QLatin1Char('[') + c + QLatin1Char(']');
        }
    }
    const QString cols = common.join(QLatin1Char(','));
    Sql copy(QStringLiteral("INSERT INTO [") + archive + QStringLiteral("] (") + cols +
             QStringLiteral(") SELECT ") + cols + QStringLiteral(" FROM [") + table +
             QStringLiteral("] WHERE ") + column + QStringLiteral(" < "));
    addCutoff(copy);
    Sql remove(QStringLiteral("DELETE * FROM ") + table + QStringLiteral(" WHERE ") + column +
               QStringLiteral(" < "));
    addCutoff(remove);
    if (progress) {
        progress(QStringLiteral("%1の古い記録を%2へ写しています…").arg(table, archive));
    }
    const int copied = db.execute(copy);
    if (progress) {
        progress(QStringLiteral("写し終えた%1件を%2から消しています…").arg(copied).arg(table));
    }
    const int removed = db.execute(remove);
    if (copied != removed) {
        throw DbError(QStringLiteral("moving old rows of %1: %2 copied but %3 deleted")
                          .arg(table)
                          .arg(copied)
                          .arg(removed));
    }
    return removed;
}

}  // namespace

std::pair<int, int> ArchiveOldRows(Database& db, const QDate& cutoff,
                                   const ArchiveProgress& progress) {
    WriteTransaction tx(db);
    const int work = moveRows(
        db, QStringLiteral("T_勤務"), kWorkArchiveTable, QStringLiteral("勤務日"),
        [&](Sql& s) { s.date(cutoff); }, progress);
    const int log = moveRows(
        db, QStringLiteral("T_ログ"), kLogArchiveTable, QStringLiteral("処理日時"),
        [&](Sql& s) { s.dateTime(wallClock(cutoff)); }, progress);
    tx.commit();
    return {work, log};
}

ArchiveMove::ArchiveMove(const QDate& cutoff, int batchRows)
    : cutoff_(cutoff),
      batchRows_(std::max(1, batchRows)),
      tables_{{QStringLiteral("T_勤務"), kWorkArchiveTable, QStringLiteral("勤務日"), true, 86400},
              {QStringLiteral("T_ログ"), kLogArchiveTable, QStringLiteral("処理日時"), false, 60}} {
}

bool ArchiveMove::step(Database& db) {
    constexpr qint64 kDay = 86400;
    const QDateTime end = wallClock(cutoff_);
    while (next_ < 2) {
        Table& t = tables_[next_];
        WriteTransaction tx(db);
        Sql oldest(QStringLiteral("SELECT min(") + t.column + QStringLiteral(") AS m FROM [") +
                   t.name + QStringLiteral("] WHERE ") + t.column + QStringLiteral(" < "));
        if (t.dated) {
            oldest.date(cutoff_);
        } else {
            oldest.dateTime(end);
        }
        QDateTime from;
        {
            auto rs = db.query(oldest);
            if (rs->next()) {
                from = rs->dateTime(QStringLiteral("m"));
            }
        }
        if (!from.isValid()) {
            ++next_;
            continue;
        }
        // A day column moves whole days; a date-time column down to single seconds.
        const qint64 span = t.dated ? std::max(kDay, t.spanSeconds / kDay * kDay) : t.spanSeconds;
        QDateTime bound = from.addSecs(span);
        if (t.dated) {
            bound = wallClock(bound.date());
        }
        bound = std::min(bound, end);
        const int moved = moveRows(db, t.name, t.archive, t.column, [&](Sql& s) {
            if (t.dated) {
                s.date(bound.date());
            } else {
                s.dateTime(bound);
            }
        });
        tx.commit();
        t.moved += moved;
        // The next range holds about batchRows rows if the rows are spread as in this one.
        // Growing at most eightfold a step, a sparse stretch before a dense one cannot make
        // one batch of the dense stretch much larger than asked.
        const double scale = std::min(8.0, static_cast<double>(batchRows_) / std::max(moved, 1));
        t.spanSeconds = std::clamp(static_cast<qint64>(static_cast<double>(span) * scale),
                                   qint64{1}, qint64{3660} * kDay);
        return true;
    }
    return false;
}

}  // namespace tq
