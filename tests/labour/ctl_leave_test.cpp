// tq582ctl leave and the clock-in reminder of tq582ctl punch, run as separate programs on the
// test's site database.

#include <gtest/gtest.h>

#include "../attendance/punch_fixture.h"

namespace tq::test {
namespace {

struct CtlRun {
    int exitCode = -1;
    QStringList out;
    QStringList err;
};

class CtlLeaveTest : public PunchTest {
  protected:
    void SetUpSite() override {
        work = dir.filePath(QStringLiteral("TQ582"));
        writeFile(work + QStringLiteral("/TQ582.ini"), PunchRulesText().toUtf8());
        rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"),
                       QStringLiteral("2024/04/01"));
        rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"), QStringLiteral("A"),
                       QStringLiteral("2024/08/31"));
        rows->addStaff(QStringLiteral("0003"), QStringLiteral("佐藤"), QStringLiteral("A"));
    }

    CtlRun ctl(QStringList args, const QString& now) {
        args << QStringLiteral("--db") << path << QStringLiteral("--now") << now;
        const ToolRun t = runTool(work, args);
        return {t.exitCode, nonEmptyLines(t.out), nonEmptyLines(t.err)};
    }
    CtlRun leave(const QStringList& args, const QString& now) {
        return ctl(QStringList{QStringLiteral("leave")} + args, now);
    }
    void takeLeave(const QString& code, const QDate& day) {
        Sql s(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,状態) VALUES ("));
        s.text(code).raw(QStringLiteral(",")).date(day).raw(QStringLiteral(",'有給休暇')"));
        db->execute(s);
    }

    QString work;
};

const QString kHeader =
    QStringLiteral("基準日\t付与日数\t取得日数\t残日数\t失効日\t義務期限\t義務期間取得\t取得義務");

TEST_F(CtlLeaveTest, ShowPrintsTheLedgerOfGrantsAndDaysTaken) {
    takeLeave(QStringLiteral("0001"), QDate(2025, 3, 3));
    takeLeave(QStringLiteral("0001"), QDate(2025, 11, 4));
    CtlRun r = leave({QStringLiteral("show"), QStringLiteral("--code"), QStringLiteral("0001")},
                     QStringLiteral("2026/10/05 08:00:00"));
    EXPECT_EQ(r.exitCode, 0) << r.err.join(u'\n').toStdString();
    EXPECT_EQ(
        r.out,
        (QStringList{
            kHeader,
            QStringLiteral("2024/10/01\t10.0\t2.0\t8.0\t2026/09/30\t2025/09/30\t1.0\t未達"),
            QStringLiteral("2025/10/01\t11.0\t0.0\t11.0\t2027/09/30\t2026/09/30\t1.0\t未達"),
            QStringLiteral("2026/10/01\t12.0\t0.0\t12.0\t2028/09/30\t2027/09/30\t0.0\t残り5日"),
            QStringLiteral("取得日\t2025/03/03\t2024/10/01"),
            QStringLiteral("取得日\t2025/11/04\t2024/10/01")}));

    // A part-timer joined on 08/31: the 基準日 is the last day of February.
    r = leave({QStringLiteral("set"), QStringLiteral("--code"), QStringLiteral("0002"),
               QStringLiteral("--weekly-days"), QStringLiteral("3")},
              QStringLiteral("2024/09/01 08:00:00"));
    EXPECT_EQ(r.exitCode, 0) << r.err.join(u'\n').toStdString();
    EXPECT_EQ(r.out, QStringList{QStringLiteral(
                         "勤務形態を登録しました。(2024/08/31から 週3日 24:00 比例付与)")});
    r = leave({QStringLiteral("show"), QStringLiteral("--code"), QStringLiteral("0002")},
              QStringLiteral("2026/03/01 08:00:00"));
    EXPECT_EQ(r.out.mid(1),
              (QStringList{QStringLiteral("2025/02/28\t5.0\t0.0\t5.0\t2027/02/27\t-\t-\t対象外"),
                           QStringLiteral("2026/02/28\t6.0\t0.0\t6.0\t2028/02/27\t-\t-\t対象外")}));

    r = leave({QStringLiteral("show"), QStringLiteral("--code"), QStringLiteral("0003")},
              QStringLiteral("2026/03/01 08:00:00"));
    EXPECT_EQ(r.out, (QStringList{kHeader, QStringLiteral("入社年月日が未登録のため、法定の付与は"
                                                          "自動では行われません。")}));
}

TEST_F(CtlLeaveTest, ManualGrantIsLoggedAndCountsOldestFirst) {
    CtlRun r =
        leave({QStringLiteral("grant"), QStringLiteral("--code"), QStringLiteral("0003"),
               QStringLiteral("--date"), QStringLiteral("2025/04/01"), QStringLiteral("--days"),
               QStringLiteral("7.5"), QStringLiteral("--note"), QStringLiteral("紙から繰越")},
              QStringLiteral("2025/04/01 08:00:00"));
    EXPECT_EQ(r.exitCode, 0) << r.err.join(u'\n').toStdString();
    EXPECT_EQ(r.out,
              QStringList{QStringLiteral("有給休暇の付与を登録しました。(2025/04/01 7.5日)")});
    const std::vector<LogRow> log = rows->logRows();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].operation, QStringLiteral("有給付与"));
    EXPECT_TRUE(log[0].content.startsWith(QStringLiteral("(SQL)INSERT INTO T_有給付与")))
        << log[0].content.toStdString();

    takeLeave(QStringLiteral("0003"), QDate(2025, 5, 7));
    r = leave({QStringLiteral("show"), QStringLiteral("--code"), QStringLiteral("0003")},
              QStringLiteral("2025/05/08 08:00:00"));
    EXPECT_EQ(r.out.mid(1, 2),
              (QStringList{QStringLiteral("2025/04/01\t7.5\t1.0\t6.5\t2027/03/31\t-\t-\t対象外"),
                           QStringLiteral("取得日\t2025/05/07\t2025/04/01")}));
}

