// Start-up of the terminal window: system files, database creation, broken tables, the
// purge into the archive tables, unreadable settings and the controls as start-up leaves them.
#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>

#include "../attendance/punch_fixture.h"
#include "../test_database.h"
#include "../testsupport.h"
#include "common/datetime.h"
#include "storage/oplog.h"
#include "storage/schema.h"
#include "terminal_site.h"

using namespace tq;
using namespace tq::test;
using namespace Qt::StringLiterals;

namespace {

struct SystemFileCase {
    const char* name;
    QString sysIni;          ///< empty: no "Sys.ini"
    QString perComputerIni;  ///< empty: no "Sys_TERM01.ini"
    QString expectedDb;      ///< relative to the site root
};

}  // namespace

TEST(StartUp, FindsTheDatabaseThroughTheSystemFiles) {
    const std::vector<SystemFileCase> cases = {
        {"no system file", QString(), QString(), QStringLiteral("DB/DB.mdb")},
        {"Sys.ini only", QStringLiteral("[MDBName]\n../data/common.mdb\n"), QString(),
         QStringLiteral("data/common.mdb")},
        {"both files: the computer's own wins", QStringLiteral("[MDBName]\n../data/common.mdb\n"),
         QStringLiteral("[MDBName]\n../data/term01.mdb\n"), QStringLiteral("data/term01.mdb")},
        {"two path lines and a comment",
         QStringLiteral("[MDBName]\n#the shared drive\n../a/first.mdb\n../b/second.mdb\n"),
         QString(), QStringLiteral("b/second.mdb")},
    };
    for (const SystemFileCase& c : cases) {
        TerminalSite site;
        if (!c.sysIni.isEmpty()) {
            site.writeWorkFile(QStringLiteral("Sys.ini"), c.sysIni);
        }
        if (!c.perComputerIni.isEmpty()) {
            site.writeWorkFile(QStringLiteral("Sys_TERM01.ini"), c.perComputerIni);
        }
        TerminalWindow& w = site.start();
        ASSERT_TRUE(site.started) << c.name << ": " << site.boxes.texts().join(u'|').toStdString();
        const QString expected = site.root() + QStringLiteral("/") + c.expectedDb;
        EXPECT_EQ(w.state().MdbName, expected) << c.name;
        EXPECT_TRUE(QFile::exists(expected)) << c.name;
        EXPECT_TRUE(site.boxes.shown.empty()) << c.name;
    }
}

TEST(StartUp, FindsTheComputersSystemFileWhateverTheLetterCaseOfItsName) {
    struct Case {
        const char* name;
        QString computer;
        QString file;
    };
    const Case cases[] = {
        {"written in capitals, as Windows does", QStringLiteral("term01"),
         QStringLiteral("Sys_TERM01.ini")},
        {"written in small letters", QStringLiteral("TERM01"), QStringLiteral("Sys_term01.ini")},
        {"mixed", QStringLiteral("Term01"), QStringLiteral("Sys_tERM01.ini")},
    };
    for (const Case& c : cases) {
        TerminalSite site;
        site.info.computer = c.computer;
        site.writeWorkFile(QStringLiteral("Sys.ini"),
                           QStringLiteral("[MDBName]\n../data/common.mdb\n"));
        site.writeWorkFile(c.file, QStringLiteral("[MDBName]\n../data/own.mdb\n"));
        TerminalWindow& w = site.start();
        ASSERT_TRUE(site.started) << c.name;
        EXPECT_EQ(w.state().MdbName, site.root() + QStringLiteral("/data/own.mdb")) << c.name;
    }
}

