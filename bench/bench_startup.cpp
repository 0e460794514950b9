// The terminal's start-up on an existing site: from the start of the process to the first
// paint of the clock face. The program runs itself as the terminal (--terminal DIR) a number
// of times and times each run from QProcess::start until the child reports the painted clock.
// The child is the terminal's own start-up (real Horvex library, real encrypted database,
// real settings file) under QT_QPA_PLATFORM=offscreen.
//
// The site's time server is a port of 127.0.0.1 where nothing answers, and the child's clock
// refuses every change: the run never touches the machine's clock.
//
// Usage: bench_startup [runs, default 20]
// Prints each run and the median, 90th percentile and mean in milliseconds, and the median
// processor time the terminal used up to its paint (a figure a busy machine does not inflate).

#include <unistd.h>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <vector>

#include "common/sysinfo.h"
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

/// Reports the first paint of the clock face once it is done, and ends the process.
class FirstPaint final : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Queued: runs after the paint event has been handled.
            QTimer::singleShot(0, [] {
                timespec cpu{};
                clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
                std::printf("painted %.3f\n", static_cast<double>(cpu.tv_sec) * 1e3 +
                                                  static_cast<double>(cpu.tv_nsec) / 1e6);
                std::fflush(stdout);
                ::_exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
};

int runTerminal(int argc, char** argv, const QString& workingDirectory) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TQ582"));
    ReadOnlyClock clock;
    StderrMessages boxes;
    tq::RealSystemInfo systemInfo;
    tq::HorvexLibrary ntp;
    tq::TerminalWindow window(tq::TerminalSeams{clock, boxes, systemInfo, ntp, workingDirectory});
    FirstPaint firstPaint;
    window.controls().clockFace->installEventFilter(&firstPaint);
    if (!window.start()) {
        return 1;
    }
    window.show();
    window.activateWindow();
    window.controls().PassWord->setFocus();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--terminal") {
        return runTerminal(argc, argv, QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 20;

    QTemporaryDir site;
    const QString work = site.filePath(QStringLiteral("TQ582"));
    QDir().mkpath(work);
    QDir().mkpath(site.filePath(QStringLiteral("EXCEL")));
    QFile::copy(QStringLiteral(TQ582_SOURCE_DIR "/site/TQ582/TQ582.ini"),
                work + QStringLiteral("/TQ582.ini"));
    QFile sys(work + QStringLiteral("/Sys.ini"));
    sys.open(QIODevice::WriteOnly);
    sys.write(QStringLiteral("[MDBName]\r\n../DB/DB.mdb\r\n[NTPServer]\r\n127.0.0.1:%1\r\n")
                  .arg(silentPort())
                  .toLatin1());
    sys.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    std::vector<double> millis;
    std::vector<double> cpuMillis;  // the child's own processor time up to the paint
    // Run 0 makes the database file: the site exists from run 1 on.
    for (int run = 0; run <= runs; ++run) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--terminal"), work});
        bool painted = false;
        QByteArray output;
        while (!painted && child.waitForReadyRead(30000)) {
            output += child.readAll();
            painted = output.contains('\n');
        }
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        child.waitForFinished(10000);
        if (!painted) {
            std::fprintf(stderr, "run %d: the terminal ended without painting its clock\n", run);
            return 1;
        }
        const double cpuMs = output.trimmed().split(' ').value(1).toDouble();
        if (run > 0) {
            millis.push_back(ms);
            cpuMillis.push_back(cpuMs);
            std::printf("run %2d: %.1f ms (CPU %.1f ms)\n", run, ms, cpuMs);
        } else {
            std::printf("run  0 (creates the database, not counted): %.1f ms\n", ms);
        }
    }
    std::sort(millis.begin(), millis.end());
    const double mean =
        std::accumulate(millis.begin(), millis.end(), 0.0) / static_cast<double>(millis.size());
    std::printf(
        "start-up to first painted clock: median %.1f ms, p90 %.1f ms, mean %.1f ms (%zu runs)\n",
        millis[millis.size() / 2], millis[millis.size() * 9 / 10], mean, millis.size());
    std::sort(cpuMillis.begin(), cpuMillis.end());
    std::printf("processor time of the terminal up to its first paint: median %.1f ms\n",
                cpuMillis[cpuMillis.size() / 2]);
    return 0;
}
