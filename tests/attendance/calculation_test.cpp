// The daily work-time calculation: all seventeen texts and the monthly totals of each day.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../testsupport.h"
#include "attendance/calculation.h"
#include "common/datetime.h"

namespace tq {
namespace {

using namespace Qt::StringLiterals;

const QDate kMonday(2024, 6, 10);
const QDateTime kNow = wallClock(QDate(2024, 6, 30), QTime(12, 0));

/// The working rules every example starts from (common block).
Settings exampleSettings() {
    Settings s;
    ShiftRules& r = s.shifts[0];
    r.始業時刻 = u"09:00"_s;
    r.終業時刻 = u"18:00"_s;
    r.所定勤務時間丸め = r.普通残業時間丸め = r.深夜残業時間丸め = r.早出残業時間丸め = u"15"_s;
    r.普通残業開始時刻 = u"18:00"_s;
    r.普通残業終了時刻 = u"22:00"_s;
    r.深夜残業開始時刻 = u"22:00"_s;
    r.深夜残業終了時刻 = u"29:00"_s;
    r.早出残業開始時刻 = u"07:00"_s;
    r.早出残業終了時刻 = u"09:00"_s;
    r.所定勤務時間 = u"480"_s;
    r.残業対象時間 = u"480"_s;
    r.勤務時間別休憩時間 =
        QStringList{u"00:00-06:00 0"_s, u"06:01-08:00 45"_s, u"08:01-24:00 60"_s};
    return s;
}

WorkRow punched(const QDate& day, int in, int out) {
    WorkRow row;
    row.勤務日 = day;
    row.出勤時刻 = in;
    row.退勤時刻 = out;
    return row;
}

/// Expected texts in column order: 日付 曜日 シフト 残業指示 状態 出勤 退勤 勤務 休憩 所定 残業
/// 深夜 早出 実働 状態打刻 出勤打刻 退勤打刻; missing trailing columns are empty.
using Texts = std::vector<const char16_t*>;

void expectFigures(const DayFigures& f, Texts expected, const std::string& name) {
    int column = 0;
    for (const char16_t* text : expected) {
        EXPECT_EQ(f.at(column), QString::fromUtf16(text))
            << name << ": column " << DayFigures::columnName(column).toStdString();
        ++column;
    }
    for (; column < kDayFigureColumns; ++column) {
        EXPECT_EQ(f.at(column), QString())
            << name << ": column " << DayFigures::columnName(column).toStdString();
    }
}

/// Totals of one ordinary working day.
MonthTotals ordinaryDay(int 休憩, int 所定, int 残業, int 深夜, int 早出, int 勤務, int 実働) {
    MonthTotals t;
    t.all = t.ordinary = TotalsGroup{1, 休憩, 所定, 残業, 深夜, 早出, 勤務, 実働};
    return t;
}

void expectTotals(const MonthTotals& got, const MonthTotals& want, const std::string& name) {
    auto group = [&](const TotalsGroup& g, const TotalsGroup& w, const char* which) {
        EXPECT_EQ(g.days, w.days) << name << ": " << which << ".days";
        EXPECT_EQ(g.休憩, w.休憩) << name << ": " << which << ".休憩";
        EXPECT_EQ(g.所定, w.所定) << name << ": " << which << ".所定";
        EXPECT_EQ(g.残業, w.残業) << name << ": " << which << ".残業";
        EXPECT_EQ(g.深夜, w.深夜) << name << ": " << which << ".深夜";
        EXPECT_EQ(g.早出, w.早出) << name << ": " << which << ".早出";
        EXPECT_EQ(g.勤務, w.勤務) << name << ": " << which << ".勤務";
        EXPECT_EQ(g.実働, w.実働) << name << ": " << which << ".実働";
    };
    group(got.all, want.all, "all");
    group(got.ordinary, want.ordinary, "ordinary");
    group(got.rest, want.rest, "rest");
    EXPECT_EQ(got.遅早回数, want.遅早回数) << name << ": 遅早回数";
    EXPECT_EQ(got.遅早時間, want.遅早時間) << name << ": 遅早時間";
    EXPECT_EQ(got.欠勤, want.欠勤) << name << ": 欠勤";
    EXPECT_EQ(got.有給休暇, want.有給休暇) << name << ": 有給休暇";
    EXPECT_EQ(got.私傷休暇, want.私傷休暇) << name << ": 私傷休暇";
    EXPECT_EQ(got.公傷休暇, want.公傷休暇) << name << ": 公傷休暇";
    EXPECT_EQ(got.特別休暇, want.特別休暇) << name << ": 特別休暇";
    EXPECT_EQ(got.代替休暇, want.代替休暇) << name << ": 代替休暇";
    EXPECT_EQ(got.代替出勤, want.代替出勤) << name << ": 代替出勤";
}

struct DayCase {
    DayCase(std::string name_, std::function<void(Settings&)> adjust_, WorkRow row_, Texts texts_,
            MonthTotals totals_, const char16_t* overtimeFlag_ = u"", QDate calcDay_ = {})
        : name(std::move(name_)),
          adjust(std::move(adjust_)),
          row(std::move(row_)),
          texts(std::move(texts_)),
          totals(totals_),
          overtimeFlag(overtimeFlag_),
          calcDay(calcDay_) {}
    std::string name;
    std::function<void(Settings&)> adjust;  ///< changes to the example settings
    WorkRow row;
    Texts texts;
    MonthTotals totals;
    const char16_t* overtimeFlag;
    QDate calcDay;  ///< the row's day unless set
};

void runCases(const std::vector<DayCase>& cases) {
    for (const DayCase& c : cases) {
        Settings s = exampleSettings();
        if (c.adjust) {
            c.adjust(s);
        }
        MonthTotals totals;
        const QDate day = c.calcDay.isValid() ? c.calcDay : c.row.勤務日;
        const DayFigures f =
            CalculateDay(day, c.row, QString::fromUtf16(c.overtimeFlag), s, kNow, totals);
        expectFigures(f, c.texts, c.name);
        expectTotals(totals, c.totals, c.name);
    }
}

TEST(CalculateDay, WorkedExamples) {
    MonthTotals lateAndEarly = ordinaryDay(60, 450, 0, 0, 0, 525, 450);
    lateAndEarly.遅早回数 = 1;
    lateAndEarly.遅早時間 = 30;
    MonthTotals combined = ordinaryDay(60, 465, 0, 0, 0, 525, 465);
    combined.遅早回数 = 1;
    combined.遅早時間 = 15;
    MonthTotals transferShort = ordinaryDay(60, 480, 60, 0, 0, 600, 540);
    transferShort.遅早回数 = 1;
    transferShort.遅早時間 = 60;
    WorkRow instructed = punched(kMonday, 855, 1937);
    instructed.残業指示 = u"18:30"_s;
    WorkRow direct = punched(kMonday, 0, 1800);
    direct.状態 = u"直行"_s;
    auto transferRules = [](int scheduled) {
        return [scheduled](Settings& s) {
            ShiftRules& r = s.shifts[0];
            r.終業時刻 = u"17:00"_s;
            r.普通残業開始時刻 = u"17:00"_s;
            r.所定勤務時間 = QString::number(scheduled);
            r.勤務時間別休憩時間 = QStringList{QString(), u"00:00-24:00 99"_s};
            r.休憩時刻 = QStringList{u"12:00-13:00"_s};
        };
    };

    runCases({
        {"in 855 out 1937",
         {},
         punched(kMonday, 855, 1937),
         {u"06/10", u"月", u"", u"", u"勤務", u"8:55", u"19:37", u"10:42", u"1:00", u"8:00",
          u"1:30", u"", u"", u"9:30"},
         ordinaryDay(60, 480, 90, 0, 0, 642, 570)},
        {"in 907 out 1752: late arrival and early leave rounded",
         {},
         punched(kMonday, 907, 1752),
         {u"06/10", u"月", u"", u"", u"勤務", u"9:07", u"17:52", u"8:45", u"1:00", u"7:30", u"",
          u"", u"", u"7:30"},
         lateAndEarly},
        {"in 907 out 1752 with 合算",
         [](Settings& s) { s.shifts[0].遅刻早退処理 = u"合算"_s; },
         punched(kMonday, 907, 1752),
         {u"06/10", u"月", u"", u"", u"勤務", u"9:07", u"17:52", u"8:45", u"1:00", u"7:45", u"",
          u"", u"", u"7:45"},
         combined},
        {"threshold transfer",
         transferRules(420),
         punched(kMonday, 900, 1900),
         {u"06/10", u"月", u"", u"", u"勤務", u"9:00", u"19:00", u"10:00", u"1:00", u"8:00",
          u"1:00", u"", u"", u"9:00"},
         ordinaryDay(60, 480, 60, 0, 0, 600, 540)},
        {"threshold transfer: shortfall measured before the transfer",
         transferRules(480),
         punched(kMonday, 900, 1900),
         {u"06/10", u"月", u"", u"", u"勤務", u"9:00", u"19:00", u"10:00", u"1:00", u"8:00",
          u"1:00", u"", u"", u"9:00"},
         transferShort},
        {"no overtime calculation",
         {},
         punched(kMonday, 855, 1937),
         {u"06/10", u"月", u"", u"", u"勤務", u"8:55", u"19:37", u"10:42", u"1:00", u"8:00", u"",
          u"", u"", u"9:30"},
         ordinaryDay(60, 480, 0, 0, 0, 642, 570),
         u"無"},
        {"overtime instruction caps the day",
         {},
         instructed,
         {u"06/10", u"月", u"", u"18:30", u"勤務", u"8:55", u"19:37", u"10:42", u"1:00", u"8:00",
          u"0:30", u"", u"", u"8:30"},
         ordinaryDay(60, 480, 30, 0, 0, 642, 510)},
        {"直行 assumes the scheduled start",
         {},
         direct,
         {u"06/10", u"月", u"", u"", u"直行", u"", u"18:00", u"9:00", u"1:00", u"8:00", u"", u"",
          u"", u"8:00"},
         ordinaryDay(60, 480, 0, 0, 0, 540, 480)},
        {"ordinary and late-night bands on one evening",
         {},
         punched(kMonday, 900, 2330),
         {u"06/10", u"月", u"", u"", u"勤務", u"9:00", u"23:30", u"14:30", u"1:00", u"8:00",
          u"4:00", u"1:30", u"", u"13:30"},
         ordinaryDay(60, 480, 240, 90, 0, 870, 810)},
        {"early start band",
         {},
         punched(kMonday, 740, 1800),
         {u"06/10", u"月", u"", u"", u"勤務", u"7:40", u"18:00", u"10:20", u"1:00", u"8:00", u"",
          u"", u"1:15", u"9:15"},
         ordinaryDay(60, 480, 0, 0, 75, 620, 555)},
    });
}

TEST(CalculateDay, EachOvertimeBandIsRoundedWithItsOwnUnit) {
    // One band's unit differs from the others: only that band may follow it.
    struct Case {
        const char* name;
        std::function<void(ShiftRules&)> unit;
        int in, out;
        const char16_t* 残業;
        const char16_t* 深夜;
        const char16_t* 早出;
        const char16_t* 実働;
    };
    const Case cases[] = {
        {"深夜 by 30, 22:00-23:50", [](ShiftRules& r) { r.深夜残業時間丸め = u"30"_s; }, 855, 2350,
         u"4:00", u"1:30", u"", u"13:30"},
        {"深夜 by 15, 22:00-23:50", {}, 855, 2350, u"4:00", u"1:45", u"", u"13:45"},
        {"早出 by 30, 07:40-09:00", [](ShiftRules& r) { r.早出残業時間丸め = u"30"_s; }, 740, 1800,
         u"", u"", u"1:00", u"9:00"},
        {"早出 by 15, 07:40-09:00", {}, 740, 1800, u"", u"", u"1:15", u"9:15"},
        {"普通 by 60 leaves 深夜 and 早出 alone",
         [](ShiftRules& r) { r.普通残業時間丸め = u"60"_s; }, 740, 2350, u"4:00", u"1:45", u"1:15",
         u"15:00"},
    };
    for (const Case& c : cases) {
        Settings s = exampleSettings();
        if (c.unit) {
            c.unit(s.shifts[0]);
        }
        MonthTotals totals;
        const DayFigures f =
            CalculateDay(kMonday, punched(kMonday, c.in, c.out), QString(), s, kNow, totals);
        EXPECT_EQ(f.at(10), QString::fromUtf16(c.残業)) << c.name << ": 残業";
        EXPECT_EQ(f.at(11), QString::fromUtf16(c.深夜)) << c.name << ": 深夜";
        EXPECT_EQ(f.at(12), QString::fromUtf16(c.早出)) << c.name << ": 早出";
        EXPECT_EQ(f.at(13), QString::fromUtf16(c.実働)) << c.name << ": 実働";
    }
}

TEST(CalculateDay, BreakTableUpperBoundIsInclusive) {
    // 08:55-17:00 is exactly 8:00 present from the rounded start: the 06:01-08:00 entry.
    MonthTotals totals;
    const DayFigures f = CalculateDay(kMonday, punched(kMonday, 855, 1700), QString(),
                                      exampleSettings(), kNow, totals);
    EXPECT_EQ(f.at(8), u"0:45"_s);
    EXPECT_EQ(f.at(9), u"7:15"_s);
    // A quarter hour more (the end is rounded to 15 minutes) reaches the next entry.
    MonthTotals more;
    const DayFigures g = CalculateDay(kMonday, punched(kMonday, 855, 1715), QString(),
                                      exampleSettings(), kNow, more);
    EXPECT_EQ(g.at(8), u"1:00"_s);
}

TEST(CalculateDay, ExtraBreaksAndThresholdCorners) {
    auto longTable = [](Settings& s) {
        s.shifts[0].勤務時間別休憩時間 = QStringList{u"00:00-06:00 0"_s, u"06:01-08:00 45"_s,
                                                     u"08:01-10:00 60"_s, u"10:01-24:00 75"_s};
    };
    MonthTotals usedUp = ordinaryDay(45, 375, 0, 0, 0, 420, 375);
    usedUp.遅早回数 = 1;
    usedUp.遅早時間 = 180;
    MonthTotals longDay = ordinaryDay(120, 1440, 0, 0, 0, 1560, 1440);

    runCases({
        {"overtime lengthens the day into a longer break",
         longTable,
         punched(kMonday, 900, 2000),
         {u"06/10", u"月", u"", u"", u"勤務", u"9:00", u"20:00", u"11:00", u"1:15", u"8:00",
          u"1:45", u"", u"", u"9:45"},
         ordinaryDay(75, 480, 105, 0, 0, 660, 585)},
        {"band used up by the threshold transfer",
         longTable,
         punched(kMonday, 1300, 2000),
         {u"06/10", u"月", u"", u"", u"勤務", u"13:00", u"20:00", u"7:00", u"0:45", u"6:15", u"",
          u"", u"", u"6:15"},
         usedUp},
        {"break-table bounds past 24 hours",
         [](Settings& s) {
             ShiftRules& r = s.shifts[0];
             r.始業時刻 = u"07:00"_s;
             r.終業時刻 = u"33:00"_s;
             r.所定勤務時間 = u"1440"_s;
             r.残業対象時間.clear();
             r.普通残業開始時刻 = r.普通残業終了時刻 = QString();
             r.深夜残業開始時刻 = r.深夜残業終了時刻 = QString();
             r.早出残業開始時刻 = r.早出残業終了時刻 = QString();
             r.勤務時間別休憩時間 = QStringList{u"00:00-24:00 60"_s, u"24:01-30:00 120"_s};
         },
         punched(kMonday, 700, 3300),
         {u"06/10", u"月", u"", u"", u"勤務", u"7:00", u"9:00", u"26:00", u"2:00", u"24:00", u"",
          u"", u"", u"24:00"},
         longDay},
    });
}

TEST(CalculateDay, StatesOfStoredDays) {
    WorkRow onlyIn = punched(kMonday, 900, 0);
    WorkRow future = punched(QDate(2024, 7, 10), 900, 0);
    WorkRow beforeJoining = onlyIn;
    beforeJoining.入社年月日 = u"2024/06/15"_s;
    WorkRow afterLeaving = onlyIn;
    afterLeaving.退社年月日 = u"2024/06/05"_s;
    WorkRow leavingDay = onlyIn;
    leavingDay.退社年月日 = u"2024/06/10"_s;
    WorkRow noPunches = punched(kMonday, 0, 0);
    WorkRow reversed = punched(kMonday, 900, 800);
    WorkRow nullPunches;
    nullPunches.勤務日 = kMonday;
    WorkRow paidLeave = nullPunches;
    paidLeave.状態 = u"有給休暇"_s;
    paidLeave.状態申告日 = u"2024/06/01 10:00:00"_s;
    paidLeave.シフト = u""_s;
    MonthTotals paid;
    paid.有給休暇 = 1;
    MonthTotals reversedTotals;
    reversedTotals.all = reversedTotals.ordinary = TotalsGroup{1, 0, 0, 0, 0, 0, -60, 0};
    reversedTotals.遅早回数 = 1;
    reversedTotals.遅早時間 = 480;
    WorkRow stamped = punched(kMonday, 900, 1800);
    stamped.出勤打刻日 = u"2024/06/10 08:59:12"_s;
    stamped.退勤打刻日 = u"2024/06/10 18:00:40"_s;

    runCases({
        {"past day with only a clock-in",
         {},
         onlyIn,
         {u"06/10", u"月", u"", u"", u"？？", u"9:00"},
         {}},
        {"future day with only a clock-in",
         {},
         future,
         {u"07/10", u"水", u"", u"", u"", u"9:00"},
         {}},
        {"before joining", {}, beforeJoining, {u"06/10", u"月", u"", u"", u"", u"9:00"}, {}},
        {"after leaving", {}, afterLeaving, {u"06/10", u"月", u"", u"", u"", u"9:00"}, {}},
        {"on the leaving day", {}, leavingDay, {u"06/10", u"月", u"", u"", u"？？", u"9:00"}, {}},
        {"stored row without punches", {}, noPunches, {u"06/10", u"月"}, {}},
        {"null punches", {}, nullPunches, {u"06/10", u"月"}, {}},
        {"clock-out before clock-in is inconsistent",
         [](Settings& s) { s.shifts[0].勤務時間別休憩時間.clear(); },
         reversed,
         {u"06/10", u"月", u"", u"", u"？？", u"9:00", u"8:00", u"-1:00"},
         reversedTotals},
        {"paid leave",
         {},
         paidLeave,
         {u"06/10", u"月", u"", u"", u"有給休暇", u"", u"", u"", u"", u"", u"", u"", u"", u"",
          u"2024/06/01 10:00:00"},
         paid},
        {"punch stamps shown as stored",
         {},
         stamped,
         {u"06/10", u"月", u"", u"", u"勤務", u"9:00", u"18:00", u"9:00", u"1:00", u"8:00", u"",
          u"", u"", u"8:00", u"", u"2024/06/10 08:59:12", u"2024/06/10 18:00:40"},
         ordinaryDay(60, 480, 0, 0, 0, 540, 480)},
    });
}

TEST(CalculateDay, DaysWithoutRecord) {
    auto saturdaysOff = [](Settings& s) { s.shifts[0].休日 = QStringList{u"土曜日"_s}; };
    WorkRow later = punched(QDate(2024, 6, 12), 900, 1800);
    later.シフト = u"N"_s;
    WorkRow joinsLater = later;
    joinsLater.入社年月日 = u"2024/06/11"_s;
    WorkRow leftEarlier = later;
    leftEarlier.退社年月日 = u"2024/06/09"_s;
    WorkRow futureRow = punched(QDate(2024, 7, 5), 900, 1800);
    WorkRow unreadableJoin = later;
    unreadableJoin.入社年月日 = u"someday"_s;

    DayCase rest{"past rest Saturday", saturdaysOff, later, {u"06/08", u"土休"}, {}};
    rest.calcDay = QDate(2024, 6, 8);
    DayCase missing{
        "past working day", saturdaysOff, later, {u"06/10", u"月", u"", u"", u"？？"}, {}};
    missing.calcDay = kMonday;
    DayCase coming{"future working day", saturdaysOff, futureRow, {u"07/01", u"月"}, {}};
    coming.calcDay = QDate(2024, 7, 1);
    DayCase beforeJoining{"before joining", saturdaysOff, joinsLater, {u"06/10", u"月"}, {}};
    beforeJoining.calcDay = kMonday;
    DayCase afterLeaving{"after leaving", saturdaysOff, leftEarlier, {u"06/10", u"月"}, {}};
    afterLeaving.calcDay = kMonday;
    DayCase badDate{"unreadable joining date is ignored",
                    saturdaysOff,
                    unreadableJoin,
                    {u"06/10", u"月", u"", u"", u"？？"},
                    {}};
    badDate.calcDay = kMonday;
    runCases({rest, missing, coming, beforeJoining, afterLeaving, badDate});
}

TEST(CalculateDay, BreakPeriodsCountOnlyTheTimePresent) {
    auto periods = [](QStringList list) {
        return [list](Settings& s) {
            s.shifts[0].勤務時間別休憩時間 = QStringList{QString()};
            s.shifts[0].休憩時刻 = list;
        };
    };
    // Late arrival: the lunch break counts from the rounded start (12:15), not from the
    // clock-in (12:07) nor from 12:00; 40 minutes round down to 30.
    MonthTotals late = ordinaryDay(30, 315, 0, 0, 0, 353, 315);
    late.遅早回数 = 1;
    late.遅早時間 = 165;

    runCases({
        {"lunch break cut at a late arrival",
         periods({u"12:00-12:55"_s}),
         punched(kMonday, 1207, 1800),
         {u"06/10", u"月", u"", u"", u"勤務", u"12:07", u"18:00", u"5:53", u"0:30", u"5:15", u"",
          u"", u"", u"5:15"},
         late},
        {"break period inside the ordinary band",
         periods({u"12:00-13:00"_s, u"19:00-19:30"_s}),
         punched(kMonday, 900, 2000),
         {u"06/10", u"月", u"", u"", u"勤務", u"9:00", u"20:00", u"11:00", u"1:30", u"8:00",
          u"1:30", u"", u"", u"9:30"},
         ordinaryDay(90, 480, 90, 0, 0, 660, 570)},
        {"band break period cut at the clock-out",
         periods({u"19:00-19:30"_s}),
         punched(kMonday, 900, 1915),
         {u"06/10", u"月", u"", u"", u"勤務", u"9:00", u"19:15", u"10:15", u"0:15", u"9:00",
          u"1:00", u"", u"", u"10:00"},
         ordinaryDay(15, 540, 60, 0, 0, 615, 600)},
    });
}

TEST(CalculateDay, TheCurrentDayIsNotStillToCome) {
    // kNow is Sunday 30 June at noon: that day is past enough to miss a punch, 1 July is not.
    WorkRow today = punched(QDate(2024, 6, 30), 900, 0);
    WorkRow tomorrow = punched(QDate(2024, 7, 1), 900, 0);
    DayCase withoutRecord{
        "today without a record", {}, tomorrow, {u"06/30", u"日", u"", u"", u"？？"}, {}};
    withoutRecord.calcDay = QDate(2024, 6, 30);
    DayCase tomorrowWithoutRecord{
        "tomorrow without a record", {}, punched(QDate(2024, 7, 2), 900, 0), {u"07/01", u"月"}, {}};
    tomorrowWithoutRecord.calcDay = QDate(2024, 7, 1);
    runCases({
        {"today with only a clock-in",
         {},
         today,
         {u"06/30", u"日", u"", u"", u"？？", u"9:00"},
         {}},
        {"tomorrow with only a clock-in",
         {},
         tomorrow,
         {u"07/01", u"月", u"", u"", u"", u"9:00"},
         {}},
        withoutRecord,
        tomorrowWithoutRecord,
    });
}

TEST(CalculateDay, ShiftBlocks) {
    auto withShifts = [](Settings& s) {
        s.shiftCodes = QStringList{QString(), u"N"_s, u"B"_s};
        ShiftRules& n = s.shifts[1];
        n.始業時刻 = u"22:00"_s;
        n.終業時刻 = u"29:00"_s;
        n.所定勤務時間 = n.残業対象時間 = u"360"_s;
        n.所定勤務時間丸め = n.普通残業時間丸め = n.早出残業時間丸め = u"15"_s;
        n.普通残業開始時刻 = u"29:00"_s;
        n.普通残業終了時刻 = u"33:00"_s;
        n.早出残業開始時刻 = u"20:00"_s;
        n.早出残業終了時刻 = u"22:00"_s;
        n.勤務時間別休憩時間 = QStringList{u"00:00-06:00 0"_s, u"06:01-24:00 60"_s};
        n.休日 = QStringList{u"月曜日"_s};
        // Shift B gives its hours only: no breaks, no rounding, no bands.
        s.shifts[2].始業時刻 = u"09:00"_s;
        s.shifts[2].終業時刻 = u"18:00"_s;
        s.shifts[2].所定勤務時間 = u"480"_s;
        s.shifts[0].休日 = QStringList{u"火曜日"_s};
    };
    WorkRow night = punched(kMonday, 2145, 2930);
    night.シフト = u"N"_s;
    MonthTotals nightTotals;
    nightTotals.all = nightTotals.rest = TotalsGroup{1, 60, 360, 30, 0, 15, 465, 405};
    WorkRow shiftB = punched(kMonday, 907, 1752);
    shiftB.シフト = u"B"_s;
    WorkRow unknown = punched(QDate(2024, 6, 11), 907, 1752);
    unknown.シフト = u"Z"_s;
    MonthTotals unknownTotals;
    unknownTotals.all = unknownTotals.rest = TotalsGroup{1, 60, 450, 0, 0, 0, 525, 450};
    unknownTotals.遅早回数 = 1;
    unknownTotals.遅早時間 = 30;

    runCases({
        {"night shift across midnight",
         withShifts,
         night,
         {u"06/10", u"月休", u"N", u"", u"勤務", u"21:45", u"5:30", u"7:45", u"1:00", u"6:00",
          u"0:30", u"", u"0:15", u"6:45"},
         nightTotals},
        {"a shift block inherits nothing from the common block",
         withShifts,
         shiftB,
         {u"06/10", u"月", u"B", u"", u"勤務", u"9:07", u"17:52", u"8:45", u"", u"8:45", u"", u"",
          u"", u"8:45"},
         ordinaryDay(0, 525, 0, 0, 0, 525, 525)},
        {"an unknown shift code uses the common block",
         withShifts,
         unknown,
         {u"06/11", u"火休", u"Z", u"", u"勤務", u"9:07", u"17:52", u"8:45", u"1:00", u"7:30", u"",
          u"", u"", u"7:30"},
         unknownTotals},
    });
}

TEST(CalculateDay, RoundingUnitsThatCannotDivide) {
    MonthTotals unrounded = ordinaryDay(60, 465, 0, 0, 0, 525, 465);
    unrounded.遅早回数 = 1;
    unrounded.遅早時間 = 15;
    std::vector<DayCase> cases;
    for (const char16_t* unit : {u"0", u"-15", u"abc", u""}) {
        cases.push_back({"rounding unit \"" + QString::fromUtf16(unit).toStdString() + "\"",
                         [unit](Settings& s) {
                             s.shifts[0].所定勤務時間丸め = QString::fromUtf16(unit);
                             s.shifts[0].早出残業時間丸め = QString::fromUtf16(unit);
                         },
                         punched(kMonday, 907, 1752),
                         {u"06/10", u"月", u"", u"", u"勤務", u"9:07", u"17:52", u"8:45", u"1:00",
                          u"7:45", u"", u"", u"", u"7:45"},
                         unrounded});
    }
    // With a 2-minute grid the start search ends at 25:00: a later clock-in is taken as is.
    cases.push_back({"no candidate in the start search",
                     [](Settings& s) {
                         ShiftRules& r = s.shifts[0];
                         r.所定勤務時間丸め = u"2"_s;
                         r.終業時刻 = u"27:00"_s;
                         r.普通残業開始時刻 = r.深夜残業開始時刻 = QString();
                         r.普通残業終了時刻 = r.深夜残業終了時刻 = QString();
                         r.所定勤務時間 = r.残業対象時間 = u"0"_s;
                     },
                     punched(kMonday, 2501, 2600),
                     {u"06/10", u"月", u"", u"", u"勤務", u"1:01", u"2:00", u"0:59", u"", u"0:58",
                      u"", u"", u"", u"0:58"},
                     ordinaryDay(0, 58, 0, 0, 0, 59, 58)});
    cases.push_back({"start written with a one-digit hour",
                     [](Settings& s) { s.shifts[0].始業時刻 = u"9:00"_s; },
                     punched(kMonday, 855, 1937),
                     {u"06/10", u"月", u"", u"", u"勤務", u"8:55", u"19:37", u"10:42", u"1:00",
                      u"8:00", u"1:30", u"", u"", u"9:30"},
                     ordinaryDay(60, 480, 90, 0, 0, 642, 570)});
    runCases(cases);
}

TEST(CalculateDay, RestDayGroupAndCounters) {
    auto sundaysOff = [](Settings& s) { s.shifts[0].休日 = QStringList{u"日曜日"_s}; };
    const QDate sunday(2024, 6, 9);
    MonthTotals restDay;
    restDay.all = restDay.rest = TotalsGroup{1, 60, 480, 0, 0, 0, 540, 480};
    // Declared rest-day work on a calendar working day: the day counts as ordinary, its
    // minutes as rest-day minutes.
    MonthTotals declared;
    declared.all = TotalsGroup{1, 60, 480, 0, 0, 0, 540, 480};
    declared.ordinary = TotalsGroup{1, 0, 0, 0, 0, 0, 0, 0};
    declared.rest = TotalsGroup{0, 60, 480, 0, 0, 0, 540, 480};
    MonthTotals substitute;
    substitute.all = substitute.ordinary = declared.all;
    substitute.代替出勤 = 1;

    std::vector<DayCase> cases;
    cases.push_back({"worked Sunday",
                     sundaysOff,
                     punched(sunday, 900, 1800),
                     {u"06/09", u"日休", u"", u"", u"勤務", u"9:00", u"18:00", u"9:00", u"1:00",
                      u"8:00", u"", u"", u"", u"8:00"},
                     restDay});
    for (const char16_t* state : {u"休日勤務", u"休日出勤"}) {
        WorkRow row = punched(kMonday, 900, 1800);
        row.状態 = QString::fromUtf16(state);
        DayCase c{"state " + row.状態->toStdString(),
                  sundaysOff,
                  row,
                  {u"06/10", u"月", u"", u"", state, u"9:00", u"18:00", u"9:00", u"1:00", u"8:00",
                   u"", u"", u"", u"8:00"},
                  declared};
        cases.push_back(c);
    }
    for (const char16_t* state : {u"代替勤務(06/16)", u"代替出勤"}) {
        WorkRow row = punched(kMonday, 900, 1800);
        row.状態 = QString::fromUtf16(state);
        cases.push_back({"state " + row.状態->toStdString(),
                         sundaysOff,
                         row,
                         {u"06/10", u"月", u"", u"", state, u"9:00", u"18:00", u"9:00", u"1:00",
                          u"8:00", u"", u"", u"", u"8:00"},
                         substitute});
    }
    struct Counter {
        const char16_t* state;
        int MonthTotals::*member;
    };
    const Counter counters[] = {
        {u"無断欠勤", &MonthTotals::欠勤},
        {u"申告欠勤", &MonthTotals::欠勤},
        {u"有給休暇", &MonthTotals::有給休暇},
        {u"私傷休暇", &MonthTotals::私傷休暇},
        {u"公傷休暇", &MonthTotals::公傷休暇},
        {u"特別休暇", &MonthTotals::特別休暇},
        {u"代替休暇(12/05)", &MonthTotals::代替休暇},
    };
    for (const Counter& c : counters) {
        WorkRow row = punched(kMonday, 0, 0);
        row.状態 = QString::fromUtf16(c.state);
        MonthTotals want;
        want.*c.member = 1;
        cases.push_back({"counter for " + row.状態->toStdString(),
                         sundaysOff,
                         row,
                         {u"06/10", u"月", u"", u"", c.state},
                         want});
    }
    runCases(cases);
}

TEST(CalculateDay, WalkOverStoredRowsAddsUp) {
    // A period walk as the review does it: rows on the 3rd and 10th, days between them
    // calculated against the next row.
    Settings s = exampleSettings();
    s.shifts[0].休日 = QStringList{u"土曜日"_s, u"日曜日"_s};
    const WorkRow rows[] = {punched(QDate(2024, 6, 3), 855, 1937),
                            punched(QDate(2024, 6, 10), 907, 1752)};
    MonthTotals totals;
    QDate day(2024, 6, 1);
    QStringList states;
    for (const WorkRow& row : rows) {
        for (; day <= row.勤務日; day = day.addDays(1)) {
            states << CalculateDay(day, row, QString(), s, kNow, totals).状態;
        }
    }
    EXPECT_EQ(states, (QStringList{u""_s, u""_s, u"勤務"_s, u"？？"_s, u"？？"_s, u"？？"_s,
                                   u"？？"_s, u""_s, u""_s, u"勤務"_s}));
    MonthTotals want;
    want.all = want.ordinary = TotalsGroup{2, 120, 930, 90, 0, 0, 1167, 1020};
    want.遅早回数 = 1;
    want.遅早時間 = 30;
    expectTotals(totals, want, "two stored days");
}

TEST(CalculateDay, RulesChangedInPlaceAreReadAgain) {
    // The settings view reloads the rules into the same object: the next day must see them.
    Settings s = exampleSettings();
    s.shifts[0].残業対象時間.clear();
    const WorkRow row = punched(kMonday, 855, 1937);
    MonthTotals totals;
    EXPECT_EQ(CalculateDay(kMonday, row, QString(), s, kNow, totals).所定, u"8:00"_s);
    s.shifts[0].始業時刻 = u"10:00"_s;
    EXPECT_EQ(CalculateDay(kMonday, row, QString(), s, kNow, totals).所定, u"7:15"_s);
    s.shifts[0].勤務時間別休憩時間[1] = u"06:01-08:00 30"_s;
    EXPECT_EQ(CalculateDay(kMonday, row, QString(), s, kNow, totals).所定, u"7:30"_s);
    Settings other = exampleSettings();
    EXPECT_EQ(CalculateDay(kMonday, row, QString(), other, kNow, totals).所定, u"8:00"_s);
    EXPECT_EQ(CalculateDay(kMonday, row, QString(), s, kNow, totals).所定, u"7:30"_s);
}

TEST(Display, DurationsAndPunchTimes) {
    const std::pair<int, const char16_t*> durations[] = {
        {570, u"9:30"}, {45, u"0:45"},   {0, u"0:00"},     {60, u"1:00"},
        {545, u"9:05"}, {-30, u"0:-30"}, {-90, u"-1:-30"}, {6000, u"100:00"},
    };
    for (const auto& [minutes, text] : durations) {
        EXPECT_EQ(formatDuration(minutes), QString::fromUtf16(text)) << minutes << " minutes";
    }
    const std::pair<int, const char16_t*> punches[] = {
        {805, u"8:05"}, {2530, u"1:30"},  {2400, u"0:00"},
        {0, u""},       {1200, u"12:00"}, {2359, u"23:59"},
    };
    for (const auto& [hhmm, text] : punches) {
        EXPECT_EQ(formatPunch(hhmm), QString::fromUtf16(text)) << "punch " << hhmm;
    }
}

TEST(DayFigures, ColumnsInReviewOrder) {
    DayFigures f;
    for (int i = 0; i < kDayFigureColumns; ++i) {
        f.at(i) = QString::number(i);
    }
    EXPECT_EQ(f.日付, u"0"_s);
    EXPECT_EQ(f.状態, u"4"_s);
    EXPECT_EQ(f.実働, u"13"_s);
    EXPECT_EQ(f.退勤打刻, u"16"_s);
    EXPECT_EQ(DayFigures::columnName(0), u"日付"_s);
    EXPECT_EQ(DayFigures::columnName(16), u"退勤打刻"_s);
}

}  // namespace
}  // namespace tq
