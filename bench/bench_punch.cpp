// What an employee waits for at the terminal, on a site of 200 staff with 62 days of rows
// each: identification followed by a clock-in with its missing-punch check (a 30-day walk),
// and the review of a 31-day period. A clock-out (the same write without the walk) is measured
// beside them.
//
// Each reports the per-operation median and 99th percentile (milliseconds) as counters.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <vector>

#include "attendance/identify.h"
#include "attendance/punch.h"
#include "attendance/review.h"
#include "bench_support.h"
#include "common/datetime.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/oplog.h"
#include "storage/schema.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kStaff = 200;
constexpr int kDays = 62;
// The last of the 62 days: the clock-ins happen on it, the review looks at its month.
const QDate kToday(2024, 5, 31);

QString codeOf(int i) {
    return QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0'));
}

const tq::Settings& siteSettings() {
    static const tq::Settings settings =
        tq::LoadSettings(QStringLiteral("[給与締日]\n末日\n[過日修正可能日]\n末日\n"
                                        "[始業時刻]\n09:00\n[終業時刻]\n18:00\n"
                                        "[所定勤務時間]\n480\n[残業対象時間]\n480\n"
                                        "[普通残業開始時刻]\n18:00\n[普通残業終了時刻]\n22:00\n"
                                        "[所定勤務時間丸め]\n15\n[普通残業時間丸め]\n15\n"
                                        "[勤務時間別休憩時間]\n00:00-06:00 0\n06:01-24:00 60\n"
                                        "[休日]\n日曜日\n土曜日\n祝祭日\n"
                                        "{ｼﾌﾄ}\nA\n[始業時刻]\n08:30\n[終業時刻]\n17:30\n")
                             .toUtf8())
            .settings;
    return settings;
}

/// The site: every staff member has a row on each of the 61 days before today (every
/// seventh one without a clock-out, so the check has days to warn about).
struct Site {
    QTemporaryDir dir;
    std::unique_ptr<tq::Database> db;

    Site() {
        db = tq::openEmbeddedDatabase(dir.filePath(QStringLiteral("DB/DB.mdb")),
                                      QString::fromLatin1(tq::kDatabasePassword), true);
        tq::EnsureTables(*db);
        tq::WriteTransaction tx(*db);
        for (int s = 0; s < kStaff; ++s) {
            tq::Sql staff(QStringLiteral(
                "INSERT INTO T_担当者 (担当者コード,担当者名,[PassWord],残業計算区分,勤務シフト) "
                "VALUES ("));
            staff.text(codeOf(s))
                .raw(QStringLiteral(","))
                .text(QStringLiteral("社員%1").arg(s))
                .raw(QStringLiteral(","))
                .text(codeOf(s))
                .raw(QStringLiteral(",'有','A')"));
            db->execute(staff);
            for (int d = 1; d < kDays; ++d) {
                const QDate day = kToday.addDays(-d);
                tq::Sql work(
                    QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,"
                                   "退勤時刻,出勤打刻日,退勤打刻日) VALUES ("));
                work.text(codeOf(s))
                    .raw(QStringLiteral(","))
                    .date(day)
                    .raw(QStringLiteral(",'A',"))
                    .integer(825)
                    .raw(QStringLiteral(","))
                    .integer(d % 7 == 0 ? 0 : 1745)
                    .raw(QStringLiteral(","))
                    .text(tq::formatDate(day) + QStringLiteral(" 08:25:00"))
                    .raw(QStringLiteral(","))
                    .text(tq::formatDate(day) + QStringLiteral(" 17:45:00"))
                    .raw(QStringLiteral(")"));
                db->execute(work);
            }
        }
        tx.commit();
    }

    /// Takes back today's clock-ins so that every staff member can clock in again.
    void clearToday() {
        tq::Sql s(QStringLiteral("DELETE * FROM T_勤務 WHERE 勤務日 = "));
        s.date(kToday);
        db->execute(s);
    }
};

Site& site() {
    static Site s;
    return s;
}

using tq::bench::reportPercentiles;

const tq::LogContext kContext{QStringLiteral("TERM01"), QStringLiteral("bench"),
                              QStringLiteral("出勤・退勤")};

void BM_IdentifyAndClockIn(benchmark::State& state) {
    Site& s = site();
    s.clearToday();
    std::vector<double> millis;
    int next = 0;
    for (auto _ : state) {
        if (next == kStaff) {
            s.clearToday();
            next = 0;
        }
        const QDateTime now = tq::wallClock(kToday, QTime(8, 10 + next % 40, next % 60));
        const auto start = SteadyClock::now();
        const tq::Identification who = tq::Identify(*s.db, codeOf(next), now);
        const tq::Outcome o = tq::ClockIn(*s.db, kContext, who, siteSettings(), now);
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        if (!o.accepted) {
            state.SkipWithError("clock-in refused");
            break;
        }
        benchmark::DoNotOptimize(o.messages.size());
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1000.0);
        ++next;
    }
    reportPercentiles(state, millis);
}
BENCHMARK(BM_IdentifyAndClockIn)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same write without the missing-punch walk, for comparison: a clock-out on today's row.
void BM_IdentifyAndClockOut(benchmark::State& state) {
    Site& s = site();
    std::vector<double> millis;
    int next = 0;
    for (auto _ : state) {
        const QDateTime now = tq::wallClock(kToday, QTime(18, 10 + next % 40, next % 60));
        const auto start = SteadyClock::now();
        const tq::Identification who = tq::Identify(*s.db, codeOf(next), now);
        const tq::Outcome o = tq::ClockOut(*s.db, kContext, who, siteSettings(), now);
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        if (!o.accepted) {
            state.SkipWithError("clock-out refused");
            break;
        }
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1000.0);
        next = (next + 1) % kStaff;
    }
    reportPercentiles(state, millis);
}
BENCHMARK(BM_IdentifyAndClockOut)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Review(benchmark::State& state) {
    Site& s = site();
    std::vector<double> millis;
    int next = 0;
    for (auto _ : state) {
        const QDateTime now = tq::wallClock(kToday, QTime(12, 0));
        const auto start = SteadyClock::now();
        const tq::Identification who = tq::Identify(*s.db, codeOf(next), now);
        const tq::ReviewResult r = tq::MonthlyReview(*s.db, who, siteSettings(), now);
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        if (r.days.size() != 31) {
            state.SkipWithError("review did not list 31 days");
            break;
        }
        benchmark::DoNotOptimize(r.totals.all.実働);
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1000.0);
        next = (next + 1) % kStaff;
    }
    reportPercentiles(state, millis);
}
BENCHMARK(BM_Review)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
