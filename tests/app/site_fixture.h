#pragma once
// A site for the tool tests of a shared database: a working directory with the working rules,
// a database on the engine of this run (file or server, see test_database.h), staff rows, and
// tq582ctl processes started on it.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>

#include "../test_database.h"
#include "../test_staff.h"
#include "../testsupport.h"
#include "storage/database.h"
#include "storage/schema.h"

namespace tq::test {

/// A calendar-month period, 09:00 to 18:00, resting on Saturdays and Sundays.
inline QString SiteRulesText() {
    return QStringLiteral(
        "[給与締日]\n末日\n[過日修正可能日]\n末日\n"
        "[始業時刻]\n09:00\n[終業時刻]\n18:00\n[所定勤務時間]\n480\n[残業対象時間]\n480\n"
        "[休日]\n土曜日\n日曜日\n");
}

/// The staff code of number `i` (1-based), four digits.
inline QString StaffCode(int i) {
    return QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
}

/// The staff code and punch stamp a punch's log row names ("(SQL)INSERT ... VALUES ('0001',
/// ... ,'2024/05/01 08:00:01')" or "(SQL)UPDATE ... = '2024/05/01 17:00:01' WHERE 担当者コード =
/// '0001' ..."); empty when the content is no punch statement.
struct PunchLogged {
    QString code;
    QString stamp;
};
inline PunchLogged parsePunchLog(const QString& content) {
    static const QRegularExpression code(QStringLiteral("(?:VALUES \\(|担当者コード = )'([^']*)'"));
    static const QRegularExpression stamp(
        QStringLiteral("'(\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2})'"));
    return {code.match(content).captured(1), stamp.match(content).captured(1)};
}

/// Waits for a process to end; true when it has ended (also when it had already).
inline bool ended(QProcess& p, int ms) {
    return p.state() == QProcess::NotRunning || p.waitForFinished(ms);
}

class SiteToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        work = dir.filePath(QStringLiteral("TQ582"));
        writeFile(work + QStringLiteral("/TQ582.ini"), SiteRulesText().toUtf8());
        database = std::make_unique<TestDatabase>(dir.filePath(QStringLiteral("DB/DB.mdb")));
        if (!database->skipReason().isEmpty()) {
            GTEST_SKIP() << database->skipReason().toStdString();
        }
        siteName = database->name();
        db = database->open(true);
        ASSERT_EQ(EnsureTables(*db), QString());
    }
    void TearDown() override { db.reset(); }

    /// Staff 1..n, each typing its own code, in one transaction.
    void addStaff(int n) {
        WriteTransaction tx(*db);
        for (int i = 1; i <= n; ++i) {
            TestStaff(StaffCode(i), QStringLiteral("社員%1").arg(i)).insert(*db);
        }
        tx.commit();
    }

    /// Starts tq582ctl on the site database (not waited for).
    std::unique_ptr<QProcess> start(QStringList args) const {
        args << QStringLiteral("--db") << siteName;
        return startTool(args);
    }
    /// Starts tq582ctl with exactly `args`.
    std::unique_ptr<QProcess> startTool(const QStringList& args) const {
        auto p = std::make_unique<QProcess>();
        p->setWorkingDirectory(work);
        p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/tq582ctl"), args);
        return p;
    }

    qint64 count(const QString& from) {
        auto rs = db->query(Sql(QStringLiteral("SELECT count(*) AS n FROM ") + from));
        EXPECT_TRUE(rs->next());
        return rs->integer(QStringLiteral("n"));
    }

    QTemporaryDir dir;
    QString work;
    std::unique_ptr<TestDatabase> database;
    QString siteName;  ///< what the tool is given as --db
    std::unique_ptr<Database> db;
};

}  // namespace tq::test