TEST(StartUp, ASystemFileNamingAServerStartsOnTheServer) {
    QString why;
    const QString uri = createServerDatabase(&why);
    if (uri.isEmpty()) {
        GTEST_SKIP() << why.toStdString();
    }
    {
        TerminalSite site;
        site.writeWorkFile(
            QStringLiteral("Sys.ini"),
            QStringLiteral("[MDBName]\n#the site's server\n") + uri + QStringLiteral("\n"));
        TerminalWindow& w = site.start();
        ASSERT_TRUE(site.started) << site.boxes.texts().join(u'|').toStdString();
        EXPECT_EQ(w.state().MdbName, uri);
        EXPECT_FALSE(QFile::exists(site.root() + QStringLiteral("/DB"))) << "no file made";
        auto db = openDatabase(uri, QString(), false);
        EXPECT_EQ(db->tableNames().size(), 7);  // the site, archive and leave tables
        auto log = db->query(Sql(QStringLiteral("SELECT * FROM T_ログ")));
        ASSERT_TRUE(log->next());
        EXPECT_EQ(log->text(QStringLiteral("処理名")), QStringLiteral("開始"));
        EXPECT_EQ(log->dateTime(QStringLiteral("処理日時")), site.clock.current);
    }
    dropServerDatabase(uri);
}

TEST(StartUp, NewDatabaseGetsItsTablesAndStartsItsLogWithTheStart) {
    TerminalSite site;
    site.writeWorkFile(QStringLiteral("Sys.ini"), QStringLiteral("[MDBName]\n../新しい/DB.mdb\n"));
    TerminalWindow& w = site.start();
    ASSERT_TRUE(site.started);
    Database& db = *w.state().Conn;
    for (const QString& table :
         {QStringLiteral("T_ログ"), QStringLiteral("T_担当者"), QStringLiteral("T_勤務")}) {
        EXPECT_EQ(db.probeTable(table), TableState::Present) << table.toStdString();
    }
    auto log = db.query(Sql(QStringLiteral("SELECT * FROM T_ログ ORDER BY 連番")));
    ASSERT_TRUE(log->next());
    EXPECT_EQ(log->text(QStringLiteral("処理名")), QStringLiteral("開始"));
    EXPECT_EQ(log->text(QStringLiteral("内容")), QString());
    EXPECT_EQ(log->text(QStringLiteral("コンピュータ名")), QStringLiteral("TERM01"));
    EXPECT_EQ(log->text(QStringLiteral("ユーザー名")), QStringLiteral("tanaka"));
    EXPECT_EQ(log->text(QStringLiteral("プログラム名")), QStringLiteral("出勤・退勤"));
    EXPECT_EQ(log->dateTime(QStringLiteral("処理日時")), site.clock.current);
    EXPECT_FALSE(log->next());
}

TEST(StartUp, BrokenTableStopsStartUpWithItsName) {
    TerminalSite site;
    {
        auto db =
            openEmbeddedDatabase(site.defaultDb(), QString::fromLatin1(kDatabasePassword), true);
        db->execute(Sql(QStringLiteral("CREATE VIEW T_担当者 AS SELECT a FROM T_無い")));
    }
    TerminalWindow& w = site.start();
    EXPECT_FALSE(site.started);
    EXPECT_TRUE(w.hasEnded());
    ASSERT_EQ(site.boxes.shown.size(), 1u);
    EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("T_担当者が壊れています"));
    EXPECT_EQ(site.boxes.shown[0].title, QStringLiteral("出勤・退勤"));
    EXPECT_EQ(w.state().Conn, nullptr);

    auto db = OpenSiteDb(site.defaultDb());
    EXPECT_EQ(db->probeTable(QStringLiteral("T_勤務")), TableState::Missing)
        << "nothing after the broken table is created";
    EXPECT_EQ(CountRows(*db, QStringLiteral("T_ログ")), 0) << "the start is not logged";
}

