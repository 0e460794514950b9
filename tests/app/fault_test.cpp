// tq582ctl given what an operator's bad day gives it: special files as settings and system
// files, server URIs with a password in every form, a read-only disk. Every run is bounded
// in time (runTool ends a run after 30 s).

#include <sys/stat.h>

#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include "site_fixture.h"
#include "storage/oplog.h"

namespace tq::test {
namespace {

using FaultTest = SiteToolTest;

const QString kNow = QStringLiteral("2024/05/08 08:00:00");

/// What a settings or system file is instead of a text file, made at `path`.
struct SpecialFile {
    const char* what;
    std::function<void(const QString& path)> make;
};

std::vector<SpecialFile> specialFiles(qint64 limit) {
    const auto link = [](const char* target) {
        return [target](const QString& path) {
            ASSERT_TRUE(QFile::link(QString::fromLatin1(target), path));
        };
    };
    return {
        {"a FIFO",
         [](const QString& path) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
         }},
        {"a link to /dev/zero", link("/dev/zero")},
        {"a link to /dev/urandom", link("/dev/urandom")},
        {"a folder", [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path)); }},
        {"a file beyond the bound",
         [limit](const QString& path) {
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             ASSERT_TRUE(f.resize(limit + 1));  // sparse: nothing to write
         }},
    };
}

TEST_F(FaultTest, SpecialSettingsOrSystemFilesStopEveryCommandAtOnce) {
    addStaff(1);
    // A working folder of its own, so that the default database (../DB/DB.mdb from it) is
    // not the site's: it must never be created.
    const QString here = dir.filePath(QStringLiteral("other/TQ582"));
    ASSERT_TRUE(QDir().mkpath(here));
    writeFile(here + QStringLiteral("/TQ582.ini"), SiteRulesText().toUtf8());
    const QString sysIni = here + QStringLiteral("/Sys.ini");
    const QString iniFile = here + QStringLiteral("/TQ582.ini");
    const QStringList punch{QStringLiteral("punch"),  QStringLiteral("in"),
                            QStringLiteral("--code"), StaffCode(1),
                            QStringLiteral("--now"),  kNow};
    const QStringList review{QStringLiteral("review"), QStringLiteral("--code"), StaffCode(1),
                             QStringLiteral("--now"), kNow};

    struct Target {
        QString file;
        qint64 limit;
        std::vector<QStringList> commands;
    };
    const QStringList toSite{QStringLiteral("--db"), siteName};
    std::vector<SpecialFile> sysKinds = specialFiles(1 << 20);
    // A system file in UTF-16 (Windows' "Unicode"), naming the site database.
    sysKinds.push_back({"UTF-16 text", [this](const QString& path) {
                            const QString text =
                                QStringLiteral("[MDBName]\r\n") + siteName + QStringLiteral("\r\n");
                            QByteArray bytes("\xFF\xFE");
                            bytes.append(reinterpret_cast<const char*>(text.utf16()),
                                         text.size() * 2);
                            writeFile(path, bytes);
                        }});
    const Target targets[] = {
        {sysIni, 1 << 20, {punch, review, {QStringLiteral("check-db")}}},
        {iniFile,
         qint64{64} << 20,
         {punch + toSite, review + toSite, {QStringLiteral("check-settings")}}},
    };
    for (const Target& target : targets) {
        const QByteArray saved = readFile(target.file);
        for (const SpecialFile& kind :
             target.file == sysIni ? sysKinds : specialFiles(target.limit)) {
            for (const QStringList& command : target.commands) {
                SCOPED_TRACE(QFileInfo(target.file).fileName().toStdString() + " as " + kind.what +
                             ": " + command.join(u' ').toStdString());
                QFile::remove(target.file);
                QDir(target.file).removeRecursively();
                kind.make(target.file);
                const ToolRun r = runTool(here, command);
                EXPECT_GT(r.exitCode, 0) << "neither refused nor ended: " << r.err.toStdString();
                EXPECT_TRUE(r.err.contains(target.file)) << r.err.toStdString();
            }
        }
        QFile::remove(target.file);
        QDir(target.file).removeRecursively();
        if (!saved.isEmpty()) {
            writeFile(target.file, saved);
        }
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("other/DB"))))
        << "the default database was made in place of the one named";
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 0);
}

