// What paid leave adds to the terminal, on a site of 200 staff who joined in 2016 (nine
// statutory grants each by 2025/05/31) with two years of work rows in the archive, five days
// of leave a year among them, and the last 62 days in T_勤務:
// - a clock-in with and without the leave reminder, on a day far from any duty deadline (no
//   days read) and on a day within the warning days (the duty year's leave days read), the
//   grants already written (the steady state);
// - the ledger of one staff member (sync, grants, every day taken), as 確認 and leave show
//   read it;
// - the ledger workbook of all 200 staff.
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
#include "bench_support.h"
#include "common/datetime.h"
#include "labour/leave_book.h"
#include "report/compound_file.h"
#include "report/leave_workbook.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/schema.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kStaff = 200;
const QDate kJoined(2016, 4, 1);
// Duties run from 10/01 to 09/30: 05/31 is far from the deadline, 08/31 within 60 days.
const QDate kFar(2025, 5, 31);
const QDate kNear(2025, 8, 31);
const QDate kArchiveFrom(2023, 4, 1);

QString codeOf(int i) {
    return QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0'));
}

const tq::LogContext kContext{QStringLiteral("TERM01"), QStringLiteral("bench"),
                              QStringLiteral("出勤・退勤")};

const tq::Settings& siteSettings() {
    static const tq::Settings settings =
        tq::LoadSettings(QStringLiteral("[給与締日]\n末日\n[過日修正可能日]\n末日\n"
                                        "[始業時刻]\n09:00\n[終業時刻]\n18:00\n"
                                        "[休日]\n日曜日\n土曜日\n")
                             .toUtf8())
            .settings;
    return settings;
}

struct Site {
    QTemporaryDir dir;
    std::unique_ptr<tq::Database> db;

    void addDay(const QString& table, const QString& code, const QDate& day, bool leave) {
        tq::Sql s(QStringLiteral("INSERT INTO [") + table +
                  QStringLiteral("] (担当者コード,勤務日,シフト,状態,出勤時刻,退勤時刻) VALUES ("));
        s.text(code).raw(QStringLiteral(",")).date(day).raw(QStringLiteral(",'',"));
        if (leave) {
            s.raw(QStringLiteral("'有給休暇',0,0)"));
        } else {
            s.raw(QStringLiteral("Null,900,1800)"));
        }
        db->execute(s);
    }

    Site() {
        db = tq::openEmbeddedDatabase(dir.filePath(QStringLiteral("DB/DB.mdb")),
                                      QString::fromLatin1(tq::kDatabasePassword), true);
        tq::EnsureTables(*db);
        tq::WriteTransaction tx(*db);
        for (int s = 0; s < kStaff; ++s) {
            tq::Sql staff(QStringLiteral(
                "INSERT INTO T_担当者 (担当者コード,担当者名,[PassWord],入社年月日,残業計算区分) "
                "VALUES ("));
            staff.text(codeOf(s))
                .raw(QStringLiteral(","))
                .text(QStringLiteral("社員%1").arg(s))
                .raw(QStringLiteral(","))
                .text(codeOf(s))
                .raw(QStringLiteral(","))
                .text(tq::formatDate(kJoined))
                .raw(QStringLiteral(",'有')"));
            db->execute(staff);
            int n = 0;
            for (QDate day = kArchiveFrom; day < kFar; day = day.addDays(1)) {
                if (day.dayOfWeek() >= 6) {
                    continue;
                }
                const bool recent = day >= kFar.addDays(-62);
                // Three days of leave in each half year: six a year.
                const bool leave = ++n % 43 == 0;
                addDay(recent ? QStringLiteral("T_勤務") : tq::kWorkArchiveTable, codeOf(s), day,
                       leave);
            }
        }
        tx.commit();
        // The statutory grants written once, as the first look at each ledger does: the
        // clock-ins below measure the steady state.
        for (int i = 0; i < kStaff; ++i) {
            const tq::Identification who =
                tq::Identify(*db, codeOf(i), tq::wallClock(kFar, QTime(7, 0)));
            tq::SyncStatutoryGrants(*db, kContext, tq::wallClock(kFar, QTime(7, 0)),
                                    tq::LeaveStaffOf(who));
        }
    }

    void clearDay(const QDate& day) {
        tq::Sql s(QStringLiteral("DELETE * FROM T_勤務 WHERE 勤務日 = "));
        s.date(day);
        db->execute(s);
    }
};

Site& site() {
    static Site s;
    return s;
}

using tq::bench::reportPercentiles;

/// Clock-ins of every staff member in turn on `day`; range(0) = 1 with the reminder.
void clockIns(benchmark::State& state, const QDate& day) {
    Site& s = site();
    s.clearDay(day);
    std::vector<double> millis;
    int next = 0;
    for (auto _ : state) {
        if (next == kStaff) {
            s.clearDay(day);
            next = 0;
        }
        const QDateTime now = tq::wallClock(day, QTime(8, 10 + next % 40, next % 60));
        const auto start = SteadyClock::now();
        const tq::Identification who = tq::Identify(*s.db, codeOf(next), now);
        const tq::Outcome o =
            state.range(0) == 1
                ? tq::ClockInWithLeaveReminder(*s.db, kContext, who, siteSettings(), now)
                : tq::ClockIn(*s.db, kContext, who, siteSettings(), now);
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

void BM_ClockInFarFromTheDeadline(benchmark::State& state) {
    clockIns(state, kFar);
}
BENCHMARK(BM_ClockInFarFromTheDeadline)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_ClockInWithinTheWarningDays(benchmark::State& state) {
    clockIns(state, kNear);
}
BENCHMARK(BM_ClockInWithinTheWarningDays)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_LedgerOfOneStaffMember(benchmark::State& state) {
    Site& s = site();
    std::vector<double> millis;
    int next = 0;
    for (auto _ : state) {
        const tq::Identification who =
            tq::Identify(*s.db, codeOf(next), tq::wallClock(kFar, QTime(12, 0)));
        const auto start = SteadyClock::now();
        const tq::LeaveLedger ledger = tq::LoadLeaveLedger(
            *s.db, kContext, tq::wallClock(kFar, QTime(12, 0)), tq::LeaveStaffOf(who));
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        benchmark::DoNotOptimize(ledger.days.size());
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1000.0);
        next = (next + 1) % kStaff;
    }
    reportPercentiles(state, millis);
}
BENCHMARK(BM_LedgerOfOneStaffMember)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_LedgerWorkbookOfAllStaff(benchmark::State& state) {
    Site& s = site();
    std::vector<double> millis;
    for (auto _ : state) {
        const auto start = SteadyClock::now();
        const auto sheets = tq::LeaveSheets(*s.db, siteSettings(), kFar);
        QString error;
        const auto bytes = tq::xls::XlsFileBytes(tq::LeaveLedgerWorkbook(sheets, kFar), &error);
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        if (!bytes || sheets.size() != kStaff) {
            state.SkipWithError("no workbook");
            break;
        }
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1000.0);
    }
    reportPercentiles(state, millis);
}
BENCHMARK(BM_LedgerWorkbookOfAllStaff)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
