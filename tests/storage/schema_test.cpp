// The site tables: what a new database receives, defaults, keys, the table probe and the
// archive move.

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QFile>

#include "common/datetime.h"
#include "storage/leave_schema.h"
#include "storage/schema.h"
#include "storage_support.h"

namespace tq {
namespace {

using test::StorageTest;

QString describe(const ColumnDef& c) {
    return QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
        .arg(c.name)
        .arg(static_cast<int>(c.type))
        .arg(c.size)
        .arg(c.autoIncrement)
        .arg(c.defaultText, c.description)
        .arg(c.scale);
}

QStringList names(const std::vector<ColumnDef>& cols) {
    QStringList out;
    for (const ColumnDef& c : cols) {
        out << c.name;
    }
    return out;
}

TEST_F(StorageTest, NewDatabaseReceivesExactlyTheSiteTables) {
    Database& d = openSite();
    EXPECT_EQ(
        d.tableNames(),
        (QStringList{QStringLiteral("T_ログ"), QStringLiteral("T_担当者"), QStringLiteral("T_勤務"),
                     QStringLiteral("T_勤務_保存"), QStringLiteral("T_ログ_保存"),
                     QStringLiteral("T_勤務形態"), QStringLiteral("T_有給付与")}));

    EXPECT_EQ(d.columnNames(QStringLiteral("T_ログ")),
              (QStringList{QStringLiteral("連番"), QStringLiteral("処理日時"),
                           QStringLiteral("コンピュータ名"), QStringLiteral("ユーザー名"),
                           QStringLiteral("担当者名"), QStringLiteral("プログラム名"),
                           QStringLiteral("処理名"), QStringLiteral("内容")}));
    EXPECT_EQ(d.columnNames(QStringLiteral("T_担当者")),
              (QStringList{QStringLiteral("担当者コード"), QStringLiteral("担当者名"),
                           QStringLiteral("PassWord"), QStringLiteral("社員区分"),
                           QStringLiteral("入社年月日"), QStringLiteral("退社年月日"),
                           QStringLiteral("残業計算区分"), QStringLiteral("勤務シフト"),
                           QStringLiteral("廃番区分"), QStringLiteral("登録日")}));
    EXPECT_EQ(
        d.columnNames(QStringLiteral("T_勤務")),
        (QStringList{QStringLiteral("担当者コード"), QStringLiteral("勤務日"),
                     QStringLiteral("削除FLG"), QStringLiteral("状態"), QStringLiteral("シフト"),
                     QStringLiteral("残業指示"), QStringLiteral("出勤時刻"),
                     QStringLiteral("退勤時刻"), QStringLiteral("稼動時間"),
                     QStringLiteral("休憩時間"), QStringLiteral("状態申告日"),
                     QStringLiteral("出勤打刻日"), QStringLiteral("退勤打刻日")}));
    EXPECT_EQ(d.columnNames(QStringLiteral("T_勤務_保存")),
              d.columnNames(QStringLiteral("T_勤務")));
    EXPECT_EQ(d.columnNames(QStringLiteral("T_ログ_保存")),
              d.columnNames(QStringLiteral("T_ログ")));

    // Types, sizes, defaults, descriptions, keys and indexes are kept in the file as defined.
    reopen();
    for (const TableDef& def : {DefineLogTable(), DefineStaffTable(), DefineWorkTable(),
                                DefineWorkPatternTable(), DefineLeaveGrantTable()}) {
        const TableDef stored = db->describeTable(def.name);
        ASSERT_EQ(stored.columns.size(), def.columns.size()) << def.name.toStdString();
        for (size_t i = 0; i < def.columns.size(); ++i) {
            EXPECT_EQ(describe(stored.columns[i]), describe(def.columns[i]));
        }
        EXPECT_EQ(stored.primaryKeyName, QStringLiteral("PrimaryKey"));
        EXPECT_EQ(stored.primaryKey, def.primaryKey);
        ASSERT_EQ(stored.indexes.size(), def.indexes.size());
        for (size_t i = 0; i < def.indexes.size(); ++i) {
            EXPECT_EQ(stored.indexes[i].name, def.indexes[i].name);
            EXPECT_EQ(stored.indexes[i].columns, def.indexes[i].columns);
            EXPECT_FALSE(stored.indexes[i].unique);
        }
    }
    const TableDef work = db->describeTable(QStringLiteral("T_勤務"));
    EXPECT_EQ(
        describe(work.columns[3]),
        describe(ColumnDef{QStringLiteral("状態"), ColumnType::Text, 11, 0, false, QString(),
                           QStringLiteral("選択 出勤: 休日出勤: 欠勤: 申告欠勤: 病欠: 公傷休: "
                                          "特別休: 代休: 直行: 直帰: 直行・直帰: 出張:")}));
    EXPECT_EQ(work.primaryKey,
              (QStringList{QStringLiteral("担当者コード"), QStringLiteral("勤務日")}));
    const TableDef log = db->describeTable(QStringLiteral("T_ログ"));
    EXPECT_EQ(log.indexes[1].columns,
              (QStringList{QStringLiteral("プログラム名"), QStringLiteral("処理日時"),
                           QStringLiteral("連番")}));

    // The indexes exist in the engine under their names; on the server, where index names
    // are shared by the whole schema, after their table's name (with the keys too).
    const bool server = test::testOnServer();
    auto ix = db->query(Sql(
        server ? QStringLiteral("SELECT indexname AS name FROM pg_indexes WHERE schemaname = "
                                "current_schema() AND tablename LIKE 'T\\_%'")
               : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS "
                                "NOT NULL ORDER BY name")));
    QStringList indexNames;
    while (ix->next()) {
        indexNames << ix->text(QStringLiteral("name"));
    }
    indexNames.sort();
    QStringList expected =
        server ? QStringList{QStringLiteral("T_ログ_処理日時順"),
                             QStringLiteral("T_ログ_プログラム別処理日時順"),
                             QStringLiteral("T_担当者_社員区分"),
                             QStringLiteral("T_担当者_PassWord"),
                             QStringLiteral("T_勤務_担当者コード"),
                             QStringLiteral("T_勤務_勤務日"),
                             QStringLiteral("T_勤務_保存_保存担当者別勤務日"),
                             QStringLiteral("T_ログ_PrimaryKey"),
                             QStringLiteral("T_担当者_PrimaryKey"),
                             QStringLiteral("T_勤務_PrimaryKey"),
                             QStringLiteral("T_勤務形態_PrimaryKey"),
                             QStringLiteral("T_有給付与_PrimaryKey")}
               : QStringList{
                     QStringLiteral("処理日時順"),        QStringLiteral("プログラム別処理日時順"),
                     QStringLiteral("社員区分"),          QStringLiteral("PassWord"),
                     QStringLiteral("担当者コード"),      QStringLiteral("勤務日"),
                     QStringLiteral("保存担当者別勤務日")};
    expected.sort();
    EXPECT_EQ(indexNames, expected);
    if (server) {
        // The descriptions are the columns' comments.
        auto comment = db->query(
            Sql(QStringLiteral("SELECT col_description('\"T_勤務\"'::regclass, 4) AS d")));
        ASSERT_TRUE(comment->next());
        EXPECT_EQ(comment->text(QStringLiteral("d")), work.columns[3].description);
    }

