// The two engines side by side, as terminals of a site use them: punches per second and the
// median, 99th-percentile and longest punch (identification + clock-in or clock-out, each its
// own transaction with its log row) with 1 and with 4 terminals punching at once, each a
// process of its own with its own connection; and the review of every one of 200 staff on a
// site of 200 staff × 62 days.
//
// Usage: bench_engines [URI]   the server part runs on a fresh database made through URI
//                              (a role that may create databases), or TQ582_BENCH_PG_URI.
// scripts/pg-test-server.sh start --durable gives a local server that flushes like a real one.

#include <libpq-fe.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "attendance/identify.h"
#include "attendance/punch.h"
#include "attendance/review.h"
#include "common/datetime.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/oplog.h"
#include "storage/schema.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kStaff = 200;
constexpr int kDays = 62;
constexpr int kPunchDays = 3;
const QDate kFirstPunchDay(2024, 6, 3);

QString codeOf(int i) {
    return QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0'));
}

const tq::Settings& siteSettings() {
    static const tq::Settings settings =
        tq::LoadSettings(QStringLiteral("[給与締日]\n末日\n[過日修正可能日]\n末日\n"
                                        "[始業時刻]\n09:00\n[終業時刻]\n18:00\n"
                                        "[所定勤務時間]\n480\n[残業対象時間]\n480\n"
                                        "[勤務時間別休憩時間]\n00:00-06:00 0\n06:01-24:00 60\n"
                                        "[休日]\n日曜日\n土曜日\n")
                             .toUtf8())
            .settings;
    return settings;
}

const tq::LogContext kContext{QStringLiteral("TERM"), QStringLiteral("bench"),
                              QStringLiteral("出勤・退勤")};

/// 200 staff with a row on each of the 62 days before the first punch day.
void fillSite(tq::Database& db) {
    tq::EnsureTables(db);
    tq::WriteTransaction tx(db);
    for (int s = 0; s < kStaff; ++s) {
        tq::Sql staff(QStringLiteral(
            "INSERT INTO T_担当者 (担当者コード,担当者名,[PassWord],残業計算区分) VALUES ("));
        staff.text(codeOf(s))
            .raw(QStringLiteral(","))
            .text(QStringLiteral("社員%1").arg(s))
            .raw(QStringLiteral(","))
            .text(codeOf(s))
            .raw(QStringLiteral(",'有')"));
        db.execute(staff);
        for (int d = 1; d <= kDays; ++d) {
            const QDate day = kFirstPunchDay.addDays(-d);
            tq::Sql work(
                QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,出勤時刻,"
                               "退勤時刻,出勤打刻日,退勤打刻日) VALUES ("));
            work.text(codeOf(s))
                .raw(QStringLiteral(","))
                .date(day)
                .raw(QStringLiteral(",825,1745,"))
                .text(tq::formatDate(day) + QStringLiteral(" 08:25:00"))
                .raw(QStringLiteral(","))
                .text(tq::formatDate(day) + QStringLiteral(" 17:45:00"))
                .raw(QStringLiteral(")"));
            db.execute(work);
        }
    }
    tx.commit();
}

double percentile(std::vector<double> v, int p) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, v.size() * static_cast<size_t>(p) / 100)];
}

/// One terminal's share of the punches: staff t, t + terminals, ... in and out on three days.
/// Returns each punch's time in milliseconds (identification and the clock-in or clock-out).
std::vector<double> punchShare(tq::Database& db, int t, int terminals, int dayOffset,
                               int& refused) {
    std::vector<double> millis;
    for (int d = 0; d < kPunchDays; ++d) {
        const QDate day = kFirstPunchDay.addDays(dayOffset + d);
        for (int in = 1; in >= 0; --in) {
            for (int s = t; s < kStaff; s += terminals) {
                const QDateTime now = tq::wallClock(day, QTime(in ? 8 : 17, s % 60, 0));
                const auto t0 = SteadyClock::now();
                const tq::Identification who = tq::Identify(db, codeOf(s), now);
                const tq::Outcome o = in ? tq::ClockIn(db, kContext, who, siteSettings(), now)
                                         : tq::ClockOut(db, kContext, who, siteSettings(), now);
                const std::chrono::duration<double, std::milli> took = SteadyClock::now() - t0;
                if (!o.accepted) {
                    ++refused;
                }
                millis.push_back(took.count());
            }
        }
    }
    return millis;
}

/// A terminal process: opens the database, says "ready", punches its share once a line
/// arrives on standard input, then prints one time a line and "refused N".
int terminalProcess(const QStringList& args) {
    auto db = tq::openDatabase(args[2], QString::fromLatin1(tq::kDatabasePassword), false);
    std::printf("ready\n");
    std::fflush(stdout);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin)) {
        return 2;
    }
    int refused = 0;
    for (double ms : punchShare(*db, args[3].toInt(), args[4].toInt(), args[5].toInt(), refused)) {
        std::printf("%.3f\n", ms);
    }
    std::printf("refused %d\n", refused);
    return 0;
}

