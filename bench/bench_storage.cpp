// The engine layer's two costs that a terminal feels: one punch-sized change with its log row
// in its own write transaction, and one lookup by primary key in a large T_勤務.
//
// Each reports the per-operation median and 90th percentile (microseconds) as counters. The
// change is measured in the file's default journal and, for comparison, in other journal
// settings applied to the connection.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <iterator>
#include <random>
#include <vector>

#include "common/datetime.h"
#include "storage/database.h"
#include "storage/oplog.h"
#include "storage/schema.h"

namespace {

using Clock = std::chrono::steady_clock;

void reportPercentiles(benchmark::State& state, std::vector<double>& micros) {
    if (micros.empty()) {
        return;
    }
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p90_us"] = micros[micros.size() * 9 / 10];
}

std::unique_ptr<tq::Database> freshSite(const QTemporaryDir& dir) {
    auto db = tq::openEmbeddedDatabase(dir.filePath(QStringLiteral("DB/DB.mdb")),
                                       QString::fromLatin1(tq::kDatabasePassword), true);
    tq::EnsureTables(*db);
    return db;
}

tq::Sql punch(const QString& code, const QDate& day, qint64 hhmm) {
    tq::Sql s(QStringLiteral(
        "INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) VALUES ("));
    s.text(code)
        .raw(QStringLiteral(","))
        .date(day)
        .raw(QStringLiteral(",'A',"))
        .integer(hhmm, QStringLiteral("%1").arg(hhmm, 4, 10, QLatin1Char('0')))
        .raw(QStringLiteral(","))
        .text(QStringLiteral("2024/03/15 08:05:09"))
        .raw(QStringLiteral(")"));
    return s;
}

// Journal settings applied to the connection before measuring: the first is the default
// (write-ahead log, one flush per commit), the others are the alternatives weighed against it.
const char* const kJournal[] = {"", "PRAGMA journal_mode=DELETE", "PRAGMA synchronous=NORMAL"};

void BM_PunchWithLogRow(benchmark::State& state) {
    QTemporaryDir dir;
    auto db = freshSite(dir);
    const QString setup = QString::fromLatin1(kJournal[state.range(0)]);
    for (const QString& pragma : setup.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        db->execute(tq::Sql(pragma));
    }
    state.SetLabel(setup.isEmpty() ? std::string("default: write-ahead log, synchronous FULL")
                                   : setup.toStdString());
    const tq::LogContext ctx{QStringLiteral("PC-01"), QStringLiteral("bench"),
                             QStringLiteral("出勤・退勤")};
    const QDate first(2000, 1, 1);
    std::vector<double> micros;
    int i = 0;
    for (auto _ : state) {
        const tq::Sql s = punch(QStringLiteral("%1").arg(i % 1000, 4, 10, QLatin1Char('0')),
                                first.addDays(i / 1000), 800 + i % 60);
        const auto start = Clock::now();
        tq::ExecuteLogged(*db, ctx, tq::wallClock(first, QTime(8, 0)), QStringLiteral("出勤"), s);
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        micros.push_back(us);
        state.SetIterationTime(us / 1e6);
        ++i;
    }
    reportPercentiles(state, micros);
}
BENCHMARK(BM_PunchWithLogRow)
    ->Arg(0)
    ->Iterations(10'000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PunchWithLogRow)
    ->DenseRange(1, static_cast<int>(std::size(kJournal)) - 1)
    ->Iterations(1'000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void BM_LookupByPrimaryKey(benchmark::State& state) {
    QTemporaryDir dir;
    auto db = freshSite(dir);
    constexpr int kCodes = 1000;
    constexpr int kDays = 100;  // 100,000 rows
    const QDate first(2024, 1, 1);
    {
        tq::WriteTransaction tx(*db);
        for (int c = 0; c < kCodes; ++c) {
            for (int d = 0; d < kDays; ++d) {
                db->execute(punch(QStringLiteral("%1").arg(c, 4, 10, QLatin1Char('0')),
                                  first.addDays(d), 800 + d % 60));
            }
        }
        tx.commit();
    }
    std::mt19937 rng(582);
    std::uniform_int_distribution<int> code(0, kCodes - 1);
    std::uniform_int_distribution<int> day(0, kDays - 1);
    std::vector<double> micros;
    for (auto _ : state) {
        tq::Sql q(QStringLiteral("SELECT * FROM T_勤務 WHERE 担当者コード = "));
        q.text(QStringLiteral("%1").arg(code(rng), 4, 10, QLatin1Char('0')))
            .raw(QStringLiteral(" AND 勤務日 = "))
            .date(first.addDays(day(rng)));
        const auto start = Clock::now();
        auto rs = db->query(q);
        const bool found = rs->next();
        const qint64 in = rs->integer(QStringLiteral("出勤時刻"));
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        benchmark::DoNotOptimize(in);
        if (!found) {
            state.SkipWithError("row not found");
            break;
        }
        micros.push_back(us);
        state.SetIterationTime(us / 1e6);
    }
    reportPercentiles(state, micros);
}
BENCHMARK(BM_LookupByPrimaryKey)
    ->Iterations(20'000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
