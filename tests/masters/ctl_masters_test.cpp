#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "masters/shift_calendar.h"
#include "masters/staff.h"
#include "masters_fixture.h"

namespace tq::test {
namespace {

struct CtlRun {
    int exitCode = -1;
    QStringList out;
    QString err;
};

class CtlMastersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(site.isValid());
        work = site.filePath(QStringLiteral("TQ582"));
        QDir().mkpath(work);
        database = std::make_unique<TestDatabase>(site.filePath(QStringLiteral("DB/DB.mdb")));
        if (!database->skipReason().isEmpty()) {
            GTEST_SKIP() << database->skipReason().toStdString();
        }
    }

    CtlRun ctl(QStringList args, const QString& dbPath = QString()) {
        if (!dbPath.isNull()) {
            args << QStringLiteral("--db") << dbPath;
        }
        const ToolRun t = runTool(work, args);
        return {t.exitCode, nonEmptyLines(t.out), t.err};
    }

    QString dbPath() const { return database->name(); }

    QTemporaryDir site;
    std::unique_ptr<TestDatabase> database;
    QString work;
};

TEST_F(CtlMastersTest, StaffSetListAndDelete) {
    const QString db = dbPath();
    CtlRun r =
        ctl({QStringLiteral("staff"), QStringLiteral("set"), QStringLiteral("--code"),
             QStringLiteral("0001"), QStringLiteral("--name"), QStringLiteral("山田 'Taro'"),
             QStringLiteral("--type"), QStringLiteral("2"), QStringLiteral("--joined"),
             QStringLiteral("０３１５"), QStringLiteral("--no-overtime"), QStringLiteral("--shift"),
             QStringLiteral("A"), QStringLiteral("--now"), QStringLiteral("2024/03/20 10:00:00")},
            db);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringList{QStringLiteral("社員登録を受け付けました。")});

    r = ctl({QStringLiteral("staff"), QStringLiteral("list")}, db);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out,
              QStringList{QStringLiteral("0001\t山田 'Taro'\t2\t2024/03/15\t\t無\tA\tFalse")});

    // The tool's rows carry its own program name and the time given.
    {
        auto opened = openDatabase(db, QString::fromLatin1(kDatabasePassword), false);
        auto rs = opened->query(Sql(QStringLiteral("SELECT * FROM T_ログ")));
        ASSERT_TRUE(rs->next());
        EXPECT_EQ(rs->text(QStringLiteral("プログラム名")), QStringLiteral("tq582ctl"));
        EXPECT_EQ(rs->text(QStringLiteral("処理日時")), QStringLiteral("2024/03/20 10:00:00"));
        EXPECT_TRUE(rs->text(QStringLiteral("内容")).contains(QStringLiteral("'山田 ''Taro'''")));
    }

    r = ctl({QStringLiteral("staff"), QStringLiteral("delete"), QStringLiteral("--code"),
             QStringLiteral("0001")},
            db);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringList{QStringLiteral("社員削除を受け付けました。")});
    r = ctl({QStringLiteral("staff"), QStringLiteral("list")}, db);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(CtlMastersTest, RefusalsAndUsageErrors) {
    const QString db = dbPath();
    struct Case {
        const char* what;
        QStringList args;
        int exitCode;
        QString printed;  // expected standard output, or empty
    };
    const QStringList set{QStringLiteral("staff"),  QStringLiteral("set"),
                          QStringLiteral("--code"), QStringLiteral("0001"),
                          QStringLiteral("--name"), QStringLiteral("山田")};
    const Case cases[] = {
        {"day that does not exist",
         set + QStringList{QStringLiteral("--left"), QStringLiteral("2024/02/30")}, 1,
         QStringLiteral("退社年月日が不正です。")},
        {"two-character shift", set + QStringList{QStringLiteral("--shift"), QStringLiteral("AB")},
         1, QStringLiteral("勤務シフトの桁数制限を越えています。")},
        {"type out of range", set + QStringList{QStringLiteral("--type"), QStringLiteral("7")}, 1,
         QStringLiteral("社員区分が不正です。")},
        {"type not a number", set + QStringList{QStringLiteral("--type"), QStringLiteral("x")}, 2,
         QString()},
        {"malformed --now", set + QStringList{QStringLiteral("--now"), QStringLiteral("yesterday")},
         2, QString()},
        {"name missing",
         {QStringLiteral("staff"), QStringLiteral("set"), QStringLiteral("--code"),
          QStringLiteral("0001")},
         2,
         QString()},
        {"unknown action", {QStringLiteral("staff"), QStringLiteral("rename")}, 2, QString()},
        {"delete of a code not registered",
         {QStringLiteral("staff"), QStringLiteral("delete"), QStringLiteral("--code"),
          QStringLiteral("ZZZZ")},
         1,
         QStringLiteral("社員コードが未登録です。")},
        {"shift for a code without staff",
         {QStringLiteral("shift"), QStringLiteral("set"), QStringLiteral("--code"),
          QStringLiteral("0009"), QStringLiteral("--month"), QStringLiteral("2023/02"),
          QStringLiteral("--days"), QStringLiteral(",").repeated(27)},
         1,
         QString()},
    };
    for (const Case& c : cases) {
        const CtlRun r = ctl(c.args, db);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what << ": " << r.err.toStdString();
        if (!c.printed.isEmpty()) {
            EXPECT_EQ(r.out, QStringList{c.printed}) << c.what;
        }
    }
    const CtlRun list = ctl({QStringLiteral("staff"), QStringLiteral("list")}, db);
    EXPECT_TRUE(list.out.isEmpty()) << "a refused registration writes nothing";
    auto opened = openDatabase(db, QString::fromLatin1(kDatabasePassword), false);
    EXPECT_FALSE(opened->query(Sql(QStringLiteral("SELECT * FROM T_ログ")))->next())
        << "a refusal is never logged";
}

