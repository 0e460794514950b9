#pragma once
// The database a test runs on. The engine-independent tests run twice: once on the embedded
// file, and once (ctest names them "pg.…", TQ582_TEST_ENGINE=pg) on a database of their own
// on the test server named by TQ582_TEST_PG_URI (scripts/pg-test-server.sh starts one).
// Without that server those runs are skipped with the reason, never passed.

#include <QString>
#include <memory>

#include "storage/database.h"

namespace tq::test {

/// True when this run of the test program uses the server engine.
bool testOnServer();

class TestDatabase {
  public:
    /// `filePath` is the database file used on the embedded engine.
    explicit TestDatabase(const QString& filePath);
    /// Drops the server database (connections still open are ended).
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    /// Why the test cannot run (the server engine without a server); empty when it can.
    const QString& skipReason() const { return skip_; }
    /// What --db and openDatabase take: the file path, or the server database's URI.
    const QString& name() const { return name_; }
    /// Opens it (creating the file when `create`).
    std::unique_ptr<Database> open(bool create = true) const;

  private:
    QString name_;
    QString serverDatabase_;  ///< the database created on the server, if any
    QString skip_;
};

/// Creates an empty database on the test server and returns its URI; empty with `error` set
/// when there is no server. For tests that need a second server database.
QString createServerDatabase(QString* error);
/// Drops a database made by createServerDatabase.
void dropServerDatabase(const QString& uri);

}  // namespace tq::test
