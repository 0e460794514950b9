// The embedded engine on real encrypted files: opening and keying, typed values, the
// statement dialect, and transactions.

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <optional>

#include "../test_staff.h"
#include "common/datetime.h"
#include "storage/oplog.h"
#include "storage/schema.h"
#include "storage_support.h"

namespace tq {
namespace {

using test::StorageTest;

const QString kPassword = QString::fromLatin1(kDatabasePassword);

// The result of reading a file's catalog through the engine library with no key at all.
int readWithoutKey(const QString& path) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const int rc =
        sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    sqlite3_close_v2(raw);
    return rc;
}

TEST_F(StorageTest, NewFileIsCreatedInMissingFoldersAndIsEncrypted) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their key belong to the embedded engine";
    }
    const QString deep = dir.filePath(QStringLiteral("a/b/c/DB.mdb"));
    {
        auto created = openEmbeddedDatabase(deep, kPassword, true);
        ASSERT_TRUE(QFileInfo::exists(deep));
        EXPECT_EQ(EnsureTables(*created), QString());
    }
    const QByteArray head = test::readFile(deep).left(16);
    EXPECT_EQ(head.size(), 16);
    EXPECT_NE(head, QByteArray("SQLite format 3", 16)) << "the header must not be plain";
    EXPECT_EQ(readWithoutKey(deep), SQLITE_NOTADB);
    EXPECT_FALSE(QFileInfo::exists(
        deep + QStringLiteral(".new-%1").arg(QCoreApplication::applicationPid())));

    try {
        openEmbeddedDatabase(deep, QStringLiteral("kzq4718"), false);
        FAIL() << "a wrong password opened the file";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbFailure::NotADatabase);
        EXPECT_TRUE(e.message().contains(QStringLiteral("not a database"))) << e.what();
    }
    auto again = openEmbeddedDatabase(deep, kPassword, false);
    EXPECT_EQ(again->probeTable(QStringLiteral("T_勤務")), TableState::Present);
}

TEST_F(StorageTest, MissingFileOrPlainFileIsRefused) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their key belong to the embedded engine";
    }
    try {
        openEmbeddedDatabase(dir.filePath(QStringLiteral("none.mdb")), kPassword, false);
        FAIL() << "a missing file opened";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbFailure::NotFound);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("none.mdb"))));

    // A database written without any key is not a site database.
    const QString plain = dir.filePath(QStringLiteral("plain.db"));
    sqlite3* raw = nullptr;
    sqlite3_open(QFile::encodeName(plain).constData(), &raw);
    ASSERT_EQ(sqlite3_exec(raw, "CREATE TABLE t(x); INSERT INTO t VALUES (1);", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    try {
        openEmbeddedDatabase(plain, kPassword, false);
        FAIL() << "a plain file opened";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbFailure::NotADatabase);
    }
}

// A table with one column of each type, for the typed round trip.
TableDef typesTable() {
    TableDef t;
    t.name = QStringLiteral("T_型");
    AddColumn(t, QStringLiteral("番号"), ColumnType::Integer, 0, 0, false, QString(), QString());
    AddColumn(t, QStringLiteral("日時"), ColumnType::DateTime, 0, 0, false, QString(), QString());
    AddColumn(t, QStringLiteral("可否"), ColumnType::Boolean, 0, 0, false, QStringLiteral("True"),
              QString());
    AddColumn(t, QStringLiteral("時分"), ColumnType::Decimal, 4, 0, false, QString(), QString());
    AddColumn(t, QStringLiteral("略称"), ColumnType::Text, 4, 0, false, QStringLiteral("無"),
              QString());
    AddColumn(t, QStringLiteral("本文"), ColumnType::LongText, 0, 0, false, QString(), QString());
    AddKey(t, QStringLiteral("PrimaryKey"), QStringLiteral("番号"));
    return t;
}

Sql insertTypes(qint64 no, const QDateTime& when, bool yes, qint64 hhmm, const QString& shortText,
                const QString& longText) {
    Sql s(QStringLiteral("INSERT INTO T_型 (番号,日時,可否,時分,略称,本文) VALUES ("));
    s.integer(no)
        .raw(QStringLiteral(","))
        .dateTime(when)
        .raw(QStringLiteral(","))
        .boolean(yes)
        .raw(QStringLiteral(","))
        .integer(hhmm)
        .raw(QStringLiteral(","))
        .text(shortText)
        .raw(QStringLiteral(","))
        .text(longText)
        .raw(QStringLiteral(")"));
    return s;
}

