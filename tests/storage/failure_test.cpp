// Failures of the database file say what happened: damaged, full disk, no permission, or a
// file of another key; and nothing is rebuilt or left behind by mistake.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/datetime.h"
#include "storage/oplog.h"
#include "storage_support.h"

namespace tq::test {
namespace {

const QString kPassword = QString::fromLatin1(kDatabasePassword);

/// `n` log rows of some length, in one transaction: pages enough to damage far from the start.
void addLogRows(Database& d, int n) {
    WriteTransaction tx(d);
    for (int i = 0; i < n; ++i) {
        d.execute(Sql(QStringLiteral("INSERT INTO T_ログ (処理日時,処理名,内容) VALUES ("))
                      .dateTime(wallClock(QDate(2024, 5, 8), QTime(9, 0)))
                      .raw(QStringLiteral(",'x',"))
                      .text(QString::number(i).repeated(20))
                      .raw(QStringLiteral(")")));
    }
    tx.commit();
}

DbError openFailure(const QString& path, const QString& password, bool create) {
    try {
        openEmbeddedDatabase(path, password, create);
    } catch (const DbError& e) {
        return e;
    }
    ADD_FAILURE() << "opened " << path.toStdString();
    return DbError(QString());
}

TEST_F(StorageTest, EmptyOrShortFileIsRefusedAsDamagedAndLeftAsItIs) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their failures belong to the embedded engine";
    }
    for (const qsizetype size : {0, 1, 1023}) {
        writeFile(path, QByteArray(size, '\0'));
        const DbError e = openFailure(path, kPassword, true);
        EXPECT_EQ(e.kind(), DbFailure::Damaged) << size;
        EXPECT_TRUE(e.message().contains(QStringLiteral("damaged"))) << e.what();
        EXPECT_TRUE(e.message().contains(path)) << e.what();
        EXPECT_EQ(QFileInfo(path).size(), size) << "the file was rebuilt";
    }
}

TEST_F(StorageTest, OnlyAnotherKeyOrAForeignFileIsCalledAKeyProblem) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their failures belong to the embedded engine";
    }
    openSite();
    db.reset();
    const DbError wrongKey = openFailure(path, QStringLiteral("other"), false);
    EXPECT_EQ(wrongKey.kind(), DbFailure::NotADatabase);
    EXPECT_TRUE(wrongKey.message().contains(QStringLiteral("another key"))) << wrongKey.what();

    const QString foreign = dir.filePath(QStringLiteral("foreign.mdb"));
    QByteArray noise(8192, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919) % 251);
    }
    writeFile(foreign, noise);
    const DbError other = openFailure(foreign, kPassword, false);
    EXPECT_EQ(other.kind(), DbFailure::NotADatabase);
    EXPECT_TRUE(other.message().contains(QStringLiteral("not a database of this system")))
        << other.what();
}

TEST_F(StorageTest, LeftoversOfAnInterruptedCreationAreRemovedAtTheNextCreation) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their failures belong to the embedded engine";
    }
    // No process has an id above the kernel's limit (4194304 at most).
    const QString leftover = dir.filePath(QStringLiteral("DB/DB.mdb.new-4194399"));
    writeFile(leftover, QByteArray(4096, 'x'));
    writeFile(leftover + QStringLiteral("-journal"), QByteArray(512, 'x'));
    openSite();
    EXPECT_FALSE(QFileInfo::exists(leftover));
    EXPECT_FALSE(QFileInfo::exists(leftover + QStringLiteral("-journal")));
    const QStringList names = QDir(dir.filePath(QStringLiteral("DB"))).entryList(QDir::Files);
    for (const QString& n : names) {
        EXPECT_FALSE(n.contains(QStringLiteral(".new-"))) << n.toStdString();
    }
}

