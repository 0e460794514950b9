// The monthly workbook of a site of 100 staff with a row on each of the 31 days of the
// month: the whole export (database walk, calculation, workbook, file written and renamed),
// and the workbook writer alone on the same sheets. Counters: the file size in bytes.
//
// BM_ExportArchivedMonth exports the same month after its rows went to the archive, on a
// site whose archive holds 1,000,000 rows (100 staff × 10,000 days up to the month's end):
// the month must read from the archive about as fast as from T_勤務 (BM_ExportMonth).
// Filling that site takes a while on the first run of that benchmark.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "bench_support.h"
#include "common/datetime.h"
#include "report/compound_file.h"
#include "report/monthly_export.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/schema.h"

namespace {

constexpr int kStaff = 100;
const QDate kFirst(2024, 5, 1);
const QDateTime kNow = tq::wallClock(QDate(2024, 6, 3), QTime(9, 0));

const tq::Settings& siteSettings() {
    static const tq::Settings settings =
        tq::LoadSettings((tq::bench::kSiteRules +
                          QStringLiteral("{ｼﾌﾄ}\nA\n[始業時刻]\n08:30\n[終業時刻]\n17:30\n"))
                             .toUtf8())
            .settings;
    return settings;
}

/// Staff member number `s` (from 0), with overtime and shift A.
void addStaff(tq::Database& db, const QString& code, int s) {
    tq::Sql staff(
        QStringLiteral("INSERT INTO T_担当者 "
                       "(担当者コード,担当者名,[PassWord],残業計算区分,勤務シフト) VALUES ("));
    staff.text(code)
        .raw(QStringLiteral(","))
        .text(QStringLiteral("社員 %1").arg(s + 1))
        .raw(QStringLiteral(","))
        .text(code)
        .raw(QStringLiteral(",'有','A')"));
    db.execute(staff);
}

struct Site {
    QTemporaryDir dir;
    std::unique_ptr<tq::Database> db;