    EXPECT_EQ(names(db->describeTable(QStringLiteral("T_勤務_保存")).columns),
              names(DefineWorkTable().columns));
    EXPECT_TRUE(db->describeTable(QStringLiteral("T_ログ_保存")).primaryKey.isEmpty());
    EXPECT_THROW(db->describeTable(QStringLiteral("T_無い")), DbError);
}

TEST_F(StorageTest, DefaultsKeyAndAutoNumber) {
    Database& d = openSite();
    const QDateTime before = japanTime(QDateTime::currentDateTimeUtc()).addSecs(-2);
    d.execute(Sql(QStringLiteral(
        "INSERT INTO T_勤務 (担当者コード,勤務日,シフト) VALUES ('0805',#2024/03/15#,'B')")));
    auto rs = d.query(Sql(QStringLiteral("SELECT * FROM T_勤務")));
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->integer(QStringLiteral("出勤時刻")), 0);
    EXPECT_FALSE(rs->isNull(QStringLiteral("出勤時刻")));
    EXPECT_EQ(rs->integer(QStringLiteral("退勤時刻")), 0);
    EXPECT_FALSE(std::get<bool>(rs->value(QStringLiteral("削除FLG"))));
    EXPECT_EQ(rs->integer(QStringLiteral("稼動時間")), 0);
    EXPECT_EQ(rs->integer(QStringLiteral("休憩時間")), 0);
    for (const char* col : {"状態", "残業指示", "状態申告日", "出勤打刻日", "退勤打刻日"}) {
        EXPECT_TRUE(rs->isNull(QString::fromUtf8(col))) << col << " has no default";
        EXPECT_EQ(rs->text(QString::fromUtf8(col)), QString()) << col;
    }
    EXPECT_EQ(rs->text(QStringLiteral("担当者コード")), QStringLiteral("0805")) << "zeros kept";

