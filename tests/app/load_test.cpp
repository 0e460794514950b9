// Four terminals on one site database at once: no punch lost, doubled or left without its
// log row, and one employee punched at the same instant on four terminals is clocked in once.

#include <QElapsedTimer>
#include <QHash>
#include <QSet>

#include "report/xls_reader.h"
#include "site_fixture.h"

namespace tq::test {
namespace {

constexpr int kTerminals = 4;
// The site load: 4 terminals × 250 staff × 3 days, in and out (6,000 punches), and 50 rounds of
// four terminals punching one employee at the same instant. TQ582_LOAD_STAFF and
// TQ582_LOAD_ROUNDS change the scale for a longer run by hand.
int staffPerTerminal() {
    const int n = qEnvironmentVariableIntValue("TQ582_LOAD_STAFF");
    return n > 0 ? n : 250;
}
int sameInstantRounds() {
    const int n = qEnvironmentVariableIntValue("TQ582_LOAD_ROUNDS");
    return n > 0 ? n : 50;
}

// Three working days at the start of a calendar-month period: the first clock-in of the
// period examines no earlier day, and later ones find the earlier days complete.
const QDate kDays[] = {QDate(2024, 5, 1), QDate(2024, 5, 2), QDate(2024, 5, 3)};

QString stamp(const QDate& day, int hour, int second) {
    return day.toString(QStringLiteral("yyyy/MM/dd")) +
           QStringLiteral(" %1:%2:%3")
               .arg(hour, 2, 10, QLatin1Char('0'))
               .arg(second / 60, 2, 10, QLatin1Char('0'))
               .arg(second % 60, 2, 10, QLatin1Char('0'));
}

using LoadTest = SiteToolTest;

TEST_F(LoadTest, FourTerminalsPunchingAtOnceLoseNothing) {
    const int perTerminal = staffPerTerminal();
    addStaff(kTerminals * perTerminal);

    // Terminal t punches its own staff in and out on each day, in turn.
    std::vector<std::unique_ptr<QProcess>> terminals;
    int expectedPunches = 0;
    for (int t = 0; t < kTerminals; ++t) {
        QByteArray list;
        for (const QDate& day : kDays) {
            for (int hour : {8, 17}) {
                for (int i = 1; i <= perTerminal; ++i) {
                    const int staff = t * perTerminal + i;
                    list += (hour == 8 ? "in " : "out ") + StaffCode(staff).toUtf8() + ' ' +
                            stamp(day, hour, staff % 3600).toUtf8() + '\n';
                    ++expectedPunches;
                }
            }
        }
        const QString file = dir.filePath(QStringLiteral("terminal%1.txt").arg(t));
        writeFile(file, list);
        terminals.push_back(start({QStringLiteral("punch-batch"), QStringLiteral("--file"), file}));
    }

    // Meanwhile an administrator reviews one employee's period and exports the month, again
    // and again.
    const QString excel = dir.filePath(QStringLiteral("excel"));
    const QStringList exportArgs = {QStringLiteral("export"), QStringLiteral("--out"), excel,
                                    QStringLiteral("--now"), stamp(kDays[2], 12, 0)};
    int reviews = 0;
    const auto running = [&] {
        for (const auto& p : terminals) {
            if (p->state() != QProcess::NotRunning) {
                return true;
            }
        }
        return false;
    };
    // From the moment the first employee's first punch (terminal 0's first line) is stored.
    ASSERT_TRUE(terminals[0]->waitForReadyRead(120'000));
    QElapsedTimer clock;
    clock.start();
    while (running() && clock.elapsed() < 170'000) {
        auto review = start({QStringLiteral("review"), QStringLiteral("--code"), StaffCode(1),
                             QStringLiteral("--now"), stamp(kDays[2], 12, 0)});
        ASSERT_TRUE(ended(*review, 60'000));
        EXPECT_EQ(review->exitCode(), 0) << review->readAllStandardError().toStdString()
                                         << review->readAllStandardOutput().toStdString();
        ++reviews;
        auto exporting = start(exportArgs);
        ASSERT_TRUE(ended(*exporting, 120'000));
        EXPECT_EQ(exporting->exitCode(), 0) << exporting->readAllStandardError().toStdString();
        for (const auto& p : terminals) {
            p->waitForFinished(1);  // keeps their pipes drained
        }
    }

    int accepted = 0;
    for (const auto& p : terminals) {
        if (p->state() != QProcess::NotRunning) {
            ASSERT_TRUE(p->waitForFinished(180'000)) << "a terminal did not finish";
        }
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
        EXPECT_EQ(p->readAllStandardError(), QByteArray()) << "no error at all";
        for (const QString& line : nonEmptyLines(QString::fromUtf8(p->readAllStandardOutput()))) {
            const QStringList f = line.split(u'\t');
            if (f.value(1) == u"出勤を受け付けました。" ||
                f.value(1) == u"退勤を受け付けました。") {
                ++accepted;
            } else {
                ADD_FAILURE() << "not accepted: " << line.toStdString();
            }
        }
    }
    EXPECT_EQ(accepted, expectedPunches);
    EXPECT_GT(reviews, 0);

    // The month's workbook once the terminals are done: a sheet for every employee.
    auto exporting = start(exportArgs);
    ASSERT_TRUE(ended(*exporting, 120'000));
    ASSERT_EQ(exporting->exitCode(), 0) << exporting->readAllStandardError().toStdString();
    const QStringList printed =
        nonEmptyLines(QString::fromUtf8(exporting->readAllStandardOutput()));
    ASSERT_FALSE(printed.isEmpty());
    QString error;
    const auto book = xls::ReadXlsFile(readFile(printed.last()), &error);
    ASSERT_TRUE(book) << error.toStdString();
    EXPECT_EQ(static_cast<int>(book->sheets.size()), kTerminals * perTerminal);

    // Every employee has exactly one row a day, with both times of the list.
    const int staff = kTerminals * perTerminal;
    EXPECT_EQ(count(QStringLiteral("T_勤務")), staff * 3);
    auto rows = db->query(Sql(QStringLiteral("SELECT * FROM T_勤務")));
    int checked = 0;
    while (rows->next()) {
        const int n = rows->text(QStringLiteral("担当者コード")).toInt();
        const QDate day = rows->date(QStringLiteral("勤務日"));
        EXPECT_EQ(rows->text(QStringLiteral("出勤打刻日")), stamp(day, 8, n % 3600));
        EXPECT_EQ(rows->text(QStringLiteral("退勤打刻日")), stamp(day, 17, n % 3600));
        ++checked;
    }
    EXPECT_EQ(checked, staff * 3);

    // Every punch is logged exactly once, and nothing else is.
    EXPECT_EQ(count(QStringLiteral("T_ログ")), expectedPunches);
    QHash<QString, int> logged;
    auto log = db->query(Sql(QStringLiteral("SELECT 処理名,内容 FROM T_ログ")));
    while (log->next()) {
        const PunchLogged p = parsePunchLog(log->text(QStringLiteral("内容")));
        ++logged[log->text(QStringLiteral("処理名")) + p.code + p.stamp];
    }
    EXPECT_EQ(logged.size(), expectedPunches) << "every punch has its own log row";
    for (auto it = logged.cbegin(); it != logged.cend(); ++it) {
        EXPECT_EQ(it.value(), 1) << it.key().toStdString();
    }
}

TEST_F(LoadTest, OneEmployeeAtTheSameInstantOnFourTerminalsIsClockedInOnce) {
    const int rounds = sameInstantRounds();
    addStaff(rounds);
    for (int round = 1; round <= rounds; ++round) {
        const QString at = stamp(kDays[0], 8, round);
        std::vector<std::unique_ptr<QProcess>> terminals;
        for (int t = 0; t < kTerminals; ++t) {
            terminals.push_back(
                start({QStringLiteral("punch"), QStringLiteral("in"), QStringLiteral("--code"),
                       StaffCode(round), QStringLiteral("--now"), at}));
        }
        int accepted = 0;
        int refused = 0;
        for (const auto& p : terminals) {
            ASSERT_TRUE(ended(*p, 60'000));
            const QStringList out = nonEmptyLines(QString::fromUtf8(p->readAllStandardOutput()));
            if (p->exitCode() == 0 &&
                out == QStringList{QStringLiteral("出勤を受け付けました。")}) {
                ++accepted;
            } else if (p->exitCode() == 1 &&
                       out == QStringList{QStringLiteral("出勤はすでに受付済みです。")}) {
                ++refused;
            } else {
                ADD_FAILURE() << "round " << round << ": exit " << p->exitCode() << " "
                              << out.join(u'|').toStdString()
                              << p->readAllStandardError().toStdString();
            }
        }
        EXPECT_EQ(accepted, 1) << "round " << round;
        EXPECT_EQ(refused, kTerminals - 1) << "round " << round;
    }
    EXPECT_EQ(count(QStringLiteral("T_勤務")), rounds);
    EXPECT_EQ(count(QStringLiteral("T_ログ")), rounds);
}

}  // namespace
}  // namespace tq::test