TEST_F(StorageTest, TypedValuesRoundTripAndColumnRulesRefuseWhatDoesNotFit) {
    Database& d = openSite();
    d.createTable(typesTable());
    const QDateTime when(QDate(2024, 2, 29), QTime(23, 59, 58), Qt::UTC);
    const QString awkward = QStringLiteral("a'b\"c[d]#e#\t;--");
    d.execute(insertTypes(1, when, false, 805, QStringLiteral("山田太郎"), awkward));
    d.execute(insertTypes(2, when, true, 2530, QString(), QString()));
    d.execute(Sql(QStringLiteral("INSERT INTO T_型 (番号) VALUES (3)")));

    auto rs = d.query(Sql(QStringLiteral("SELECT * FROM T_型 ORDER BY 番号")));
    EXPECT_EQ(rs->fieldNames(), (QStringList{QStringLiteral("番号"), QStringLiteral("日時"),
                                             QStringLiteral("可否"), QStringLiteral("時分"),
                                             QStringLiteral("略称"), QStringLiteral("本文")}));
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(std::get<qint64>(rs->value(QStringLiteral("番号"))), 1);
    EXPECT_EQ(std::get<QDateTime>(rs->value(QStringLiteral("日時"))), when);
    EXPECT_EQ(rs->text(QStringLiteral("日時")), QStringLiteral("2024/02/29 23:59:58"));
    EXPECT_FALSE(std::get<bool>(rs->value(QStringLiteral("可否"))));
    EXPECT_EQ(std::get<SqlDecimal>(rs->value(QStringLiteral("時分"))).value, 805);
    EXPECT_EQ(rs->text(QStringLiteral("略称")), QStringLiteral("山田太郎"));
    EXPECT_EQ(std::get<SqlLongText>(rs->value(QStringLiteral("本文"))).value, awkward);
    ASSERT_TRUE(rs->next());
    EXPECT_TRUE(rs->boolean(QStringLiteral("可否")));
    EXPECT_EQ(rs->integer(QStringLiteral("時分")), 2530);
    EXPECT_FALSE(rs->isNull(QStringLiteral("略称"))) << "an empty text is not null";
    EXPECT_EQ(rs->text(QStringLiteral("略称")), QString());
    ASSERT_TRUE(rs->next());
    EXPECT_TRUE(rs->isNull(QStringLiteral("日時"))) << "no default: null";
    EXPECT_TRUE(rs->isNull(QStringLiteral("本文")));
    EXPECT_EQ(rs->text(QStringLiteral("本文")), QString());
    EXPECT_TRUE(rs->boolean(QStringLiteral("可否"))) << "default True";
    EXPECT_EQ(rs->text(QStringLiteral("略称")), QStringLiteral("無")) << "text default";
    EXPECT_FALSE(rs->next());
    EXPECT_FALSE(rs->next()) << "stays at the end";
    EXPECT_THROW(rs->value(QStringLiteral("番号")), DbError);

    auto again = d.query(Sql(QStringLiteral("SELECT 番号 FROM T_型")));
    ASSERT_TRUE(again->next());
    EXPECT_THROW(again->value(QStringLiteral("無い列")), DbError);

    struct Refused {
        const char* name;
        Sql sql;
    };
    const Refused refused[] = {
        {"five digits in Decimal(4,0)", insertTypes(10, when, true, 10000, {}, {})},
        {"negative five digits", insertTypes(11, when, true, -10000, {}, {})},
        {"five characters in Text(4)",
         insertTypes(12, when, true, 0, QStringLiteral("山田太郎花"), {})},
        {"a text in a date-time column",
         Sql(QStringLiteral("INSERT INTO T_型 (番号,日時) VALUES (13,"))
             .text(QStringLiteral("2024/02/29"))
             .raw(QStringLiteral(")"))},
        {"yes/no other than 0/1",
         Sql(QStringLiteral("INSERT INTO T_型 (番号,可否) VALUES (14,-1)"))},
        {"a fraction in a whole decimal",
         Sql(QStringLiteral("INSERT INTO T_型 (番号,時分) VALUES (15,8.5)"))},
        {"duplicate key", insertTypes(1, when, true, 0, {}, {})},
    };
    for (const Refused& r : refused) {
        try {
            d.execute(r.sql);
            ADD_FAILURE() << r.name << " was stored";
        } catch (const DbError& e) {
            EXPECT_EQ(e.kind(), DbFailure::Constraint) << r.name << ": " << e.what();
        }
    }
    EXPECT_EQ(count(QStringLiteral("T_型")), 3);
    EXPECT_NO_THROW(d.execute(insertTypes(20, when, true, -9999, QStringLiteral("ｱｲｳｴ"), {})));
}

