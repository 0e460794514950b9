#pragma once
// A fresh site database in a temporary folder, for the storage tests.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "../testsupport.h"
#include "storage/database.h"
#include "storage/schema.h"

namespace tq::test {

class StorageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("DB/DB.mdb"));
    }
    /// Opens (creating) the database with the site password and its tables.
    Database& openSite() {
        db = openEmbeddedDatabase(path, QString::fromLatin1(kDatabasePassword), true);
        EXPECT_EQ(EnsureTables(*db), QString());
        return *db;
    }
    void reopen() {
        db.reset();
        db = openEmbeddedDatabase(path, QString::fromLatin1(kDatabasePassword), false);
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
    QString path;
    std::unique_ptr<Database> db;
};

}  // namespace tq::test