    Site() {
        db = tq::openEmbeddedDatabase(dir.filePath(QStringLiteral("DB/DB.mdb")),
                                      QString::fromLatin1(tq::kDatabasePassword), true);
        tq::EnsureTables(*db);
        tq::WriteTransaction tx(*db);
        for (int s = 0; s < kStaff; ++s) {
            const QString code = QStringLiteral("%1").arg(s + 1, 4, 10, QLatin1Char('0'));
            addStaff(*db, code, s);
            for (int d = 0; d < 31; ++d) {
                const QDate day = kFirst.addDays(d);
                tq::Sql work(
                    QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,"
                                   "退勤時刻,出勤打刻日,退勤打刻日) VALUES ("));
                work.text(code)
                    .raw(QStringLiteral(","))
                    .date(day)
                    .raw(QStringLiteral(",'A',"))
                    .integer(825 + d % 9)
                    .raw(QStringLiteral(","))
                    .integer(1745 + (s + d) % 300)
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
};

Site& site() {
    static Site s;
    return s;
}

constexpr int kArchivedDays = 10'000;
constexpr int kRowsPerInsert = 50;

/// 100 staff whose last 10,000 days, up to 2024/05/31, are all in T_勤務_保存.
struct ArchivedSite {
    QTemporaryDir dir;
    std::unique_ptr<tq::Database> db;

    ArchivedSite() {
        db = tq::openEmbeddedDatabase(dir.filePath(QStringLiteral("DB/DB.mdb")),
                                      QString::fromLatin1(tq::kDatabasePassword), true);
        tq::EnsureTables(*db);
        db->beginBulkChange();
        tq::WriteTransaction tx(*db);
        const QDate last(2024, 5, 31);
        for (int s = 0; s < kStaff; ++s) {
            const QString code = QStringLiteral("%1").arg(s + 1, 4, 10, QLatin1Char('0'));
            addStaff(*db, code, s);
            for (int first = 0; first < kArchivedDays; first += kRowsPerInsert) {
                tq::Sql rows(QStringLiteral(
                    "INSERT INTO [T_勤務_保存] (担当者コード,勤務日,シフト,出勤時刻,退勤時刻,"
                    "出勤打刻日,退勤打刻日) VALUES "));
                for (int d = first; d < first + kRowsPerInsert; ++d) {
                    const QDate day = last.addDays(-d);
                    rows.raw(d == first ? QStringLiteral("(") : QStringLiteral(",("))
                        .text(code)
                        .raw(QStringLiteral(","))
                        .date(day)
                        .raw(QStringLiteral(",'A',"))
                        .integer(825 + day.day() % 9)
                        .raw(QStringLiteral(","))
                        .integer(1745 + (s + day.day()) % 300)
                        .raw(QStringLiteral(","))
                        .text(tq::formatDate(day) + QStringLiteral(" 08:25:00"))
                        .raw(QStringLiteral(","))
                        .text(tq::formatDate(day) + QStringLiteral(" 17:45:00"))
                        .raw(QStringLiteral(")"));
                }
                db->execute(rows);
            }
        }
        tx.commit();
        db->endBulkChange();
    }
};

ArchivedSite& archivedSite() {
    static ArchivedSite s;
    return s;
}

void BM_ExportArchivedMonth(benchmark::State& state) {
    ArchivedSite& s = archivedSite();
    const QString folder = s.dir.filePath(QStringLiteral("EXCEL"));
    const tq::PayrollMonth may = tq::PayrollMonthEnding(2024, 5, siteSettings());
    tq::ExportResult r;
    for (auto _ : state) {
        r = tq::ExportMonthlyWorkbook(*s.db, siteSettings(), may, kNow, folder, {},
                                      [](const QString&) { return false; });
        if (r.status != tq::ExportStatus::Written || r.sheetNames.size() != kStaff) {
            state.SkipWithError("the export did not write 100 sheets");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(QFileInfo(r.path).size());
    state.counters["archived_rows"] = static_cast<double>(kStaff) * kArchivedDays;
}
BENCHMARK(BM_ExportArchivedMonth)->Unit(benchmark::kMillisecond);

void BM_ExportMonth(benchmark::State& state) {
    Site& s = site();
    const QString folder = s.dir.filePath(QStringLiteral("EXCEL"));
    tq::ExportResult r;
    for (auto _ : state) {
        r = tq::ExportMonthlyWorkbook(*s.db, siteSettings(), kNow, folder, {},
                                      [](const QString&) { return false; });
        if (r.status != tq::ExportStatus::Written || r.sheetNames.size() != kStaff) {
            state.SkipWithError("the export did not write 100 sheets");
            break;
        }
    }
    state.counters["file_bytes"] = static_cast<double>(QFileInfo(r.path).size());
}
BENCHMARK(BM_ExportMonth)->Unit(benchmark::kMillisecond);

void BM_WriterOnly(benchmark::State& state) {
    // The same sheets, built once from the export's own walk.
    std::vector<tq::StaffSheet> sheets;
    for (int s = 0; s < kStaff; ++s) {
        tq::StaffSheet sheet;
        sheet.name = QStringLiteral("社員 %1").arg(s + 1);
        for (int d = 0; d < 31; ++d) {
            tq::DayFigures f;
            f.日付 = tq::formatMonthDay(kFirst.addDays(d));
            f.曜日 = QStringLiteral("水");
            f.シフト = QStringLiteral("A");
            f.状態 = QStringLiteral("勤務");
            f.出勤 = QStringLiteral("8:%1").arg(25 + d % 9);
            f.退勤 = QStringLiteral("%1:45").arg(17 + (s + d) % 3);
            f.勤務 = QStringLiteral("9:20");
            f.所定 = QStringLiteral("8:00");
            f.実働 = QStringLiteral("8:20");
            f.出勤打刻 = tq::formatDate(kFirst.addDays(d)) + QStringLiteral(" 08:25:00");
            f.退勤打刻 = tq::formatDate(kFirst.addDays(d)) + QStringLiteral(" 17:45:00");
            sheet.days.push_back(f);
        }
        sheets.push_back(sheet);
    }
    qsizetype size = 0;
    for (auto _ : state) {
        const auto bytes = tq::xls::XlsFileBytes(
            tq::MonthlyWorkbook(sheets, tq::PayrollMonth{kFirst, kFirst.addDays(30)}), nullptr);
        size = bytes ? bytes->size() : 0;
        benchmark::DoNotOptimize(size);
    }
    state.counters["file_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_WriterOnly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
