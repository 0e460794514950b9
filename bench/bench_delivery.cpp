// The costs a site sees as its tables grow, side by side with what the engine alone costs:
//
// - a punch through the operation (identification and clock-in: the staff lookup, the
//   missing-punch walk, the row and its log row in one transaction) against a bare SQLCipher
//   insert of the same row and its log row in one transaction, on the same file;
// - a punch, a review and the start-up of tq582ctl with T_勤務 at 1,000, 100,000 and
//   1,000,000 rows (Arg is the row count).
//
// Each reports the per-operation median and 90th percentile (milliseconds) as counters.

#include <benchmark/benchmark.h>

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "attendance/identify.h"
#include "attendance/punch.h"
#include "attendance/review.h"
#include "common/datetime.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/jet_dialect.h"
#include "storage/oplog.h"
#include "storage/schema.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

const QByteArray kSettingsText = QStringLiteral(
                                     "[給与締日]\n末日\n[過日修正可能日]\n末日\n"
                                     "[始業時刻]\n09:00\n[終業時刻]\n18:00\n"
                                     "[所定勤務時間]\n480\n[残業対象時間]\n480\n"
                                     "[普通残業開始時刻]\n18:00\n[普通残業終了時刻]\n22:00\n"
                                     "[所定勤務時間丸め]\n15\n[普通残業時間丸め]\n15\n"
                                     "[休日]\n日曜日\n土曜日\n"
                                     "{ｼﾌﾄ}\nA\n[始業時刻]\n08:30\n[終業時刻]\n17:30\n")
                                     .toUtf8();

const tq::Settings& siteSettings() {
    static const tq::Settings settings = tq::LoadSettings(kSettingsText).settings;
    return settings;
}

const tq::LogContext kContext{QStringLiteral("TERM01"), QStringLiteral("bench"),
                              QStringLiteral("出勤・退勤")};

QString codeOf(int i) {
    return QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0'));
}

void reportPercentiles(benchmark::State& state, std::vector<double>& millis) {
    if (millis.empty()) {
        return;
    }
    std::sort(millis.begin(), millis.end());
    state.counters["median_ms"] = millis[millis.size() / 2];
    state.counters["p90_ms"] = millis[millis.size() * 9 / 10];
}

/// A bare connection to the site's file through the sqlite3 C API: keyed, with the journal
/// and flush settings the engine layer uses.
class BareConnection {
  public:
    explicit BareConnection(const QString& path) {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        const QByteArray key = QByteArray(tq::kDatabasePassword);
        sqlite3_key(db_, key.constData(), static_cast<int>(key.size()));
        sqlite3_busy_timeout(db_, 5000);
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=FULL");
    }
    ~BareConnection() { sqlite3_close_v2(db_); }
    BareConnection(const BareConnection&) = delete;
    BareConnection& operator=(const BareConnection&) = delete;

    void exec(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const QString msg = QString::fromUtf8(error ? error : "?");
            sqlite3_free(error);
            throw tq::DbError(msg);
        }
    }
    sqlite3_stmt* prepare(const QString& sql) {
        sqlite3_stmt* st = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db_, text.constData(), -1, &st, nullptr) != SQLITE_OK) {
            throw tq::DbError(QString::fromUtf8(sqlite3_errmsg(db_)));
        }
        return st;
    }

  private:
    sqlite3* db_ = nullptr;
};

void bindText(sqlite3_stmt* st, int index, const QString& value) {
    const QByteArray bytes = value.toUtf8();
    sqlite3_bind_text(st, index, bytes.constData(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
}

void step(sqlite3_stmt* st) {
    if (sqlite3_step(st) != SQLITE_DONE) {
        throw tq::DbError(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(st))));
    }
    sqlite3_reset(st);
}

const QString kWorkInsert = QStringLiteral(
    "INSERT INTO \"T_勤務\" (\"担当者コード\",\"勤務日\",\"シフト\",\"出勤時刻\",\"退勤時刻\","
    "\"出勤打刻日\",\"退勤打刻日\") VALUES (?,?,?,?,?,?,?)");
