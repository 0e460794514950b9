// tq582ctl and the site database: reading never creates, typed values are text, failures name
// their cause, and the full check of the database.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "../testsupport.h"
#include "punch_fixture.h"
#include "storage/database.h"

namespace tq::test {
namespace {

class CtlSiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.filePath(QStringLiteral("TQ582"));
        writeFile(work + QStringLiteral("/TQ582.ini"), PunchRulesText().toUtf8());
        db = dir.filePath(QStringLiteral("DB/DB.mdb"));
    }
    ToolRun run(const QStringList& args) { return runTool(work, args); }
    ToolRun addStaff(const QString& code) {
        return run({QStringLiteral("staff"), QStringLiteral("set"), QStringLiteral("--code"), code,
                    QStringLiteral("--name"), QStringLiteral("山田"), QStringLiteral("--now"),
                    QStringLiteral("2024/05/08 09:00:00")});
    }

    QTemporaryDir dir;
    QString work;
    QString db;  ///< the default database of the site: ../DB/DB.mdb
};

TEST_F(CtlSiteTest, ReadingCommandsNeverCreateTheDatabaseOrItsFolder) {
    const QStringList reads[] = {
        {QStringLiteral("staff"), QStringLiteral("list")},
        {QStringLiteral("shift"), QStringLiteral("show"), QStringLiteral("--code"),
         QStringLiteral("0001"), QStringLiteral("--month"), QStringLiteral("2024/05")},
        {QStringLiteral("review"), QStringLiteral("--code"), QStringLiteral("0001"),
         QStringLiteral("--now"), QStringLiteral("2024/05/08 09:00:00")},
        {QStringLiteral("check-db")},
    };
    for (const QStringList& args : reads) {
        const ToolRun r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(u' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QDir::cleanPath(db))) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("DB"))))
            << args.join(u' ').toStdString();
    }
    // A command that writes creates the file and its folder, as the terminal does.
    const ToolRun set = addStaff(QStringLiteral("0001"));
    EXPECT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(db));
    const ToolRun list = run({QStringLiteral("staff"), QStringLiteral("list")});
    EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.startsWith(QStringLiteral("0001\t山田"))) << list.out.toStdString();
}

TEST_F(CtlSiteTest, ArgumentsThatAreNotUtf8OrHoldControlCharactersAreRefused) {
    struct Case {
        const char* name;
        QList<QByteArray> args;
    };
    const QByteArray now = "2024/05/08 09:00:00";
    auto staffSet = [&](const QByteArray& code, const QByteArray& name) {
        return QList<QByteArray>{"staff", "set", "--code", code, "--name", name, "--now", now};
    };
    const Case cases[] = {
        {"code of a Latin-1 byte", staffSet("\xff", "x")},
        {"code of another Latin-1 byte", staffSet("\xfe", "y")},
        {"name cut inside a character", staffSet("0002", "\xe5\xb1")},
        {"tab in a name", staffSet("0003", "a\tb")},
        {"line break in a code", staffSet("00\n4", "x")},
        {"carriage return in a name", staffSet("0005", "x\r")},
        {"escape in a code", staffSet("\x1b[0m", "x")},
        {"delete in a name", staffSet("0006", "x\x7f")},
        {"tab in a shift",
         {"staff", "set", "--code", "0007", "--name", "x", "--shift", "A\t", "--now", now}},
        {"line break in a date",
         {"staff", "set", "--code", "0008", "--name", "x", "--joined", "2024/05/01\n", "--now",
          now}},
        {"escape in --now", {"review", "--code", "0001", "--now", "2024/05/08\x1b 09:00:00"}},
        // C1 controls, each a valid two-byte UTF-8 sequence: padding, next line, the last one.
        {"U+0080 in a name", staffSet("0010", "x\xc2\x80")},
        {"next line (U+0085) in a code", staffSet("00\xc2\x85Z", "x")},
        {"U+009F in --kind",
         {"request", "register", "--code", "0001", "--date", "2024/05/08", "--kind", "\xc2\x9f直帰",
          "--now", now}},
    };
    for (const Case& c : cases) {
        const ToolRun r = runToolRaw(work, c.args);
        EXPECT_EQ(r.exitCode, 2) << c.name << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("UTF-8")) ||
                    r.err.contains(QStringLiteral("control character")))
            << c.name << ": " << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << c.name;
        EXPECT_FALSE(QFileInfo::exists(db)) << c.name << ": the database was written";
    }
    // Plain Japanese text passes.
    const ToolRun ok = runToolRaw(work, staffSet("0009", "山田 太郎"));
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
}

TEST_F(CtlSiteTest, NulInASystemFileStopsTheCommandNamingTheFile) {
    // Cut at the NUL, the path would name the file "DB" beside the database: a second database;
    // and the file is no text anyway.
    writeFile(work + QStringLiteral("/Sys.ini"),
              QByteArray("[MDBName]\r\n../DB/DB.mdb\0x\r\n", 26));
    const ToolRun r = addStaff(QStringLiteral("0001"));
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(work + QStringLiteral("/Sys.ini"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("DB")))) << "a database was made";
}

