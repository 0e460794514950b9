// The terminal's start-up on a site with many rows older than the archive cut-off, against an
// empty site: the first paint, the move of the old rows that follows it, a write's wait while
// rows move, and the memory during and after the move against the idle terminal's.
//
// The program runs itself as the terminal (--terminal MODE DIR) on two sites it makes: an
// empty one and one with ROWS rows in T_勤務 and ROWS in T_ログ, all before the cut-off.
//  - paint: from QProcess::start to the clock face's first paint, the two sites interleaved;
//  - move: the whole move, with a log row written through the window's connection every
//    100 ms meanwhile (each write's wait is what a punch would wait), the peak resident set
//    during the move and the resident set 5 s after it;
//  - idle: the resident set of the terminal on the empty site 5 s after its first paint.
// The site's time server is a port of 127.0.0.1 where nothing answers; the child's clock
// refuses every change.
//
// Usage: bench_old_rows [rows, default 1000000] [paint runs per site, default 7]

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/datetime.h"
#include "common/sysinfo.h"
#include "storage/oplog.h"
#include "storage/schema.h"
#include "terminal/clock_face.h"
#include "terminal/message_boxes.h"
#include "terminal/terminal_window.h"
#include "terminal_child.h"
#include "timesync/clock.h"
#include "timesync/ntp.h"

namespace {

using tq::bench::ReadOnlyClock;
using tq::bench::silentPort;
using tq::bench::StderrMessages;

/// A line of /proc/self/status in KiB (VmRSS, VmHWM).
long statusKiB(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key)) {
            return line.mid(static_cast<int>(std::strlen(key)) + 1)
                .trimmed()
                .split(' ')[0]
                .toLong();
        }
    }
    return -1;
}

class FirstPaint final : public QObject {
  public:
    explicit FirstPaint(std::function<void()> then) : then_(std::move(then)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, then_);
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
    std::function<void()> then_;
};

int runTerminal(int argc, char** argv, const QByteArray& mode, const QString& dir) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TQ582"));
    ReadOnlyClock clock;
    StderrMessages boxes;
    tq::RealSystemInfo systemInfo;
    tq::HorvexLibrary ntp;
    tq::TerminalWindow window(tq::TerminalSeams{clock, boxes, systemInfo, ntp, dir});
    QElapsedTimer sinceStart;
    sinceStart.start();
    std::vector<double> waits;
    QTimer writer;
    FirstPaint firstPaint([&] {
        if (mode == "paint") {
            std::printf("painted\n");
            std::fflush(stdout);
            ::_exit(0);
        }
        if (mode == "idle") {
            QTimer::singleShot(5000, [] {
                std::printf("idle rss %ld KiB\n", statusKiB("VmRSS:"));
                std::fflush(stdout);
                ::_exit(0);
            });
            return;
        }
        const qint64 paintedAt = sinceStart.elapsed();
        QObject::connect(&writer, &QTimer::timeout, [&, paintedAt] {
            if (window.isTidying()) {
                QElapsedTimer wait;
                wait.start();
                tq::WriteLog(*window.state().Conn,
                             tq::LogContext{QStringLiteral("BENCH"), QStringLiteral("u"),
                                            QStringLiteral("bench")},
                             clock.now(), QStringLiteral("計測"), QString());
                waits.push_back(static_cast<double>(wait.nsecsElapsed()) / 1e6);
                return;
            }
            writer.stop();
            const double moveMs = static_cast<double>(sinceStart.elapsed() - paintedAt);
            const long peak = statusKiB("VmHWM:");
            QTimer::singleShot(5000, [&, moveMs, peak] {
                std::sort(waits.begin(), waits.end());
                std::printf(
                    "move %.0f ms after the paint; %zu writes meanwhile: median wait "
                    "%.1f ms, max %.1f ms; peak rss %ld KiB; rss 5 s after %ld KiB\n",
                    moveMs, waits.size(), waits.empty() ? 0.0 : waits[waits.size() / 2],
                    waits.empty() ? 0.0 : waits.back(), peak, statusKiB("VmRSS:"));
                std::fflush(stdout);
                ::_exit(0);
            });
        });
        writer.start(100);
    });
    window.controls().clockFace->installEventFilter(&firstPaint);
    if (!window.start()) {
        return 1;
    }
    window.show();
    window.activateWindow();
    window.controls().PassWord->setFocus();
    return QApplication::exec();
}

