#pragma once
// A fresh site database for each storage test: a file in a temporary folder, or a database of
// its own on the test server (see test_database.h).

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "../test_database.h"
#include "../testsupport.h"
#include "storage/database.h"
#include "storage/schema.h"

namespace tq::test {

class StorageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        site = std::make_unique<TestDatabase>(dir.filePath(QStringLiteral("DB/DB.mdb")));
        if (!site->skipReason().isEmpty()) {
            GTEST_SKIP() << site->skipReason().toStdString();
        }
        path = site->name();
    }
    void TearDown() override { db.reset(); }
    /// Opens (creating) the database with the site password and its tables.
    Database& openSite() {
        db = site->open(true);
        EXPECT_EQ(EnsureTables(*db), QString());
        return *db;
    }
    void reopen() {
        db.reset();
        db = site->open(false);
    }
    /// The single value of a one-row query.
    SqlValue single(const Sql& q, const QString& field) {
        auto rs = db->query(q);
        EXPECT_TRUE(rs->next()) << q.logText().toStdString();
        return rs->value(field);
    }
    qint64 count(const QString& table) {
        auto rs = db->query(Sql(QStringLiteral("SELECT count(*) AS n FROM ") + table));
        EXPECT_TRUE(rs->next());
        return rs->integer(QStringLiteral("n"));
    }

    QTemporaryDir dir;
    std::unique_ptr<TestDatabase> site;
    QString path;  ///< the file path, or the server database's URI
    std::unique_ptr<Database> db;
};

}  // namespace tq::test