const QString kLogInsert = QStringLiteral(
    "INSERT INTO \"T_ログ\" (\"処理日時\",\"コンピュータ名\",\"ユーザー名\",\"プログラム名\","
    "\"処理名\",\"内容\") VALUES (?,?,?,?,?,?)");

/// A site whose T_勤務 holds `rows` rows: `staff` members with one row a day on the days
/// before `today`, every clock-out present but every seventh.
struct Site {
    QTemporaryDir dir;
    QString path;
    QString iniPath;
    std::unique_ptr<tq::Database> db;
    int staff = 0;
    QDate today;

    Site(int rows, int staffCount) : staff(staffCount) {
        path = dir.filePath(QStringLiteral("DB/DB.mdb"));
        iniPath = dir.filePath(QStringLiteral("TQ582.ini"));
        QFile ini(iniPath);
        ini.open(QIODevice::WriteOnly);
        ini.write(kSettingsText);
        ini.close();
        db = tq::openEmbeddedDatabase(path, QString::fromLatin1(tq::kDatabasePassword), true);
        tq::EnsureTables(*db);
        const int days = rows / staffCount;
        today = QDate(2024, 5, 31);
        BareConnection bare(path);
        bare.exec("BEGIN IMMEDIATE");
        sqlite3_stmt* staffInsert = bare.prepare(QStringLiteral(
            "INSERT INTO \"T_担当者\" (\"担当者コード\",\"担当者名\",\"PassWord\",\"社員区分\","
            "\"残業計算区分\",\"勤務シフト\",\"廃番区分\",\"登録日\") "
            "VALUES (?,?,?,0,'有','A',0,'2020-01-01 00:00:00')"));
        sqlite3_stmt* work = bare.prepare(kWorkInsert);
        for (int s = 0; s < staffCount; ++s) {
            bindText(staffInsert, 1, codeOf(s));
            bindText(staffInsert, 2, QStringLiteral("社員%1").arg(s));
            bindText(staffInsert, 3, codeOf(s));
            step(staffInsert);
            for (int d = 1; d <= days; ++d) {
                const QDate day = today.addDays(-d);
                bindText(work, 1, codeOf(s));
                bindText(work, 2, tq::storedDate(day));
                bindText(work, 3, QStringLiteral("A"));
                sqlite3_bind_int(work, 4, 825);
                sqlite3_bind_int(work, 5, d % 7 == 0 ? 0 : 1745);
                bindText(work, 6, tq::formatDate(day) + QStringLiteral(" 08:25:00"));
                bindText(work, 7, tq::formatDate(day) + QStringLiteral(" 17:45:00"));
                step(work);
            }
        }
        sqlite3_finalize(staffInsert);
        sqlite3_finalize(work);
        bare.exec("COMMIT");
    }

    /// Takes back the rows of `day` so that every staff member can clock in on it again.
    void clearDay(const QDate& day) {
        tq::Sql s(QStringLiteral("DELETE * FROM T_勤務 WHERE 勤務日 = "));
        s.date(day);
        db->execute(s);
    }
};

/// One site per size, made on first use (a million rows take a while to write).
Site& siteOf(int rows) {
    static std::map<int, std::unique_ptr<Site>> sites;
    auto& s = sites[rows];
    if (!s) {
        s = std::make_unique<Site>(rows, rows >= 1000000 ? 1000 : 100);
    }
    return *s;
}

// --- A punch through the operation against the bare insert, on one file ----------------

void BM_PunchOperation(benchmark::State& state) {
    Site& s = siteOf(static_cast<int>(state.range(0)));
    s.clearDay(s.today);
    std::vector<double> millis;
    int next = 0;
    for (auto _ : state) {
        if (next == s.staff) {
            state.PauseTiming();
            s.clearDay(s.today);
            state.ResumeTiming();
            next = 0;
        }
        const QDateTime now = tq::wallClock(s.today, QTime(8, 10 + next % 40, next % 60));
        const auto start = SteadyClock::now();
        const tq::Identification who = tq::Identify(*s.db, codeOf(next), now);
        const tq::Outcome o = tq::ClockIn(*s.db, kContext, who, siteSettings(), now);
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        if (!o.accepted) {
            state.SkipWithError("clock-in refused");
            break;
        }
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1000.0);
        ++next;
    }
    reportPercentiles(state, millis);
}

