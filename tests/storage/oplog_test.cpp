// The operation log row and the change-plus-log transaction.

#include "storage/oplog.h"
#include "common/datetime.h"
#include "storage_support.h"

namespace tq {
namespace {

using test::StorageTest;

const LogContext kTerminal{QStringLiteral("PC-01"), QStringLiteral("yamada"),
                           QStringLiteral("出勤・退勤")};
const QDateTime kNow = wallClock(QDate(2024, 3, 15), QTime(8, 5, 9));

TEST(LogStatement, ReadsAsTheLogDialect) {
    const QString content = QStringLiteral("(SQL)UPDATE T_勤務 SET シフト = 'A'\tX");
    EXPECT_EQ(LogStatement(kTerminal, kNow, QStringLiteral("出勤"), content).logText(),
              QStringLiteral("INSERT INTO T_ログ (処理日時,コンピュータ名,ユーザー名,プログラム名,"
                             "処理名,内容) VALUES (#2024/03/15 08:05:09#,'PC-01','yamada',"
                             "'出勤・退勤','出勤','(SQL)UPDATE T_勤務 SET シフト = ''A''{TAB}X')"));
    // Names are inserted unchanged in the text, whatever they contain.
    const LogContext odd{QStringLiteral("o'pc"), QStringLiteral("d'arc"), QStringLiteral("[x]")};
    EXPECT_EQ(LogStatement(odd, kNow, QStringLiteral("開始"), QString()).logText(),
              QStringLiteral("INSERT INTO T_ログ (処理日時,コンピュータ名,ユーザー名,プログラム名,"
                             "処理名,内容) VALUES (#2024/03/15 08:05:09#,'o'pc','d'arc','[x]',"
                             "'開始','')"));
}

TEST_F(StorageTest, LogRowsStoreValuesExactly) {
    Database& d = openSite();
    struct Case {
        const char* name;
        LogContext ctx;
        QString operation;
        QString content;
        QString stored;
    };
    const QString longHost = QStringLiteral("h").repeated(70);
    const Case cases[] = {
        {"start with empty content", kTerminal, QStringLiteral("開始"), QString(), QString()},
        {"quotes stay single", kTerminal, QStringLiteral("登録"),
         QStringLiteral("(SQL)UPDATE T_担当者 SET 担当者名 = 'O''Neil'"),
         QStringLiteral("(SQL)UPDATE T_担当者 SET 担当者名 = 'O''Neil'")},
        {"tab becomes {TAB}", kTerminal, QStringLiteral("申請登録"), QStringLiteral("a\tb\t"),
         QStringLiteral("a{TAB}b{TAB}")},
        {"quotes, brackets and # in names",
         LogContext{QStringLiteral("pc'#1"), QStringLiteral("o'brien"), QStringLiteral("[出勤]")},
         QStringLiteral("終了"), QStringLiteral("#x#"), QStringLiteral("#x#")},
        {"a long host name is cut to its column",
         LogContext{longHost, QStringLiteral("u"), QStringLiteral("p")}, QStringLiteral("開始"),
         QString(), QString()},
    };
    for (const Case& c : cases) {
        d.execute(Sql(QStringLiteral("DELETE * FROM T_ログ")));
        WriteLog(d, c.ctx, kNow, c.operation, c.content);
        auto rs = d.query(Sql(QStringLiteral("SELECT * FROM T_ログ")));
        ASSERT_TRUE(rs->next()) << c.name;
        EXPECT_EQ(rs->dateTime(QStringLiteral("処理日時")), kNow) << c.name;
        EXPECT_EQ(rs->text(QStringLiteral("コンピュータ名")), c.ctx.computerName.left(64))
            << c.name;
        EXPECT_EQ(rs->text(QStringLiteral("ユーザー名")), c.ctx.userName) << c.name;
        EXPECT_EQ(rs->text(QStringLiteral("プログラム名")), c.ctx.programName) << c.name;
        EXPECT_EQ(rs->text(QStringLiteral("処理名")), c.operation) << c.name;
        EXPECT_FALSE(rs->isNull(QStringLiteral("内容"))) << c.name;
        EXPECT_EQ(rs->text(QStringLiteral("内容")), c.stored) << c.name;
        EXPECT_TRUE(rs->isNull(QStringLiteral("担当者名"))) << c.name << ": never written";
        EXPECT_FALSE(rs->next());
    }
}

Sql clockIn(const QString& code, const QDate& day) {
    Sql s(QStringLiteral(
        "INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) VALUES ("));
    s.text(code)
        .raw(QStringLiteral(","))
        .date(day)
        .raw(QStringLiteral(",'A',"))
        .integer(805, QStringLiteral("0805"))
        .raw(QStringLiteral(","))
        .text(QStringLiteral("2024/03/15 08:05:09"))
        .raw(QStringLiteral(")"));
    return s;
}

TEST_F(StorageTest, ChangeAndLogRowCommitTogetherOrNotAtAll) {
    Database& d = openSite();
    const Sql first = clockIn(QStringLiteral("0012"), QDate(2024, 3, 15));
    EXPECT_EQ(ExecuteLogged(d, kTerminal, kNow, QStringLiteral("出勤"), first), 1);
    auto log = d.query(Sql(QStringLiteral("SELECT 処理名,内容 FROM T_ログ")));
    ASSERT_TRUE(log->next());
    EXPECT_EQ(log->text(QStringLiteral("処理名")), QStringLiteral("出勤"));
    EXPECT_EQ(
        log->text(QStringLiteral("内容")),
        QStringLiteral("(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) "
                       "VALUES ('0012',#2024/03/15#,'A',0805,'2024/03/15 08:05:09')"));

    // The same key again: the statement fails, and no log row remains either.
    EXPECT_THROW(ExecuteLogged(d, kTerminal, kNow, QStringLiteral("出勤"), first), DbError);
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 1);
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 1);

    // A statement that fits but whose log row does not: the change is undone as well.
    {
        // With the log table out of the way, the log row fails after the change succeeded.
        d.execute(Sql(QStringLiteral("ALTER TABLE T_ログ RENAME TO T_ログ_退避")));
        EXPECT_THROW(ExecuteLogged(d, kTerminal, kNow, QStringLiteral("出勤"),
                                   clockIn(QStringLiteral("0013"), QDate(2024, 3, 15))),
                     DbError);
        d.execute(Sql(QStringLiteral("ALTER TABLE T_ログ_退避 RENAME TO T_ログ")));
    }
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 1);

    // Inside a caller's transaction, the caller's rollback takes both back.
    {
        WriteTransaction tx(d);
        ExecuteLogged(d, kTerminal, kNow, QStringLiteral("出勤"),
                      clockIn(QStringLiteral("0014"), QDate(2024, 3, 15)));
    }
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 1);
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 1);
}

}  // namespace
}  // namespace tq
