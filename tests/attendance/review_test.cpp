// The monthly review: one row per day of the period, calculated, between rows, and blank.

#include <gtest/gtest.h>

#include "attendance/review.h"
#include "punch_fixture.h"

namespace tq::test {
namespace {

QStringList column(const std::vector<DayFigures>& days, int c) {
    QStringList out;
    for (const DayFigures& d : days) {
        out << d.at(c);
    }
    return out;
}

TEST_F(PunchTest, ReviewOfAMonthWithRowsOnTheThirdAndTenth) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"),
                   QStringLiteral("2024/01/10"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 3), QStringLiteral("A"), 830, 1730);
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 10), QStringLiteral("A"), 830, 1730);
    // Rows of other months and of another employee stay out.
    rows->addWork(QStringLiteral("0001"), QDate(2024, 4, 30), QStringLiteral("A"), 830, 0);
    rows->addWork(QStringLiteral("0001"), QDate(2024, 6, 1), QStringLiteral("A"), 830, 0);
    rows->addWork(QStringLiteral("0002"), QDate(2024, 5, 6), QStringLiteral("A"), 830, 0);

    const QDateTime now = wallClock(QDate(2024, 5, 20), QTime(12, 0));
    const ReviewResult r = MonthlyReview(*db, identify(QStringLiteral("0001"), now), settings, now);
    ASSERT_TRUE(r.outcome.accepted);
    EXPECT_TRUE(r.outcome.messages.empty());
    EXPECT_EQ(r.period.PeriodStart, QDate(2024, 5, 1));
    EXPECT_EQ(r.period.PeriodEnd, QDate(2024, 5, 31));
    ASSERT_EQ(r.days.size(), 31u);

    QStringList dates;
    for (int d = 1; d <= 31; ++d) {
        dates << QStringLiteral("05/%1").arg(d, 2, 10, QLatin1Char('0'));
    }
    EXPECT_EQ(column(r.days, 0), dates);
    // Days 1-10 are calculated (past working days without a record are "？？", weekend days
    // are not); days 11-31 are blank rows whatever their weekday.
    const QString m = QStringLiteral("？？");
    const QString w = QStringLiteral("勤務");
    EXPECT_EQ(column(r.days, 4), (QStringList{m, m, w, QString(), QString(), m, m, m, m, w} +
                                  QStringList(21, QString())));
    EXPECT_EQ(r.days[2].出勤, QStringLiteral("8:30"));
    EXPECT_EQ(r.days[9].退勤, QStringLiteral("17:30"));
    EXPECT_EQ(r.days[2].シフト, QStringLiteral("A"));
    EXPECT_EQ(r.days[4].曜日, QStringLiteral("日休"));
    EXPECT_EQ(r.days[25].曜日, QStringLiteral("日休"));  // blank rows keep the day text
    EXPECT_EQ(r.days[13].曜日, QStringLiteral("火"));
    EXPECT_EQ(r.firstMissingRow, 0);
    // The totals of the walk: the two stored days only.
    EXPECT_EQ(r.totals.all.days, 2);
    EXPECT_EQ(r.totals.all.勤務, 2 * 540);
}

TEST_F(PunchTest, DisplayRuleShowsEmptyFiguresAsOneSpace) {
    DayFigures f;
    f.日付 = QStringLiteral("05/01");
    f.曜日 = QStringLiteral("水");
    f.出勤 = QStringLiteral("8:30");
    f.実働 = QString();
    const QStringList t = DisplayTexts(f);
    ASSERT_EQ(t.size(), 17);
    const QString sp = QStringLiteral(" ");
    EXPECT_EQ(t, (QStringList{QStringLiteral("05/01"), QStringLiteral("水"), QString(), sp,
                              QString(), QStringLiteral("8:30"), sp, sp, sp, sp, sp, sp, sp, sp,
                              QString(), QString(), QString()}));
}

TEST_F(PunchTest, FirstMissingRowSkipsRestDaysAtTheStartOfThePeriod) {
    // June 2024 begins on a Saturday.
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 6, 5), QStringLiteral("A"), 830, 1730);
    const QDateTime now = wallClock(QDate(2024, 6, 10), QTime(9, 0));
    const ReviewResult r = MonthlyReview(*db, identify(QStringLiteral("0001"), now), settings, now);
    ASSERT_EQ(r.days.size(), 30u);
    EXPECT_EQ(r.firstMissingRow, 2);  // 06/03, the first working day
    EXPECT_EQ(r.days[2].状態, QStringLiteral("？？"));

    // Complete rows only: no "？？" anywhere.
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"));
    rows->addWork(QStringLiteral("0002"), QDate(2024, 6, 3), QStringLiteral("A"), 830, 1730);
    const ReviewResult full =
        MonthlyReview(*db, identify(QStringLiteral("0002"), now), settings, now);
    EXPECT_EQ(full.firstMissingRow, -1);
}

TEST_F(PunchTest, ReviewWithoutRowsOrWithoutIdentification) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 4, 30), QStringLiteral("A"), 830, 1730);
    const QDateTime now = wallClock(QDate(2024, 5, 20), QTime(12, 0));
    const ReviewResult none =
        MonthlyReview(*db, identify(QStringLiteral("0001"), now), settings, now);
    EXPECT_FALSE(none.outcome.accepted);
    ASSERT_EQ(none.outcome.messages.size(), 1u);
    EXPECT_EQ(none.outcome.messages[0].text, QStringLiteral("出退勤情報がありません。"));
    EXPECT_EQ(none.outcome.messages[0].icon, Icon::Exclamation);
    EXPECT_TRUE(none.days.empty());

    const ReviewResult nobody =
        MonthlyReview(*db, identify(QStringLiteral("9999"), now), settings, now);
    EXPECT_FALSE(nobody.outcome.accepted);
    EXPECT_TRUE(nobody.outcome.messages.empty());
}

}  // namespace
}  // namespace tq::test