TEST_F(StorageTest, OnlyOneStatementPerText) {
    Database& d = openSite();
    try {
        d.execute(Sql(QStringLiteral("DELETE * FROM T_勤務; DROP TABLE T_担当者")));
        FAIL() << "two statements ran";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("one statement"))) << e.what();
    }
    EXPECT_EQ(d.probeTable(QStringLiteral("T_担当者")), TableState::Present);
    EXPECT_NO_THROW(d.execute(Sql(QStringLiteral("DELETE * FROM T_勤務 ;  "))));
    try {
        d.query(Sql(QStringLiteral("SELECT * FROM T_無い")));
        FAIL();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("no such table"))) << e.what();
    }
}

void addStaff(Database& d, const QString& code, const QString& name, const QString& joined) {
    test::TestStaff(code, name)
        .kind(0)
        .joined(joined)
        .left(QString())
        .shift(QStringLiteral("A"))
        .discontinued(false)
        .registered(QDateTime(QDate(2024, 1, 5), QTime(9, 0), Qt::UTC))
        .insert(d);
}

void addWork(Database& d, const QString& code, const QDate& day, qint64 in) {
    Sql s(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻) VALUES ("));
    s.text(code)
        .raw(QStringLiteral(","))
        .date(day)
        .raw(QStringLiteral(",'A',"))
        .integer(in)
        .raw(QStringLiteral(")"));
    d.execute(s);
}

TEST_F(StorageTest, JetDialectWorksOnStoredRows) {
    Database& d = openSite();
    addStaff(d, QStringLiteral("0012"), QStringLiteral("O'Neil [#1]"),
             QStringLiteral("2020/04/01"));
    for (int day : {28, 29}) {
        addWork(d, QStringLiteral("0012"), QDate(2024, 2, day), 800 + day);
    }
    addWork(d, QStringLiteral("0012"), QDate(2024, 3, 1), 900);
    addWork(d, QStringLiteral("0099"), QDate(2024, 2, 29), 700);  // no staff row
    addWork(d, QStringLiteral("0013"), QDate(2024, 2, 29), 701);

    // The listing query: LEFT JOIN ... ON, [PassWord], <= and >= on dates, ORDER BY two columns.
    Sql list(
        QStringLiteral("SELECT T_勤務.*,T_担当者.入社年月日,T_担当者.退社年月日 FROM T_勤務 LEFT "
                       "JOIN T_担当者 ON T_勤務.担当者コード = T_担当者.[PassWord] WHERE "
                       "T_勤務.勤務日 >= "));
    list.date(QDate(2024, 2, 29))
        .raw(QStringLiteral(
            " AND T_勤務.勤務日 <= #2024/03/01# ORDER BY T_勤務.勤務日,T_勤務.担当者コード"));
    auto rs = d.query(list);
    QStringList seen;
    while (rs->next()) {
        seen << rs->text(QStringLiteral("担当者コード")) + QLatin1Char(' ') +
                    rs->text(QStringLiteral("勤務日")) + QLatin1Char(' ') +
                    (rs->isNull(QStringLiteral("入社年月日"))
                         ? QStringLiteral("(null)")
                         : rs->text(QStringLiteral("入社年月日")));
    }
    EXPECT_EQ(seen, (QStringList{QStringLiteral("0012 2024/02/29 2020/04/01"),
                                 QStringLiteral("0013 2024/02/29 (null)"),
                                 QStringLiteral("0099 2024/02/29 (null)"),
                                 QStringLiteral("0012 2024/03/01 2020/04/01")}));

    // = on a text and a date; the apostrophe and brackets of the name are stored as typed.
    Sql staff(QStringLiteral("SELECT * FROM T_担当者 WHERE PassWord = "));
    staff.text(QStringLiteral("0012")).raw(QStringLiteral(" AND 廃番区分 = False"));
    auto s = d.query(staff);
    ASSERT_TRUE(s->next());
    EXPECT_EQ(s->text(QStringLiteral("担当者名")), QStringLiteral("O'Neil [#1]"));
    EXPECT_EQ(s->dateTime(QStringLiteral("登録日")),
              QDateTime(QDate(2024, 1, 5), QTime(9, 0), Qt::UTC));
    EXPECT_FALSE(s->next());

    Sql day(QStringLiteral("SELECT * FROM T_勤務 WHERE 担当者コード = '0012' AND 勤務日 = "));
    day.date(QDate(2024, 2, 29));
    auto one = d.query(day);
    ASSERT_TRUE(one->next());
    EXPECT_EQ(one->date(QStringLiteral("勤務日")), QDate(2024, 2, 29));
    EXPECT_EQ(one->integer(QStringLiteral("出勤時刻")), 829);

    // A value shaped like an attack is only a value.
    Sql hostile(QStringLiteral("SELECT count(*) AS n FROM T_勤務 WHERE 担当者コード = "));
    hostile.text(QStringLiteral("' OR ''='"));
    EXPECT_EQ(std::get<qint64>(single(hostile, QStringLiteral("n"))), 0);

    // DELETE * FROM with < on dates, and UPDATE with True.
    Sql purge(QStringLiteral("DELETE * FROM T_勤務 WHERE 勤務日 < "));
    purge.date(QDate(2024, 2, 29));
    EXPECT_EQ(d.execute(purge), 1);
    EXPECT_EQ(
        d.execute(Sql(QStringLiteral("UPDATE T_勤務 SET 削除FLG = True WHERE 出勤時刻 = 0700"))),
        1);
    EXPECT_EQ(std::get<qint64>(single(
                  Sql(QStringLiteral("SELECT count(*) AS n FROM T_勤務 WHERE 削除FLG = True")),
                  QStringLiteral("n"))),
              1);
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 4);
}