/// A site folder (TQ582 with its two files, DB, EXCEL); returns its working directory.
QString makeSite(const QString& root) {
    const QString work = root + QStringLiteral("/TQ582");
    QDir().mkpath(work);
    QDir().mkpath(root + QStringLiteral("/EXCEL"));
    QFile::copy(QStringLiteral(TQ582_SOURCE_DIR "/site/TQ582/TQ582.ini"),
                work + QStringLiteral("/TQ582.ini"));
    QFile sys(work + QStringLiteral("/Sys.ini"));
    sys.open(QIODevice::WriteOnly);
    sys.write(QStringLiteral("[MDBName]\r\n../DB/DB.mdb\r\n[NTPServer]\r\n127.0.0.1:%1\r\n")
                  .arg(silentPort())
                  .toLatin1());
    sys.close();
    auto db = tq::openEmbeddedDatabase(root + QStringLiteral("/DB/DB.mdb"),
                                       QString::fromLatin1(tq::kDatabasePassword), true);
    tq::EnsureTables(*db);
    return work;
}

/// `rows` rows in T_勤務 and in T_ログ, 100 staff codes a day, the newest 400 days ago.
void fillOldRows(const QString& path, qint64 rows) {
    sqlite3* raw = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &raw);
    sqlite3_key(raw, tq::kDatabasePassword, static_cast<int>(std::strlen(tq::kDatabasePassword)));
    const QByteArray n = QByteArray::number(rows);
    const QByteArray newest =
        QDate::currentDate().addDays(-400).toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    const QByteArray script =
        "BEGIN;"
        "WITH RECURSIVE k(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM k WHERE x + 1 < " +
        n +
        ") INSERT INTO T_勤務 (担当者コード,勤務日,状態,シフト,出勤時刻,退勤時刻) "
        "SELECT printf('%04d', 1000 + x % 100), datetime('" +
        newest +
        "', '-' || (x / 100) || ' days'), '', 'A', 900, 1800 FROM k;"
        "WITH RECURSIVE k(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM k WHERE x + 1 < " +
        n +
        ") INSERT INTO T_ログ (処理日時,コンピュータ名,ユーザー名,担当者名,プログラム名,処理名,"
        "内容) SELECT datetime('" +
        newest +
        " 12:00:00', '-' || (x / 60) || ' minutes'), 'PC01', 'user', '山田', '出勤・退勤', "
        "'出勤', 'INSERT INTO T_勤務 ... ' || x FROM k;"
        "COMMIT;";
    char* error = nullptr;
    if (sqlite3_exec(raw, script.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        qFatal("fill: %s", error);
    }
    sqlite3_exec(raw, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
}

QByteArray runChild(const char* mode, const QString& work, double* ms) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--terminal"), QString::fromLatin1(mode), work});
    QByteArray output;
    while (!output.contains('\n') && child.waitForReadyRead(600000)) {
        output += child.readAll();
    }
    if (ms) {
        *ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    }
    child.waitForFinished(10000);
    return output.trimmed();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--terminal") {
        return runTerminal(argc, argv, argv[2], QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1'000'000;
    const int runs = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 7;

    QTemporaryDir root;
    const QString empty = makeSite(root.filePath(QStringLiteral("empty")));
    const QString old = makeSite(root.filePath(QStringLiteral("old")));
    fillOldRows(root.filePath(QStringLiteral("old/DB/DB.mdb")), rows);
    std::printf("old rows: %lld in T_勤務 and %lld in T_ログ\n", static_cast<long long>(rows),
                static_cast<long long>(rows));

    std::vector<double> emptyMs;
    std::vector<double> oldMs;
    runChild("paint", empty, nullptr);  // warms the page cache and the fonts for both
    runChild("paint", old, nullptr);
    for (int run = 0; run < runs; ++run) {
        double ms = 0;
        runChild("paint", empty, &ms);
        emptyMs.push_back(ms);
        runChild("paint", old, &ms);
        oldMs.push_back(ms);
        std::printf("run %d: first paint, empty site %.1f ms, old rows %.1f ms\n", run + 1,
                    emptyMs.back(), oldMs.back());
    }
    std::printf("first paint medians: empty %.1f ms, old rows %.1f ms, ratio %.2f\n",
                median(emptyMs), median(oldMs), median(oldMs) / median(emptyMs));
    std::printf("idle terminal (empty site): %s\n", runChild("idle", empty, nullptr).constData());
    std::printf("old-rows site: %s\n", runChild("move", old, nullptr).constData());
    return 0;
}
