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
    {
        WriteTransaction tx(d);
        for (int i = 0; i < 3000; ++i) {
            d.execute(Sql(QStringLiteral("INSERT INTO T_ログ (処理日時,処理名,内容) VALUES ("))
                          .dateTime(wallClock(QDate(2024, 5, 8), QTime(9, 0)))
                          .raw(QStringLiteral(",'x',"))
                          .text(QString::number(i).repeated(20))
                          .raw(QStringLiteral(")")));
        }
        tx.commit();
    }
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

}  // namespace
}  // namespace tq::test