TEST_F(StorageTest, TransactionsCommitRollBackAndNest) {
    Database& d = openSite();
    {
        WriteTransaction outer(d);
        addWork(d, QStringLiteral("1"), QDate(2024, 3, 1), 800);
        {
            WriteTransaction inner(d);
            addWork(d, QStringLiteral("2"), QDate(2024, 3, 1), 800);
        }  // inner left without commit: only its row goes
        {
            WriteTransaction inner(d);
            addWork(d, QStringLiteral("3"), QDate(2024, 3, 1), 800);
            inner.commit();
        }
        outer.commit();
    }
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 2);
    {
        WriteTransaction outer(d);
        addWork(d, QStringLiteral("4"), QDate(2024, 3, 1), 800);
        WriteTransaction inner(d);
        addWork(d, QStringLiteral("5"), QDate(2024, 3, 1), 800);
        inner.commit();
    }  // the outer one rolls back everything
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 2);
    {
        WriteTransaction tx(d);
        EXPECT_THROW(addWork(d, QStringLiteral("1"), QDate(2024, 3, 1), 800), DbError);
        addWork(d, QStringLiteral("6"), QDate(2024, 3, 1), 800);
        tx.commit();  // a refused statement does not end the transaction
    }
    reopen();
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 3);
}

TEST_F(StorageTest, TheLastChangeCommittedWithItsTransactionStaysOrGoesWithIt) {
    Database& d = openSite();
    addWork(d, QStringLiteral("1"), QDate(2024, 3, 1), 800);
    const auto work = [](const char* code) {
        Sql s(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,出勤時刻) VALUES ("));
        return s.text(QString::fromLatin1(code)).raw(QStringLiteral(",#2024/03/01#,800)"));
    };
    const auto log = [] {
        return LogStatement(
            LogContext{QStringLiteral("PC"), QStringLiteral("u"), QStringLiteral("p")},
            wallClock(QDate(2024, 3, 1), QTime(8, 0)), QStringLiteral("出勤"), QStringLiteral("x"));
    };
    const struct {
        const char* name;
        bool nested;
        std::vector<Sql> last;
        bool refused;
        qint64 workAfter;  ///< rows of T_勤務 once the outermost transaction has ended
        qint64 logAfter;
    } cases[] = {
        // The row written before the last change ("2") stays with it.
        {"a change and its log row", false, {work("3"), log()}, false, 3, 1},
        // A key already taken: the log row before it and the row "2" go too.
        {"a refused change", false, {log(), work("1")}, true, 3, 1},
        // A nested transaction's last change: kept only when the outer one commits.
        {"nested, the outer one committing", true, {work("4"), log()}, false, 5, 2},
        {"nested and refused", true, {work("1")}, true, 6, 2},
    };
    int next = 2;
    for (const auto& c : cases) {
        {
            WriteTransaction outer(d);
            addWork(d, QString::number(next), QDate(2024, 3, 2), 800);
            std::optional<WriteTransaction> inner;
            if (c.nested) {
                inner.emplace(d);
            }
            WriteTransaction& tx = inner ? *inner : outer;
            try {
                const std::vector<int> changed = tx.commitWith(c.last);
                EXPECT_FALSE(c.refused) << c.name;
                EXPECT_EQ(changed, std::vector<int>(c.last.size(), 1)) << c.name;
            } catch (const DbError& e) {
                EXPECT_TRUE(c.refused) << c.name << ": " << e.what();
                EXPECT_EQ(e.kind(), DbFailure::Constraint) << c.name << ": " << e.what();
            }
            inner.reset();
            if (c.nested) {
                outer.commit();
            }
        }
        ++next;
        EXPECT_EQ(count(QStringLiteral("T_勤務")), c.workAfter) << c.name;
        EXPECT_EQ(count(QStringLiteral("T_ログ")), c.logAfter) << c.name;
    }
    // Every transaction ended: the next one begins and commits as ever.
    addWork(d, QStringLiteral("9"), QDate(2024, 3, 1), 800);
    reopen();
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 7);
}

