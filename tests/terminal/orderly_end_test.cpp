// The end of the program asked from outside the window: signals to the real terminal running
// offscreen as a child process, and the end while a handler waits on a dialog.
#include <gtest/gtest.h>

#include <signal.h>

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include "../child_process.h"
#include "../horvex/sntp_fake.h"
#include "../testsupport.h"
#include "terminal/orderly_end.h"
#include "terminal_site.h"

namespace tq::test {
namespace {

/// The operation names of T_ログ in order; empty when the database cannot be read yet.
QStringList logOperations(const QString& dbPath) {
    QStringList names;
    if (!QFile::exists(dbPath)) {
        return names;
    }
    try {
        auto db = OpenSiteDb(dbPath);
        auto rs = db->query(Sql(QStringLiteral("SELECT 処理名 FROM T_ログ ORDER BY 連番")));
        while (rs->next()) {
            names << rs->text(QStringLiteral("処理名"));
        }
    } catch (const DbError&) {
        names.clear();  // still being created by the terminal
    }
    return names;
}

struct SignalCase {
    const char* name;
    int signal;
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

class TerminalSignal : public ::testing::TestWithParam<SignalCase> {};

TEST_P(TerminalSignal, EndsTheTerminalAsTheCloseRequestDoes) {
    // A time server port that swallows every request: nothing answers, the clock is never set.
    QUdpSocket swallow;
    ASSERT_TRUE(swallow.bind(QHostAddress::LocalHost, 0));
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString work = root.filePath(QStringLiteral("TQ582"));
    writeFile(work + QStringLiteral("/TQ582.ini"), cp932Lines(DefaultSettingsText()));
    writeFile(work + QStringLiteral("/Sys.ini"),
              cp932Lines(QStringLiteral("[NTPServer]\n127.0.0.1:%1\n").arg(swallow.localPort())));
    const QString dbPath = root.filePath(QStringLiteral("DB/DB.mdb"));

    QProcess terminal;
    terminal.setWorkingDirectory(work);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    terminal.setProcessEnvironment(env);
    terminal.setProcessChannelMode(QProcess::MergedChannels);
    terminal.start(QCoreApplication::applicationDirPath() + QStringLiteral("/TQ582"));
    ASSERT_TRUE(terminal.waitForStarted(10'000));
    const bool running =
        waitUntil([&] { return logOperations(dbPath).contains(QStringLiteral("開始")); }, 20'000);
    if (!running) {
        terminal.kill();
        terminal.waitForFinished();
        FAIL() << "the terminal did not start: " << terminal.readAll().toStdString();
    }
    QTest::qWait(500);  // start-up finishes its last steps

    ASSERT_EQ(::kill(static_cast<pid_t>(terminal.processId()), GetParam().signal), 0);
    const bool finished = terminal.waitForFinished(15'000);
    if (!finished) {
        terminal.kill();
        terminal.waitForFinished();
    }
    ASSERT_TRUE(finished) << GetParam().name;
    EXPECT_EQ(terminal.exitStatus(), QProcess::NormalExit) << terminal.readAll().toStdString();
    EXPECT_EQ(terminal.exitCode(), 0);
    const QStringList operations = logOperations(dbPath);
    ASSERT_FALSE(operations.isEmpty());
    EXPECT_EQ(operations.last(), QStringLiteral("終了")) << operations.join(u',').toStdString();
    EXPECT_EQ(operations.count(QStringLiteral("終了")), 1);
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminalSignal,
                         ::testing::Values(SignalCase{"SIGTERM", SIGTERM},
                                           SignalCase{"SIGINT", SIGINT},
                                           SignalCase{"SIGHUP", SIGHUP}),
                         [](const ::testing::TestParamInfo<SignalCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(OrderlyEnd, EndsFromASecondaryViewWithoutFoldingBack) {
    TerminalSite site;
    TerminalWindow& w = site.startShown();
    int exitCode = -1;
    QObject::connect(&w, &TerminalWindow::programEnded, [&exitCode](int code) { exitCode = code; });
    w.openSettingsView();
    ASSERT_TRUE(w.controls().INI_TEXT->isVisible());

    OrderlyEnd end(w);
    end.request();
    EXPECT_TRUE(w.hasEnded());
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(w.isVisible()) << "the window is closed";
    EXPECT_EQ(w.state().Conn, nullptr) << "the database is closed";
    EXPECT_EQ(site.ntp.closeCalls, 1) << "the time library is closed";
    EXPECT_EQ(logOperations(site.defaultDb()).last(), QStringLiteral("終了"));
    end.request();
    EXPECT_EQ(logOperations(site.defaultDb()).count(QStringLiteral("終了")), 1) << "ends once";
}

TEST(OrderlyEnd, TheEndOfTheDesktopSessionEndsTheTerminalInOrder) {
    // Told to quit, the application stays quitting: a process of its own.
    if (!runsInChild({{QStringLiteral("fresh process"), {}}})) {
        return;
    }
    TerminalSite site;
    TerminalWindow& w = site.startShown();
    OrderlyEnd end(w);
    end.watchApplication();
    w.controls().社員保守->click();
    ASSERT_EQ(w.widthTwips(), TerminalWindow::kWideWidthTwips) << "a secondary view is open";

    // The session manager tells the application to quit.
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(qApp, &quit);
    EXPECT_TRUE(w.hasEnded()) << "not merely folded back to the punch screen";
    EXPECT_EQ(w.state().Conn, nullptr);
    EXPECT_EQ(site.ntp.closeCalls, 1);
    EXPECT_EQ(logOperations(site.defaultDb()).last(), QStringLiteral("終了"));
}

TEST(OrderlyEnd, AHandlerWaitingOnADialogFinishesFirst) {
    TerminalSite site;
    TerminalWindow& w = site.startShown();
    OrderlyEnd end(w);
    bool handlerRan = false;
    bool endedInsideHandler = true;
    bool databaseInsideHandler = false;
    QTimer::singleShot(0, &w, [&] {
        // A handler asks a question; the end is asked for while the box is open.
        QMessageBox box(QMessageBox::Question, w.caption(), QStringLiteral("?"),
                        QMessageBox::Ok | QMessageBox::Cancel, &w);
        QTimer::singleShot(100, &end, [&end] { end.request(); });
        const int answer = box.exec();
        handlerRan = true;
        EXPECT_EQ(answer, QMessageBox::Cancel) << "the box is closed as with Esc";
        endedInsideHandler = w.hasEnded();
        databaseInsideHandler = w.state().Conn != nullptr;
    });
    ASSERT_TRUE(waitUntil([&] { return w.hasEnded(); }, 5000));
    EXPECT_TRUE(handlerRan);
    EXPECT_FALSE(endedInsideHandler);
    EXPECT_TRUE(databaseInsideHandler) << "the handler still had its database";
    EXPECT_EQ(logOperations(site.defaultDb()).last(), QStringLiteral("終了"));
}

}  // namespace
}  // namespace tq::test
