// A second terminal for the concurrency tests: opens (creating when needed) the database and
// records `count` clock-ins under its own staff code, each with its log row. With "hold" it
// records one clock-in inside a transaction, says "holding" on standard output, and commits
// only when a line arrives on standard input: a terminal caught inside its write. With
// "wait" it waits for the advisory lock 42 of the database (held by the test), then reads
// once more: a terminal whose session the server ends between two reads.
// Usage: storage_writer <database> <staff code> <count> | storage_writer <database> <code> hold
//        | storage_writer <database> <code> wait

#include <QCoreApplication>
#include <QDate>
#include <cstdio>
#include <optional>

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
        if (args[3] == u"wait") {
            db->query(tq::Sql(QStringLiteral("SELECT pg_advisory_lock(42) AS locked")));
            db->query(tq::Sql(QStringLiteral("SELECT 1 AS one")));
            return 0;
        }
        const tq::LogContext ctx{args[2], QStringLiteral("writer"), QStringLiteral("出勤・退勤")};
        const bool hold = args[3] == u"hold";
        const int count = hold ? 1 : args[3].toInt();
        const QDate first(2000, 1, 1);
        std::optional<tq::WriteTransaction> held;
        if (hold) {
            held.emplace(*db);
        }
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
        if (held) {
            std::printf("holding\n");
            std::fflush(stdout);
            char line[16];
            if (!std::fgets(line, sizeof line, stdin)) {
                return 2;
            }
            held->commit();
        }
    } catch (const tq::DbError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
