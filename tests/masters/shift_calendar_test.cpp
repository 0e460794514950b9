#include <gtest/gtest.h>

#include "masters/shift_calendar.h"
#include "masters/staff.h"
#include "masters_fixture.h"

namespace tq::test {
namespace {

TEST(ShiftMonthTest, DaysOfTheMonth) {
    struct Case {
        QString month;
        int days;
    };
    const Case cases[] = {
        {QStringLiteral("2023/02"), 28}, {QStringLiteral("2024/02"), 29},
        {QStringLiteral("2024/04"), 30}, {QStringLiteral("2024/12"), 31},
        {QStringLiteral("1900/02"), 28}, {QString(), 0},
        {QStringLiteral("2024/13"), 0},  {QStringLiteral("2024/00"), 0},
        {QStringLiteral("2024"), 0},     {QStringLiteral("abc/de"), 0},
    };
    for (const Case& c : cases) {
        const DayFlags flags = MonthDays(c.month);
        for (int i = 0; i < kCalendarDays; ++i) {
            EXPECT_EQ(flags[static_cast<size_t>(i)], i < c.days)
                << c.month.toStdString() << " day " << i + 1;
        }
    }
    EXPECT_EQ(TargetMonths(QDate(2024, 1, 31)),
              (QStringList{QStringLiteral("2023/12"), QStringLiteral("2024/01"),
                           QStringLiteral("2024/02")}));
}

class ShiftTest : public MastersTest {
  protected:
    void SetUp() override {
        MastersTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        StaffEntry e;
        e.code = QStringLiteral("0001");
        e.name = QStringLiteral("山田");
        ASSERT_TRUE(RegisterStaff(*db, ctx, now, e).accepted);
    }

    ShiftRegistration month(const QString& m) {
        ShiftRegistration r;
        r.code = QStringLiteral("0001");
        r.staffShown = true;
        r.month = m;
        return r;
    }

    int workRows() { return count(QStringLiteral("T_勤務")); }
};

TEST_F(ShiftTest, NonLeapFebruaryWritesEveryDayIncludingEmptyOnes) {
    ShiftRegistration r = month(QStringLiteral("2023/02"));
    r.days[0] = QStringLiteral("A");
    r.days[2] = QStringLiteral("'");
    r.days[27] = QStringLiteral("B");
    r.days[28] = QStringLiteral("X");  // days 29-31 do not exist in this month
    r.days[30] = QStringLiteral("XY");
    const ShiftOutcome o = RegisterMonthShifts(*db, ctx, now, r);
    ASSERT_TRUE(o.accepted);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0].text, QStringLiteral("シフト登録を受け付けました。"));
    EXPECT_EQ(o.messages[0].icon, Icon::Information);
    EXPECT_EQ(workRows(), 28);

    const DayShifts shown = MonthShifts(*db, QStringLiteral("0001"), QDate(2023, 2, 1));
    EXPECT_EQ(shown[0], QStringLiteral("A"));
    EXPECT_EQ(shown[1], QString());
    EXPECT_EQ(shown[2], QStringLiteral("'"));
    EXPECT_EQ(shown[27], QStringLiteral("B"));
    EXPECT_EQ(shown[28], QString());

    auto empty = db->query(
        Sql(QStringLiteral("SELECT * FROM T_勤務 WHERE 勤務日 = ")).date(QDate(2023, 2, 2)));
    ASSERT_TRUE(empty->next());
    EXPECT_FALSE(empty->isNull(QStringLiteral("シフト"))) << "an empty box is an empty text";
    EXPECT_EQ(empty->integer(QStringLiteral("出勤時刻")), 0);

    // One log row (besides the staff registration) with the last statement of the month.
    const auto log = logRows();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].operation, QStringLiteral("登録"));
    EXPECT_EQ(log[1].content,
              QStringLiteral("(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト) VALUES "
                             "('0001',#2023/02/28#,'B')"));
}

TEST_F(ShiftTest, RegisteringAgainUpdatesAndKeepsPunches) {
    // A day already punched: its row must be updated, never replaced.
    db->execute(Sql(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,出勤時刻) VALUES ("))
                    .text(QStringLiteral("0001"))
                    .raw(QStringLiteral(","))
                    .date(QDate(2024, 4, 5))
                    .raw(QStringLiteral(",805)")));
    ShiftRegistration r = month(QStringLiteral("2024/04"));
    r.days.fill(QStringLiteral("A"));
    ASSERT_TRUE(RegisterMonthShifts(*db, ctx, now, r).accepted);
    EXPECT_EQ(workRows(), 30);

    r.days[4] = QStringLiteral("C");
    r.days[29] = QString();
    ASSERT_TRUE(RegisterMonthShifts(*db, ctx, now, r).accepted);
    EXPECT_EQ(workRows(), 30);
    const DayShifts shown = MonthShifts(*db, QStringLiteral("0001"), QDate(2024, 4, 1));
    EXPECT_EQ(shown[0], QStringLiteral("A"));
    EXPECT_EQ(shown[4], QStringLiteral("C"));
    EXPECT_EQ(shown[29], QString()) << "an emptied box shows empty after a month change";

    auto punched = db->query(
        Sql(QStringLiteral("SELECT * FROM T_勤務 WHERE 勤務日 = ")).date(QDate(2024, 4, 5)));
    ASSERT_TRUE(punched->next());
    EXPECT_EQ(punched->integer(QStringLiteral("出勤時刻")), 805);

    const auto log = logRows();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[2].content,
              QStringLiteral("(SQL)UPDATE T_勤務 SET シフト = '' WHERE 担当者コード = '0001' "
                             "AND 勤務日 = #2024/04/30#"));
}

