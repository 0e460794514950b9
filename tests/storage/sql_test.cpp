// Statements as the log shows them and as the engine receives them.

#include <gtest/gtest.h>

#include "../testsupport.h"
#include "storage/database.h"
#include "storage/jet_dialect.h"
#include "storage/pg_dialect.h"
#include "storage/sql.h"

namespace tq {
namespace {

TEST(SqlLogText, ValuesAppearInTheDialectOfTheLog) {
    Sql punch(QStringLiteral(
        "INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) VALUES ("));
    punch.text(QStringLiteral("0012"))
        .raw(QStringLiteral(","))
        .date(QDate(2024, 3, 5))
        .raw(QStringLiteral(","))
        .text(QStringLiteral("A"))
        .raw(QStringLiteral(","))
        .integer(805, QStringLiteral("0805"))
        .raw(QStringLiteral(","))
        .text(QStringLiteral("2024/03/05 08:05:09"))
        .raw(QStringLiteral(")"));
    EXPECT_EQ(punch.logText(),
              QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) "
                             "VALUES ('0012',#2024/03/05#,'A',0805,'2024/03/05 08:05:09')"));

    struct Case {
        const char* name;
        Sql sql;
        QString expected;
    };
    const Case cases[] = {
        {"text as is keeps a single apostrophe", Sql().text(QStringLiteral("O'Neil")),
         QStringLiteral("'O'Neil'")},
        {"text doubled", Sql().text(QStringLiteral("O'Neil''s"), Quote::Doubled),
         QStringLiteral("'O''Neil''''s'")},
        {"empty text", Sql().text(QString()), QStringLiteral("''")},
        {"date-time", Sql().dateTime(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC)),
         QStringLiteral("#2024/01/02 03:04:05#")},
        {"integer without a log form", Sql().integer(2530), QStringLiteral("2530")},
        {"negative integer", Sql().integer(-7), QStringLiteral("-7")},
        {"yes/no", Sql().boolean(false).raw(QStringLiteral(",")).boolean(true),
         QStringLiteral("False,True")},
        {"brackets and # inside a text", Sql().text(QStringLiteral("[a]#1#")),
         QStringLiteral("'[a]#1#'")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.sql.logText(), c.expected) << c.name;
    }
}

TEST(SqlEngineText, FixedJetPiecesAreTranslatedAndValuesBecomeParameters) {
    struct Case {
        const char* name;
        QString jet;
        QString engine;
    };
    const Case cases[] = {
        {"delete star", QStringLiteral("DELETE * FROM T_勤務 WHERE 1"),
         QStringLiteral("DELETE FROM T_勤務 WHERE 1")},
        {"delete star lower case", QStringLiteral("delete   *  from T"),
         QStringLiteral("delete  from T")},
        {"bracketed name", QStringLiteral("SELECT T_担当者.[PassWord] FROM T_担当者"),
         QStringLiteral("SELECT T_担当者.\"PassWord\" FROM T_担当者")},
        {"yes/no words", QStringLiteral("WHERE 削除FLG = False OR x=True"),
         QStringLiteral("WHERE 削除FLG = 0 OR x=1")},
        {"words that only contain True", QStringLiteral("SELECT TrueName, IsFalse FROM t"),
         QStringLiteral("SELECT TrueName, IsFalse FROM t")},
        {"literal kept", QStringLiteral("WHERE 状態 = 'True [x] #1# DELETE *'"),
         QStringLiteral("WHERE 状態 = 'True [x] #1# DELETE *'")},
        {"doubled apostrophe in a literal", QStringLiteral("WHERE a = 'O''Neil' AND b = False"),
         QStringLiteral("WHERE a = 'O''Neil' AND b = 0")},
        {"date literal", QStringLiteral("WHERE 勤務日 < #2024/02/01#"),
         QStringLiteral("WHERE 勤務日 < '2024-02-01 00:00:00'")},
        {"date-time literal", QStringLiteral("WHERE 処理日時 < #2024/02/01 00:00:00#"),
         QStringLiteral("WHERE 処理日時 < '2024-02-01 00:00:00'")},
        {"now", QStringLiteral("SET 登録日 = Now()"),
         QStringLiteral("SET 登録日 = strftime('%Y-%m-%d %H:%M:%S','now','+9 hours')")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(translateJetText(c.jet), c.engine) << c.name;
    }

    Sql q(QStringLiteral("SELECT * FROM T_勤務 WHERE 担当者コード = "));
    q.text(QStringLiteral("x' OR 'a'='a"))
        .raw(QStringLiteral(" AND 勤務日 = "))
        .date(QDate(2024, 2, 29));
    const EngineStatement es = toEngineStatement(q);
    EXPECT_EQ(es.text,
              QStringLiteral("SELECT * FROM T_勤務 WHERE 担当者コード = ? AND 勤務日 = ?"));
    ASSERT_EQ(es.values.size(), 2u);
    EXPECT_EQ(std::get<QString>(es.values[0]), QStringLiteral("x' OR 'a'='a"));
    EXPECT_EQ(std::get<QDate>(es.values[1]), QDate(2024, 2, 29));
}

TEST(SqlEngineText, MalformedFixedTextIsRefused) {
    for (const char* jet : {"WHERE a = 'open", "SELECT [PassWord FROM t", "WHERE d < #2024/02/01",
                            "WHERE d < #2024/02/30#"}) {
        EXPECT_THROW(translateJetText(QString::fromUtf8(jet)), DbError) << jet;
    }
}

}  // namespace
}  // namespace tq