    // Staff: 社員区分 0, 廃番区分 False, 登録日 the Japan time of the insert (on the server too,
    // whatever zone the session is in).
    if (test::testOnServer()) {
        d.execute(Sql(QStringLiteral("SET TimeZone = 'America/New_York'")));
    }
    d.execute(
        Sql(QStringLiteral("INSERT INTO T_担当者 (担当者コード,担当者名) VALUES ('A1','x')")));
    auto staff = d.query(Sql(QStringLiteral("SELECT * FROM T_担当者")));
    ASSERT_TRUE(staff->next());
    EXPECT_TRUE(std::holds_alternative<SqlDecimal>(staff->value(QStringLiteral("社員区分"))));
    EXPECT_EQ(staff->integer(QStringLiteral("社員区分")), 0);
    EXPECT_FALSE(staff->boolean(QStringLiteral("廃番区分")));
    const QDateTime registered = staff->dateTime(QStringLiteral("登録日"));
    const QDateTime after = japanTime(QDateTime::currentDateTimeUtc()).addSecs(2);
    EXPECT_TRUE(registered >= before && registered <= after)
        << registered.toString(Qt::ISODate).toStdString();

    // One row per code and day; letter case does not make another code.
    d.execute(
        Sql(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日) VALUES ('A1',#2024/03/15#)")));
    for (const char* code : {"0805", "a1"}) {
        Sql dup(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日) VALUES ("));
        dup.text(QString::fromUtf8(code)).raw(QStringLiteral(",#2024/03/15#)"));
        try {
            d.execute(dup);
            ADD_FAILURE() << code << " stored twice";
        } catch (const DbError& e) {
            EXPECT_EQ(e.kind(), DbFailure::Constraint) << e.what();
        }
    }
    d.execute(Sql(
        QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日) VALUES ('0805',#2024/03/16#)")));

    // The auto-number counts on and never reuses a number.
    for (int i = 0; i < 3; ++i) {
        d.execute(Sql(QStringLiteral("INSERT INTO T_ログ (処理名) VALUES ('x')")));
    }
    d.execute(Sql(QStringLiteral("DELETE * FROM T_ログ WHERE 連番 = 3")));
    d.execute(Sql(QStringLiteral("INSERT INTO T_ログ (処理名) VALUES ('y')")));
    auto numbers = d.query(Sql(QStringLiteral("SELECT 連番,処理日時 FROM T_ログ ORDER BY 連番")));
    QList<qint64> seen;
    while (numbers->next()) {
        seen << numbers->integer(QStringLiteral("連番"));
        EXPECT_TRUE(numbers->dateTime(QStringLiteral("処理日時")).isValid()) << "Now() default";
    }
    EXPECT_EQ(seen, (QList<qint64>{1, 2, 4}));
}

TEST_F(StorageTest, AnOlderSiteGetsTheLeaveTablesOnItsNextStart) {
    {
        // A site set up before the leave tables existed, with a staff member.
        auto d = site->open(true);
        for (const TableDef& def : {DefineLogTable(), DefineStaffTable(), DefineWorkTable()}) {
            d->createTable(def);
        }
        d->execute(
            Sql(QStringLiteral("INSERT INTO T_担当者 (担当者コード,担当者名,[PassWord]) VALUES "
                               "('0001','山田','0001')")));
        EXPECT_FALSE(d->tableNames().contains(QStringLiteral("T_有給付与")));
    }
    reopen();
    EXPECT_EQ(EnsureTables(*db), QString());
    for (const TableDef& def : LeaveTableDefs()) {
        EXPECT_EQ(db->probeTable(def.name), TableState::Present) << def.name.toStdString();
        EXPECT_EQ(count(def.name), 0);
    }
    EXPECT_EQ(count(QStringLiteral("T_担当者")), 1);
    // The grant key: one automatic and one manual grant per staff member and day.
    const QString insert = QStringLiteral(
        "INSERT INTO T_有給付与 (担当者コード,基準日,付与区分,付与半日数) VALUES ('0001',"
        "#2024/10/01#,'%1',20)");
    db->execute(Sql(insert.arg(QStringLiteral("自動"))));
    db->execute(Sql(insert.arg(QStringLiteral("手動"))));
    EXPECT_THROW(db->execute(Sql(insert.arg(QStringLiteral("手動")))), DbError);
    auto rs = db->query(Sql(QStringLiteral("SELECT * FROM T_有給付与 WHERE 付与区分 = '自動'")));
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->integer(QStringLiteral("週所定労働日数")), 5) << "the full-time default";
    EXPECT_EQ(rs->integer(QStringLiteral("週所定労働時間")), 2400);
    EXPECT_TRUE(rs->dateTime(QStringLiteral("登録日")).isValid());
}

TEST_F(StorageTest, ExistingTablesAreNeverAltered) {
    {
        auto d = site->open(true);
        d->execute(Sql(QStringLiteral("CREATE TABLE T_勤務 (担当者コード TEXT, 勤務日 TEXT)")));
        d->execute(Sql(QStringLiteral("INSERT INTO T_勤務 VALUES ('1','x')")));
        EXPECT_EQ(EnsureTables(*d), QString());
    }
    reopen();
    EXPECT_EQ(db->columnNames(QStringLiteral("T_勤務")),
              (QStringList{QStringLiteral("担当者コード"), QStringLiteral("勤務日")}));
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 1);
    EXPECT_EQ(db->probeTable(QStringLiteral("T_ログ")), TableState::Present);
    EXPECT_EQ(db->probeTable(QStringLiteral("T_担当者")), TableState::Present);
    EXPECT_EQ(EnsureTables(*db), QString());
    EXPECT_EQ(db->columnNames(QStringLiteral("T_勤務")).size(), 2);
}

TEST_F(StorageTest, WorkArchiveOfAnEarlierVersionGetsItsIndexAndKeepsItsRows) {
    {
        auto d = site->open(true);
        TableDef old = DefineArchiveTable(DefineWorkTable(), kWorkArchiveTable);
        old.indexes.clear();
        d->createTable(old);
        d->execute(Sql(QStringLiteral(
            "INSERT INTO [T_勤務_保存] (担当者コード,勤務日) VALUES ('0001',#2020/01/06#)")));
        EXPECT_TRUE(d->describeTable(kWorkArchiveTable).indexes.empty());
    }
    reopen();
    for (int start = 0; start < 2; ++start) {  // the second start finds it there
        EXPECT_EQ(EnsureTables(*db), QString());
        const std::vector<IndexDef> indexes = db->describeTable(kWorkArchiveTable).indexes;
        ASSERT_EQ(indexes.size(), 1u);
        EXPECT_EQ(indexes[0].name, WorkArchiveIndex().name);
        EXPECT_EQ(indexes[0].columns, WorkArchiveIndex().columns);
        EXPECT_FALSE(indexes[0].unique);
    }
    EXPECT_EQ(count(QStringLiteral("[T_勤務_保存]")), 1);
    // The engine has it, under the name the new tables give it.
    const QString engineIndexes =
        test::testOnServer()
            ? QStringLiteral(
                  "SELECT count(*) AS n FROM pg_indexes WHERE indexname = "
                  "'T_勤務_保存_保存担当者別勤務日'")
            : QStringLiteral(
                  "SELECT count(*) AS n FROM sqlite_master WHERE type = 'index' AND "
                  "name = '保存担当者別勤務日'");
    EXPECT_EQ(std::get<qint64>(single(Sql(engineIndexes), QStringLiteral("n"))), 1);
}

// Overwrites part of one page of the (encrypted) file, as a failing disk would.
void damagePage(const QString& file, qint64 page, qint64 pageSize) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek((page - 1) * pageSize + pageSize / 2));
    ASSERT_EQ(f.write(QByteArray(64, '\x5a')), 64);
}

TEST_F(StorageTest, ProbeTellsMissingPresentAndBroken) {
    Database& d = openSite();
    EXPECT_EQ(d.probeTable(QStringLiteral("T_勤務")), TableState::Present);
    EXPECT_EQ(d.probeTable(QStringLiteral("t_勤務")), TableState::Present) << "names ignore case";
    EXPECT_EQ(d.probeTable(QStringLiteral("T_無い")), TableState::Missing);

    if (test::testOnServer()) {
        // The server keeps its own pages whole; a table it cannot read is one whose reading
        // fails, like a view that divides by zero.
        d.execute(Sql(QStringLiteral("CREATE VIEW T_壊 AS SELECT 1/0 AS x")));
        EXPECT_EQ(d.probeTable(QStringLiteral("T_壊")), TableState::Broken);
        EXPECT_EQ(d.probeTable(QStringLiteral("T_勤務")), TableState::Present) << "still usable";
        // Read together in one round trip, the broken one is still told apart.
        const std::vector<TableState> together{TableState::Present, TableState::Broken,
                                               TableState::Missing, TableState::Present};
        EXPECT_EQ(d.probeTables({QStringLiteral("T_ログ"), QStringLiteral("T_壊"),
                                 QStringLiteral("T_無い"), QStringLiteral("t_勤務")}),
                  together);
        WriteTransaction tx(d);
        EXPECT_EQ(d.probeTables({QStringLiteral("T_ログ"), QStringLiteral("T_壊"),
                                 QStringLiteral("T_無い"), QStringLiteral("t_勤務")}),
                  together)
            << "inside a transaction";
        EXPECT_EQ(count(QStringLiteral("T_勤務")), 0) << "the transaction goes on";
        return;
    }
    // A table whose reading fails: its name exists, its rows cannot be read.
    d.execute(Sql(QStringLiteral("CREATE TABLE T_下 (x INTEGER)")));
    d.execute(Sql(QStringLiteral("CREATE VIEW T_壊 AS SELECT x FROM T_下")));
    d.execute(Sql(QStringLiteral("DROP TABLE T_下")));
    EXPECT_EQ(d.probeTable(QStringLiteral("T_壊")), TableState::Broken);

    // A damaged page of T_担当者: the file opens, T_ログ reads, T_担当者 does not.
    for (int i = 0; i < 20; ++i) {
        d.execute(Sql(QStringLiteral("INSERT INTO T_担当者 (担当者コード) VALUES ("))
                      .text(QString::number(i))
                      .raw(QStringLiteral(")")));
    }
    const qint64 root = std::get<qint64>(
        single(Sql(QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'T_担当者'")),
               QStringLiteral("rootpage")));
    const qint64 pageSize = std::get<qint64>(
        single(Sql(QStringLiteral("PRAGMA page_size")), QStringLiteral("page_size")));
    db.reset();
    damagePage(path, root, pageSize);
    db = openEmbeddedDatabase(path, QString::fromLatin1(kDatabasePassword), false);
    EXPECT_EQ(db->probeTable(QStringLiteral("T_ログ")), TableState::Present);
    EXPECT_EQ(db->probeTable(QStringLiteral("T_担当者")), TableState::Broken);
    EXPECT_EQ(EnsureTables(*db), QStringLiteral("T_担当者"));
}

TEST_F(StorageTest, EnsureTablesStopsAtTheFirstBrokenTable) {
    {
        auto d = site->open(true);
        if (test::testOnServer()) {
            d->execute(Sql(QStringLiteral("CREATE VIEW T_担当者 AS SELECT 1/0 AS a")));
        } else {
            d->execute(Sql(QStringLiteral("CREATE TABLE T_x (a INTEGER)")));
            d->execute(Sql(QStringLiteral("CREATE VIEW T_担当者 AS SELECT a FROM T_x")));
            d->execute(Sql(QStringLiteral("DROP TABLE T_x")));
        }
        EXPECT_EQ(EnsureTables(*d), QStringLiteral("T_担当者"));
    }
    reopen();
    EXPECT_EQ(db->probeTable(QStringLiteral("T_ログ")), TableState::Present) << "made before";
    EXPECT_EQ(db->probeTable(QStringLiteral("T_勤務")), TableState::Missing) << "not reached";
}

void addLog(Database& d, const QDateTime& when) {
    d.execute(Sql(QStringLiteral("INSERT INTO T_ログ (処理日時,処理名) VALUES ("))
                  .dateTime(when)
                  .raw(QStringLiteral(",'x')")));
}

TEST_F(StorageTest, ArchiveMovesRowsBeforeTheCutOffAndKeepsTheRest) {
    Database& d = openSite();
    const QDate cutoff(2024, 2, 1);
    for (const QDate& day :
         {QDate(2023, 12, 31), QDate(2024, 1, 31), QDate(2024, 2, 1), QDate(2024, 3, 15)}) {
        d.execute(
            Sql(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,状態) VALUES ('0001',"))
                .date(day)
                .raw(QStringLiteral(","))
                .text(formatDate(day))
                .raw(QStringLiteral(")")));
    }
    addLog(d, wallClock(QDate(2024, 1, 31), QTime(23, 59, 59)));
    addLog(d, wallClock(QDate(2024, 2, 1), QTime(0, 0, 0)));
    addLog(d, wallClock(QDate(2024, 2, 1), QTime(0, 0, 1)));

    EXPECT_EQ(ArchiveOldRows(d, cutoff), std::make_pair(2, 1));
    EXPECT_EQ(ArchiveOldRows(d, cutoff), std::make_pair(0, 0)) << "nothing left to move";

    auto kept = d.query(Sql(QStringLiteral("SELECT 勤務日 FROM T_勤務 ORDER BY 勤務日")));
    QList<QDate> keptDays;
    while (kept->next()) {
        keptDays << kept->date(QStringLiteral("勤務日"));
    }
    EXPECT_EQ(keptDays, (QList<QDate>{QDate(2024, 2, 1), QDate(2024, 3, 15)}));
    auto moved = d.query(Sql(QStringLiteral("SELECT * FROM [T_勤務_保存] ORDER BY 勤務日")));
    ASSERT_TRUE(moved->next());
    EXPECT_EQ(moved->date(QStringLiteral("勤務日")), QDate(2023, 12, 31));
    EXPECT_EQ(moved->text(QStringLiteral("状態")), QStringLiteral("2023/12/31"));
    EXPECT_EQ(moved->integer(QStringLiteral("出勤時刻")), 0);
    ASSERT_TRUE(moved->next());
    EXPECT_FALSE(moved->next());

    auto logs = d.query(Sql(QStringLiteral("SELECT 連番,処理日時 FROM T_ログ_保存")));
    ASSERT_TRUE(logs->next());
    EXPECT_EQ(logs->integer(QStringLiteral("連番")), 1) << "the number travels with the row";
    EXPECT_EQ(logs->text(QStringLiteral("処理日時")), QStringLiteral("2024/01/31 23:59:59"));
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 2);

    // A row for an archived key and day can be moved again without being refused.
    d.execute(Sql(
        QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日) VALUES ('0001',#2023/12/31#)")));
    EXPECT_EQ(ArchiveOldRows(d, cutoff), std::make_pair(1, 0));
    EXPECT_EQ(count(QStringLiteral("T_勤務_保存")), 3);
}

// The batch move: every row before the cut-off moves, oldest first, each step in a short
// transaction of its own, however the rows are spread over the days.
TEST_F(StorageTest, ArchiveMoveGoesBatchByBatchAndLeavesEachRowInOneTable) {
    struct Case {
        const char* name;
        int days;        ///< days before the cut-off that hold rows
        int perDay;      ///< work rows a day
        int logsPerDay;  ///< log rows a day, all in the same second
        int batchRows;
    };
    const Case cases[] = {
        {"spread thinly", 120, 1, 1, 7},
        {"dense days", 6, 40, 30, 25},
        {"one batch holds all", 10, 3, 2, 10000},
    };
    const QDate cutoff(2024, 2, 1);
    Database& d = openSite();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        d.execute(Sql(QStringLiteral("DELETE * FROM T_勤務")));
        d.execute(Sql(QStringLiteral("DELETE * FROM T_ログ")));
        d.execute(Sql(QStringLiteral("DELETE * FROM [T_勤務_保存]")));
        d.execute(Sql(QStringLiteral("DELETE * FROM [T_ログ_保存]")));
        {
            WriteTransaction tx(d);
            for (int day = -c.days; day <= 1; ++day) {  // the cut-off day and the next stay
                for (int i = 0; i < c.perDay; ++i) {
                    d.execute(
                        Sql(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日) VALUES ("))
                            .text(QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')))
                            .raw(QStringLiteral(","))
                            .date(cutoff.addDays(day))
                            .raw(QStringLiteral(")")));
                }
                for (int i = 0; i < c.logsPerDay; ++i) {
                    addLog(d, wallClock(cutoff.addDays(day), QTime(0, 0)).addSecs(-1));
                }
            }
            tx.commit();
        }
        ArchiveMove move(cutoff, c.batchRows);
        int steps = 0;
        qint64 largest = 0;
        while (true) {
            const qint64 before = move.workMoved() + move.logMoved();
            if (!move.step(d)) {
                break;
            }
            largest = std::max(largest, move.workMoved() + move.logMoved() - before);
            ++steps;
            // Between two steps every row is in exactly one of the tables.
            EXPECT_EQ(count(QStringLiteral("T_勤務")) + count(QStringLiteral("T_勤務_保存")),
                      (c.days + 2) * c.perDay);
            EXPECT_EQ(count(QStringLiteral("T_ログ_保存")), move.logMoved());
            ASSERT_LT(steps, 1000) << "the move does not end";
        }
        EXPECT_TRUE(move.done());
        EXPECT_FALSE(move.step(d)) << "nothing left";
        EXPECT_EQ(move.workMoved(), c.days * c.perDay);
        EXPECT_EQ(move.logMoved(), (c.days + 1) * c.logsPerDay) << "23:59:59 of the day before";
        EXPECT_EQ(count(QStringLiteral("T_勤務")), 2 * c.perDay);
        EXPECT_EQ(count(QStringLiteral("T_ログ")), c.logsPerDay);
        // No batch holds much more than asked: at most a day's rows (or a second's) beyond it.
        EXPECT_LE(largest, 2 * c.batchRows + c.perDay + c.logsPerDay);
        if (c.batchRows < c.days * c.perDay) {
            EXPECT_GT(steps, 2);
        }
    }
}

}  // namespace
}  // namespace tq
