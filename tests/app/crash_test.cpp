// A terminal killed at random moments while it punches: every punch it confirmed is stored,
// no change is stored without its log row, and the database stays whole. On the server
// engine the server is also stopped once under the terminal's feet.

#include <QRandomGenerator>
#include <QSet>
#include <QThread>

#include "../own_server.h"
#include "site_fixture.h"

namespace tq::test {
namespace {

constexpr int kStaff = 100;
constexpr int kKills = 30;
// Ten working days: 100 staff in and out on each, 2,000 punches.
const QDate kDays[] = {QDate(2024, 5, 1),  QDate(2024, 5, 2),  QDate(2024, 5, 7),
                       QDate(2024, 5, 8),  QDate(2024, 5, 9),  QDate(2024, 5, 10),
                       QDate(2024, 5, 13), QDate(2024, 5, 14), QDate(2024, 5, 15),
                       QDate(2024, 5, 16)};

struct PlannedPunch {
    bool in = true;
    int staff = 0;
    QDate day;
    QString stamp;
};

QString stampOf(const QDate& day, int hour, int staff) {
    return day.toString(QStringLiteral("yyyy/MM/dd")) +
           QStringLiteral(" %1:%2:%3")
               .arg(hour, 2, 10, QLatin1Char('0'))
               .arg(staff / 60, 2, 10, QLatin1Char('0'))
               .arg(staff % 60, 2, 10, QLatin1Char('0'));
}

class CrashTest : public SiteToolTest {
  protected:
    void SetUp() override {
        SiteToolTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (testOnServer()) {
            server = std::make_unique<OwnServer>();
            ASSERT_FALSE(server->uri().isEmpty());
            siteName = server->uri();
            db = openDatabase(siteName, QString(), false);
            ASSERT_EQ(EnsureTables(*db), QString());
        }
        addStaff(kStaff);
    }
    void TearDown() override {
        db.reset();
        server.reset();
        SiteToolTest::TearDown();
    }