/// The password's pieces between the characters a URI gives a meaning to: a message that
/// shows part of a password shows one of them.
QStringList secretPieces(const QString& password) {
    QStringList pieces{password};
    for (const QString& p : password.split(QRegularExpression(QStringLiteral("[/?@:#%]")))) {
        if (p.size() >= 3) {
            pieces << p;
        }
    }
    return pieces;
}

TEST_F(FaultTest, NoOutputOrLogRowEverHoldsTheServerPassword) {
    addStaff(1);
    // With a test server: a database that exists (the server trusts the role, so the
    // password is only carried along) and one that does not; without one, a port where
    // nothing listens.
    const QString admin = qEnvironmentVariable("TQ582_TEST_PG_URI").trimmed();
    const QString server = admin.isEmpty()
                               ? QStringLiteral("127.0.0.1:1")
                               : QUrl(admin).host() + u':' + QString::number(QUrl(admin).port());
    const QString working = testOnServer() ? QUrl(siteName).path().mid(1) : QString();
    const QString copy = dir.filePath(QStringLiteral("copy/DB.mdb"));
    const QString file = dir.filePath(QStringLiteral("file/DB.mdb"));
    {
        auto d = openDatabase(file, QString::fromLatin1(kDatabasePassword), true);
        ASSERT_EQ(EnsureTables(*d), QString());
    }
    for (const QString& password :
         {QStringLiteral("S3cr3tPw!x"), QStringLiteral("S3c/r3t?Pa@w#x%zz:Qx9")}) {
        QStringList uris{
            QStringLiteral("Postgresql://tq582:%1@%2/tq582_no_such_db").arg(password, server),
            QStringLiteral("POSTGRES://tq582:%1@127.0.0.1:1/x").arg(password),
            QStringLiteral("postgresql://tq582:%1@%2/x?sslmode=bogus").arg(password, server),
            QStringLiteral("postgresql://tq582:%1@%2:port/x").arg(password, server),
        };
        if (!working.isEmpty()) {
            uris << QStringLiteral("PostgreSQL://tq582:%1@%2/%3").arg(password, server, working);
        }
        for (const QString& uri : uris) {
            const std::vector<QStringList> commands = {
                {QStringLiteral("check-db"), QStringLiteral("--db"), uri},
                {QStringLiteral("check-db"), uri},
                {QStringLiteral("review"), QStringLiteral("--code"), StaffCode(1),
                 QStringLiteral("--now"), kNow, QStringLiteral("--db"), uri},
                {QStringLiteral("staff"), QStringLiteral("list"), QStringLiteral("--db"), uri},
                {QStringLiteral("punch"), QStringLiteral("in"), QStringLiteral("--code"),
                 StaffCode(1), QStringLiteral("--now"), kNow, QStringLiteral("--db"), uri},
                {QStringLiteral("init"), QStringLiteral("--db"), uri},
                {QStringLiteral("migrate"), QStringLiteral("--from"), uri, QStringLiteral("--to"),
                 copy},
                {QStringLiteral("migrate"), QStringLiteral("--from"), file, QStringLiteral("--to"),
                 uri},
                // Through the system file.
                {QStringLiteral("check-db")},
                {QStringLiteral("review"), QStringLiteral("--code"), StaffCode(1),
                 QStringLiteral("--now"), kNow},
            };
            writeFile(work + QStringLiteral("/Sys.ini"),
                      QStringLiteral("[MDBName]\n%1\n").arg(uri).toUtf8());
            for (const QStringList& command : commands) {
                SCOPED_TRACE(command.join(u' ').toStdString());
                QFile::remove(copy);
                const ToolRun r = runTool(work, command);
                const QString printed = r.out + r.err;
                EXPECT_FALSE(printed.trimmed().isEmpty());
                for (const QString& piece : secretPieces(password)) {
                    EXPECT_FALSE(printed.contains(piece))
                        << piece.toStdString() << " in: " << printed.toStdString();
                }
            }
        }
        if (testOnServer()) {
            auto log = db->query(Sql(QStringLiteral("SELECT * FROM T_ログ")));
            int rows = 0;
            while (log->next()) {
                ++rows;
                for (const QString& f : log->fieldNames()) {
                    EXPECT_FALSE(log->text(f).contains(password)) << log->text(f).toStdString();
                }
            }
            EXPECT_GT(rows, 0) << "the URI with a password was used";
        }
    }
}

