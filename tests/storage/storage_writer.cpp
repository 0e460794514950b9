// A second terminal for the concurrency test: opens (creating when needed) the database and
// records `count` clock-ins under its own staff code, each with its log row.
// Usage: storage_writer <database> <staff code> <count>

#include <QCoreApplication>
#include <QDate>
#include <cstdio>

#include "common/datetime.h"
#include "storage/database.h"
#include "storage/oplog.h"
#include "storage/schema.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: storage_writer <database> <code> <count>\n");
        return 2;
    }
    try {
        auto db = tq::openDatabase(args[1], QString::fromLatin1(tq::kDatabasePassword), true);
        const QString broken = tq::EnsureTables(*db);
        if (!broken.isEmpty()) {
            std::fprintf(stderr, "broken table\n");
            return 1;
        }
        const tq::LogContext ctx{args[2], QStringLiteral("writer"), QStringLiteral("出勤・退勤")};
        const int count = args[3].toInt();
        const QDate first(2000, 1, 1);
        for (int i = 0; i < count; ++i) {
            const QDate day = first.addDays(i);
            tq::Sql s(QStringLiteral(
                "INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻) VALUES ("));
            s.text(args[2])
                .raw(QStringLiteral(","))
                .date(day)
                .raw(QStringLiteral(",'A',"))
                .integer(800 + i % 60)
                .raw(QStringLiteral(")"));
            tq::ExecuteLogged(*db, ctx, tq::wallClock(day, QTime(8, 0)), QStringLiteral("出勤"), s);
        }
    } catch (const tq::DbError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
