// tq582ctl init and migrate: the tables on an empty database, and a site's rows copied
// between the embedded file and a server, verified, into an empty database only.

#include <QFileInfo>

#include "site_fixture.h"
#include "storage/leave_schema.h"
#include "storage/oplog.h"

namespace tq::test {
namespace {

using CtlDbTest = SiteToolTest;

struct ToolResult {
    int exitCode = -1;
    QStringList out;
    QString err;
};

ToolResult finish(QProcess& p) {
    ToolResult r;
    if (!ended(p, 120'000)) {
        ADD_FAILURE() << "tq582ctl did not finish";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = nonEmptyLines(QString::fromUtf8(p.readAllStandardOutput()));
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

/// Every row of every site table as text, sorted: what a copy must reproduce.
QStringList dump(Database& db) {
    QStringList out;
    for (const QString& t :
         {QStringLiteral("T_担当者"), QStringLiteral("T_勤務"), QStringLiteral("T_ログ"),
          kWorkArchiveTable, kLogArchiveTable, kWorkPatternTable, kLeaveGrantTable}) {
        auto rs = db.query(Sql(QStringLiteral("SELECT * FROM [") + t + QStringLiteral("]")));
        while (rs->next()) {
            QString line = t;
            for (const QString& f : rs->fieldNames()) {
                line += QLatin1Char('|') + (rs->isNull(f) ? QStringLiteral("<null>") : rs->text(f));
            }
            out << line;
        }
    }
    out.sort();
    return out;
}

TEST_F(CtlDbTest, InitCreatesTheSiteTablesOnceAndWantsADatabase) {
    TestDatabase empty(dir.filePath(QStringLiteral("DB/empty.mdb")));
    QProcess none;
    none.setWorkingDirectory(work);
    none.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tq582ctl"),
               {QStringLiteral("init")});
    EXPECT_EQ(finish(none).exitCode, 2) << "--db is required";

    const QStringList tables{QStringLiteral("T_担当者"),
                             QStringLiteral("T_勤務"),
                             QStringLiteral("T_ログ"),
                             kWorkArchiveTable,
                             kLogArchiveTable,
                             kWorkPatternTable,
                             kLeaveGrantTable};
    for (const char* state : {"created", "present"}) {
        QProcess p;
        p.setWorkingDirectory(work);
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tq582ctl"),
                {QStringLiteral("init"), QStringLiteral("--db"), empty.name()});
        const ToolResult r = finish(p);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        QStringList expected;
        for (const QString& t : tables) {
            expected << t + QLatin1Char('\t') + QString::fromLatin1(state);
        }
        EXPECT_EQ(r.out, expected);
    }
    auto opened = empty.open(false);
    EXPECT_EQ(opened->describeTable(QStringLiteral("T_勤務")).columns.size(),
              DefineWorkTable().columns.size());
}

TEST_F(CtlDbTest, MigrateCopiesEveryTableThereAndBackAndVerifiesIt) {
    // A site with staff, punches, a request-like row, odd texts and archived rows.
    addStaff(3);
    const LogContext ctx{QStringLiteral("PC'01"), QStringLiteral("田中"),
                         QStringLiteral("出勤・退勤")};
    for (int day = 1; day <= 3; ++day) {
        Sql s(
            QStringLiteral("INSERT INTO T_勤務 "
                           "(担当者コード,勤務日,シフト,出勤時刻,退勤時刻,出勤打刻日) VALUES ("));
        s.text(StaffCode(1))
            .raw(QStringLiteral(","))
            .date(QDate(2024, 3, day))
            .raw(QStringLiteral(",Null,0830,2530,"))
            .text(QStringLiteral("2024/03/0%1 08:30:00").arg(day))
            .raw(QStringLiteral(")"));
        ExecuteLogged(*db, ctx, QDateTime(QDate(2024, 3, day), QTime(8, 30), Qt::UTC),
                      QStringLiteral("出勤"), s);
    }
    Sql odd(
        QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,状態,残業指示,削除FLG) VALUES ("));
    odd.text(QStringLiteral("0002"))
        .raw(QStringLiteral(","))
        .date(QDate(2024, 4, 1))
        .raw(QStringLiteral(","))
        .text(QStringLiteral("代休(03/31)"))
        .raw(QStringLiteral(",'',True)"));
    ExecuteLogged(*db, ctx, QDateTime(QDate(2024, 4, 1), QTime(9, 0), Qt::UTC),
                  QStringLiteral("申請登録"), odd);
    WriteLog(*db, ctx, QDateTime(QDate(2024, 4, 1), QTime(9, 1), Qt::UTC), QStringLiteral("開始"),
             QStringLiteral("a\tb 'c' [d] #e#"));
    ASSERT_EQ(ArchiveOldRows(*db, QDate(2024, 3, 2)), std::make_pair(1, 1));
    // Paid leave: a working pattern and a manual grant whose note holds quotes.
    db->execute(Sql(QStringLiteral(
        "INSERT INTO T_勤務形態 (担当者コード,適用開始日,週所定労働日数,週所定労働時間,登録日) "
        "VALUES ('0001',#2024/04/01#,3,1440,#2024/04/01 09:00:00#)")));
    Sql grant(
        QStringLiteral("INSERT INTO T_有給付与 (担当者コード,基準日,付与区分,付与半日数,備考,"
                       "登録日) VALUES ('0001',#2024/10/01#,'手動',13,"));
    grant.text(QStringLiteral("紙の'管理簿'から")).raw(QStringLiteral(",#2024/10/01 09:00:00#)"));
    db->execute(grant);
    const QStringList original = dump(*db);
    ASSERT_EQ(original.size(), 3 + 3 + 4 + 1 + 1 + 1 + 1);

    // There: into a database of the other engine where a server is available (a file
    // otherwise); and back into a third, empty one.
    TestDatabase there(dir.filePath(QStringLiteral("DB/there.mdb")));
    const QString thereName =
        testOnServer() ? dir.filePath(QStringLiteral("DB/there.mdb")) : there.name();
    TestDatabase back(dir.filePath(QStringLiteral("DB/back.mdb")));
    for (const auto& [from, to] :
         {std::pair{siteName, thereName}, std::pair{thereName, back.name()}}) {
        auto p = startTool({QStringLiteral("migrate"), QStringLiteral("--from"), from,
                            QStringLiteral("--to"), to});
        ended(*p, 120'000);
        const QString out = QString::fromUtf8(p->readAllStandardOutput());
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("T_勤務\t3 rows\tsha256 "))) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("T_勤務_保存\t1 rows"))) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("T_有給付与\t1 rows"))) << out.toStdString();
        EXPECT_TRUE(out.contains(QStringLiteral("migrated 14 rows"))) << out.toStdString();
    }
    auto copy = back.open(false);
    EXPECT_EQ(dump(*copy), original);

    // The log numbers go on after the highest one copied.
    WriteLog(*copy, ctx, QDateTime(QDate(2024, 4, 2), QTime(9, 0), Qt::UTC), QStringLiteral("終了"),
             QString());
    auto last = copy->query(Sql(QStringLiteral("SELECT max(連番) AS n FROM T_ログ")));
    ASSERT_TRUE(last->next());
    EXPECT_EQ(last->integer(QStringLiteral("n")), 6);

    // A target that holds rows is refused and left as it was.
    auto again = startTool({QStringLiteral("migrate"), QStringLiteral("--from"), siteName,
                            QStringLiteral("--to"), back.name()});
    const ToolResult refused = finish(*again);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("already holds rows")))
        << refused.err.toStdString();
    EXPECT_EQ(dump(*copy).size(), original.size() + 1);

    // A source that does not exist is not created.
    const QString missing = dir.filePath(QStringLiteral("DB/none.mdb"));
    auto nothing = startTool({QStringLiteral("migrate"), QStringLiteral("--from"), missing,
                              QStringLiteral("--to"), dir.filePath(QStringLiteral("DB/x.mdb"))});
    const ToolResult absent = finish(*nothing);
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_TRUE(absent.err.contains(QStringLiteral("not found"))) << absent.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(missing));
}

}  // namespace
}  // namespace tq::test