    std::unique_ptr<OwnServer> server;
};

TEST_F(CrashTest, KilledTerminalKeepsEveryConfirmedPunchWithItsLogRow) {
    std::vector<PlannedPunch> plan;
    for (const QDate& day : kDays) {
        for (int hour : {8, 17}) {
            for (int i = 1; i <= kStaff; ++i) {
                plan.push_back({hour == 8, i, day, stampOf(day, hour, i)});
            }
        }
    }
    const quint32 firstValue = QRandomGenerator::global()->generate();
    QRandomGenerator random(firstValue);
    SCOPED_TRACE("random generator started at " + std::to_string(firstValue));

    std::vector<bool> confirmed(plan.size(), false);
    size_t next = 0;
    int kills = 0;
    bool serverStopped = false;
    while (next < plan.size()) {
        QByteArray list;
        for (size_t k = next; k < plan.size(); ++k) {
            const PlannedPunch& p = plan[k];
            list += (p.in ? "in " : "out ") + StaffCode(p.staff).toUtf8() + ' ' + p.stamp.toUtf8() +
                    '\n';
        }
        const QString file = dir.filePath(QStringLiteral("rest.txt"));
        writeFile(file, list);
        auto terminal = start({QStringLiteral("punch-batch"), QStringLiteral("--file"), file});
        ASSERT_TRUE(terminal->waitForStarted());
        QByteArray output;
        if (kills < kKills) {
            // A moment while punches are being written: after a random number of them, so that
            // the kills spread over the whole list however fast the machine punches.
            const size_t remaining = plan.size() - next;
            const auto target = static_cast<qsizetype>(random.bounded(
                1, static_cast<int>(std::max<size_t>(2, 2 * remaining / (kKills - kills + 1)))));
            while (output.count('\n') < target && terminal->state() != QProcess::NotRunning) {
                terminal->waitForReadyRead(100);
                output += terminal->readAllStandardOutput();
            }
            if (terminal->state() != QProcess::NotRunning) {
                if (server && !serverStopped && kills == kKills / 2) {
                    // The server goes away mid-operation: the terminal ends with the cause.
                    server->pause();
                    ASSERT_TRUE(ended(*terminal, 60'000));
                    EXPECT_EQ(terminal->exitCode(), 1);
                    const QString why = QString::fromUtf8(terminal->readAllStandardError());
                    EXPECT_TRUE(why.contains(QStringLiteral("database server")))
                        << why.toStdString();
                    server->resume();
                    db = openDatabase(siteName, QString(), false);
                    serverStopped = true;
                } else {
                    terminal->kill();  // SIGKILL
                    terminal->waitForFinished(30'000);
                }
                ++kills;
            }
        } else {
            ASSERT_TRUE(ended(*terminal, 120'000));
            EXPECT_EQ(terminal->exitCode(), 0) << terminal->readAllStandardError().toStdString();
        }
        output += terminal->readAllStandardOutput();
        output.truncate(output.lastIndexOf('\n') + 1);  // a line cut by the kill says nothing
        size_t reported = 0;
        for (const QString& line : nonEmptyLines(QString::fromUtf8(output))) {
            const QStringList f = line.split(u'\t');
            const size_t k = next + static_cast<size_t>(f[0].toInt()) - 1;
            ASSERT_LT(k, plan.size()) << line.toStdString();
            if (f.value(1).endsWith(QStringLiteral("を受け付けました。"))) {
                confirmed[k] = true;
            } else {
                // Only a clock-in stored by a run that was killed before it could say so.
                EXPECT_EQ(f.value(1), QStringLiteral("出勤はすでに受付済みです。"))
                    << line.toStdString();
                EXPECT_TRUE(plan[k].in);
            }
            reported = std::max(reported, static_cast<size_t>(f[0].toInt()));
        }
        next += reported;
    }
    EXPECT_EQ(kills, kKills);
    EXPECT_EQ(server != nullptr, serverStopped);

    // Every confirmed punch is there; at the end every punch of the plan is.
    QHash<QString, std::pair<QString, QString>> stored;  // code + day → in, out stamps
    auto rows = db->query(Sql(QStringLiteral("SELECT * FROM T_勤務")));
    while (rows->next()) {
        stored.insert(
            rows->text(QStringLiteral("担当者コード")) + rows->text(QStringLiteral("勤務日")),
            {rows->text(QStringLiteral("出勤打刻日")), rows->text(QStringLiteral("退勤打刻日"))});
    }
    EXPECT_EQ(stored.size(), kStaff * static_cast<int>(std::size(kDays)));
    int confirmedCount = 0;
    for (size_t k = 0; k < plan.size(); ++k) {
        const PlannedPunch& p = plan[k];
        const auto row =
            stored.value(StaffCode(p.staff) + p.day.toString(QStringLiteral("yyyy/MM/dd")));
        EXPECT_EQ(p.in ? row.first : row.second, p.stamp)
            << (confirmed[k] ? "confirmed " : "") << "punch " << k;
        confirmedCount += confirmed[k] ? 1 : 0;
    }
    EXPECT_GE(confirmedCount, static_cast<int>(plan.size()) - 2 * kKills);

    // No change without its log row, no log row without its change; a clock-in once only.
    QHash<QString, int> logged;
    auto log = db->query(Sql(QStringLiteral("SELECT 処理名,内容 FROM T_ログ")));
    while (log->next()) {
        const PunchLogged p = parsePunchLog(log->text(QStringLiteral("内容")));
        ++logged[log->text(QStringLiteral("処理名")) + p.code + p.stamp];
    }
    for (const PlannedPunch& p : plan) {
        const int n = logged.value((p.in ? QStringLiteral("出勤") : QStringLiteral("退勤")) +
                                   StaffCode(p.staff) + p.stamp);
        if (p.in) {
            EXPECT_EQ(n, 1) << "clock-in " << p.stamp.toStdString();
        } else {
            EXPECT_GE(n, 1) << "clock-out " << p.stamp.toStdString();
        }
    }
    QSet<QString> planned;
    for (const PlannedPunch& p : plan) {
        planned.insert((p.in ? QStringLiteral("出勤") : QStringLiteral("退勤")) +
                       StaffCode(p.staff) + p.stamp);
    }
    for (auto it = logged.cbegin(); it != logged.cend(); ++it) {
        EXPECT_TRUE(planned.contains(it.key()))
            << "a log row without its punch: " << it.key().toStdString();
    }

    if (!testOnServer()) {
        auto check = db->query(Sql(QStringLiteral("PRAGMA integrity_check")));
        ASSERT_TRUE(check->next());
        EXPECT_EQ(check->text(QStringLiteral("integrity_check")), QStringLiteral("ok"));
    }
}

}  // namespace
}  // namespace tq::test
