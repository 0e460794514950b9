// tq582ctl request, run as a separate program on the test's site database.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <memory>
#include <vector>

#include "requests_fixture.h"

namespace tq::test {
namespace {

struct CtlRun {
    int exitCode = -1;
    QStringList out;
    QStringList err;
};

class CtlRequestTest : public PunchTest {
  protected:
    void SetUpSite() override {
        work = dir.filePath(QStringLiteral("TQ582"));
        writeFile(work + QStringLiteral("/TQ582.ini"), RequestRulesText().toUtf8());
        rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"),
                       QStringLiteral("2024/04/01"), QStringLiteral("2024/05/20"));
    }

    CtlRun ctl(QStringList args, const QString& now = QStringLiteral("2024/05/08 10:15:30")) {
        args.prepend(QStringLiteral("request"));
        args << QStringLiteral("--db") << path << QStringLiteral("--now") << now;
        const ToolRun t = runTool(work, args);
        return {t.exitCode, nonEmptyLines(t.out), nonEmptyLines(t.err)};
    }

    QString work;
};

TEST_F(CtlRequestTest, DatesListsWhatTheEntryOffersInEachMode) {
    CtlRun r = ctl({QStringLiteral("dates"), QStringLiteral("--code"), QStringLiteral("0001")});
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.out.size(), 31);
    EXPECT_EQ(r.out.front(), QStringLiteral("2024/05/08"));
    EXPECT_EQ(r.out.back(), QStringLiteral("2024/06/07"));

    r = ctl({QStringLiteral("dates"), QStringLiteral("--code"), QStringLiteral("0001"),
             QStringLiteral("--mode"), QStringLiteral("訂正")},
            QStringLiteral("2024/05/03 08:00:00"));
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.out.size(), 13);
    EXPECT_EQ(r.out.front(), QStringLiteral("2024/04/21"));
    EXPECT_EQ(r.out.back(), QStringLiteral("2024/05/03"));

    r = ctl({QStringLiteral("dates"), QStringLiteral("--code"), QStringLiteral("0009")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, QStringList{QStringLiteral("社員名が未登録です。")});

    r = ctl({QStringLiteral("dates"), QStringLiteral("--code"), QStringLiteral("0001"),
             QStringLiteral("--mode"), QStringLiteral("登録")});
    EXPECT_EQ(r.exitCode, 2);

    // Listing only reads: a database that is not there is not created.
    const QString elsewhere = dir.filePath(QStringLiteral("none/DB.mdb"));
    const ToolRun t =
        runTool(work, {QStringLiteral("request"), QStringLiteral("dates"), QStringLiteral("--code"),
                       QStringLiteral("0001"), QStringLiteral("--db"), elsewhere});
    EXPECT_EQ(t.exitCode, 2);
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("none"))));
}

