#pragma once
// What several benchmarks share: the working rules of their sites and the percentiles they
// report beside Google Benchmark's own figures.

#include <benchmark/benchmark.h>

#include <QString>
#include <algorithm>
#include <vector>

namespace tq::bench {

/// The common block of a benchmark site's settings: a month closing at its end, 9:00-18:00,
/// eight scheduled hours, both overtime bands, quarter-hour rounding, an hour's break past six
/// hours, weekends and holidays off. A benchmark appends its own keys or shift blocks.
inline const QString kSiteRules = QStringLiteral(
    "[給与締日]\n末日\n[過日修正可能日]\n5\n"
    "[始業時刻]\n09:00\n[終業時刻]\n18:00\n"
    "[所定勤務時間]\n480\n[残業対象時間]\n480\n"
    "[普通残業開始時刻]\n18:00\n[普通残業終了時刻]\n22:00\n"
    "[深夜残業開始時刻]\n22:00\n[深夜残業終了時刻]\n29:00\n"
    "[所定勤務時間丸め]\n15\n[普通残業時間丸め]\n15\n"
    "[深夜残業時間丸め]\n15\n"
    "[勤務時間別休憩時間]\n00:00-06:00 0\n06:01-24:00 60\n"
    "[休日]\n日曜日\n土曜日\n祝祭日\n");

/// The median and 99th percentile of `millis` as the run's counters (sorts `millis`).
inline void reportPercentiles(benchmark::State& state, std::vector<double>& millis) {
    if (millis.empty()) {
        return;
    }
    std::sort(millis.begin(), millis.end());
    state.counters["median_ms"] = millis[millis.size() / 2];
    state.counters["p99_ms"] = millis[std::min(millis.size() - 1, millis.size() * 99 / 100)];
}

}  // namespace tq::bench
