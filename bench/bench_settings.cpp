// Loading a settings file at its limits: the common block and 27 shift blocks, each with every
// single key, 366 entries in each of the three day lists and 24 in each break list.

#include <benchmark/benchmark.h>

#include <QDate>
#include <QString>

#include "common/text.h"
#include "settings/settings.h"
#include "settings/settings_check.h"
#include "settings/settings_keys.h"

namespace {

// `fullWidth` writes digits, colons and slashes full-width, so that every value line goes
// through the narrow conversion (the slowest file a site could write).
QByteArray fileAtLimits(bool fullWidth) {
    auto w = [fullWidth](QString s) {
        if (!fullWidth) {
            return s;
        }
        for (QChar& c : s) {
            if ((c >= u'0' && c <= u'9') || c == u':' || c == u'/') {
                c = QChar(static_cast<char16_t>(c.unicode() - 0x20 + 0xFF00));
            }
        }
        return s;
    };
    QString text = QStringLiteral("# site rules\r\n[給与締日]\r\n20\r\n[過日修正可能日]\r\n25\r\n");
    for (int k = 0; k <= tq::kMaxShiftIndex; ++k) {
        if (k > 0) {
            text += QStringLiteral("{ｼﾌﾄ}\r\n") + QChar(static_cast<char16_t>(u'@' + k)) +
                    QStringLiteral("\r\n");
        }
        for (const tq::SingleKey& key : tq::kSingleKeys) {
            text += key.name.toString() + QStringLiteral("\r\n");
            switch (key.kind) {
                case tq::SettingValueKind::Time:
                    text += w(QStringLiteral("09:00\r\n"));
                    break;
                case tq::SettingValueKind::Text:
                    text += QStringLiteral("合算\r\n");
                    break;
                default:
                    text += w(QStringLiteral("15\r\n"));
                    break;
            }
        }
        for (const tq::ListKey& key : tq::kListKeys) {
            text += key.name.toString() + QStringLiteral("\r\n");
            for (int i = 0; i < key.limit; ++i) {
                if (key.kind == tq::SettingListKind::DayRules) {
                    const QDate d = QDate(2024, 1, 1).addDays(i);
                    text += i % 50 == 0 ? QStringLiteral("第2・第4土曜日\r\n")
                                        : w(d.toString(QStringLiteral("MM/dd\r\n")));
                } else {
                    text += w(QStringLiteral("%1:00-%2:00 %3\r\n")
                                  .arg(i, 2, 10, QLatin1Char('0'))
                                  .arg(i + 1, 2, 10, QLatin1Char('0'))
                                  .arg(i));
                }
            }
        }
    }
    return tq::encodeSiteText(text, tq::FileEncoding::Cp932);
}

void BM_LoadSettingsAtLimits(benchmark::State& state) {
    const QByteArray bytes = fileAtLimits(state.range(0) != 0);
    for (auto _ : state) {
        tq::LoadedSettings loaded = tq::LoadSettings(bytes);
        benchmark::DoNotOptimize(loaded);
    }
    const tq::LoadedSettings check = tq::LoadSettings(bytes);
    state.counters["lines"] = check.lineCount;
    state.counters["shifts"] = static_cast<double>(check.settings.shiftCodes.size() - 1);
    state.counters["KiB"] = static_cast<double>(bytes.size()) / 1024.0;
}
BENCHMARK(BM_LoadSettingsAtLimits)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CheckSettingsAtLimits(benchmark::State& state) {
    const tq::LoadedSettings loaded = tq::LoadSettings(fileAtLimits(false));
    for (auto _ : state) {
        auto warnings = tq::SettingsCheckWarnings(loaded);
        benchmark::DoNotOptimize(warnings);
    }
}
BENCHMARK(BM_CheckSettingsAtLimits)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
