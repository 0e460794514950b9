#pragma once
// The operation log T_ログ.

#include <QDateTime>
#include <QString>

#include "storage/database.h"

namespace tq {

/// Who and where: the values every log row carries besides its operation.
struct LogContext {
    QString computerName;
    QString userName;
    QString programName;  ///< the window caption at the time of the call
};

/// The INSERT that `WriteLog` executes, built from its pieces (TAB in the content becomes
/// "{TAB}", apostrophes are doubled in the log text of the content; values are bound). Names
/// longer than their 64-character columns are cut to fit, so that logging never fails.
Sql LogStatement(const LogContext& ctx, const QDateTime& now, const QString& operation,
                 const QString& content);

/// Writes one log row. Callers that change data run their statement and this in one
/// transaction (see `ExecuteLogged`).
void WriteLog(Database& db, const LogContext& ctx, const QDateTime& now, const QString& operation,
              const QString& content);

/// Runs one change statement and logs it as "(SQL)" + its log text under `operation`, both
/// as one change: they commit together or not at all. Returns the rows changed.
int ExecuteLogged(Database& db, const LogContext& ctx, const QDateTime& now,
                  const QString& operation, const Sql& statement);

/// ExecuteLogged as the last change of `tx`, which it commits: the statement, its log row
/// and everything `tx` did before stay together or not at all. Returns the rows changed.
int CommitLogged(WriteTransaction& tx, const LogContext& ctx, const QDateTime& now,
                 const QString& operation, const Sql& statement);

}  // namespace tq