TEST_F(StorageTest, FullDiskWhileTablesAreCreatedIsTheDiskErrorNotABrokenTable) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their failures belong to the embedded engine";
    }
    ScratchMount disk(256 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const QString file = disk.path() + QStringLiteral("/DB.mdb");
    auto d = openEmbeddedDatabase(file, kPassword, true);
    disk.fill();
    try {
        const QString broken = EnsureTables(*d);
        ADD_FAILURE() << "tables made on a full disk; broken: " << broken.toStdString();
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbFailure::DiskFull) << e.what();
    }
    // Opening the file anew on the full disk says so too.
    d.reset();
    const DbError again = openFailure(file, kPassword, false);
    EXPECT_NE(again.kind(), DbFailure::NotADatabase) << again.what();
    EXPECT_FALSE(again.message().contains(QStringLiteral("key"))) << again.what();
}

TEST_F(StorageTest, ReadOnlyDiskIsAPermissionProblemNotAKeyProblem) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their failures belong to the embedded engine";
    }
    ScratchMount disk(4 * 1024 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const QString file = disk.path() + QStringLiteral("/DB.mdb");
    {
        auto d = openEmbeddedDatabase(file, kPassword, true);
        ASSERT_EQ(EnsureTables(*d), QString());
    }
    ASSERT_TRUE(disk.makeReadOnly());
    try {
        auto d = openEmbeddedDatabase(file, kPassword, false);
        EnsureTables(*d);
        WriteLog(*d, LogContext{QStringLiteral("pc"), QStringLiteral("u"), QStringLiteral("p")},
                 wallClock(QDate(2024, 5, 8), QTime(9, 0)), QStringLiteral("開始"), QString());
        ADD_FAILURE() << "wrote on a read-only disk";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbFailure::NoPermission) << e.what();
        EXPECT_FALSE(e.message().contains(QStringLiteral("key"))) << e.what();
    }
    // Creating a new file there is refused for the same reason.
    const DbError create =
        openFailure(disk.path() + QStringLiteral("/sub/New.mdb"), kPassword, true);
    EXPECT_EQ(create.kind(), DbFailure::NoPermission) << create.what();
}

TEST_F(StorageTest, IntegrityCheckFindsDamageTheProbeDoesNotRead) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their failures belong to the embedded engine";
    }
    Database& d = openSite();
    addLogRows(d, 3000);
    EXPECT_EQ(d.checkIntegrity(), QStringList());
    db.reset();
    // A page near the end of the file: far from the first rows of every table.
    const qint64 size = QFileInfo(path).size();
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(size - 3 * 1024 + 100));
        ASSERT_EQ(f.write(QByteArray(64, '\x5a')), 64);
    }
    reopen();
    EXPECT_EQ(EnsureTables(*db), QString()) << "the probe reads only the first rows";
    QStringList problems;
    try {
        problems = db->checkIntegrity();
    } catch (const DbError& e) {
        problems << e.message();
    }
    EXPECT_FALSE(problems.isEmpty());
}

TEST_F(StorageTest, FailuresOfTheFileNameTheFileNeverATemporaryOne) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their failures belong to the embedded engine";
    }
    // Another program keeps its write open past the 10 s wait.
    openSite();
    auto other = openEmbeddedDatabase(path, kPassword, false);
    other->beginWrite();
    try {
        db->beginWrite();
        ADD_FAILURE() << "took the lock another program holds";
    } catch (const DbError& e) {
        EXPECT_EQ(e.kind(), DbFailure::Busy) << e.what();
        EXPECT_TRUE(e.message().contains(path)) << e.what();
    }
    other->rollback();

    ScratchMount disk(4 * 1024 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const QString journalled = disk.path() + QStringLiteral("/Journal.mdb");
    {
        auto d = openEmbeddedDatabase(journalled, kPassword, true);
        ASSERT_EQ(EnsureTables(*d), QString());
        d->query(Sql(QStringLiteral("PRAGMA journal_mode=DELETE")));
    }
    ASSERT_TRUE(QDir().mkpath(disk.path() + QStringLiteral("/empty")));
    ASSERT_TRUE(disk.makeReadOnly());
    struct Case {
        const char* what;
        QString file;
        bool create;
    };
    const Case cases[] = {
        {"a file with a rollback journal on a read-only disk", journalled, false},
        {"a new file in a folder of a read-only disk",
         disk.path() + QStringLiteral("/empty/New.mdb"), true},
    };
    for (const Case& c : cases) {
        const DbError e = openFailure(c.file, kPassword, c.create);
        EXPECT_EQ(e.kind(), DbFailure::NoPermission) << c.what << ": " << e.what();
        EXPECT_TRUE(e.message().contains(c.file)) << c.what << ": " << e.what();
        EXPECT_FALSE(e.message().contains(QStringLiteral(".new-"))) << c.what << ": " << e.what();
    }
}

