#include <gtest/gtest.h>

#include "../testsupport.h"
#include "common/datetime.h"

using namespace tq;

TEST(DayCount, RoundTripsAndKnownValues) {
    EXPECT_EQ(fromDayCount(0.0), wallClock(QDate(1899, 12, 30)));
    EXPECT_EQ(fromDayCount(2.0), wallClock(QDate(1900, 1, 1)));
    EXPECT_EQ(fromDayCount(43831.5), wallClock(QDate(2020, 1, 1), QTime(12, 0)));
    const QDateTime t = wallClock(QDate(2024, 3, 31), QTime(15, 30, 59));
    EXPECT_EQ(fromDayCount(toDayCount(t)), t);
}

TEST(DateTexts, FormatsAndParses) {
    const QDate d(2024, 5, 1);
    EXPECT_EQ(formatDate(d), QStringLiteral("2024/05/01"));
    EXPECT_EQ(formatMonthDay(d), QStringLiteral("05/01"));
    EXPECT_EQ(formatStamp(wallClock(d, QTime(8, 5, 7))), QStringLiteral("2024/05/01 08:05:07"));
    EXPECT_EQ(parseDate(QStringLiteral("2024/02/29")), QDate(2024, 2, 29));
    EXPECT_FALSE(parseDate(QStringLiteral("2023/02/29")).isValid());
    EXPECT_FALSE(parseDate(QStringLiteral("24/02/01")).isValid());
    EXPECT_EQ(parseStamp(QStringLiteral("2024/05/01 08:05:07")), wallClock(d, QTime(8, 5, 7)));
    EXPECT_EQ(weekdayName(QDate(2024, 5, 5)), QStringLiteral("日曜日"));
    EXPECT_EQ(weekdayLetter(QDate(2024, 5, 4)), QStringLiteral("土"));
}