TEST_F(CtlRequestTest, RegisterAndCancelPrintTheTerminalsMessagesAndExitByOutcome) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 9), QStringLiteral("B"), 0, 0);
    CtlRun r =
        ctl({QStringLiteral("register"), QStringLiteral("--code"), QStringLiteral("0001"),
             QStringLiteral("--date"), QStringLiteral("2024/05/09"), QStringLiteral("--kind"),
             QStringLiteral("出勤打刻"), QStringLiteral("--value"), QStringLiteral("８３０")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringList{QStringLiteral("申請登録を受け付けました。")});
    FullWork w = ReadFullWork(*db, QStringLiteral("0001"), QDate(2024, 5, 9));
    EXPECT_EQ(w.in, 830);
    EXPECT_EQ(w.shift, QStringLiteral("B"));  // the day's shift, as the entry shows it
    EXPECT_EQ(w.inStamp, QStringLiteral("2024/05/08 10:15:30"));
    auto log = rows->logRows();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].operation, QStringLiteral("申請登録"));

    r = ctl({QStringLiteral("register"), QStringLiteral("--code"), QStringLiteral("0001"),
             QStringLiteral("--date"), QStringLiteral("2024/05/06"), QStringLiteral("--kind"),
             QStringLiteral("無断欠勤"), QStringLiteral("--mode"), QStringLiteral("訂正")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringList{QStringLiteral("訂正更新を受け付けました。")});
    EXPECT_EQ(ReadFullWork(*db, QStringLiteral("0001"), QDate(2024, 5, 6)).shift,
              QStringLiteral("A"));  // no row: the standard shift

    r = ctl({QStringLiteral("cancel"), QStringLiteral("--code"), QStringLiteral("0001"),
             QStringLiteral("--date"), QStringLiteral("2024/05/09"), QStringLiteral("--kind"),
             QStringLiteral("出勤打刻"), QStringLiteral("--value"), QStringLiteral("9:00")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QStringList{QStringLiteral("申請登録を取消しました。")});
    EXPECT_EQ(ReadFullWork(*db, QStringLiteral("0001"), QDate(2024, 5, 9)).in, 0);
    EXPECT_EQ(rows->logRows().size(), 2u);  // a cancellation logs nothing
}

TEST_F(CtlRequestTest, RefusalsPrintTheirMessageWriteNothingAndExitOne) {
    const struct {
        QStringList args;
        const char16_t* message;
    } cases[] = {
        {{QStringLiteral("--date"), QStringLiteral("2024/05/09"), QStringLiteral("--kind"),
          QStringLiteral("退勤打刻")},
         u"時刻が入力されていません。"},
        {{QStringLiteral("--date"), QStringLiteral("2024/05/09"), QStringLiteral("--kind"),
          QStringLiteral("代替休暇"), QStringLiteral("--value"), QStringLiteral("1305")},
         u"月日の値が不正です。"},
        {{QStringLiteral("--date"), QStringLiteral("2024/05/01"), QStringLiteral("--kind"),
          QStringLiteral("直帰")},
         u"申請できない年月日です。"},
        {{QStringLiteral("--date"), QStringLiteral("2024/05/21"), QStringLiteral("--kind"),
          QStringLiteral("直帰")},
         u"退社後です。"},
    };
    for (const auto& c : cases) {
        for (const char* action : {"register", "cancel"}) {
            QStringList args{QString::fromLatin1(action), QStringLiteral("--code"),
                             QStringLiteral("0001")};
            args << c.args;
            const CtlRun r = ctl(args);
            EXPECT_EQ(r.exitCode, 1) << args.join(u' ').toStdString();
            EXPECT_EQ(r.out, QStringList{QString::fromUtf16(c.message)});
        }
    }
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 0);

    // Usage errors: a missing option, an unknown action.
    EXPECT_EQ(ctl({QStringLiteral("register"), QStringLiteral("--code"), QStringLiteral("0001"),
                   QStringLiteral("--kind"), QStringLiteral("直帰")})
                  .exitCode,
              2);
    EXPECT_EQ(
        ctl({QStringLiteral("erase"), QStringLiteral("--code"), QStringLiteral("0001")}).exitCode,
        2);
}

TEST_F(CtlRequestTest, RegistrationsFromSeveralProcessesAtOnceOnDaysWithoutARowAllLand) {
    // Four kinds, each writing a column of its own, registered at the same moment on each of
    // ten days that have no row yet: one process inserts the row, the others complete it.
    const struct {
        const char16_t* kind;
        const char16_t* value;
    } kinds[] = {
        {u"出勤打刻", u"830"}, {u"退勤打刻", u"1745"}, {u"残業指示", u"19:00"}, {u"直行", nullptr}};
    const QDate first(2024, 5, 9);
    constexpr int kDays = 10;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int d = 0; d < kDays; ++d) {
        for (const auto& k : kinds) {
            QStringList args{
                QStringLiteral("request"), QStringLiteral("register"),
                QStringLiteral("--code"),  QStringLiteral("0001"),
                QStringLiteral("--date"),  first.addDays(d).toString(QStringLiteral("yyyy/MM/dd")),
                QStringLiteral("--kind"),  QString::fromUtf16(k.kind),
                QStringLiteral("--db"),    path,
                QStringLiteral("--now"),   QStringLiteral("2024/05/08 10:15:30")};
            if (k.value) {
                args << QStringLiteral("--value") << QString::fromUtf16(k.value);
            }
            auto p = std::make_unique<QProcess>();
            p->setWorkingDirectory(work);
            p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/tq582ctl"), args);
            processes.push_back(std::move(p));
        }
    }
    for (const auto& p : processes) {
        ASSERT_TRUE(p->waitForFinished(120'000)) << p->arguments().join(u' ').toStdString();
        EXPECT_EQ(p->exitCode(), 0)
            << p->arguments().join(u' ').toStdString() << "\n"
            << p->readAll().toStdString() << p->readAllStandardError().toStdString();
    }
    for (int d = 0; d < kDays; ++d) {
        const FullWork w = ReadFullWork(*db, QStringLiteral("0001"), first.addDays(d));
        EXPECT_EQ(w.in, 830) << d;
        EXPECT_EQ(w.out, 1745) << d;
        EXPECT_EQ(w.instruction, QStringLiteral("19:00")) << d;
        EXPECT_EQ(w.state, QStringLiteral("直行")) << d;
    }
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), kDays);
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), kDays * 4);
}

}  // namespace
}  // namespace tq::test