TEST_F(StorageTest, ReadTransactionSeesOneMomentWhileAnotherConnectionWrites) {
    Database& d = openSite();
    const auto other = site->open(false);
    addWork(d, QStringLiteral("1"), QDate(2024, 3, 1), 800);
    {
        ReadTransaction snapshot(d);
        EXPECT_EQ(count(QStringLiteral("T_勤務")), 1);
        // The other terminal is not held up, and what it writes does not show here.
        addWork(*other, QStringLiteral("2"), QDate(2024, 3, 1), 800);
        other->execute(Sql(QStringLiteral("DELETE * FROM T_勤務 WHERE 担当者コード = '1'")));
        EXPECT_EQ(count(QStringLiteral("T_勤務")), 1);
        EXPECT_EQ(std::get<QString>(single(Sql(QStringLiteral("SELECT 担当者コード FROM T_勤務")),
                                           QStringLiteral("担当者コード"))),
                  QStringLiteral("1"));
        // Nothing is written inside it.
        EXPECT_THROW(addWork(d, QStringLiteral("3"), QDate(2024, 3, 1), 800), DbError);
        EXPECT_THROW(WriteTransaction(d).commit(), DbError);
    }
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 1) << "row 2 only, once it has ended";
    addWork(d, QStringLiteral("4"), QDate(2024, 3, 1), 800);  // writable again

    // Inside a writing transaction it reads that transaction's own changes.
    WriteTransaction outer(d);
    addWork(d, QStringLiteral("5"), QDate(2024, 3, 1), 800);
    {
        ReadTransaction inner(d);
        EXPECT_EQ(count(QStringLiteral("T_勤務")), 3);
    }
    outer.commit();
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 3);
}

TEST_F(StorageTest, ServerGoneMidTransactionNamesTheCauseAndWritesNothing) {
    if (!test::testOnServer()) {
        GTEST_SKIP() << "a connection to a server belongs to the server engine";
    }
    Database& d = openSite();
    const qint64 pid = std::get<qint64>(
        single(Sql(QStringLiteral("SELECT pg_backend_pid() AS pid")), QStringLiteral("pid")));
    auto other = site->open(false);
    {
        WriteTransaction tx(d);
        addWork(d, QStringLiteral("1"), QDate(2024, 3, 1), 800);
        // The server ends this terminal's connection, as a restart or a cut cable would.
        other->query(Sql(QStringLiteral("SELECT pg_terminate_backend(%1) AS t").arg(pid)));
        try {
            addWork(d, QStringLiteral("2"), QDate(2024, 3, 1), 800);
            tx.commit();
            FAIL() << "the change went through a closed connection";
        } catch (const DbError& e) {
            EXPECT_TRUE(
                e.message().contains(QStringLiteral("lost the connection to the database server")))
                << e.what();
        }
    }
    auto rs = other->query(Sql(QStringLiteral("SELECT count(*) AS n FROM T_勤務")));
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->integer(QStringLiteral("n")), 0) << "nothing half-written";
    // Between operations the connection is simply made again.
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 0);
    addWork(d, QStringLiteral("3"), QDate(2024, 3, 1), 800);
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 1);
}

}  // namespace
}  // namespace tq
