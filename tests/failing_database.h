#pragma once
// A database that fails chosen statements, for tests of what a failed write leaves behind.

#include <functional>
#include <memory>

#include "storage/database.h"

namespace tq::test {

/// Passes everything to a real database but fails the statements `failWhen` picks, and the
/// queries `failQueryWhen` picks, as a full disk or a lost server would. The query predicate
/// may also act itself (stop the server) and let the real database fail.
class FailingDatabase : public Database {
  public:
    FailingDatabase(Database& inner, std::function<bool(const Sql&)> failWhen,
                    std::function<bool(const Sql&)> failQueryWhen = {})
        : inner_(inner), failWhen_(std::move(failWhen)), failQueryWhen_(std::move(failQueryWhen)) {}
    TableState probeTable(const QString& name) override { return inner_.probeTable(name); }
    void createTable(const TableDef& def) override { inner_.createTable(def); }
    void createIndex(const QString& table, const IndexDef& index) override {
        inner_.createIndex(table, index);
    }
    QStringList tableNames() override { return inner_.tableNames(); }
    QStringList columnNames(const QString& table) override { return inner_.columnNames(table); }
    TableDef describeTable(const QString& table) override { return inner_.describeTable(table); }
    int execute(const Sql& statement) override {
        if (failWhen_(statement)) {
            throw DbError(QStringLiteral("disk I/O error"));
        }
        return inner_.execute(statement);
    }
    std::unique_ptr<ResultSet> query(const Sql& statement) override {
        if (failQueryWhen_ && failQueryWhen_(statement)) {
            throw DbError(QStringLiteral("disk I/O error"));
        }
        return inner_.query(statement);
    }
    using Database::beginWrite;
    void beginWrite(const WriteScope& scope) override { inner_.beginWrite(scope); }
    void beginRead() override { inner_.beginRead(); }
    void commit() override { inner_.commit(); }
    void rollback() override { inner_.rollback(); }

  private:
    Database& inner_;
    std::function<bool(const Sql&)> failWhen_;
    std::function<bool(const Sql&)> failQueryWhen_;
};

}  // namespace tq::test
