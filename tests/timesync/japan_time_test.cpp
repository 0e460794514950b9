// Japan time on every computer: the same cases run on computers set to UTC, to Japan and to
// New York (a zone with daylight saving), each in a fresh process with its TZ.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "../child_process.h"
#include "../testsupport.h"
#include "common/datetime.h"
#include "storage/database.h"
#include "storage/schema.h"
#include "timesync/clock.h"

namespace tq::test {
namespace {

QDateTime japanNow() {
    return japanTime(QDateTime::currentDateTimeUtc());
}

/// Whole seconds between two wall-clock values, however far apart.
qint64 apart(const QDateTime& a, const QDateTime& b) {
    return std::abs(a.secsTo(b));
}

std::unique_ptr<Database> openSiteDatabase(const QString& path, bool create) {
    auto db = openEmbeddedDatabase(path, QString::fromLatin1(kDatabasePassword), create);
    EXPECT_EQ(EnsureTables(*db), QString());
    return db;
}

}  // namespace

TEST(JapanTime, TheClockReadsJapanTimeAndIsSetToTheTrueInstant) {
    if (!runsInChild(inThreeTimeZones())) {
        return;
    }
    expectTimeZoneInEffect();
    const QDateTime now = SystemClock().now();
    EXPECT_LE(apart(now, japanNow()), 1) << "the clock reads UTC + 9 hours";
    EXPECT_EQ(now.timeSpec(), Qt::UTC) << "a wall-clock value";

    struct Case {
        const char* name;
        QDateTime wall;
        qint64 seconds;  // since 1970-01-01 UTC
    };
    const Case cases[] = {
        {"Japan midnight is 15:00 UTC the day before",
         wallClock(QDate(2024, 4, 1), QTime(0, 30, 0)), 1711899000},
        {"the day New York moves its clocks", wallClock(QDate(2024, 3, 10), QTime(16, 0, 0)),
         1710054000},
    };
    for (const Case& c : cases) {
        const timespec ts = RealTimeOfJapanTime(c.wall);
        EXPECT_EQ(ts.tv_sec, c.seconds) << c.name;
        EXPECT_EQ(ts.tv_nsec, 0) << c.name;
    }
    const timespec half = RealTimeOfJapanTime(wallClock(QDate(1970, 1, 1), QTime(8, 59, 59, 500)));
    EXPECT_EQ(half.tv_sec, -1) << "before 1970 the seconds round down";
    EXPECT_EQ(half.tv_nsec, 500'000'000L);
}

TEST(JapanTime, TheDatabaseDefaultStampIsJapanTime) {
    if (!runsInChild(inThreeTimeZones())) {
        return;
    }
    expectTimeZoneInEffect();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto db = openSiteDatabase(dir.filePath(QStringLiteral("DB.mdb")), true);
    db->execute(Sql(QStringLiteral("INSERT INTO T_ログ (処理名) VALUES ('既定')")));
    db->execute(
        Sql(QStringLiteral("INSERT INTO T_担当者 (担当者コード,担当者名) VALUES ('1','x')")));
    auto log = db->query(Sql(QStringLiteral("SELECT 処理日時 FROM T_ログ")));
    ASSERT_TRUE(log->next());
    EXPECT_LE(apart(log->dateTime(QStringLiteral("処理日時")), japanNow()), 3)
        << formatStamp(log->dateTime(QStringLiteral("処理日時"))).toStdString();
    auto staff = db->query(Sql(QStringLiteral("SELECT 登録日 FROM T_担当者")));
    ASSERT_TRUE(staff->next());
    EXPECT_LE(apart(staff->dateTime(QStringLiteral("登録日")), japanNow()), 3);
}

TEST(JapanTime, TheToolStampsAPunchInJapanTime) {
    if (!runsInChild(inThreeTimeZones())) {
        return;
    }
    expectTimeZoneInEffect();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString work = dir.filePath(QStringLiteral("TQ582"));
    const QString path = dir.filePath(QStringLiteral("DB/DB.mdb"));
    writeFile(work + QStringLiteral("/TQ582.ini"),
              cp932Lines(QStringLiteral("[始業時刻]\n09:00\n")));
    const QStringList db{QStringLiteral("--db"), path};
    ASSERT_EQ(runTool(work, QStringList{QStringLiteral("staff"), QStringLiteral("set"),
                                        QStringLiteral("--code"), QStringLiteral("0001"),
                                        QStringLiteral("--name"), QStringLiteral("山田")} +
                                db)
                  .exitCode,
              0);
    const QDateTime before = japanNow();
    const ToolRun punched =
        runTool(work, QStringList{QStringLiteral("punch"), QStringLiteral("in"),
                                  QStringLiteral("--code"), QStringLiteral("0001")} +
                          db);
    const QDateTime after = japanNow();
    ASSERT_EQ(punched.exitCode, 0) << punched.out.toStdString() << punched.err.toStdString();

    auto site = openSiteDatabase(path, false);
    auto rs = site->query(Sql(QStringLiteral("SELECT 勤務日,出勤時刻,出勤打刻日 FROM T_勤務")));
    ASSERT_TRUE(rs->next());
    const QDateTime stamp = rs->dateTime(QStringLiteral("出勤打刻日"));
    EXPECT_GE(stamp, before.addMSecs(-before.time().msec()));
    EXPECT_LE(stamp, after);
    EXPECT_EQ(rs->integer(QStringLiteral("出勤時刻")),
              stamp.time().hour() * 100 + stamp.time().minute());
    EXPECT_EQ(rs->date(QStringLiteral("勤務日")), stamp.date());
}

}  // namespace tq::test