TEST_F(ShiftTest, MonthFillReadsOnlyThisStaffAndMonth) {
    auto put = [&](const QString& code, const QDate& day, const QString& shift) {
        db->execute(Sql(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,シフト) VALUES ("))
                        .text(code)
                        .raw(QStringLiteral(","))
                        .date(day)
                        .raw(QStringLiteral(","))
                        .text(shift)
                        .raw(QStringLiteral(")")));
    };
    put(QStringLiteral("0001"), QDate(2024, 1, 31), QStringLiteral("Z"));
    put(QStringLiteral("0001"), QDate(2024, 2, 1), QStringLiteral("A"));
    put(QStringLiteral("0001"), QDate(2024, 2, 29), QStringLiteral("B"));
    put(QStringLiteral("0001"), QDate(2024, 3, 1), QStringLiteral("Y"));
    put(QStringLiteral("0002"), QDate(2024, 2, 10), QStringLiteral("W"));

    const DayShifts shown = MonthShifts(*db, QStringLiteral("0001"), QDate(2024, 2, 1));
    DayShifts expected;
    expected[0] = QStringLiteral("A");
    expected[28] = QStringLiteral("B");
    EXPECT_EQ(shown, expected);
}

TEST_F(ShiftTest, RefusalsAndNoOpsWriteNothing) {
    ShiftRegistration longDay = month(QStringLiteral("2024/04"));
    longDay.days[0] = QStringLiteral("A");
    longDay.days[9] = QStringLiteral("AB");
    const ShiftOutcome refused = RegisterMonthShifts(*db, ctx, now, longDay);
    EXPECT_FALSE(refused.accepted);
    EXPECT_EQ(refused.refusedDay, 9);
    ASSERT_EQ(refused.messages.size(), 1u);
    EXPECT_EQ(refused.messages[0].text, QStringLiteral("日別シフトの桁数制限を越えています。"));
    EXPECT_EQ(refused.messages[0].icon, Icon::Exclamation);

    ShiftRegistration longCode = month(QStringLiteral("2024/04"));
    longCode.code = QStringLiteral("00001");
    const ShiftOutcome codeRefused = RegisterMonthShifts(*db, ctx, now, longCode);
    EXPECT_TRUE(codeRefused.codeRefused);
    ASSERT_EQ(codeRefused.messages.size(), 1u);
    EXPECT_EQ(codeRefused.messages[0].text, QStringLiteral("社員コードの桁数制限を越えています。"));

    ShiftRegistration hidden = month(QStringLiteral("2024/04"));
    hidden.staffShown = false;
    ShiftRegistration noMonth = month(QStringLiteral("  "));
    for (const ShiftRegistration& r : {hidden, noMonth}) {
        const ShiftOutcome o = RegisterMonthShifts(*db, ctx, now, r);
        EXPECT_FALSE(o.accepted);
        EXPECT_TRUE(o.messages.empty());
    }
    EXPECT_EQ(workRows(), 0);
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 1);  // the staff registration only
}

TEST_F(ShiftTest, AFailureLeavesNoDayAndNoLogRow) {
    int statements = 0;
    FailingDatabase failing(*db, [&](const Sql&) { return ++statements == 12; });
    ShiftRegistration r = month(QStringLiteral("2024/04"));
    r.days.fill(QStringLiteral("A"));
    EXPECT_THROW(RegisterMonthShifts(failing, ctx, now, r), DbError);
    EXPECT_EQ(workRows(), 0);
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 1);

    // The staff registration and its log row go together too.
    FailingDatabase noLog(*db, [](const Sql& s) {
        return s.logText().startsWith(QStringLiteral("INSERT INTO T_ログ"));
    });
    StaffEntry e;
    e.code = QStringLiteral("0002");
    e.name = QStringLiteral("佐藤");
    EXPECT_THROW(RegisterStaff(noLog, ctx, now, e), DbError);
    EXPECT_FALSE(LookupStaff(*db, QStringLiteral("0002")).row.has_value());
}

}  // namespace
}  // namespace tq::test
