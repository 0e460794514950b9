#include "storage/oplog.h"

namespace tq {

namespace {

// The width of the name columns of T_ログ.
constexpr qsizetype kNameColumnWidth = 64;

QString fitName(const QString& s) {
    return s.left(kNameColumnWidth);
}

}  // namespace

Sql LogStatement(const LogContext& ctx, const QDateTime& now, const QString& operation,
                 const QString& content) {
    QString stored = content;
    stored.replace(QLatin1Char('\t'), QStringLiteral("{TAB}"));
    Sql s(
        QStringLiteral("INSERT INTO T_ログ (処理日時,コンピュータ名,ユーザー名,プログラム名,処理名,"
                       "内容) VALUES ("));
    s.dateTime(now)
        .raw(QStringLiteral(","))
        .text(fitName(ctx.computerName))
        .raw(QStringLiteral(","))
        .text(fitName(ctx.userName))
        .raw(QStringLiteral(","))
        .text(fitName(ctx.programName))
        .raw(QStringLiteral(","))
        .text(fitName(operation))
        .raw(QStringLiteral(","))
        .text(stored, Quote::Doubled)
        .raw(QStringLiteral(")"));
    return s;
}

void WriteLog(Database& db, const LogContext& ctx, const QDateTime& now, const QString& operation,
              const QString& content) {
    db.execute(LogStatement(ctx, now, operation, content));
}

namespace {

// The statement and its log row.
std::vector<Sql> logged(const LogContext& ctx, const QDateTime& now, const QString& operation,
                        const Sql& statement) {
    return {statement,
            LogStatement(ctx, now, operation, QStringLiteral("(SQL)") + statement.logText())};
}

}  // namespace

int ExecuteLogged(Database& db, const LogContext& ctx, const QDateTime& now,
                  const QString& operation, const Sql& statement) {
    return db.executeAll(logged(ctx, now, operation, statement)).front();
}

int CommitLogged(WriteTransaction& tx, const LogContext& ctx, const QDateTime& now,
                 const QString& operation, const Sql& statement) {
    return tx.commitWith(logged(ctx, now, operation, statement)).front();
}

}  // namespace tq