namespace {

struct PurgeCase {
    const char* name;
    QDateTime startAt;
    QDate lastArchivedDay;  ///< the day before the cut-off
    QDate cutoff;
    QString closingAndCorrection;  ///< "[給与締日]" and "[過日修正可能日]" in place of 20 and 25
};

void insertWorkRow(Database& db, const QString& code, const QDate& day) {
    db.execute(Sql()
                   .raw(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,シフト) VALUES ("))
                   .text(code)
                   .raw(QStringLiteral(","))
                   .date(day)
                   .raw(QStringLiteral(","))
                   .text(QStringLiteral("A"))
                   .raw(QStringLiteral(")")));
}

QList<QDate> workDays(Database& db, const QString& table) {
    QList<QDate> days;
    auto rs = db.query(
        Sql(QStringLiteral("SELECT 勤務日 FROM ") + table + QStringLiteral(" ORDER BY 勤務日")));
    while (rs->next()) {
        days << rs->date(QStringLiteral("勤務日"));
    }
    return days;
}

QStringList logOperations(Database& db, const QString& table) {
    QStringList ops;
    auto rs = db.query(
        Sql(QStringLiteral("SELECT 処理名 FROM ") + table + QStringLiteral(" ORDER BY 処理日時")));
    while (rs->next()) {
        ops << rs->text(QStringLiteral("処理名"));
    }
    return ops;
}

}  // namespace

namespace {

/// Turns the event loop until `done` holds, at most `ms` milliseconds.
bool waitUntil(const std::function<bool()>& done, int ms = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) {
            return false;
        }
        QTest::qWait(1);
    }
    return true;
}

/// A site with `rows` work rows (and as many log rows) spread over the days before `cutoff`.
void addOldRows(const QString& path, const QDate& cutoff, int rows) {
    auto db = openEmbeddedDatabase(path, QString::fromLatin1(kDatabasePassword), true);
    ASSERT_EQ(EnsureTables(*db), QString());
    WriteTransaction tx(*db);
    const LogContext ctx{QStringLiteral("OLD"), QStringLiteral("u"), QStringLiteral("p")};
    for (int i = 0; i < rows; ++i) {
        const QDate day = cutoff.addDays(-1 - i / 50);
        insertWorkRow(*db, QStringLiteral("%1").arg(1000 + i % 50), day);
        WriteLog(*db, ctx, wallClock(day, QTime(12, 0)), QStringLiteral("古い"), QString());
    }
    tx.commit();
}

QLabel* visibleNotice(TerminalWindow& w) {
    auto* notice = w.findChild<QLabel*>(QStringLiteral("整理中"));
    return notice && notice->isVisible() ? notice : nullptr;
}

}  // namespace

TEST(StartUp, MovesRowsOlderThanThePreviousMonthIntoTheArchive) {
    const std::vector<PurgeCase> cases = {
        {"15 March", wallClock(QDate(2024, 3, 15), QTime(8, 0)), QDate(2024, 1, 31),
         QDate(2024, 2, 1), QString()},
        {"January", wallClock(QDate(2024, 1, 10), QTime(8, 0)), QDate(2023, 11, 30),
         QDate(2023, 12, 1), QString()},
        // Closing on the 25th, corrections until the 10th: on 5 March the period from
        // 26 January is still open, and none of its days may go.
        {"a period still open", wallClock(QDate(2024, 3, 5), QTime(8, 0)), QDate(2024, 1, 25),
         QDate(2024, 1, 26), u"[給与締日]\n25\n[過日修正可能日]\n10\n"_s},
    };
    for (const PurgeCase& c : cases) {
        TerminalSite site;
        if (!c.closingAndCorrection.isEmpty()) {
            QString text = DefaultSettingsText();
            text.replace(u"[給与締日]\n20\n[過日修正可能日]\n25\n"_s, c.closingAndCorrection);
            ASSERT_TRUE(text.contains(c.closingAndCorrection));
            site.writeWorkFile(u"TQ582.ini"_s, text);
        }
        {
            auto db = openEmbeddedDatabase(site.defaultDb(), QString::fromLatin1(kDatabasePassword),
                                           true);
            ASSERT_EQ(EnsureTables(*db), QString()) << c.name;
            insertWorkRow(*db, QStringLiteral("0001"), c.lastArchivedDay.addDays(-40));
            insertWorkRow(*db, QStringLiteral("0001"), c.lastArchivedDay);
            insertWorkRow(*db, QStringLiteral("0001"), c.cutoff);
            insertWorkRow(*db, QStringLiteral("0001"), c.startAt.date());
            const LogContext ctx{QStringLiteral("OLD"), QStringLiteral("u"), QStringLiteral("p")};
            WriteLog(*db, ctx, wallClock(c.lastArchivedDay, QTime(23, 59, 59)),
                     QStringLiteral("古い"), QString());
            WriteLog(*db, ctx, wallClock(c.cutoff, QTime(0, 0, 0)), QStringLiteral("残る"),
                     QString());
        }
        site.clock.current = c.startAt;
        TerminalWindow& w = site.startShown();
        ASSERT_TRUE(site.started) << c.name;
        ASSERT_TRUE(waitUntil([&] { return !w.isTidying(); })) << c.name;
        Database& db = *w.state().Conn;
        EXPECT_EQ(workDays(db, QStringLiteral("T_勤務")),
                  (QList<QDate>{c.cutoff, c.startAt.date()}))
            << c.name;
        EXPECT_EQ(workDays(db, QStringLiteral("T_勤務_保存")),
                  (QList<QDate>{c.lastArchivedDay.addDays(-40), c.lastArchivedDay}))
            << c.name;
        EXPECT_EQ(logOperations(db, QStringLiteral("T_ログ")),
                  (QStringList{QStringLiteral("残る"), QStringLiteral("開始")}))
            << c.name;
        EXPECT_EQ(logOperations(db, QStringLiteral("T_ログ_保存")),
                  QStringList{QStringLiteral("古い")})
            << c.name;
    }
}

