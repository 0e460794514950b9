#pragma once
// A site database of its own for each test (a real encrypted file in a temporary folder),
// working rules with three shifts, and direct access to the rows the punches write.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "../failing_database.h"
#include "../test_database.h"
#include "../test_staff.h"
#include "../testsupport.h"
#include "attendance/identify.h"
#include "common/datetime.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/oplog.h"
#include "storage/schema.h"

namespace tq::test {

/// Closing and correction day at the month end (the period is the calendar month), a common
/// block of 09:00 to 18:00 resting on Saturdays and Sundays, and the shifts A (start 08:30),
/// B (start written "8:30") and C (no start time).
QString PunchRulesText();

struct LogRow {
    QString operation;
    QString content;
};

/// One T_勤務 row as stored; `exists` is false when there is none.
struct StoredWork {
    bool exists = false;
    std::optional<QString> shift;
    std::optional<qint64> in;
    std::optional<qint64> out;
    QString inStamp;
    QString outStamp;
};

/// Writes staff and work rows into a site database and reads them back.
class SiteRows {
  public:
    explicit SiteRows(Database& db) : db_(db) {}
    void addStaff(const QString& code, const QString& name,
                  const std::optional<QString>& shift = QStringLiteral("A"),
                  const std::optional<QString>& joined = std::nullopt,
                  const std::optional<QString>& left = std::nullopt,
                  const QString& overtime = QStringLiteral("有"));
    void addWork(const QString& code, const QDate& day, const std::optional<QString>& shift,
                 std::optional<int> in = 0, std::optional<int> out = 0);
    StoredWork work(const QString& code, const QDate& day);
    int count(const QString& table);
    std::vector<LogRow> logRows();

  private:
    Database& db_;
};

class PunchTest : public ::testing::Test {
  protected:
    /// Makes the site, or skips the test without it; a fixture adds its rows in SetUpSite.
    void SetUp() final;
    /// Runs once the site exists, never for a skipped test.
    virtual void SetUpSite() {}
    void TearDown() override {
        rows.reset();
        db.reset();
    }

    Identification identify(const QString& code, const QDateTime& at) {
        return Identify(*db, code, at);
    }

    QTemporaryDir dir;
    std::unique_ptr<TestDatabase> site;
    QString path;  ///< the database file, or the server database's URI
    std::unique_ptr<Database> db;
    std::unique_ptr<SiteRows> rows;
    Settings settings;
    const LogContext ctx{QStringLiteral("TERM01"), QStringLiteral("tanaka"),
                         QStringLiteral("出勤・退勤")};
};

}  // namespace tq::test
