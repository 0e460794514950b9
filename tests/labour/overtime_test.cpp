// Statutory overtime and the 36 agreement's limits as pure functions: hand-worked weeks, the
// months and agreement years they make, and the settings that set the rules.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <map>

#include "../testsupport.h"
#include "labour/overtime.h"
#include "labour/overtime_watch.h"

namespace tq::test {
namespace {

constexpr int H = 60;  // minutes of an hour

OvertimeRules rulesFrom(const QString& commonBlock) {
    return ReadOvertimeRules(LoadSettings(commonBlock.toUtf8()).settings);
}

/// Calendar-month payroll unless told otherwise.
Settings payroll(const QString& closingDay = QStringLiteral("末日")) {
    return LoadSettings((QStringLiteral("[給与締日]\n") + closingDay + u'\n').toUtf8()).settings;
}

// ---- Days and weeks ----

struct Expected {
    int day;  // of June 2024
    int daily;
    int weekly;
    int rest;
};
struct WeekCase {
    const char* name;
    const char* settings;
    std::vector<int> hours;          // worked from Sunday 2 June 2024, one a day
    std::vector<Expected> expected;  // days with a figure; all others must be zero
};

TEST(StatutoryDays, HandWorkedWeeks) {
    const std::vector<WeekCase> cases = {
        {"a 10-hour day is 2:00 daily", "", {0, 10}, {{3, 2 * H, 0, 0}}},
        {"six 8-hour days: 8:00 weekly on the 6th", "", {0, 8, 8, 8, 8, 8, 8}, {{8, 0, 8 * H, 0}}},
        {"a 9-hour Saturday after 40 hours: 1:00 daily and 8:00 weekly, never twice",
         "",
         {0, 8, 8, 8, 8, 8, 9},
         {{8, 1 * H, 8 * H, 0}}},
        {"daily overtime does not count toward the week",
         "",
         {0, 11, 11, 8, 8, 8},
         {{3, 3 * H, 0, 0}, {4, 3 * H, 0, 0}}},
        {"Sunday with [法定休日] 日 is all rest-day work and counts toward nothing else",
         "",
         {10, 8, 8, 8, 8, 8},
         {{2, 0, 0, 10 * H}}},
        {"Saturday as the statutory rest day: Sunday counts toward the week",
         "[法定休日]\n土\n",
         {8, 8, 8, 8, 8, 8, 3},
         {{7, 0, 8 * H, 0}, {8, 0, 0, 3 * H}}},
        {"a Monday start leaves that Sunday in the week before",
         "[法定休日]\n土\n[週起算曜日]\n月\n",
         {8, 8, 8, 8, 8, 8, 3},
         {{8, 0, 0, 3 * H}}},
        {"a partial day passes the week: only the part beyond 40 hours",
         "",
         {0, 8, 8, 8, 8, 6, 5},
         {{8, 0, 3 * H, 0}}},
        {"44 hours a week under the small-business exception",
         "[週法定労働時間]\n2640\n",
         {0, 8, 8, 8, 8, 8, 8},
         {{8, 0, 4 * H, 0}}},
        {"weeks start again: 8:00 on each Saturday",
         "",
         {0, 8, 8, 8, 8, 8, 8, 0, 8, 8, 8, 8, 8, 8},
         {{8, 0, 8 * H, 0}, {15, 0, 8 * H, 0}}},
    };
    const QDate june(2024, 6, 1);
    for (const WeekCase& c : cases) {
        SCOPED_TRACE(c.name);
        const OvertimeRules rules = rulesFrom(QString::fromUtf8(c.settings));
        std::vector<WorkedDay> worked;
        for (size_t i = 0; i < c.hours.size(); ++i) {
            worked.push_back({june.addDays(1 + static_cast<int>(i)), c.hours[i] * H});
        }
        const std::vector<OvertimeDay> days =
            StatutoryDays(worked, june, QDate(2024, 6, 30), rules);
        ASSERT_EQ(days.size(), 30u);
        std::map<int, Expected> want;
        for (const Expected& e : c.expected) {
            want[e.day] = e;
        }
        for (const OvertimeDay& d : days) {
            const Expected e = want.count(d.day.day()) ? want[d.day.day()] : Expected{};
            EXPECT_EQ(d.日時間外, e.daily) << d.day.day();
            EXPECT_EQ(d.週時間外, e.weekly) << d.day.day();
            EXPECT_EQ(d.休日労働, e.rest) << d.day.day();
        }
    }
}

TEST(StatutoryDays, AWeekAcrossThePeriodBoundaryLandsWhereFortyHoursArePassed) {
    // Sunday 28 July to Saturday 3 August 2024: three 10-hour days in July (6:00 daily there),
    // two 8-hour days in August reach 40 hours, and Saturday passes them.
    const OvertimeRules rules;
    std::vector<WorkedDay> worked;
    for (int d : {29, 30, 31}) {
        worked.push_back({QDate(2024, 7, d), 10 * H});
    }
    for (int d : {1, 2, 3}) {
        worked.push_back({QDate(2024, 8, d), 8 * H});
    }
    const Settings s = payroll();
    const OvertimeYear july = ComputeOvertime(worked, {}, 2024, 7, rules, s);
    const OvertimeYear august = ComputeOvertime(worked, {}, 2024, 8, rules, s);
    EXPECT_EQ(july.current().時間外, 6 * H);
    EXPECT_EQ(august.current().時間外, 8 * H);
    EXPECT_EQ(august.days.front().day, QDate(2024, 8, 1));
    EXPECT_EQ(august.days[2].週時間外, 8 * H);  // the 3rd
    EXPECT_EQ(august.current().年時間外, 14 * H);

    // With the 1st as the closing day, September's month begins on 2 August, and the week
    // still counts the three July days and the 1st before it.
    const OvertimeYear closing1 =
        ComputeOvertime(worked, {}, 2024, 9, rules, payroll(QStringLiteral("1")));
    EXPECT_EQ(closing1.current().start, QDate(2024, 8, 2));
    EXPECT_EQ(closing1.current().時間外, 8 * H);
}

// ---- Months and the agreement year ----

/// Days of one calendar month that make `overtime` minutes of daily overtime on weekdays
/// (8 hours plus up to 10 more, never passing the week's 40 hours) and `rest` minutes on its
/// Sundays.
void addMonth(std::vector<WorkedDay>& worked, int year, int month, int overtime, int rest = 0) {
    const QDate first(year, month, 1);
    std::vector<QDate> weekdays;
    std::vector<QDate> sundays;
    for (QDate d = first; d.month() == month; d = d.addDays(1)) {
        if (d.dayOfWeek() <= Qt::Friday) {
            weekdays.push_back(d);
        } else if (d.dayOfWeek() == Qt::Sunday) {
            sundays.push_back(d);
        }
    }
    std::map<QDate, int> minutes;
    for (size_t i = 0; i < weekdays.size(); ++i) {
        const int left = static_cast<int>(weekdays.size() - i);
        const int extra = (overtime + left - 1) / left;
        minutes[weekdays[i]] = 8 * H + extra;
        overtime -= extra;
    }
    for (size_t i = 0; i < sundays.size(); ++i) {
        const int left = static_cast<int>(sundays.size() - i);
        const int share = (rest + left - 1) / left;
        if (share > 0) {
            minutes[sundays[i]] = share;
        }
        rest -= share;
    }
    for (const auto& [day, m] : minutes) {
        worked.push_back({day, m});
    }
}

struct StatusCase {
    const char* name;
    const char* settings;
    std::vector<int> overtime;  // minutes of each month from April 2024; the last is judged
    int rest;                   // minutes of rest-day work in the last month
    const char* expect;         // the worst status and what the terminal says; "" for nothing
};

TEST(ComputeOvertime, StatusOfEachFigureAndTheWorst) {
    const char* const clause = "[36協定特別条項]\n有\n";
    const std::vector<StatusCase> cases = {
        {"nothing to say below 80 %", "", {35 * H}, 0, ""},
        {"38:30 of 45:00 is 注意",
         "",
         {38 * H + 30},
         0,
         "注意 今月の時間外労働は38:30です。(限度 45:00)"},
        {"exactly the limit is still 注意",
         "",
         {45 * H},
         0,
         "注意 今月の時間外労働は45:00です。(限度 45:00)"},
        {"a minute over the limit is 超過",
         "",
         {45 * H + 1},
         0,
         "超過 今月の時間外労働は45:01です。(限度 45:00)"},
        {"rest-day work is not 時間外 but counts toward 100 hours",
         "",
         {40 * H},
         60 * H,
         "違反 今月の時間外労働と休日労働の合計は100:00です。(限度 99:59)"},
        {"the warning share is the site's", "[36協定警告割合]\n90%\n", {38 * H + 30}, 0, ""},
        {"the year without the clause: 360:00",
         "",
         {40 * H, 40 * H, 40 * H, 40 * H, 40 * H, 40 * H, 40 * H, 40 * H, 41 * H},
         0,
         "超過 今年度の時間外労働は361:00です。(限度 360:00)"},
        {"with the clause a month may pass 45:00",
         clause,
         {80 * H},
         0,
         "注意 今月の時間外労働と休日労働の合計は80:00です。(限度 99:59)"},
        {"with the clause the 7th month over 45:00 passes the law's 6",
         clause,
         {50 * H, 50 * H, 50 * H, 10 * H, 50 * H, 50 * H, 50 * H, 10 * H, 46 * H},
         0,
         "違反 今年度、時間外労働が45:00を超えた月は7か月です。(限度 6か月)"},
        {"720:00 a year is the law's own, with six months over 45:00 and no average over",
         clause,
         {80 * H, 45 * H, 80 * H, 45 * H, 80 * H, 45 * H, 80 * H, 45 * H, 80 * H, 45 * H, 80 * H,
          45 * H},
         0,
         "違反 今年度の時間外労働は750:00です。(限度 720:00)"},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.name);
        const OvertimeRules rules = rulesFrom(QString::fromUtf8(c.settings));
        std::vector<WorkedDay> worked;
        const QDate april(2024, 4, 1);
        for (size_t i = 0; i < c.overtime.size(); ++i) {
            const QDate m = april.addMonths(static_cast<int>(i));
            addMonth(worked, m.year(), m.month(), c.overtime[i],
                     i + 1 == c.overtime.size() ? c.rest : 0);
        }
        const QDate judged = april.addMonths(static_cast<int>(c.overtime.size()) - 1);
        const OvertimeYear y =
            ComputeOvertime(worked, {}, judged.year(), judged.month(), rules, payroll());
        const OvertimeStatus status = y.current().worst().status;
        const auto notice = OvertimeNotice(y.current(), rules);
        EXPECT_EQ(notice ? StatusText(status) + u' ' + notice->text : QString(),
                  QString::fromUtf8(c.expect));
        if (notice) {
            EXPECT_EQ(notice->icon,
                      status == OvertimeStatus::注意 ? Icon::Information : Icon::Exclamation);
        }
    }
}

TEST(ComputeOvertime, YearTotalsCountsAndItsTwelveMonths) {
    const OvertimeRules rules = rulesFrom(QStringLiteral("[36協定特別条項]\n有\n"));
    // Months named by their closing day (the 20th): May is 21 April to 20 May.
    const Settings s = payroll(QStringLiteral("20"));
    std::vector<WorkedDay> worked;
    addMonth(worked, 2024, 3, 50 * H);               // the year before: no part of this one
    worked.push_back({QDate(2024, 4, 22), 14 * H});  // May's month: 6:00 daily
    const OvertimeYear y = ComputeOvertime(worked, {}, 2024, 5, rules, s);
    ASSERT_EQ(y.months.size(), 2u);
    EXPECT_EQ(y.months[0].month, 4);
    EXPECT_EQ(y.months[0].start, QDate(2024, 3, 21));
    EXPECT_EQ(y.months[1].end, QDate(2024, 5, 20));
    EXPECT_EQ(y.current().時間外, 6 * H);
    // April's month holds 21 to 31 March (part of March's 50 hours).
    EXPECT_EQ(y.current().年時間外, y.months[0].時間外 + 6 * H);
    EXPECT_GT(y.months[0].時間外, 0);
    EXPECT_EQ(y.days.size(), 30u);
}

TEST(ComputeOvertime, AveragesReachAcrossTheAgreementYearButNotBeforeJoining) {
    const OvertimeRules rules = rulesFrom(QStringLiteral("[36協定特別条項]\n有\n"));
    // February and March 2024 (the year before) at 90:00, April (the year's first) at 70:00:
    // two months average 80:00 (not over), three months 83:20 (over).
    std::vector<WorkedDay> worked;
    addMonth(worked, 2024, 2, 60 * H, 30 * H);
    addMonth(worked, 2024, 3, 60 * H, 30 * H);
    addMonth(worked, 2024, 4, 70 * H);
    const OvertimeYear april = ComputeOvertime(worked, {}, 2024, 4, rules, payroll());
    EXPECT_EQ(april.months.size(), 1u);
    EXPECT_EQ(april.current().年時間外, 70 * H);
    EXPECT_EQ(april.current().最大平均月数, 3);
    EXPECT_EQ(april.current().最大平均, 83 * H + 20);
    EXPECT_EQ(april.current().worst().figure, OvertimeFigure::Average);
    EXPECT_EQ(april.current().worst().status, OvertimeStatus::違反);

    // Joined on 1 March: February takes part in no average, so two months at 80:00.
    const OvertimeYear joined =
        ComputeOvertime(worked, QDate(2024, 3, 1), 2024, 4, rules, payroll());
    EXPECT_EQ(joined.current().最大平均月数, 2);
    EXPECT_EQ(joined.current().最大平均, 80 * H);
    EXPECT_EQ(joined.current().worst().status, OvertimeStatus::注意);
    // Joined in April: no run of two months yet.
    const OvertimeYear fresh =
        ComputeOvertime(worked, QDate(2024, 4, 10), 2024, 4, rules, payroll());
    EXPECT_EQ(fresh.current().最大平均月数, 0);
}

// ---- The rules in the settings ----

struct SettingCase {
    const char* text;
    const char* key;   // the key warned about, "" for none
    const char* warn;  // part of the warning
};

TEST(OvertimeSettings, DefaultsValuesAndRefusals) {
    // A file without any of the keys: the law's defaults, nothing to warn about.
    const LoadedSettings plain = LoadSettings(QByteArrayLiteral("[給与締日]\n20\n"));
    const OvertimeSettingsCheck none = CheckOvertimeSettings(plain);
    EXPECT_EQ(none.rules, OvertimeRules());
    EXPECT_TRUE(none.warnings.empty());
    ASSERT_EQ(none.inEffect.size(), 11u);
    EXPECT_EQ(none.inEffect[7].key, QStringLiteral("[特別条項月時間]"));
    EXPECT_EQ(none.inEffect[7].value, QStringLiteral("99:59"));
    EXPECT_FALSE(none.inEffect[7].fromFile);

    // Every key set to an allowed value, full-width digits and signs included.
    const LoadedSettings all = LoadSettings(
        QStringLiteral("[法定休日]\n土曜日\n[週起算曜日]\n月\n[週法定労働時間]\n44:00\n"
                       "[36協定起算月]\n１月\n[36協定月限度時間]\n42:00\n[36協定年限度時間]\n320\n"
                       "[36協定特別条項]\n有\n[特別条項月時間]\n80:00\n[特別条項年時間]\n"
                       "700:00\n[特別条項回数]\n3\n[36協定警告割合]\n９０％\n")
            .toUtf8());
    const OvertimeSettingsCheck set = CheckOvertimeSettings(all);
    EXPECT_TRUE(set.warnings.empty()) << set.warnings.front().message.toStdString();
    const OvertimeRules expected{Qt::Saturday, Qt::Monday, 2640,    1, 42 * H, 320 * H,
                                 true,         80 * H,     700 * H, 3, 90};
    EXPECT_EQ(set.rules, expected);
    EXPECT_TRUE(set.inEffect[10].fromFile);
    EXPECT_EQ(set.inEffect[10].value, QStringLiteral("90%"));

    const std::vector<SettingCase> refused = {
        {"[特別条項月時間]\n100:00\n", "[特別条項月時間]",
         "is not allowed (overtime and rest-day work in a month must stay under 100:00): the "
         "default 99:59 is used"},
        {"[特別条項年時間]\n720:01\n", "[特別条項年時間]", "the default 720:00 is used"},
        {"[特別条項回数]\n7\n", "[特別条項回数]", "at most 6 months"},
        {"[36協定月限度時間]\n46:00\n", "[36協定月限度時間]", "the default 45:00 is used"},
        {"[36協定年限度時間]\n0:00\n", "[36協定年限度時間]", "above 0:00"},
        {"[週法定労働時間]\n2500\n", "[週法定労働時間]", "the default 2400 is used"},
        {"[36協定起算月]\n13\n", "[36協定起算月]", "the default 4 is used"},
        {"[36協定特別条項]\nあり\n", "[36協定特別条項]", "is not 有 or 無: the default 無 is used"},
        {"[法定休日]\n祝日\n", "[法定休日]", "is not a weekday (日 to 土): the default 日 is used"},
        {"[36協定月限度時間]\n45時間\n", "[36協定月限度時間]", "is not a duration h:mm"},
        {"[36協定警告割合]\n0\n", "[36協定警告割合]", "the default 80% is used"},
    };
    for (const SettingCase& c : refused) {
        SCOPED_TRACE(c.text);
        const LoadedSettings loaded = LoadSettings(QByteArray(c.text));
        const OvertimeSettingsCheck check = CheckOvertimeSettings(loaded);
        EXPECT_EQ(check.rules, OvertimeRules());
        ASSERT_EQ(check.warnings.size(), 1u);
        EXPECT_EQ(check.warnings[0].key, QString::fromUtf8(c.key));
        EXPECT_EQ(check.warnings[0].line, 2);
        EXPECT_TRUE(check.warnings[0].message.contains(QString::fromUtf8(c.warn)))
            << check.warnings[0].message.toStdString();
    }

    // check-settings shows the value in force and why a refused one is not.
    QTemporaryDir site;
    writeFile(
        site.filePath(QStringLiteral("TQ582.ini")),
        cp932Lines(QStringLiteral("[給与締日]\n末日\n[特別条項月時間]\n100:00\n[法定休日]\n土\n")));
    const ToolRun tool = runTool(site.path(), {QStringLiteral("check-settings")});
    EXPECT_EQ(tool.exitCode, 1);
    for (const QString& line :
         {QStringLiteral("  [法定休日] = 土"),
          QStringLiteral("  [特別条項月時間] = 99:59 (default)"),
          QStringLiteral("  [36協定警告割合] = 80% (default)"),
          QStringLiteral("warning: line 4: [特別条項月時間]: \"100:00\" is not allowed (overtime "
                         "and rest-day work in a month must stay under 100:00): the default 99:59 "
                         "is used")}) {
        EXPECT_TRUE(nonEmptyLines(tool.out).contains(line)) << line.toStdString() << "\n"
                                                            << tool.out.toStdString();
    }

    // The keys belong to the common block: a shift block cannot change them.
    const LoadedSettings shift = LoadSettings(QByteArrayLiteral(
        "[特別条項回数]\n5\n{ｼﾌﾄ}\nA\n[特別条項回数]\n2\n[36協定特別条項]\n有\n"));
    EXPECT_EQ(ReadOvertimeRules(shift.settings).特別条項回数, 5);
    EXPECT_FALSE(ReadOvertimeRules(shift.settings).特別条項);
    const std::vector<SettingsWarning>& warnings = shift.warnings;
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].line, 6);
    EXPECT_EQ(warnings[0].message,
              QStringLiteral("shift \"A\": \"2\" is read in the common block only: ignored here"));
}

}  // namespace
}  // namespace tq::test