// The move waits for the window, runs batch by batch on the event loop with a notice that
// leaves the keyboard on the punch screen, and lets an employee punch while rows move.
TEST(StartUp, OldRowsMoveInTheBackgroundWhileEmployeesPunch) {
    TerminalSite site;
    const QDate cutoff(2024, 2, 1);
    constexpr int kRows = 8000;
    site.writeWorkFile(QStringLiteral("TQ582.ini"), PunchRulesText());
    addOldRows(site.defaultDb(), cutoff, kRows);
    site.clock.current = wallClock(QDate(2024, 3, 15), QTime(8, 0));
    site.window().archiveBatchRows = 100;
    TerminalWindow& w = site.start();
    ASSERT_TRUE(site.started);
    EXPECT_TRUE(w.isTidying());
    EXPECT_EQ(CountRows(*w.state().Conn, u"T_勤務_保存"_s), 0) << "nothing moves before the paint";
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    {
        auto other = OpenSiteDb(site.defaultDb());
        SiteRows(*other).addStaff(QStringLiteral("0001"), QStringLiteral("山田"),
                                  QStringLiteral("A"));
    }

    ASSERT_TRUE(waitUntil([&] { return visibleNotice(w) != nullptr; }));
    const QString label = visibleNotice(w)->text();
    EXPECT_TRUE(label.contains(u"2024/02/01より前の記録を保存用の表へ移動中"_s))
        << label.toStdString();
    EXPECT_TRUE(w.isTidying()) << "the rows moved in one go";
    const qint64 movedBeforePunch = CountRows(*w.state().Conn, u"T_勤務_保存"_s);
    EXPECT_GT(movedBeforePunch, 0);
    EXPECT_LT(movedBeforePunch, kRows);

    // A punch between two batches.
    TerminalControls& k = w.controls();
    k.PassWord->setFocus();
    EXPECT_TRUE(k.PassWord->hasFocus()) << "the notice took the keyboard";
    QTest::keyClicks(k.PassWord, u"0001"_s);
    QTest::keyClick(k.PassWord, Qt::Key_Return);
    EXPECT_EQ(k.社員名->text(), u"山田"_s);
    QTest::mouseClick(k.出勤, Qt::LeftButton);
    EXPECT_TRUE(w.isTidying()) << "the punch came after the move, not during it";
    EXPECT_EQ(workDays(*w.state().Conn, u"T_勤務"_s).count(QDate(2024, 3, 15)), 1)
        << site.boxes.texts().join(u'|').toStdString();

    ASSERT_TRUE(waitUntil([&] { return !w.isTidying(); }));
    EXPECT_EQ(visibleNotice(w), nullptr) << "the notice stays after the move";
    Database& db = *w.state().Conn;
    EXPECT_EQ(CountRows(db, u"T_勤務_保存"_s), kRows);
    EXPECT_EQ(CountRows(db, u"T_ログ_保存"_s), kRows);
    EXPECT_EQ(workDays(db, u"T_勤務"_s), QList<QDate>{QDate(2024, 3, 15)});
    // The write-ahead log does not keep the size of the move (a page or two may follow it).
    EXPECT_LT(QFileInfo(site.defaultDb() + u"-wal"_s).size(), 64 * 1024);
}

