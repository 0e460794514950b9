// CalculateDay over a 31-day month for 100 staff with a full set of working rules: three
// overtime bands, a break table, break periods and a rest-day calendar with holidays.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "attendance/calculation.h"
#include "common/datetime.h"

namespace {

using namespace Qt::StringLiterals;

tq::Settings siteSettings() {
    tq::Settings s;
    s.shiftCodes = QStringList{QString(), u"A"_s, u"N"_s};
    auto dayRules = [](tq::ShiftRules& r) {
        r.始業時刻 = u"08:30"_s;
        r.終業時刻 = u"17:30"_s;
        r.所定勤務時間 = u"480"_s;
        r.残業対象時間 = u"480"_s;
        r.所定勤務時間丸め = r.普通残業時間丸め = r.深夜残業時間丸め = r.早出残業時間丸め = u"15"_s;
        r.普通残業開始時刻 = u"17:30"_s;
        r.普通残業終了時刻 = u"22:00"_s;
        r.深夜残業開始時刻 = u"22:00"_s;
        r.深夜残業終了時刻 = u"29:00"_s;
        r.早出残業開始時刻 = u"06:00"_s;
        r.早出残業終了時刻 = u"08:30"_s;
        r.勤務時間別休憩時間 =
            QStringList{u"00:00-06:00 0"_s, u"06:01-08:00 45"_s, u"08:01-10:00 60"_s,
                        u"10:01-12:00 75"_s, u"12:01-24:00 90"_s};
        r.休憩時刻 = QStringList{u"12:00-13:00"_s, u"15:00-15:10"_s, u"19:00-19:15"_s};
        r.休日 = QStringList{u"日曜日"_s, u"第2・第4土曜日"_s, u"祝祭日"_s, u"08/13"_s,
                             u"08/14"_s,  u"08/15"_s,          u"12/29"_s,  u"12/30"_s,
                             u"12/31"_s,  u"01/02"_s,          u"01/03"_s};
        r.例外出勤日 = QStringList{u"07/15"_s};
        r.特別出勤日 = QStringList{u"第1日曜日"_s};
    };
    dayRules(s.shifts[0]);
    dayRules(s.shifts[1]);
    tq::ShiftRules& n = s.shifts[2];
    dayRules(n);
    n.始業時刻 = u"22:00"_s;
    n.終業時刻 = u"31:00"_s;
    n.普通残業開始時刻 = u"31:00"_s;
    n.普通残業終了時刻 = u"34:00"_s;
    n.早出残業開始時刻 = u"20:00"_s;
    n.早出残業終了時刻 = u"22:00"_s;
    n.休憩時刻 = QStringList{u"26:00-27:00"_s};
    s.給与締日 = u"20"_s;
    s.過日修正可能日 = u"25"_s;
    return s;
}

/// One staff member's rows of July 2024: mostly complete days, some leave, some gaps.
std::vector<tq::WorkRow> monthRows(int staff) {
    std::vector<tq::WorkRow> rows;
    unsigned lcg = 2166136261u ^ static_cast<unsigned>(staff);
    auto next = [&lcg] {
        lcg = lcg * 1103515245u + 12345u;
        return (lcg >> 16) & 0x7fff;
    };
    const QString shift = staff % 10 == 0 ? u"N"_s : staff % 3 == 0 ? u"A"_s : QString();
    for (int d = 1; d <= 31; ++d) {
        tq::WorkRow row;
        row.勤務日 = QDate(2024, 7, d);
        row.シフト = shift;
        const unsigned r = next() % 20;
        if (r == 0) {
            continue;  // no record: the walk calculates the day against the next row
        }
        if (r == 1) {
            row.状態 = u"有給休暇"_s;
            row.状態申告日 = u"2024/06/28 09:12:00"_s;
        } else if (shift == u"N") {
            row.出勤時刻 = 2140 + static_cast<int>(next() % 20);
            row.退勤時刻 = 3100 + static_cast<int>(next() % 120);
        } else {
            row.出勤時刻 = 800 + static_cast<int>(next() % 45);
            row.退勤時刻 =
                1730 + static_cast<int>(next() % 4) * 100 + static_cast<int>(next() % 50);
            row.出勤打刻日 = u"2024/07/01 08:21:05"_s;
            row.退勤打刻日 = u"2024/07/01 19:02:44"_s;
        }
        if (r == 2) {
            row.残業指示 = u"19:00"_s;
        }
        rows.push_back(row);
    }
    return rows;
}

void BM_CalculateMonth(benchmark::State& state) {
    const tq::Settings settings = siteSettings();
    const QDateTime now = tq::wallClock(QDate(2024, 7, 25), QTime(12, 0));
    std::vector<std::vector<tq::WorkRow>> staffRows;
    for (int staff = 0; staff < 100; ++staff) {
        staffRows.push_back(monthRows(staff));
    }
    const QString flag = u"有"_s;
    std::int64_t days = 0;
    for (auto _ : state) {
        for (const auto& rows : staffRows) {
            tq::MonthTotals totals;
            QDate day(2024, 7, 1);
            for (const tq::WorkRow& row : rows) {
                for (; day <= row.勤務日; day = day.addDays(1)) {
                    benchmark::DoNotOptimize(
                        tq::CalculateDay(day, row, flag, settings, now, totals));
                    ++days;
                }
            }
            benchmark::DoNotOptimize(totals);
        }
    }
    state.SetItemsProcessed(days);
    state.counters["days/s"] =
        benchmark::Counter(static_cast<double>(days), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CalculateMonth)->Unit(benchmark::kMillisecond);

void BM_DayText(benchmark::State& state) {
    const tq::Settings settings = siteSettings();
    std::int64_t days = 0;
    for (auto _ : state) {
        for (QDate d(2024, 1, 1); d.year() == 2024; d = d.addDays(1)) {
            benchmark::DoNotOptimize(tq::DayText(settings, 0, d));
            ++days;
        }
    }
    state.SetItemsProcessed(days);
}
BENCHMARK(BM_DayText);

}  // namespace

BENCHMARK_MAIN();
