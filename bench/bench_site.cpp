// Costs that must not grow with the tables: a review through tq582ctl on a small site and on
// one with 1,000,000 rows in T_勤務 and in T_ログ (the opening probe of every command), and the
// start-up move of 1,000,000 old rows into the archive tables, with the engine's default page
// cache and with the cache the move gets (`beginBulkChange`).
//
// The tool is the tq582ctl beside this program, or the one named by the environment variable
// TQ582CTL (to measure another build of it on the same sites).
//
// Times are wall-clock, one per iteration (manual time), in milliseconds.

#define SQLITE_HAS_CODEC 1
#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "common/datetime.h"
#include "storage/database.h"
#include "storage/schema.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// Fills T_勤務 and T_ログ with `rows` rows each, straight through the engine (a recursive
// select writes them in one statement), all dated before 2024/03/01: 9,000 staff codes a day.
void fill(const QString& path, qint64 rows) {
    sqlite3* raw = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &raw);
    sqlite3_key(raw, tq::kDatabasePassword, static_cast<int>(std::strlen(tq::kDatabasePassword)));
    const QByteArray n = QByteArray::number(rows);
    const QByteArray script =
        "BEGIN;"
        "WITH RECURSIVE k(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM k WHERE x + 1 < " +
        n +
        ") INSERT INTO T_勤務 (担当者コード,勤務日,状態,シフト,出勤時刻,退勤時刻) "
        "SELECT printf('%04d', 1000 + x % 9000), "
        "datetime('2024-02-29', '-' || (x / 9000) || ' days'), '', 'A', 900, 1800 FROM k;"
        "WITH RECURSIVE k(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM k WHERE x + 1 < " +
        n +
        ") INSERT INTO T_ログ (処理日時,コンピュータ名,ユーザー名,担当者名,プログラム名,処理名,"
        "内容) SELECT datetime('2024-02-29 12:00:00', '-' || (x / 60) || ' minutes'), 'PC01', "
        "'user', '山田', '出勤・退勤', '出勤', 'INSERT INTO T_勤務 ... ' || x FROM k;"
        "COMMIT;";
    char* error = nullptr;
    if (sqlite3_exec(raw, script.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        qFatal("fill: %s", error);
    }
    sqlite3_exec(raw, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
}

QString makeSite(QTemporaryDir& dir, qint64 rows) {
    const QString db = dir.filePath(QStringLiteral("DB/DB.mdb"));
    {
        auto d = tq::openEmbeddedDatabase(db, QString::fromLatin1(tq::kDatabasePassword), true);
        tq::EnsureTables(*d);
        d->execute(tq::Sql(
            QStringLiteral("INSERT INTO T_担当者 (担当者コード,担当者名,PassWord,勤務シフト) "
                           "VALUES ('0001','山田','0001','A')")));
        for (int day = 1; day < 20; ++day) {
            d->execute(tq::Sql(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,シフト,"
                                              "出勤時刻,退勤時刻) VALUES ('0001',"))
                           .date(QDate(2024, 2, day))
                           .raw(QStringLiteral(",'A',900,1800)")));
        }
    }
    if (rows > 0) {
        fill(db, rows);
    }
    QDir(dir.path()).mkpath(QStringLiteral("TQ582"));
    QFile ini(dir.filePath(QStringLiteral("TQ582/TQ582.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[給与締日]\r\n末日\r\n[始業時刻]\r\n09:00\r\n[終業時刻]\r\n18:00\r\n");
    return db;
}

QString toolPath() {
    const QByteArray named = qgetenv("TQ582CTL");
    return named.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/tq582ctl")
                           : QString::fromLocal8Bit(named);
}

void BM_ReviewThroughTool(benchmark::State& state) {
    QTemporaryDir dir;
    const QString db = makeSite(dir, state.range(0));
    for (auto _ : state) {
        QProcess p;
        p.setWorkingDirectory(dir.filePath(QStringLiteral("TQ582")));
        const auto start = SteadyClock::now();
        p.start(toolPath(), {QStringLiteral("review"), QStringLiteral("--code"),
                             QStringLiteral("0001"), QStringLiteral("--now"),
                             QStringLiteral("2024/02/20 12:00:00"), QStringLiteral("--db"), db});
        p.waitForFinished(600000);
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        if (p.exitCode() != 0) {
            state.SkipWithError(p.readAllStandardError().constData());
            break;
        }
        state.SetIterationTime(took.count());
    }
    state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ReviewThroughTool)
    ->Arg(0)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// Arg 0: 0 = the engine's default page cache, 1 = the cache the move asks for.
void BM_PurgeMillionRows(benchmark::State& state) {
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString path = makeSite(dir, 1'000'000);
        auto db = tq::openEmbeddedDatabase(path, QString::fromLatin1(tq::kDatabasePassword), false);
        const auto start = SteadyClock::now();
        if (state.range(0) != 0) {
            db->beginBulkChange();
        }
        const auto moved = tq::ArchiveOldRows(*db, QDate(2024, 3, 1));
        if (state.range(0) != 0) {
            db->endBulkChange();
        }
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        state.SetIterationTime(took.count());
        state.counters["work"] = moved.first;
        state.counters["log"] = moved.second;
        state.counters["wal_MB"] =
            static_cast<double>(QFileInfo(path + QStringLiteral("-wal")).size()) / 1e6;
    }
}
BENCHMARK(BM_PurgeMillionRows)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