// Closed between two batches, the terminal ends in order; the rows left move at the next start.
TEST(StartUp, AClosedTerminalStopsTheMoveBetweenBatchesAndTheNextStartFinishesIt) {
    const QDate cutoff(2024, 2, 1);
    constexpr int kRows = 8000;
    TerminalSite site;
    addOldRows(site.defaultDb(), cutoff, kRows);
    site.clock.current = wallClock(QDate(2024, 3, 15), QTime(8, 0));
    {
        site.window().archiveBatchRows = 100;
        TerminalWindow& w = site.startShown();
        ASSERT_TRUE(waitUntil([&] { return visibleNotice(w) != nullptr; }));
        w.close();
        EXPECT_TRUE(w.hasEnded());
        EXPECT_FALSE(w.isTidying());
    }
    {
        auto db = OpenSiteDb(site.defaultDb());
        const qint64 moved = CountRows(*db, u"T_勤務_保存"_s);
        EXPECT_GT(moved, 0);
        EXPECT_LT(moved, kRows) << "the close waited for the whole move";
        EXPECT_EQ(CountRows(*db, u"T_勤務"_s) + moved, kRows) << "a row half moved";
        EXPECT_EQ(CountRows(*db, u"T_ログ"_s) + CountRows(*db, u"T_ログ_保存"_s), kRows + 2)
            << "開始 and 終了 besides the old rows";
        EXPECT_EQ(logOperations(*db, u"T_ログ"_s).count(u"終了"_s), 1);
    }
    TerminalWindow next(TerminalSeams{site.clock, site.boxes, site.info, site.ntp, site.workDir()});
    ASSERT_TRUE(next.start());
    next.show();
    ASSERT_TRUE(waitUntil([&] { return !next.isTidying(); }));
    EXPECT_EQ(CountRows(*next.state().Conn, u"T_勤務_保存"_s), kRows);
    EXPECT_EQ(CountRows(*next.state().Conn, u"T_勤務"_s), 0);
    next.hide();
}

TEST(StartUp, ASettingsFileWithoutRulesIsNamedInOneBoxAndTheTerminalStarts) {
    const QByteArray files[] = {QByteArray(), QByteArray("\xff\xfe[\0X\0]\0\r\0\n\0", 12)};
    for (const QByteArray& bytes : files) {
        TerminalSite site;
        writeFile(site.workDir() + u"/TQ582.ini"_s, bytes);
        site.start();
        EXPECT_TRUE(site.started);
        ASSERT_EQ(site.boxes.shown.size(), 1u) << site.boxes.texts().join(u'|').toStdString();
        EXPECT_TRUE(site.boxes.shown[0].text.contains(u"TQ582.ini"_s));
        EXPECT_TRUE(site.boxes.shown[0].text.contains(u"設定値を読み取れません"_s));
        EXPECT_EQ(site.boxes.shown[0].icon, Icon::Exclamation);
    }
}