namespace tq {
namespace {

TEST(SqlServerText, NamesAreQuotedAndJetFormsTranslated) {
    Sql list(
        QStringLiteral("SELECT T_勤務.*,T_担当者.入社年月日 FROM T_勤務 LEFT JOIN T_担当者 ON "
                       "T_勤務.担当者コード = T_担当者.[PassWord] WHERE T_勤務.担当者コード = "));
    list.text(QStringLiteral("0001"))
        .raw(QStringLiteral(" AND 勤務日 >= "))
        .date(QDate(2024, 5, 1));
    const ServerStatement st = toServerStatement(list);
    EXPECT_EQ(st.text,
              QStringLiteral("SELECT \"T_勤務\".*,\"T_担当者\".\"入社年月日\" FROM \"T_勤務\" LEFT "
                             "JOIN \"T_担当者\" ON \"T_勤務\".\"担当者コード\" = "
                             "\"T_担当者\".\"PassWord\" WHERE \"T_勤務\".\"担当者コード\" = $1 AND "
                             "\"勤務日\" >= $2"));
    ASSERT_EQ(st.values.size(), 2u);

    EXPECT_EQ(translateJetTextForServer(
                  QStringLiteral("DELETE * FROM T_ログ WHERE 処理日時 < #2024/02/01 00:00:00#")),
              QStringLiteral("DELETE FROM \"T_ログ\" WHERE \"処理日時\" < TIMESTAMP '2024-02-01 "
                             "00:00:00'"));
    EXPECT_EQ(translateJetTextForServer(
                  QStringLiteral("UPDATE T_勤務 SET 削除FLG = True, x = 'It''s [n] #1#' WHERE "
                                 "PassWord IS Null AND count(*) > 0")),
              QStringLiteral("UPDATE \"T_勤務\" SET \"削除FLG\" = True, \"x\" = 'It''s [n] #1#' "
                             "WHERE \"PassWord\" IS Null AND count(*) > 0"));
    // Now() is Japan time whatever zone the server or session is in.
    EXPECT_EQ(translateJetTextForServer(QStringLiteral("SELECT Now() AS t")),
              QStringLiteral("SELECT ") + serverJapanNow() + QStringLiteral(" AS \"t\""));
    EXPECT_TRUE(serverJapanNow().contains(QStringLiteral("INTERVAL '+09:00'")));

    EXPECT_EQ(translateJetTextForServer(QStringLiteral("DELETE * FROM T_勤務 ;  ")),
              QStringLiteral("DELETE FROM \"T_勤務\" "));
    for (const char* bad : {"DELETE * FROM T_勤務; DROP TABLE T_担当者", "SELECT 'open",
                            "SELECT [open", "SELECT #2024/01/01", "SELECT #2024/13/01#"}) {
        EXPECT_THROW(translateJetTextForServer(QString::fromUtf8(bad)), DbError) << bad;
    }
}

TEST(SqlServerText, OnlyServerUrisNameAServer) {
    EXPECT_TRUE(isServerDatabaseName(QStringLiteral(" postgresql://u@h:5432/db")));
    EXPECT_TRUE(isServerDatabaseName(QStringLiteral("POSTGRES://h/db")));
    EXPECT_FALSE(isServerDatabaseName(QStringLiteral("../DB/DB.mdb")));
    EXPECT_FALSE(isServerDatabaseName(QStringLiteral("postgresql.mdb")));
    EXPECT_EQ(redactedDatabaseName(QStringLiteral("postgresql://tq582:s3cr'et@db:5432/site")),
              QStringLiteral("postgresql://tq582:***@db:5432/site"));
    EXPECT_EQ(
        redactedDatabaseName(QStringLiteral("postgresql://db/site?password=x&sslmode=require")),
        QStringLiteral("postgresql://db/site?password=***&sslmode=require"));
}

}  // namespace
}  // namespace tq