TEST_F(StorageTest, ReadingOpensReadOnlySoAReadOnlyDiskIsNoObstacle) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their failures belong to the embedded engine";
    }
    ScratchMount disk(4 * 1024 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const LogContext ctx{QStringLiteral("pc"), QStringLiteral("u"), QStringLiteral("p")};
    // Both journals a site file can have: the write-ahead log (the default) and the rollback
    // journal (a file that another program switched).
    const QString files[] = {disk.path() + QStringLiteral("/Wal.mdb"),
                             disk.path() + QStringLiteral("/Journal.mdb")};
    for (const QString& file : files) {
        auto d = openEmbeddedDatabase(file, kPassword, true);
        ASSERT_EQ(EnsureTables(*d), QString());
        WriteLog(*d, ctx, wallClock(QDate(2024, 5, 8), QTime(9, 0)), QStringLiteral("開始"),
                 QString());
        if (file.endsWith(QStringLiteral("Journal.mdb"))) {
            d->query(Sql(QStringLiteral("PRAGMA journal_mode=DELETE")));
        }
    }
    ASSERT_TRUE(disk.makeReadOnly());
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        try {
            auto d = openEmbeddedDatabaseToRead(file, kPassword);
            auto rows = d->query(Sql(QStringLiteral("SELECT count(*) AS n FROM T_ログ")));
            ASSERT_TRUE(rows->next());
            EXPECT_EQ(rows->integer(QStringLiteral("n")), 1);
            EXPECT_EQ(d->checkIntegrity(), QStringList());
            // Only reading: a write is refused, naming the file.
            try {
                WriteLog(*d, ctx, wallClock(QDate(2024, 5, 8), QTime(9, 1)), QStringLiteral("開始"),
                         QString());
                ADD_FAILURE() << "wrote through a reading connection";
            } catch (const DbError& e) {
                EXPECT_EQ(e.kind(), DbFailure::NoPermission) << e.what();
                EXPECT_TRUE(e.message().contains(file)) << e.what();
            }
        } catch (const DbError& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

TEST_F(StorageTest, FileCutInsideAPageIsCalledDamagedWithThePlace) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "files and their failures belong to the embedded engine";
    }
    Database& d = openSite();
    addLogRows(d, 300);
    db.reset();
    const QByteArray whole = readFile(path);
    ASSERT_EQ(whole.size() % 1024, 0);
    for (const qsizetype cut : {whole.size() - 100, whole.size() / 2 + 100}) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        writeFile(path, whole.left(cut));
        QStringList problems;
        try {
            problems = openEmbeddedDatabaseToRead(path, kPassword)->checkIntegrity();
        } catch (const DbError& e) {
            problems << e.message();
        }
        const QString said = problems.join(u'\n');
        EXPECT_TRUE(said.contains(QStringLiteral("damaged")) && said.contains(path))
            << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("page %1").arg(cut / 1024 + 1)))
            << said.toStdString();
    }
}

}  // namespace
}  // namespace tq::test