/// `terminals` processes, each on its own connection as a terminal is, punch their share of
/// the staff in and out on three days; all start together once every one has opened the
/// database.
void punches(const QString& name, int terminals, int dayOffset) {
    std::vector<std::unique_ptr<QProcess>> procs;
    for (int t = 0; t < terminals; ++t) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--terminal"), name, QString::number(t),
                  QString::number(terminals), QString::number(dayOffset)});
        procs.push_back(std::move(p));
    }
    for (auto& p : procs) {
        if (!p->waitForReadyRead(60'000) || !p->readLine().startsWith("ready")) {
            std::printf("  a terminal did not start\n");
            return;
        }
    }
    const auto start = SteadyClock::now();
    for (auto& p : procs) {
        p->write("go\n");
        p->waitForBytesWritten();
    }
    std::vector<double> all;
    int refused = 0;
    double wallSeconds = 0;
    for (auto& p : procs) {
        p->waitForFinished(600'000);
        const std::chrono::duration<double> took = SteadyClock::now() - start;
        wallSeconds = std::max(wallSeconds, took.count());
        for (const QByteArray& line : p->readAllStandardOutput().split('\n')) {
            if (line.startsWith("refused ")) {
                refused += line.mid(8).toInt();
            } else if (!line.isEmpty()) {
                all.push_back(line.toDouble());
            }
        }
    }
    std::printf(
        "  %d terminal%s: %zu punches in %.2f s = %.0f punches/s, median %.2f ms, "
        "p99 %.2f ms, max %.2f ms%s\n",
        terminals, terminals == 1 ? "" : "s", all.size(), wallSeconds,
        static_cast<double>(all.size()) / wallSeconds, percentile(all, 50), percentile(all, 99),
        all.empty() ? 0.0 : *std::max_element(all.begin(), all.end()),
        refused ? " (REFUSED PUNCHES!)" : "");
}

void reviews(const QString& name) {
    auto db = tq::openDatabase(name, QString::fromLatin1(tq::kDatabasePassword), false);
    // 31 May: the period is May, every one of its 31 days has the employee's row.
    const QDateTime now = tq::wallClock(QDate(2024, 5, 31), QTime(12, 0));
    std::vector<double> millis;
    const auto start = SteadyClock::now();
    for (int s = 0; s < kStaff; ++s) {
        const auto t0 = SteadyClock::now();
        const tq::Identification who = tq::Identify(*db, codeOf(s), now);
        const tq::ReviewResult r = tq::MonthlyReview(*db, who, siteSettings(), now);
        const std::chrono::duration<double, std::milli> took = SteadyClock::now() - t0;
        if (r.days.size() != 31) {
            std::printf("  review of %s did not list 31 days!\n", qPrintable(codeOf(s)));
        }
        millis.push_back(took.count());
    }
    const std::chrono::duration<double> wall = SteadyClock::now() - start;
    std::printf(
        "  review of all %d staff (site of %d staff x %d days): %.2f s, per review "
        "median %.2f ms, p99 %.2f ms\n",
        kStaff, kStaff, kDays, wall.count(), percentile(millis, 50), percentile(millis, 99));
}

void runEngine(const char* title, const QString& name) {
    std::printf("%s\n", title);
    {
        auto db = tq::openDatabase(name, QString::fromLatin1(tq::kDatabasePassword), true);
        fillSite(*db);
    }
    reviews(name);
    punches(name, 1, 0);
    punches(name, 4, 7);
    std::fflush(stdout);
}

bool admin(const QString& uri, const QString& statement) {
    PGconn* c = PQconnectdb(uri.toUtf8().constData());
    bool ok = PQstatus(c) == CONNECTION_OK;
    if (ok) {
        PGresult* r = PQexec(c, statement.toUtf8().constData());
        ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        if (!ok) {
            std::fprintf(stderr, "%s", PQresultErrorMessage(r));
        }
        PQclear(r);
    } else {
        std::fprintf(stderr, "%s", PQerrorMessage(c));
    }
    PQfinish(c);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    try {
        if (app.arguments().value(1) == u"--terminal" && app.arguments().size() == 6) {
            return terminalProcess(app.arguments());
        }
        QTemporaryDir dir;
        runEngine("embedded file (SQLCipher, WAL, synchronous=FULL):",
                  dir.filePath(QStringLiteral("DB/DB.mdb")));
        QString uri =
            argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("TQ582_BENCH_PG_URI");
        if (uri.isEmpty()) {
            std::printf("server: no URI given, skipped\n");
            return 0;
        }
        const QString name = QStringLiteral("tq582_bench_%1").arg(app.applicationPid());
        if (!admin(uri, QStringLiteral("CREATE DATABASE ") + name +
                            QStringLiteral(" TEMPLATE template0 ENCODING 'UTF8'"))) {
            return 1;
        }
        QUrl url(uri);
        url.setPath(QLatin1Char('/') + name);
        runEngine("server (PostgreSQL 15 over libpq, 127.0.0.1):", url.toString());
        admin(uri, QStringLiteral("DROP DATABASE ") + name + QStringLiteral(" WITH (FORCE)"));
    } catch (const tq::DbError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
