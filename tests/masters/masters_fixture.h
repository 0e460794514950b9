#pragma once
// A site database of its own for each test: a real encrypted file in a temporary folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "../failing_database.h"
#include "../test_database.h"
#include "../testsupport.h"
#include "common/datetime.h"
#include "storage/database.h"
#include "storage/oplog.h"
#include "storage/schema.h"

namespace tq::test {

struct LogRow {
    QString operation;
    QString content;
    QString program;
};

class MastersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(dir.filePath(QStringLiteral("DB")));
        site = std::make_unique<TestDatabase>(dir.filePath(QStringLiteral("DB/DB.mdb")));
        if (!site->skipReason().isEmpty()) {
            GTEST_SKIP() << site->skipReason().toStdString();
        }
        path = site->name();
        db = site->open(true);
        ASSERT_EQ(EnsureTables(*db), QString());
    }
    void TearDown() override { db.reset(); }

    int count(const QString& table) {
        auto rs = db->query(Sql(QStringLiteral("SELECT COUNT(*) AS n FROM ") + table));
        EXPECT_TRUE(rs->next());
        return static_cast<int>(rs->integer(QStringLiteral("n")));
    }

    std::vector<LogRow> logRows() {
        std::vector<LogRow> rows;
        auto rs = db->query(Sql(QStringLiteral("SELECT * FROM T_ログ ORDER BY 連番")));
        while (rs->next()) {
            rows.push_back({rs->text(QStringLiteral("処理名")), rs->text(QStringLiteral("内容")),
                            rs->text(QStringLiteral("プログラム名"))});
        }
        return rows;
    }

    QTemporaryDir dir;
    std::unique_ptr<TestDatabase> site;
    QString path;  ///< the database file, or the server database's URI
    std::unique_ptr<Database> db;
    const LogContext ctx{QStringLiteral("PC01"), QStringLiteral("tanaka"),
                         QStringLiteral("出勤・退勤")};
    const QDateTime now = wallClock(QDate(2024, 3, 20), QTime(9, 15, 30));
};

}  // namespace tq::test