TEST_F(CtlLeaveTest, DutyListsOpenAndMissedDutiesAndExitsOneWhenItPrints) {
    for (const QDate& day : {QDate(2025, 1, 6), QDate(2025, 1, 7), QDate(2025, 1, 8)}) {
        takeLeave(QStringLiteral("0001"), day);
    }
    CtlRun r = leave({QStringLiteral("duty")}, QStringLiteral("2025/07/01 08:00:00"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.isEmpty());
    r = leave({QStringLiteral("duty")}, QStringLiteral("2025/08/05 08:00:00"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, QStringList{QStringLiteral("0001\t山田\t2024/10/01\t2025/09/30\t3.0\t2.0")});
    r = leave({QStringLiteral("duty")}, QStringLiteral("2025/12/01 08:00:00"));
    EXPECT_EQ(r.exitCode, 1) << "a missed duty stays listed";
    EXPECT_EQ(r.out, QStringList{QStringLiteral("0001\t山田\t2024/10/01\t2025/09/30\t3.0\t2.0")});

    writeFile(work + QStringLiteral("/TQ582.ini"),
              (QStringLiteral("[有給取得義務警告日数]\n30\n") + PunchRulesText()).toUtf8());
    r = leave({QStringLiteral("duty")}, QStringLiteral("2025/08/05 08:00:00"));
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(CtlLeaveTest, PunchInPrintsTheReminderAfterTheConfirmation) {
    for (const QDate& day : {QDate(2025, 1, 6), QDate(2025, 1, 7), QDate(2025, 1, 8)}) {
        takeLeave(QStringLiteral("0001"), day);
    }
    const CtlRun r = ctl({QStringLiteral("punch"), QStringLiteral("in"), QStringLiteral("--code"),
                          QStringLiteral("0001")},
                         QStringLiteral("2025/09/01 08:20:00"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, (QStringList{QStringLiteral("出勤を受け付けました。"),
                                  QStringLiteral("年次有給休暇をあと2日取得してください。(期限 "
                                                 "2025/09/30)")}));
}

TEST_F(CtlLeaveTest, WrongUsageAndUnknownStaffAreRefused) {
    struct Case {
        QStringList args;
        int exitCode;
    };
    const QString c = QStringLiteral("--code");
    const Case cases[] = {
        {{}, 2},
        {{QStringLiteral("lend")}, 2},
        {{QStringLiteral("set"), c, QStringLiteral("0001")}, 2},
        {{QStringLiteral("set"), c, QStringLiteral("0001"), QStringLiteral("--weekly-days"),
          QStringLiteral("8")},
         2},
        {{QStringLiteral("set"), c, QStringLiteral("0001"), QStringLiteral("--weekly-days"),
          QStringLiteral("4"), QStringLiteral("--weekly-hours"), QStringLiteral("thirty")},
         2},
        {{QStringLiteral("set"), c, QStringLiteral("0001"), QStringLiteral("--weekly-days"),
          QStringLiteral("4"), QStringLiteral("--from"), QStringLiteral("2025/02/30")},
         2},
        {{QStringLiteral("grant"), c, QStringLiteral("0001"), QStringLiteral("--date"),
          QStringLiteral("2025/04/01"), QStringLiteral("--days"), QStringLiteral("1.25")},
         2},
        {{QStringLiteral("grant"), c, QStringLiteral("0001"), QStringLiteral("--date"),
          QStringLiteral("2025/04/01"), QStringLiteral("--days"), QStringLiteral("-1")},
         2},
        {{QStringLiteral("show")}, 2},
        {{QStringLiteral("show"), c, QStringLiteral("0099")}, 1},
        {{QStringLiteral("grant"), c, QStringLiteral("0099"), QStringLiteral("--date"),
          QStringLiteral("2025/04/01"), QStringLiteral("--days"), QStringLiteral("1")},
         1},
    };
    for (const Case& k : cases) {
        const CtlRun r = leave(k.args, QStringLiteral("2025/04/01 08:00:00"));
        EXPECT_EQ(r.exitCode, k.exitCode) << k.args.join(u' ').toStdString();
    }
    EXPECT_TRUE(rows->logRows().empty()) << "nothing refused is written";
    // Hours decide the table: 4 days of 7.5 hours are proportional, of 8 hours are not.
    CtlRun r =
        leave({QStringLiteral("set"), c, QStringLiteral("0001"), QStringLiteral("--weekly-days"),
               QStringLiteral("4"), QStringLiteral("--weekly-hours"), QStringLiteral("29:59")},
              QStringLiteral("2024/05/01 08:00:00"));
    EXPECT_EQ(r.out, QStringList{QStringLiteral(
                         "勤務形態を登録しました。(2024/04/01から 週4日 29:59 比例付与)")});
    r = leave({QStringLiteral("set"), c, QStringLiteral("0001"), QStringLiteral("--weekly-days"),
               QStringLiteral("4"), QStringLiteral("--from"), QStringLiteral("2024/04/01")},
              QStringLiteral("2024/05/01 08:00:00"));
    EXPECT_EQ(r.out, QStringList{QStringLiteral(
                         "勤務形態を登録しました。(2024/04/01から 週4日 32:00 通常付与)")});
}

}  // namespace
}  // namespace tq::test