// The same row and a log row of the same length, in one transaction, through the C API on
// the same file: what any implementation of a punch must at least pay.
void BM_BareInsert(benchmark::State& state) {
    Site& s = siteOf(static_cast<int>(state.range(0)));
    const QDate day = s.today.addDays(1);
    s.clearDay(day);
    BareConnection bare(s.path);
    sqlite3_stmt* work = bare.prepare(kWorkInsert);
    sqlite3_stmt* log = bare.prepare(kLogInsert);
    std::vector<double> millis;
    int next = 0;
    for (auto _ : state) {
        if (next == s.staff) {
            state.PauseTiming();
            s.clearDay(day);
            state.ResumeTiming();
            next = 0;
        }
        const QString stamp = tq::formatDate(day) + QStringLiteral(" 08:25:00");
        const QString content = QStringLiteral(
                                    "(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,"
                                    "出勤打刻日) VALUES ('%1',#%2#,'A',0825,'%3')")
                                    .arg(codeOf(next), tq::formatDate(day), stamp);
        const auto start = SteadyClock::now();
        bare.exec("BEGIN IMMEDIATE");
        bindText(work, 1, codeOf(next));
        bindText(work, 2, tq::storedDate(day));
        bindText(work, 3, QStringLiteral("A"));
        sqlite3_bind_int(work, 4, 825);
        sqlite3_bind_int(work, 5, 0);
        bindText(work, 6, stamp);
        sqlite3_bind_null(work, 7);
        step(work);
        bindText(log, 1, tq::storedDate(day));
        bindText(log, 2, kContext.computerName);
        bindText(log, 3, kContext.userName);
        bindText(log, 4, kContext.programName);
        bindText(log, 5, QStringLiteral("出勤"));
        bindText(log, 6, content);
        step(log);
        bare.exec("COMMIT");
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1000.0);
        ++next;
    }
    sqlite3_finalize(work);
    sqlite3_finalize(log);
    reportPercentiles(state, millis);
}

// --- A review and tq582ctl's start-up as T_勤務 grows --------------------------------------

void BM_Review(benchmark::State& state) {
    Site& s = siteOf(static_cast<int>(state.range(0)));
    std::vector<double> millis;
    int next = 0;
    for (auto _ : state) {
        const QDateTime now = tq::wallClock(s.today, QTime(12, 0));
        const auto start = SteadyClock::now();
        const tq::Identification who = tq::Identify(*s.db, codeOf(next), now);
        const tq::ReviewResult r = tq::MonthlyReview(*s.db, who, siteSettings(), now);
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        if (!r.outcome.accepted) {
            state.SkipWithError("review refused");
            break;
        }
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1000.0);
        next = (next + 1) % s.staff;
    }
    reportPercentiles(state, millis);
}

// tq582ctl from process start to exit: open the site's file, check its tables, show one
// staff member's shifts of a month.
void BM_CtlStartup(benchmark::State& state) {
    Site& s = siteOf(static_cast<int>(state.range(0)));
    const QString ctl = QCoreApplication::applicationDirPath() + QStringLiteral("/tq582ctl");
    if (!QFile::exists(ctl)) {
        state.SkipWithError("tq582ctl is not built beside the benchmark");
        return;
    }
    std::vector<double> millis;
    for (auto _ : state) {
        QProcess p;
        const auto start = SteadyClock::now();
        p.start(ctl, {QStringLiteral("shift"), QStringLiteral("show"), QStringLiteral("--code"),
                      codeOf(0), QStringLiteral("--month"), QStringLiteral("2024/05"),
                      QStringLiteral("--db"), s.path});
        p.waitForFinished(60000);
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            state.SkipWithError("tq582ctl failed");
            break;
        }
        state.SetIterationTime(took.count());
        millis.push_back(took.count() * 1000.0);
    }
    reportPercentiles(state, millis);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000)->Arg(100000)->Arg(1000000);
}

BENCHMARK(BM_PunchOperation)->Apply(sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareInsert)->Apply(sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Review)->Apply(sizes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CtlStartup)
    ->Apply(sizes)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