TEST_F(FaultTest, ReadingCommandsOfAnOlderSiteGetItsLaterTablesWhereTheyCanBeMade) {
    // A site made before the archives and the leave ledger: only the three tables.
    const TestDatabase older(dir.filePath(QStringLiteral("old/DB.mdb")));
    {
        auto d = older.open(true);
        for (const TableDef& def : {DefineLogTable(), DefineStaffTable(), DefineWorkTable()}) {
            d->createTable(def);
        }
        d->execute(
            Sql(QStringLiteral("INSERT INTO T_担当者 (担当者コード,担当者名,[PassWord]) "
                               "VALUES ('0001','社員1','0001')")));
    }
    const QStringList onOlder{QStringLiteral("--db"), older.name()};
    for (const QStringList& command :
         {QStringList{QStringLiteral("leave"), QStringLiteral("show"), QStringLiteral("--code"),
                      StaffCode(1), QStringLiteral("--now"), kNow},
          QStringList{QStringLiteral("staff"), QStringLiteral("list")}}) {
        const ToolRun r = runTool(work, command + onOlder);
        EXPECT_EQ(r.exitCode, 0) << command.join(u' ').toStdString() << ": " << r.err.toStdString();
    }
}

TEST_F(FaultTest, ReadingCommandsWorkOnAReadOnlyDisk) {
    if (testOnServer()) {
        GTEST_SKIP() << "files and their disks belong to the embedded engine";
    }
    ScratchMount disk(16 * 1024 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const QString file = disk.path() + QStringLiteral("/DB.mdb");
    const QStringList onDisk{QStringLiteral("--db"), file};
    ASSERT_EQ(runTool(work, QStringList{QStringLiteral("staff"), QStringLiteral("set"),
                                        QStringLiteral("--code"), StaffCode(1),
                                        QStringLiteral("--name"), QStringLiteral("社員1")} +
                                onDisk)
                  .exitCode,
              0);
    ASSERT_EQ(runTool(work, QStringList{QStringLiteral("punch"), QStringLiteral("in"),
                                        QStringLiteral("--code"), StaffCode(1),
                                        QStringLiteral("--now"), kNow} +
                                onDisk)
                  .exitCode,
              0);
    ASSERT_TRUE(disk.makeReadOnly());
    const QString out = dir.filePath(QStringLiteral("EXCEL"));
    const std::vector<QStringList> readers = {
        QStringList{QStringLiteral("review"), QStringLiteral("--code"), StaffCode(1),
                    QStringLiteral("--now"), kNow} +
            onDisk,
        QStringList{QStringLiteral("staff"), QStringLiteral("list")} + onDisk,
        QStringList{QStringLiteral("export"), QStringLiteral("--out"), out, QStringLiteral("--now"),
                    kNow} +
            onDisk,
        QStringList{QStringLiteral("check-db")} + onDisk,
        {QStringLiteral("migrate"), QStringLiteral("--from"), file, QStringLiteral("--to"),
         dir.filePath(QStringLiteral("copy/DB.mdb"))},
    };
    for (const QStringList& command : readers) {
        const ToolRun r = runTool(work, command);
        EXPECT_EQ(r.exitCode, 0) << command.join(u' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_FALSE(r.out.trimmed().isEmpty()) << command.join(u' ').toStdString();
    }
    // A writing command says which file could not be written.
    const ToolRun punch = runTool(
        work, QStringList{QStringLiteral("punch"), QStringLiteral("out"), QStringLiteral("--code"),
                          StaffCode(1), QStringLiteral("--now"), kNow} +
                  onDisk);
    EXPECT_EQ(punch.exitCode, 1);
    EXPECT_TRUE(punch.err.contains(file)) << punch.err.toStdString();
}

}  // namespace
}  // namespace tq::test