TEST(StartUp, ASystemFileThatCannotBeReadStopsStartUpNamingIt) {
    // Each would otherwise leave the default database in place of the one the file names.
    const QString named = u"[MDBName]\r\npostgresql://tq582@127.0.0.1:1/site\r\n"_s;
    const std::pair<const char*, std::function<void(const QString&)>> cases[] = {
        {"a NUL in a line",
         [](const QString& p) { writeFile(p, QByteArray("[MDBName]\r\n../DB\0/x.mdb\r\n", 25)); }},
        {"UTF-16 text",
         [&named](const QString& p) {
             writeFile(
                 p, QByteArray("\xFF\xFE") +
                        QByteArray(reinterpret_cast<const char*>(named.utf16()), named.size() * 2));
         }},
        {"a folder", [](const QString& p) { QDir().mkpath(p); }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        TerminalSite site;
        make(site.workDir() + u"/Sys.ini"_s);
        TerminalWindow& w = site.start();
        EXPECT_FALSE(site.started);
        EXPECT_TRUE(w.hasEnded());
        ASSERT_EQ(site.boxes.shown.size(), 1u) << site.boxes.texts().join(u'|').toStdString();
        EXPECT_TRUE(site.boxes.shown[0].text.contains(site.workDir() + u"/Sys.ini"_s))
            << site.boxes.shown[0].text.toStdString();
        EXPECT_FALSE(QFileInfo::exists(site.defaultDb()));
    }
}

TEST(StartUp, UnreadableSettingsOrDatabaseEndTheProgramWithOneMessage) {
    {
        TerminalSite site;
        QFile::remove(site.workDir() + QStringLiteral("/TQ582.ini"));
        TerminalWindow& w = site.start();
        EXPECT_FALSE(site.started);
        EXPECT_TRUE(w.hasEnded());
        ASSERT_EQ(site.boxes.shown.size(), 1u);
        EXPECT_TRUE(site.boxes.shown[0].text.contains(QStringLiteral("TQ582.ini")))
            << site.boxes.shown[0].text.toStdString();
    }
    {
        TerminalSite site;
        writeFile(site.defaultDb(), QByteArray("this is no database, just text\n"));
        TerminalWindow& w = site.start();
        EXPECT_FALSE(site.started);
        EXPECT_TRUE(w.hasEnded());
        ASSERT_EQ(site.boxes.shown.size(), 1u) << "one box with the engine's text";
        EXPECT_FALSE(site.boxes.shown[0].text.isEmpty());
        EXPECT_EQ(site.ntp.closeCalls, 1);
    }
}

TEST(StartUp, TimeLibraryFailureIsReportedAndStartUpGoesOn) {
    struct Case {
        const char* name;
        bool loadable;
        bool setResult;
    };
    for (const Case c :
         {Case{"library missing", false, true}, Case{"start refused", true, false}}) {
        TerminalSite site;
        site.ntp.loadable = c.loadable;
        site.ntp.setResult = c.setResult;
        TerminalWindow& w = site.start();
        EXPECT_TRUE(site.started) << c.name;
        ASSERT_EQ(site.boxes.shown.size(), 1u) << c.name;
        EXPECT_EQ(site.boxes.shown[0].text, QStringLiteral("初期化に失敗しました。")) << c.name;
        EXPECT_EQ(site.boxes.shown[0].title, QStringLiteral("出勤・退勤")) << c.name;
        site.clock.current = site.clock.current.addSecs(1);
        w.tick();
        EXPECT_EQ(w.state().CurrentTime, site.clock.current) << c.name;
    }
}

TEST(StartUp, LeavesThePunchScreenReady) {
    TerminalSite site;
    site.clock.current = wallClock(QDate(2023, 2, 10), QTime(7, 5, 9));
    TerminalWindow& w = site.start();
    ASSERT_TRUE(site.started);
    TerminalControls& k = w.controls();

    EXPECT_EQ(w.caption(), QStringLiteral("出勤・退勤"));
    EXPECT_EQ(w.widthTwips(), 7455);
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(k.Timer->isActive());
    EXPECT_EQ(k.Timer->interval(), 1000);
    EXPECT_TRUE(w.state().TimerSwitch());
    EXPECT_EQ(k.DateTime->text(), QStringLiteral("02/10 07:05"));
    EXPECT_EQ(k.Week->text(), QStringLiteral("金曜日"));
    EXPECT_EQ(k.MonthView->selectedDate(), QDate(2023, 2, 10));
    EXPECT_NE(w.findChild<QUdpSocket*>(QStringLiteral("wscSmtpSock")), nullptr);

    // The month list: 17 columns with their headers and alignments, hidden.
    EXPECT_FALSE(k.明細->isVisibleTo(&w));
    ASSERT_EQ(k.明細->columnCount(), 17);
    const QStringList headers = {
        u"日付"_s, u"曜日"_s, u"シフト"_s,   u"残業指示"_s, u"状態"_s,    u"出勤"_s,
        u"退勤"_s, u"勤務"_s, u"休憩"_s,     u"所定"_s,     u"残業"_s,    u"深夜"_s,
        u"早出"_s, u"実働"_s, u"状態打刻"_s, u"出勤打刻"_s, u"退勤打刻"_s};
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(k.明細->headerItem()->text(i), headers[i]) << i;
        const bool right = k.明細->headerItem()->textAlignment(i) & Qt::AlignRight;
        EXPECT_EQ(right, QStringList({u"残業指示"_s, u"出勤"_s, u"退勤"_s, u"勤務"_s, u"休憩"_s,
                                      u"所定"_s, u"残業"_s, u"深夜"_s, u"早出"_s, u"実働"_s})
                             .contains(headers[i]))
            << headers[i].toStdString();
    }
    EXPECT_EQ(k.明細->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(k.INI_TEXT->isVisibleTo(&w));

    // The request entry hidden, its buttons in the punch buttons' rows.
    for (QWidget* hidden : {static_cast<QWidget*>(k.年月日), static_cast<QWidget*>(k.区分),
                            static_cast<QWidget*>(k.時刻), static_cast<QWidget*>(k.申請登録),
                            static_cast<QWidget*>(k.取消)}) {
        EXPECT_FALSE(hidden->isVisibleTo(&w)) << hidden->objectName().toStdString();
    }
    EXPECT_EQ(k.申請登録->y(), k.出勤->y());
    EXPECT_EQ(k.取消->y(), k.退勤->y());

    // The staff master panel empty; the shift lists loaded.
    EXPECT_FALSE(k.Frame1->isEnabled());
    EXPECT_TRUE(k.正社員->isChecked());
    EXPECT_TRUE(k.残業計算無し->isChecked());
    EXPECT_EQ(k.勤務シフト->currentIndex(), -1);
    const QStringList shiftItems = {QString(), QStringLiteral("A"), QStringLiteral("B")};
    auto items = [](const QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i) {
            out << box->itemText(i);
        }
        return out;
    };
    EXPECT_EQ(items(k.勤務シフト), shiftItems);
    EXPECT_EQ(items(k.日別シフト[30]), shiftItems);

    // The shift calendar on February 2023: three months, days 29-31 hidden.
    EXPECT_EQ(items(k.対象年月), (QStringList{QStringLiteral("2023/01"), QStringLiteral("2023/02"),
                                              QStringLiteral("2023/03")}));
    EXPECT_EQ(k.対象年月->currentText(), QStringLiteral("2023/02"));
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(k.日[i]->isVisibleTo(&w), i < 28) << "day " << i + 1;
        EXPECT_EQ(k.日別シフト[i]->isVisibleTo(&w), i < 28) << "day " << i + 1;
    }
    EXPECT_EQ(k.日[0]->text(), QStringLiteral("１日"));
    EXPECT_EQ(k.日[8]->text(), QStringLiteral("９日"));
    EXPECT_EQ(k.日[9]->text(), QStringLiteral("10日"));
    EXPECT_EQ(k.出力->text(), QStringLiteral("Excel"));
    EXPECT_EQ(k.シフト登録->text(), QStringLiteral("ｼﾌﾄ登録"));
}
