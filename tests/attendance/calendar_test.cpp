// Payroll period and day-text rules.
#include <gtest/gtest.h>

#include "../testsupport.h"
#include "attendance/calendar.h"
#include "common/datetime.h"

namespace tq {
namespace {

using namespace Qt::StringLiterals;

QDate D(int y, int m, int d) {
    return QDate(y, m, d);
}

TEST(ComputePeriod, FollowsClosingAndCorrectionDays) {
    struct Case {
        const char* name;
        const char16_t* closing;
        const char16_t* correction;
        QDate today;
        QDate start;
        QDate end;
    };
    const Case cases[] = {
        // Closing 20, correction 25: the previous period stays open through the 25th.
        {"20/25 on the 15th", u"20", u"25", D(2025, 5, 15), D(2025, 4, 21), D(2025, 5, 20)},
        {"20/25 on the 20th", u"20", u"25", D(2025, 5, 20), D(2025, 4, 21), D(2025, 5, 20)},
        {"20/25 on the 21st", u"20", u"25", D(2025, 5, 21), D(2025, 4, 21), D(2025, 5, 25)},
        {"20/25 on the 22nd", u"20", u"25", D(2025, 5, 22), D(2025, 4, 21), D(2025, 5, 25)},
        {"20/25 on the 25th", u"20", u"25", D(2025, 5, 25), D(2025, 4, 21), D(2025, 5, 25)},
        {"20/25 on the 26th", u"20", u"25", D(2025, 5, 26), D(2025, 5, 21), D(2025, 6, 20)},
        {"20/25 on the 28th", u"20", u"25", D(2025, 5, 28), D(2025, 5, 21), D(2025, 6, 20)},
        // Closing 20, correction 5: corrections run into the next month.
        {"20/5 on the 3rd", u"20", u"5", D(2025, 5, 3), D(2025, 3, 21), D(2025, 5, 5)},
        {"20/5 on the 5th", u"20", u"5", D(2025, 5, 5), D(2025, 3, 21), D(2025, 5, 5)},
        {"20/5 on the 6th", u"20", u"5", D(2025, 5, 6), D(2025, 4, 21), D(2025, 5, 20)},
        {"20/5 on the 10th", u"20", u"5", D(2025, 5, 10), D(2025, 4, 21), D(2025, 5, 20)},
        {"20/5 on the 20th", u"20", u"5", D(2025, 5, 20), D(2025, 4, 21), D(2025, 5, 20)},
        {"20/5 on the 21st", u"20", u"5", D(2025, 5, 21), D(2025, 4, 21), D(2025, 6, 5)},
        {"20/5 on the 25th", u"20", u"5", D(2025, 5, 25), D(2025, 4, 21), D(2025, 6, 5)},
        // Calendar-month payroll with correction day 5.
        {"末日/5 on the 3rd", u"末日", u"5", D(2025, 5, 3), D(2025, 4, 1), D(2025, 5, 5)},
        {"末日/5 on the 5th", u"末日", u"5", D(2025, 5, 5), D(2025, 4, 1), D(2025, 5, 5)},
        {"末日/5 on the 6th", u"末日", u"5", D(2025, 5, 6), D(2025, 5, 1), D(2025, 5, 31)},
        {"末日/5 on the 10th", u"末日", u"5", D(2025, 5, 10), D(2025, 5, 1), D(2025, 5, 31)},
        // Both month end: always the current calendar month.
        {"末日/末日 on the 1st", u"末日", u"末日", D(2025, 5, 1), D(2025, 5, 1), D(2025, 5, 31)},
        {"末日/末日 leap February", u"末日", u"末日", D(2024, 2, 29), D(2024, 2, 1),
         D(2024, 2, 29)},
        // Closing 20, correction at month end: the previous period stays open all month.
        {"20/末日 on the 15th", u"20", u"末日", D(2025, 5, 15), D(2025, 4, 21), D(2025, 5, 20)},
        {"20/末日 on the 25th", u"20", u"末日", D(2025, 5, 25), D(2025, 4, 21), D(2025, 5, 31)},
        // Across a year end.
        {"20/25 in early January", u"20", u"25", D(2025, 1, 10), D(2024, 12, 21), D(2025, 1, 20)},
        {"20/25 in late December", u"20", u"25", D(2024, 12, 28), D(2024, 12, 21), D(2025, 1, 20)},
        {"20/5 on 3 January", u"20", u"5", D(2025, 1, 3), D(2024, 11, 21), D(2025, 1, 5)},
        {"20/5 on 25 December", u"20", u"5", D(2024, 12, 25), D(2024, 11, 21), D(2025, 1, 5)},
        {"20/5 on 3 February", u"20", u"5", D(2025, 2, 3), D(2024, 12, 21), D(2025, 2, 5)},
        {"末日/5 on 3 January", u"末日", u"5", D(2025, 1, 3), D(2024, 12, 1), D(2025, 1, 5)},
        // Settings that form no date count as month end; days past a month's end are its
        // last day.
        {"missing closing day", u"", u"5", D(2025, 5, 3), D(2025, 4, 1), D(2025, 5, 5)},
        {"closing day not a number", u"abc", u"5", D(2025, 5, 10), D(2025, 5, 1), D(2025, 5, 31)},
        {"closing day 0", u"0", u"5", D(2025, 5, 3), D(2025, 4, 1), D(2025, 5, 5)},
        {"missing correction day", u"20", u"", D(2025, 5, 25), D(2025, 4, 21), D(2025, 5, 31)},
        {"correction day 0", u"20", u"0", D(2025, 5, 15), D(2025, 4, 21), D(2025, 5, 20)},
        {"both missing", u"", u"", D(2025, 5, 15), D(2025, 5, 1), D(2025, 5, 31)},
        {"closing 31 in April", u"31", u"5", D(2025, 4, 10), D(2025, 4, 1), D(2025, 4, 30)},
        {"closing 31 early March", u"31", u"5", D(2025, 3, 3), D(2025, 2, 1), D(2025, 3, 5)},
        {"closing 30 in February", u"30", u"5", D(2025, 2, 10), D(2025, 1, 31), D(2025, 2, 28)},
        {"closing 30 on 10 March", u"30", u"5", D(2025, 3, 10), D(2025, 3, 1), D(2025, 3, 30)},
        {"correction 31 in April", u"末日", u"31", D(2025, 4, 30), D(2025, 3, 1), D(2025, 4, 30)},
    };
    for (const Case& c : cases) {
        Settings s;
        s.給与締日 = QString::fromUtf16(c.closing);
        s.過日修正可能日 = QString::fromUtf16(c.correction);
        const Period p = ComputePeriod(wallClock(c.today, QTime(23, 59, 59)), s);
        EXPECT_EQ(p.PeriodStart, c.start) << c.name;
        EXPECT_EQ(p.PeriodEnd, c.end) << c.name;
    }
}

TEST(ArchiveCutoff, NeverReachesADayStillOpenForCorrections) {
    struct Case {
        const char* name;
        const char16_t* closing;
        const char16_t* correction;
        QDate today;
        QDate cutoff;
    };
    const Case cases[] = {
        // The first day of the previous month whenever no open day lies before it.
        {"末日/末日", u"末日", u"末日", D(2024, 3, 15), D(2024, 2, 1)},
        {"末日/5 on the 3rd", u"末日", u"5", D(2025, 5, 3), D(2025, 4, 1)},
        {"20/25 on the 21st", u"20", u"25", D(2025, 5, 21), D(2025, 4, 1)},
        {"末日 in January", u"末日", u"末日", D(2024, 1, 10), D(2023, 12, 1)},
        // The payroll period still open for corrections began before the previous month.
        {"20/5 on the 3rd", u"20", u"5", D(2025, 5, 3), D(2025, 3, 21)},
        {"20/5 on 3 January", u"20", u"5", D(2025, 1, 3), D(2024, 11, 21)},
        {"25/10 on 5 March", u"25", u"10", D(2024, 3, 5), D(2024, 1, 26)},
        {"closing 30 on 1 March", u"30", u"5", D(2025, 3, 1), D(2025, 1, 31)},
    };
    for (const Case& c : cases) {
        Settings s;
        s.給与締日 = QString::fromUtf16(c.closing);
        s.過日修正可能日 = QString::fromUtf16(c.correction);
        for (const QTime& at : {QTime(0, 0), QTime(23, 59, 59)}) {
            const QDateTime now = wallClock(c.today, at);
            const QDate cutoff = ArchiveCutoff(now, s);
            EXPECT_EQ(cutoff, c.cutoff) << c.name;
            EXPECT_LE(cutoff, ComputePeriod(now, s).PeriodStart) << c.name;
            EXPECT_LE(cutoff, PayrollMonthOf(c.today, s).start) << c.name;
        }
    }
}

TEST(PayrollMonth, EveryDayBelongsToExactlyOneMonthWhateverTheClosingDay) {
    Settings s;
    struct Case {
        const char16_t* closing;
        int year, month;
        QDate start, end;
    };
    const Case worked[] = {
        {u"30", 2026, 4, D(2026, 3, 31), D(2026, 4, 30)},
        {u"30", 2026, 5, D(2026, 5, 1), D(2026, 5, 30)},
        {u"30", 2026, 3, D(2026, 3, 1), D(2026, 3, 30)},
        {u"31", 2028, 2, D(2028, 2, 1), D(2028, 2, 29)},
        {u"末日", 2026, 2, D(2026, 2, 1), D(2026, 2, 28)},
        {u"20", 2027, 1, D(2026, 12, 21), D(2027, 1, 20)},
    };
    for (const Case& c : worked) {
        s.給与締日 = QString::fromUtf16(c.closing);
        const PayrollMonth m = PayrollMonthEnding(c.year, c.month, s);
        EXPECT_EQ(m.start, c.start) << c.year << "/" << c.month;
        EXPECT_EQ(m.end, c.end) << c.year << "/" << c.month;
    }
    // 26 months from January 2027 (February 2028 is a leap month): the months tile the days.
    QStringList closings = {u"末日"_s};
    for (int c = 1; c <= 31; ++c) {
        closings << QString::number(c);
    }
    for (const QString& closing : closings) {
        s.給与締日 = closing;
        QDate expected = PayrollMonthEnding(2027, 1, s).start;
        for (int i = 0; i < 26; ++i) {
            const QDate first = QDate(2027, 1, 1).addMonths(i);
            const PayrollMonth m = PayrollMonthEnding(first.year(), first.month(), s);
            ASSERT_EQ(m.start, expected) << closing.toStdString() << " month " << i;
            ASSERT_EQ(m.end.month(), first.month()) << closing.toStdString();
            for (QDate d = m.start; d <= m.end; d = d.addDays(1)) {
                const PayrollMonth of = PayrollMonthOf(d, s);
                ASSERT_TRUE(of.start == m.start && of.end == m.end) << d.toString().toStdString();
            }
            expected = m.end.addDays(1);
        }
    }
}

TEST(NationalHolidays, FixedDaysMondaysAndEquinoxBounds) {
    struct Case {
        QDate date;
        bool holiday;
        const char* why;
    };
    const Case cases[] = {
        {D(2025, 1, 1), true, "new year"},
        {D(2025, 1, 2), false, "2 January"},
        {D(2025, 2, 11), true, "fixed 02/11"},
        {D(2025, 4, 29), true, "fixed 04/29"},
        {D(2025, 5, 3), true, "fixed 05/03"},
        {D(2025, 5, 4), true, "fixed 05/04"},
        {D(2025, 5, 5), true, "fixed 05/05"},
        {D(2025, 5, 6), false, "no substitute holiday after a Sunday 05/04"},
        {D(2025, 11, 3), true, "fixed 11/03"},
        {D(2025, 11, 23), true, "fixed 11/23 on a Sunday"},
        {D(2025, 11, 24), false, "no substitute holiday"},
        {D(2025, 12, 23), true, "fixed 12/23"},
        {D(2019, 1, 14), true, "second Monday of January"},
        {D(2018, 1, 15), false, "third Monday of January"},
        {D(2024, 10, 14), true, "second Monday of October"},
        {D(2024, 10, 7), false, "first Monday of October"},
        {D(2024, 7, 15), true, "third Monday of July"},
        {D(2024, 7, 22), false, "fourth Monday of July"},
        {D(2024, 9, 16), true, "third Monday of September"},
        {D(2024, 9, 9), false, "second Monday of September"},
        {D(2024, 1, 9), false, "Tuesday in the second week"},
        // Spring equinox by year modulo 4 with its bounds.
        {D(2088, 3, 20), true, "2088 (r0) 03/20"},
        {D(2088, 3, 19), false, "2088 (r0) 03/19"},
        {D(2092, 3, 19), true, "2092 (r0) 03/19"},
        {D(2092, 3, 20), false, "2092 (r0) 03/20"},
        {D(2025, 3, 20), true, "2025 (r1) 03/20"},
        {D(2025, 3, 21), false, "2025 (r1) 03/21"},
        {D(2097, 3, 20), true, "2097 (r1) 03/20"},
        {D(2101, 3, 20), false, "2101 (r1) past the table"},
        {D(2022, 3, 21), true, "2022 (r2) 03/21"},
        {D(2026, 3, 20), true, "2026 (r2) 03/20"},
        {D(2026, 3, 21), false, "2026 (r2) 03/21"},
        {D(2055, 3, 21), true, "2055 (r3) 03/21"},
        {D(2059, 3, 20), true, "2059 (r3) 03/20"},
        {D(2059, 3, 21), false, "2059 (r3) 03/21"},
        // Autumn equinox.
        {D(2008, 9, 23), true, "2008 (r0) 09/23"},
        {D(2012, 9, 22), true, "2012 (r0) 09/22"},
        {D(2012, 9, 23), false, "2012 (r0) 09/23"},
        {D(2041, 9, 23), true, "2041 (r1) 09/23"},
        {D(2045, 9, 22), true, "2045 (r1) 09/22"},
        {D(2074, 9, 23), true, "2074 (r2) 09/23"},
        {D(2078, 9, 22), true, "2078 (r2) 09/22"},
        {D(2078, 9, 23), false, "2078 (r2) 09/23"},
        {D(2099, 9, 23), true, "2099 (r3) 09/23"},
        {D(2103, 9, 23), false, "2103 (r3) past the table"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isNationalHoliday(c.date), c.holiday) << c.why;
    }
}

TEST(DayText, ListsInTheirOrderAndForms) {
    struct Case {
        const char* name;
        QStringList rest;
        QStringList exception;
        QStringList special;
        QDate date;
        const char16_t* text;
    };
    const QStringList sundayAndHolidays{u"日曜日"_s, u"祝祭日"_s};
    const Case cases[] = {
        {"plain working day", {}, {}, {}, D(2024, 5, 7), u"火"},
        {"rest Sunday", sundayAndHolidays, {}, {}, D(2024, 5, 12), u"日休"},
        {"exception day wins over a rest Sunday",
         sundayAndHolidays,
         {u"05/05"_s},
         {},
         D(2024, 5, 5),
         u"日"},
        {"special working day wins", {u"12/29"_s}, {}, {u"12/29"_s}, D(2024, 12, 29), u"日"},
        {"national holiday", sundayAndHolidays, {}, {}, D(2024, 5, 3), u"金休"},
        {"no substitute holiday", sundayAndHolidays, {}, {}, D(2024, 5, 6), u"月"},
        {"Monday 14 January", sundayAndHolidays, {}, {}, D(2019, 1, 14), u"月休"},
        {"Monday 15 January", sundayAndHolidays, {}, {}, D(2018, 1, 15), u"月"},
        {"equinox 2025", sundayAndHolidays, {}, {}, D(2025, 3, 20), u"木休"},
        {"day after equinox 2025", sundayAndHolidays, {}, {}, D(2025, 3, 21), u"金"},
        {"holiday without 祝祭日", {u"日曜日"_s}, {}, {}, D(2024, 5, 3), u"金"},
        {"second Saturday", {u"第2・第4土曜日"_s}, {}, {}, D(2024, 6, 8), u"土休"},
        {"first Saturday", {u"第2・第4土曜日"_s}, {}, {}, D(2024, 6, 1), u"土"},
        {"fourth Saturday", {u"第2・第4土曜日"_s}, {}, {}, D(2024, 6, 22), u"土休"},
        {"fifth Saturday", {u"第2・第4土曜日"_s}, {}, {}, D(2024, 6, 29), u"土"},
        // The 7th, 14th, 21st and 28th end their week of the month.
        {"14th is the second Saturday", {u"第2・第4土曜日"_s}, {}, {}, D(2024, 9, 14), u"土休"},
        {"28th is the fourth Saturday", {u"第2・第4土曜日"_s}, {}, {}, D(2024, 12, 28), u"土休"},
        {"7th is the first Saturday", {u"第2・第4土曜日"_s}, {}, {}, D(2024, 9, 7), u"土"},
        {"fifth-week digit", {u"第5土曜日"_s}, {}, {}, D(2024, 6, 29), u"土休"},
        {"weekday with other text but no digit", {u"毎週土曜日"_s}, {}, {}, D(2024, 6, 1), u"土"},
        {"month/day entry", {u"12/29"_s}, {}, {}, D(2024, 12, 29), u"日休"},
        {"month/day without leading zero", {u"1/2"_s}, {}, {}, D(2025, 1, 2), u"木"},
        {"祝祭日 only counts in the rest days",
         {u"祝祭日"_s},
         {u"祝祭日"_s},
         {u"祝祭日"_s},
         D(2024, 5, 3),
         u"金休"},
        {"empty first exception entry ends that walk",
         {u"日曜日"_s},
         {QString(), u"日曜日"_s},
         {},
         D(2024, 5, 12),
         u"日休"},
        {"empty rest entry ends the rest walk",
         {u"土曜日"_s, QString(), u"日曜日"_s},
         {},
         {},
         D(2024, 5, 12),
         u"日"},
        {"exception by weekday", {u"土曜日"_s}, {u"第1土曜日"_s}, {}, D(2024, 6, 1), u"土"},
    };
    for (const Case& c : cases) {
        Settings s;
        s.shifts[0].休日 = c.rest;
        s.shifts[0].例外出勤日 = c.exception;
        s.shifts[0].特別出勤日 = c.special;
        EXPECT_EQ(DayText(s, 0, c.date), QString::fromUtf16(c.text)) << c.name;
    }
}

TEST(DayText, EachShiftUsesItsOwnLists) {
    Settings s;
    s.shiftCodes = QStringList{QString(), u"A"_s, u"B"_s};
    s.shifts[0].休日 = QStringList{u"日曜日"_s};
    s.shifts[1].休日 = QStringList{u"土曜日"_s};
    const QDate saturday = D(2024, 6, 1);
    const QDate sunday = D(2024, 6, 2);
    EXPECT_EQ(DayText(s, 0, saturday), u"土"_s) << "common block: Saturday works";
    EXPECT_EQ(DayText(s, 0, sunday), u"日休"_s) << "common block: Sunday rests";
    EXPECT_EQ(DayText(s, 1, saturday), u"土休"_s) << "shift A rests on Saturday";
    EXPECT_EQ(DayText(s, 1, sunday), u"日"_s) << "shift A has no Sunday rule";
    EXPECT_EQ(DayText(s, 2, sunday), u"日"_s) << "shift B inherits nothing";
    EXPECT_EQ(DayText(s, 99, sunday), u"日休"_s) << "an index past the tables is the common block";
}

}  // namespace
}  // namespace tq
