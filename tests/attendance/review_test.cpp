// The monthly review: one row per day of the period, calculated, between rows, and blank.

#include <gtest/gtest.h>

#include "attendance/review.h"
#include "punch_fixture.h"
#include "storage/schema.h"

namespace tq::test {
namespace {

using namespace Qt::StringLiterals;

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

/// Every text of every day and the totals, for comparing two reviews.
QStringList everything(const ReviewResult& r) {
    QStringList out;
    for (const DayFigures& d : r.days) {
        out << DisplayTexts(d).join(u'|');
    }
    const TotalsGroup& t = r.totals.all;
    out << QStringLiteral("%1 %2 %3 %4 %5")
               .arg(t.days)
               .arg(t.勤務)
               .arg(t.所定)
               .arg(t.実働)
               .arg(r.totals.欠勤);
    return out;
}

TEST_F(PunchTest, ArchivedDaysOfTheOpenPeriodReviewAsBeforeTheMove) {
    // Closing day 20, correction day 5: on 3 May the review still shows 21 March onwards,
    // while the start-up that day moves every row before 1 April.
    settings.給与締日 = QStringLiteral("20");
    settings.過日修正可能日 = QStringLiteral("5");
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    for (QDate d(2024, 3, 21); d <= QDate(2024, 5, 2); d = d.addDays(1)) {
        if (d.dayOfWeek() < 6 && d != QDate(2024, 3, 27)) {
            rows->addWork(QStringLiteral("0001"), d, QStringLiteral("A"), 830, 1730 + d.day());
        }
    }
    const QDateTime now = wallClock(QDate(2024, 5, 3), QTime(9, 0));
    const Identification who = identify(QStringLiteral("0001"), now);
    const ReviewResult before = MonthlyReview(*db, who, settings, now);
    ASSERT_EQ(before.period.PeriodStart, QDate(2024, 3, 21));
    ASSERT_EQ(before.totals.all.days, 30);

    ASSERT_EQ(ArchiveOldRows(*db, QDate(2024, 4, 1)).first, 6);
    const ReviewResult after = MonthlyReview(*db, who, settings, now);
    EXPECT_EQ(everything(after), everything(before));
    EXPECT_EQ(after.firstMissingRow, before.firstMissingRow);  // 03/27, the one day not worked
}

TEST_F(PunchTest, ListingTakesEachDayOnceFromTheTableOrElseTheArchive) {
    auto archive = [&](const QDate& day, int in) {
        db->execute(Sql(QStringLiteral("INSERT INTO [T_勤務_保存] (担当者コード,勤務日,出勤時刻) "
                                       "VALUES ('0001',"))
                        .date(day)
                        .raw(QStringLiteral(","))
                        .integer(in)
                        .raw(QStringLiteral(")")));
    };
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"),
                   QStringLiteral("2020/04/01"));
    // Day 1: table only; 2: archive only; 3: both (a correction after the move: the table's
    // row counts); 4: archived twice; 5: another employee's, 6: outside the span.
    rows->addWork(QStringLiteral("0001"), QDate(2024, 3, 1), QStringLiteral("A"), 801);
    archive(QDate(2024, 3, 2), 802);
    archive(QDate(2024, 3, 3), 700);
    rows->addWork(QStringLiteral("0001"), QDate(2024, 3, 3), QStringLiteral("A"), 803);
    archive(QDate(2024, 3, 4), 804);
    archive(QDate(2024, 3, 4), 804);
    db->execute(
        Sql(QStringLiteral("INSERT INTO [T_勤務_保存] (担当者コード,勤務日,出勤時刻) VALUES "
                           "('0002',#2024/03/05#,805)")));
    archive(QDate(2024, 3, 6), 806);
    rows->addWork(QStringLiteral("0001"), QDate(2024, 3, 5), QStringLiteral("A"), 805);

    const std::vector<WorkRow> got =
        ReadListing(*db, QStringLiteral("0001"), QDate(2024, 3, 1), QDate(2024, 3, 5));
    QStringList seen;
    for (const WorkRow& r : got) {
        seen << QStringLiteral("%1:%2").arg(r.勤務日.day()).arg(r.出勤時刻.value_or(0));
    }
    EXPECT_EQ(seen, (QStringList{u"1:801"_s, u"2:802"_s, u"3:803"_s, u"4:804"_s, u"5:805"_s}));
    EXPECT_EQ(got[1].入社年月日, QStringLiteral("2020/04/01")) << "archived rows are joined too";
}

}  // namespace
}  // namespace tq::test