TEST_F(CtlSiteTest, CheckDbReportsASoundFileAndDamage) {
    ASSERT_EQ(addStaff(QStringLiteral("0001")).exitCode, 0);
    const ToolRun sound = run({QStringLiteral("check-db")});
    EXPECT_EQ(sound.exitCode, 0) << sound.err.toStdString();
    EXPECT_EQ(nonEmptyLines(sound.out),
              (QStringList{QStringLiteral("database file: ") + QDir::cleanPath(db),
                           QStringLiteral("table: T_勤務形態: 0 rows"),
                           QStringLiteral("table: T_有給付与: 0 rows"),
                           QStringLiteral("no damage found")}));

    // The second page damaged, as a failing disk would.
    {
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_GT(f.size(), 4096);
        ASSERT_TRUE(f.seek(1024 + 300));
        ASSERT_EQ(f.write(QByteArray(100, '\x5a')), 100);
    }
    const ToolRun damaged = run({QStringLiteral("check-db")});
    EXPECT_EQ(damaged.exitCode, 1) << damaged.err.toStdString();
    const QStringList lines = nonEmptyLines(damaged.out);
    ASSERT_GE(lines.size(), 3) << damaged.out.toStdString();
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("damage: "))) << damaged.out.toStdString();
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("found"))) << damaged.out.toStdString();
}

TEST_F(CtlSiteTest, EmptyDatabaseFileIsRefusedAsDamagedNotRebuilt) {
    writeFile(db, QByteArray());
    const ToolRun r = addStaff(QStringLiteral("0001"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("damaged"))) << r.err.toStdString();
    EXPECT_EQ(QFileInfo(db).size(), 0);
}

TEST_F(CtlSiteTest, ReadOnlyFolderIsReportedAsSuchNotAsAPasswordProblem) {
    ScratchMount disk(8 * 1024 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const QString file = disk.path() + QStringLiteral("/DB.mdb");
    const QStringList at{QStringLiteral("--db"), file};
    ASSERT_EQ(
        run(QStringList{QStringLiteral("staff"), QStringLiteral("set"), QStringLiteral("--code"),
                        QStringLiteral("0001"), QStringLiteral("--name"), QStringLiteral("x")} +
            at)
            .exitCode,
        0);
    ASSERT_TRUE(disk.makeReadOnly());
    // Reading needs no writing; a change is refused with the reason.
    const ToolRun list = run(QStringList{QStringLiteral("staff"), QStringLiteral("list")} + at);
    EXPECT_EQ(list.exitCode, 0) << list.err.toStdString();
    const ToolRun r =
        run(QStringList{QStringLiteral("staff"), QStringLiteral("set"), QStringLiteral("--code"),
                        QStringLiteral("0002"), QStringLiteral("--name"), QStringLiteral("y")} +
            at);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot be written"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("password"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("key"))) << r.err.toStdString();
}

TEST_F(CtlSiteTest, FullDiskIsReportedAsTheDiskErrorNotAsABrokenTable) {
    ScratchMount disk(256 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    // A database without its tables, then a disk with no room left for them.
    const QString file = disk.path() + QStringLiteral("/DB.mdb");
    openEmbeddedDatabase(file, QString::fromLatin1(kDatabasePassword), true);
    disk.fill();
    const ToolRun r = run({QStringLiteral("staff"), QStringLiteral("set"), QStringLiteral("--code"),
                           QStringLiteral("0001"), QStringLiteral("--name"), QStringLiteral("x"),
                           QStringLiteral("--db"), file});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("full"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("壊れています"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("password"))) << r.err.toStdString();
}

TEST_F(CtlSiteTest, SettingsFileWithoutAnyRuleIsWarnedAbout) {
    ASSERT_EQ(addStaff(QStringLiteral("0001")).exitCode, 0);
    const QString ini = work + QStringLiteral("/TQ582.ini");
    // "[始業時刻]\r\n09" in UTF-16 little-endian with its byte-order mark.
    const QString text = QStringLiteral("\uFEFF[始業時刻]\r\n09");
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const QByteArray files[] = {QByteArray(), QByteArray("\x00\x01\x02\xff\xfe", 5), utf16};
    for (const QByteArray& bytes : files) {
        writeFile(ini, bytes);
        for (const QStringList& args :
             {QStringList{QStringLiteral("check-settings")},
              QStringList{QStringLiteral("review"), QStringLiteral("--code"),
                          QStringLiteral("0001"), QStringLiteral("--now"),
                          QStringLiteral("2024/05/08 09:00:00")}}) {
            const ToolRun r = run(args);
            EXPECT_TRUE(r.err.contains(QStringLiteral("設定値を読み取れません")))
                << args.first().toStdString() << ": " << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QStringLiteral("TQ582.ini"))) << r.err.toStdString();
        }
    }
    writeFile(ini, PunchRulesText().toUtf8());
    const ToolRun fine = run({QStringLiteral("check-settings")});
    EXPECT_FALSE(fine.err.contains(QStringLiteral("設定値を読み取れません")))
        << fine.err.toStdString();
}

}  // namespace
}  // namespace tq::test
