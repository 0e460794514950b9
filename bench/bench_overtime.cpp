// The 36 agreement's figures of a site of 250 staff with a year of rows (every weekday and
// every other Saturday, April 2024 to March 2025): every staff member's line for the year's
// last month as tq582ctl overtime prints them (database reads, the daily calculation and the
// statutory figures), the statutory figures alone, and one staff member's look after a
// clock-out.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "attendance/review.h"
#include "bench_support.h"
#include "common/datetime.h"
#include "labour/overtime_watch.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/schema.h"

namespace {

constexpr int kStaff = 250;
const QDate kFirst(2024, 4, 1);
const QDate kLast(2025, 3, 31);
const QDateTime kNow = tq::wallClock(QDate(2025, 3, 31), QTime(23, 0));

const tq::Settings& siteSettings() {
    static const tq::Settings settings =
        tq::LoadSettings(
            (tq::bench::kSiteRules + QStringLiteral("[36協定特別条項]\n有\n")).toUtf8())
            .settings;
    return settings;
}

bool worked(const QDate& d) {
    return d.dayOfWeek() <= Qt::Friday || (d.dayOfWeek() == Qt::Saturday && d.day() % 2 == 0);
}

struct Site {
    QTemporaryDir dir;
    std::unique_ptr<tq::Database> db;
    qint64 rows = 0;

    Site() {
        db = tq::openEmbeddedDatabase(dir.filePath(QStringLiteral("DB/DB.mdb")),
                                      QString::fromLatin1(tq::kDatabasePassword), true);
        tq::EnsureTables(*db);
        tq::WriteTransaction tx(*db);
        for (int s = 0; s < kStaff; ++s) {
            const QString code = QStringLiteral("%1").arg(s + 1, 4, 10, QLatin1Char('0'));
            tq::Sql staff(QStringLiteral(
                "INSERT INTO T_担当者 (担当者コード,担当者名,[PassWord],残業計算区分,入社年月日) "
                "VALUES ("));
            staff.text(code)
                .raw(QStringLiteral(","))
                .text(QStringLiteral("社員 %1").arg(s + 1))
                .raw(QStringLiteral(","))
                .text(code)
                .raw(QStringLiteral(",'有','2020/04/01')"));
            db->execute(staff);
            int n = 0;
            for (QDate day = kFirst; day <= kLast; day = day.addDays(1)) {
                if (!worked(day)) {
                    continue;
                }
                // 18:00 to 21:45 by the staff member and the day.
                const int out = 1800 + ((s + n) % 4) * 100 + ((s * 7 + n) % 4) * 15;
                ++n;
                tq::Sql work(QStringLiteral(
                    "INSERT INTO T_勤務 (担当者コード,勤務日,出勤時刻,退勤時刻) VALUES ("));
                work.text(code)
                    .raw(QStringLiteral(","))
                    .date(day)
                    .raw(QStringLiteral(",900,"))
                    .integer(out)
                    .raw(QStringLiteral(")"));
                db->execute(work);
                ++rows;
            }
        }
        tx.commit();
    }
};

Site& site() {
    static Site s;
    return s;
}

void BM_OvertimeOfAllStaff(benchmark::State& state) {
    Site& s = site();
    size_t lines = 0;
    for (auto _ : state) {
        const auto all = tq::OvertimeOfStaff(*s.db, 2025, 3, siteSettings(), kNow);
        lines = all.size();
        benchmark::DoNotOptimize(lines);
    }
    if (lines != kStaff) {
        state.SkipWithError("not every staff member has a line");
    }
    state.counters["rows"] = static_cast<double>(s.rows);
}
BENCHMARK(BM_OvertimeOfAllStaff)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ListingReadsOnly(benchmark::State& state) {
    // The database part of the lines: each staff member's rows over the span the figures need.
    Site& s = site();
    const tq::OvertimeSpan span =
        tq::OvertimeSpanFor(2025, 3, tq::ReadOvertimeRules(siteSettings()), siteSettings());
    for (auto _ : state) {
        size_t rows = 0;
        for (int i = 1; i <= kStaff; ++i) {
            rows += tq::ReadListing(*s.db, QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')),
                                    span.from, span.to)
                        .size();
        }
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_ListingReadsOnly)->Unit(benchmark::kMillisecond);

void BM_DailyCalculationOnly(benchmark::State& state) {
    // The daily calculation of every stored day, from rows already read.
    Site& s = site();
    const tq::OvertimeSpan span =
        tq::OvertimeSpanFor(2025, 3, tq::ReadOvertimeRules(siteSettings()), siteSettings());
    std::vector<std::vector<tq::WorkRow>> all;
    for (int i = 1; i <= kStaff; ++i) {
        all.push_back(tq::ReadListing(*s.db, QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')),
                                      span.from, span.to));
    }
    for (auto _ : state) {
        for (const auto& rows : all) {
            benchmark::DoNotOptimize(
                tq::WorkedDays(rows, QStringLiteral("有"), siteSettings(), kNow).size());
        }
    }
}
BENCHMARK(BM_DailyCalculationOnly)->Unit(benchmark::kMillisecond);

void BM_StatutoryFiguresOnly(benchmark::State& state) {
    // The figures of 250 staff from days already calculated: the rules of this issue alone.
    const tq::OvertimeRules rules = tq::ReadOvertimeRules(siteSettings());
    std::vector<tq::WorkedDay> days;
    int n = 0;
    for (QDate d = kFirst; d <= kLast; d = d.addDays(1)) {
        if (worked(d)) {
            days.push_back({d, 480 + (n++ % 16) * 15});
        }
    }
    for (auto _ : state) {
        for (int s = 0; s < kStaff; ++s) {
            const tq::OvertimeYear y =
                tq::ComputeOvertime(days, QDate(2020, 4, 1), 2025, 3, rules, siteSettings());
            benchmark::DoNotOptimize(y.months.size());
        }
    }
}
BENCHMARK(BM_StatutoryFiguresOnly)->Unit(benchmark::kMillisecond);

void BM_OneStaffAfterClockOut(benchmark::State& state) {
    // What a clock-out adds: one staff member's agreement year read and figured.
    Site& s = site();
    for (auto _ : state) {
        const tq::OvertimeYear y =
            tq::StaffOvertime(*s.db, QStringLiteral("0125"), QStringLiteral("有"),
                              QStringLiteral("2020/04/01"), 2025, 3, siteSettings(), kNow);
        benchmark::DoNotOptimize(y.months.size());
    }
}
BENCHMARK(BM_OneStaffAfterClockOut)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