TEST_F(CtlMastersTest, ShiftSetAndShowThroughTheSystemFile) {
    // No --db: the system file of the working directory names the database (a file, or the
    // server database's URI).
    const QString named = testOnServer() ? database->name() : QStringLiteral("../DB/シフト.mdb");
    writeFile(
        work + QStringLiteral("/Sys.ini"),
        cp932Lines(QStringLiteral("[MDBName]\n#the shared copy\n") + named + QStringLiteral("\n")));
    CtlRun r = ctl({QStringLiteral("staff"), QStringLiteral("set"), QStringLiteral("--code"),
                    QStringLiteral("0001"), QStringLiteral("--name"), QStringLiteral("山田")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    if (testOnServer()) {
        auto opened = openDatabase(named, QString(), false);
        EXPECT_TRUE(opened->query(Sql(QStringLiteral("SELECT * FROM T_担当者")))->next());
    } else {
        EXPECT_TRUE(QFileInfo::exists(site.filePath(QStringLiteral("DB/シフト.mdb"))));
    }

    const QStringList shift{QStringLiteral("shift"),   QStringLiteral("set"),
                            QStringLiteral("--code"),  QStringLiteral("0001"),
                            QStringLiteral("--month"), QStringLiteral("2023/02"),
                            QStringLiteral("--days")};
    QStringList days(28);
    days[0] = QStringLiteral("A");
    days[27] = QStringLiteral("B");
    r = ctl(shift + QStringList{days.mid(0, 29).join(u',') + u','});
    EXPECT_EQ(r.exitCode, 2) << "29 entries for a 28-day month";
    r = ctl(shift + QStringList{days.join(u',')});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringList{QStringLiteral("シフト登録を受け付けました。")});

    r = ctl({QStringLiteral("shift"), QStringLiteral("show"), QStringLiteral("--code"),
             QStringLiteral("0001"), QStringLiteral("--month"), QStringLiteral("2023/02")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_EQ(r.out.size(), 28);
    EXPECT_EQ(r.out[0], QStringLiteral("2023/02/01\tA"));
    EXPECT_EQ(r.out[1], QStringLiteral("2023/02/02\t"));
    EXPECT_EQ(r.out[27], QStringLiteral("2023/02/28\tB"));
}

}  // namespace
}  // namespace tq::test
