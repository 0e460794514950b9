// The paid-leave rules on their own: the statutory tables, the 基準日 and period ends, and the
// ledger built from grants and days taken.

#include <gtest/gtest.h>

#include "../testsupport.h"
#include "labour/leave.h"
#include "labour/leave_book.h"

namespace tq::test {
namespace {

QDate d(int y, int m, int day) {
    return QDate(y, m, day);
}

LeaveGrant grant(const QDate& base, HalfDays halves, GrantKind kind = GrantKind::Automatic,
                 const QString& note = {}) {
    LeaveGrant g;
    g.base = base;
    g.halves = halves;
    g.kind = kind;
    g.note = note;
    return g;
}

std::vector<QDate> weekdaysFrom(const QDate& first, int count) {
    std::vector<QDate> days;
    for (QDate day = first; static_cast<int>(days.size()) < count; day = day.addDays(1)) {
        if (day.dayOfWeek() < 6) {
            days.push_back(day);
        }
    }
    return days;
}

std::vector<int> grantDays(const std::vector<LeaveGrant>& grants) {
    std::vector<int> days;
    for (const LeaveGrant& g : grants) {
        days.push_back(g.halves / kHalvesPerDay);
    }
    return days;
}

TEST(LeaveRules, StatutoryTablesByWorkingPattern) {
    struct Case {
        int weeklyDays;
        int weeklyHours;
        std::vector<int> days;  // at 0.5, 1.5, ... 7.5 years
    };
    const Case cases[] = {
        {5, 40, {10, 11, 12, 14, 16, 18, 20, 20}},
        {4, 29, {7, 8, 9, 10, 12, 13, 15, 15}},
        {3, 24, {5, 6, 6, 8, 9, 10, 11, 11}},
        {2, 16, {3, 4, 4, 5, 6, 6, 7, 7}},
        {1, 8, {1, 2, 2, 2, 3, 3, 3, 3}},
        // 30 hours or more, or 5 days or more, is the full table whatever the other figure.
        {4, 30, {10, 11, 12, 14, 16, 18, 20, 20}},
        {5, 20, {10, 11, 12, 14, 16, 18, 20, 20}},
    };
    for (const Case& c : cases) {
        const std::vector<WorkPattern> patterns{
            WorkPattern{d(2024, 4, 1), c.weeklyDays, c.weeklyHours * 60}};
        const auto grants = DueStatutoryGrants(d(2024, 4, 1), {}, d(2031, 10, 1), patterns);
        EXPECT_EQ(grantDays(grants), c.days) << c.weeklyDays << " days " << c.weeklyHours << " h";
    }
    // Joining 2024/04/01: 10 days on 2024/10/01, 11 on 2025/10/01, 20 from 2030/10/01 on.
    const auto full = DueStatutoryGrants(d(2024, 4, 1), {}, d(2032, 9, 30), {});
    ASSERT_EQ(full.size(), 8u);
    EXPECT_EQ(full[0].base, d(2024, 10, 1));
    EXPECT_EQ(full[1].base, d(2025, 10, 1));
    EXPECT_EQ(full[6].base, d(2030, 10, 1));
    EXPECT_EQ(full[6].halves, 40);
    EXPECT_EQ(full[7].halves, 40);
}

TEST(LeaveRules, BaseDatesAndPeriodEnds) {
    struct Case {
        QDate joined;
        int step;
        QDate base;
        QDate dutyDeadline;
        QDate lapse;
    };
    const Case cases[] = {
        {d(2024, 4, 1), 0, d(2024, 10, 1), d(2025, 9, 30), d(2026, 9, 30)},
        // The 31st of August has no day in February: 基準日 the last day of February.
        {d(2024, 8, 31), 0, d(2025, 2, 28), d(2026, 2, 27), d(2027, 2, 27)},
        {d(2024, 8, 31), 3, d(2028, 2, 29), d(2029, 2, 28), d(2030, 2, 28)},
        {d(2023, 8, 29), 0, d(2024, 2, 29), d(2025, 2, 28), d(2026, 2, 28)},
        {d(2023, 12, 31), 0, d(2024, 6, 30), d(2025, 6, 29), d(2026, 6, 29)},
    };
    for (const Case& c : cases) {
        const QDate base = BaseDate(c.joined, c.step);
        EXPECT_EQ(base, c.base) << c.joined.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(DutyDeadline(base), c.dutyDeadline) << base.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(LapseDay(base), c.lapse) << base.toString(Qt::ISODate).toStdString();
    }
}

TEST(LeaveRules, DueGrantsFollowTheJoiningLeavingDaysAndThePatternOfEachBaseDate) {
    // 3 days a week until the end of May 2025, full time afterwards.
    const std::vector<WorkPattern> patterns{WorkPattern{d(2025, 6, 1), 5, 2400},
                                            WorkPattern{d(2024, 4, 1), 3, 1440}};
    auto grants = DueStatutoryGrants(d(2024, 4, 1), {}, d(2025, 10, 1), patterns);
    EXPECT_EQ(grantDays(grants), (std::vector<int>{5, 11}));
    EXPECT_EQ(grants[0].pattern.weeklyDays, 3);
    EXPECT_EQ(grants[1].pattern.weeklyDays, 5);
    // The day before the 基準日 gives nothing yet; a grant after the leaving day is none.
    EXPECT_TRUE(DueStatutoryGrants(d(2024, 4, 1), {}, d(2024, 9, 30), {}).empty());
    EXPECT_EQ(DueStatutoryGrants(d(2024, 4, 1), d(2025, 9, 30), d(2027, 1, 1), {}).size(), 1u);
    EXPECT_EQ(DueStatutoryGrants(d(2024, 4, 1), d(2025, 10, 1), d(2027, 1, 1), {}).size(), 2u);
    EXPECT_TRUE(DueStatutoryGrants({}, {}, d(2027, 1, 1), {}).empty());
}

TEST(LeaveRules, GrantsAsSyncedKeepWrittenDaysAndManualGrantsReplaceAutomaticOnes) {
    const std::vector<LeaveGrant> due{grant(d(2024, 10, 1), 20), grant(d(2025, 10, 1), 22)};
    // A grant written before a pattern change keeps its days; one no longer due is dropped.
    const std::vector<LeaveGrant> stored{grant(d(2024, 10, 1), 10), grant(d(2024, 11, 1), 20),
                                         grant(d(2025, 10, 1), 8, GrantKind::Manual)};
    const auto synced = GrantsAsSynced(stored, due);
    const auto effective = EffectiveGrants(synced);
    ASSERT_EQ(effective.size(), 2u);
    EXPECT_EQ(effective[0], stored[0]);
    EXPECT_EQ(effective[1], stored[2]);
}

struct LedgerCase {
    const char* name;
    std::vector<LeaveGrant> grants;
    std::vector<QDate> days;
    QDate today;
    QStringList grantLines;  // the grant lines of `leave show`, without the header
    QStringList dayBases;    // the grants each day drew on, in day order
    QString balance;         // on `today`
};

class LedgerScenario : public ::testing::TestWithParam<LedgerCase> {};

TEST_P(LedgerScenario, GrantLinesDaysAndBalance) {
    const LedgerCase& c = GetParam();
    const LeaveLedger ledger = BuildLedger(EffectiveGrants(c.grants), c.days, c.today, {});
    LeaveStaff staff;
    staff.joined = d(2024, 4, 1);
    QStringList lines = LedgerTextLines(ledger, staff);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.takeFirst(),
              QStringLiteral(
                  "基準日\t付与日数\t取得日数\t残日数\t失効日\t義務期限\t義務期間取得\t取得義務"));
    QStringList grantLines;
    QStringList dayBases;
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("取得日\t"))) {
            dayBases << line.section(u'\t', 2);
        } else {
            grantLines << line;
        }
    }
    EXPECT_EQ(grantLines, c.grantLines);
    EXPECT_EQ(dayBases, c.dayBases);
    EXPECT_EQ(FormatLeaveDays(ledger.balanceOn(c.today)), c.balance);
}

QStringList repeat(const QString& s, int n) {
    QStringList l;
    for (int i = 0; i < n; ++i) {
        l << s;
    }
    return l;
}

const QString k2024 = QStringLiteral("2024/10/01");
const QString k2025 = QStringLiteral("2025/10/01");

INSTANTIATE_TEST_SUITE_P(
    Leave, LedgerScenario,
    ::testing::Values(
        // Three days used, seven lapse after two years; the duty year ended with three.
        LedgerCase{
            "LapseAfterTwoYears",
            {grant(d(2024, 10, 1), 20)},
            weekdaysFrom(d(2025, 1, 6), 3),
            d(2026, 10, 5),
            {QStringLiteral("2024/10/01\t10.0\t3.0\t7.0\t2026/09/30\t2025/09/30\t3.0\t未達")},
            repeat(k2024, 3),
            QStringLiteral("0.0")},
        // The oldest valid grant is used first, a day at a time across the two.
        LedgerCase{
            "OldestFirstAcrossTwoGrants",
            {grant(d(2024, 10, 1), 20), grant(d(2025, 10, 1), 22)},
            weekdaysFrom(d(2025, 10, 6), 12),
            d(2026, 1, 5),
            {QStringLiteral("2024/10/01\t10.0\t10.0\t0.0\t2026/09/30\t2025/09/30\t0.0\t未達"),
             QStringLiteral("2025/10/01\t11.0\t2.0\t9.0\t2027/09/30\t2026/09/30\t12.0\t達成")},
            repeat(k2024, 10) + repeat(k2025, 2),
            QStringLiteral("9.0")},
        // The 5-day duty of the 2025 grant is met with days drawn from the 2024 grant.
        LedgerCase{
            "DutyMetWithDaysOfThePreviousGrant",
            {grant(d(2024, 10, 1), 20), grant(d(2025, 10, 1), 22)},
            {d(2025, 1, 6), d(2025, 11, 4), d(2025, 12, 1), d(2026, 2, 2), d(2026, 3, 2),
             d(2026, 9, 1)},
            d(2026, 9, 10),
            {QStringLiteral("2024/10/01\t10.0\t6.0\t4.0\t2026/09/30\t2025/09/30\t1.0\t未達"),
             QStringLiteral("2025/10/01\t11.0\t0.0\t11.0\t2027/09/30\t2026/09/30\t5.0\t達成")},
            repeat(k2024, 6),
            QStringLiteral("15.0")},
        // A balance carried over from paper takes the place of the automatic grant of its day;
        // a company's own days on another day add to it.
        LedgerCase{"ManualCarriedOverGrant",
                   {grant(d(2024, 10, 1), 20), grant(d(2024, 10, 1), 13, GrantKind::Manual),
                    grant(d(2025, 4, 1), 6, GrantKind::Manual)},
                   weekdaysFrom(d(2025, 5, 1), 8),
                   d(2025, 6, 2),
                   {QStringLiteral("2024/10/01\t6.5\t6.5\t0.0\t2026/09/30\t-\t-\t対象外"),
                    QStringLiteral("2025/04/01\t3.0\t1.5\t1.5\t2027/03/31\t-\t-\t対象外")},
                   repeat(k2024, 6) + QStringList{QStringLiteral("2024/10/01,2025/04/01")} +
                       QStringList{QStringLiteral("2025/04/01")},
                   QStringLiteral("1.5")},
        // Days beyond the balance overdraw the newest grant; the next grant makes it good.
        LedgerCase{
            "OverdraftShownNegative",
            {grant(d(2024, 10, 1), 20)},
            weekdaysFrom(d(2025, 3, 3), 12),
            d(2025, 4, 1),
            {QStringLiteral("2024/10/01\t10.0\t12.0\t-2.0\t2026/09/30\t2025/09/30\t12.0\t達成")},
            repeat(k2024, 12),
            QStringLiteral("-2.0")},
        LedgerCase{
            "OverdraftMadeGoodByTheNextGrant",
            {grant(d(2024, 10, 1), 20), grant(d(2025, 10, 1), 22)},
            weekdaysFrom(d(2025, 3, 3), 12),
            d(2025, 10, 2),
            {QStringLiteral("2024/10/01\t10.0\t10.0\t0.0\t2026/09/30\t2025/09/30\t12.0\t達成"),
             QStringLiteral("2025/10/01\t11.0\t2.0\t9.0\t2027/09/30\t2026/09/30\t0.0\t残り5日")},
            repeat(k2024, 10) + repeat(k2025, 2),
            QStringLiteral("9.0")},
        // Leave before the first grant waits for it.
        LedgerCase{"DayBeforeAnyGrant",
                   {},
                   {d(2024, 6, 3)},
                   d(2024, 7, 1),
                   {QStringLiteral("未付与\t0.0\t1.0\t-1.0\t-\t-\t-\t対象外")},
                   {QStringLiteral("未付与")},
                   QStringLiteral("-1.0")},
        LedgerCase{
            "DayBeforeTheFirstGrantChargedToIt",
            {grant(d(2024, 10, 1), 20)},
            {d(2024, 6, 3)},
            d(2024, 10, 2),
            {QStringLiteral("2024/10/01\t10.0\t1.0\t9.0\t2026/09/30\t2025/09/30\t0.0\t残り5日")},
            {k2024},
            QStringLiteral("9.0")}),
    [](const ::testing::TestParamInfo<LedgerCase>& info) { return std::string(info.param.name); });

TEST(LeaveRules, DutyStatesAndWhichDutyIsWatched) {
    const std::vector<LeaveGrant> grants{grant(d(2024, 10, 1), 20), grant(d(2025, 10, 1), 22)};
    const std::vector<QDate> four = weekdaysFrom(d(2025, 3, 3), 4);
    struct Case {
        QDate today;
        int warningDays;
        QDate leaving;
        std::optional<QDate> watched;  // the 基準日 of the duty called out
    };
    const Case cases[] = {
        {d(2025, 7, 1), 60, {}, std::nullopt},             // 91 days before the deadline
        {d(2025, 8, 1), 60, {}, d(2024, 10, 1)},           // 60 days before
        {d(2025, 9, 30), 0, {}, d(2024, 10, 1)},           // the deadline itself
        {d(2025, 10, 1), 60, {}, d(2024, 10, 1)},          // missed: watched until it lapses
        {d(2026, 9, 30), 400, {}, d(2025, 10, 1)},         // the later open duty comes first
        {d(2026, 10, 1), 60, {}, d(2025, 10, 1)},          // 2024's lapsed; 2025's now missed
        {d(2025, 8, 1), 60, d(2025, 9, 1), std::nullopt},  // leaves within the year
    };
    for (const Case& c : cases) {
        const LeaveLedger ledger = BuildLedger(grants, four, c.today, c.leaving);
        const GrantLine* g = DutyToWatch(ledger, c.today, c.warningDays);
        EXPECT_EQ(g ? std::optional<QDate>(g->grant.base) : std::nullopt, c.watched)
            << c.today.toString(Qt::ISODate).toStdString();
    }
    const LeaveLedger left = BuildLedger(grants, four, d(2025, 10, 2), d(2025, 9, 1));
    EXPECT_EQ(left.grants[0].duty.state, DutyState::NotApplicable);
}

TEST(LeaveRules, AttendanceRateOfThePrecedingPeriod) {
    const Settings settings = LoadSettings(QByteArrayLiteral("[休日]\n土曜日\n日曜日\n")).settings;
    AttendanceRate r = PrecedingPeriod(d(2024, 10, 1), d(2024, 4, 1));
    EXPECT_EQ(r.from, d(2024, 4, 1));
    EXPECT_EQ(r.to, d(2024, 9, 30));
    EXPECT_EQ(PrecedingPeriod(d(2025, 10, 1), d(2024, 4, 1)).from, d(2024, 10, 1));

    auto row = [](const QDate& day, std::optional<QString> state, int in) {
        WorkRow w;
        w.勤務日 = day;
        w.状態 = std::move(state);
        w.出勤時刻 = in;
        return w;
    };
    // Mondays to Fridays of one week (2024/06/03..07), a Saturday and days outside the period.
    const std::vector<WorkRow> rows{
        row(d(2024, 3, 29), std::nullopt, 900),                      // before joining
        row(d(2024, 6, 3), std::nullopt, 900),                       // worked
        row(d(2024, 6, 4), QStringLiteral("有給休暇"), 0),           // paid leave
        row(d(2024, 6, 5), QStringLiteral("公傷休暇"), 0),           // work injury
        row(d(2024, 6, 6), QStringLiteral("欠勤"), 0),               // absent
        row(d(2024, 6, 7), QStringLiteral("代替休暇(06/08)"), 0),    // substitute rest
        row(d(2024, 6, 8), QStringLiteral("代替勤務(06/07)"), 900),  // Saturday worked instead
        row(d(2024, 6, 15), std::nullopt, 900),                      // Saturday: rest day work
    };
    CountAttendance(r, rows, settings);
    EXPECT_EQ(r.working, 5);
    EXPECT_EQ(r.attended, 4);
    EXPECT_EQ(r.permille(), 800);
    EXPECT_FALSE(r.below80());
    r.attended = 3;
    EXPECT_TRUE(r.below80());
    EXPECT_EQ(AttendanceRate{}.permille(), -1);
}

TEST(LeaveRules, WarningDaysSetting) {
    struct Case {
        const char* file;
        int days;
    };
    const Case cases[] = {
        {"", 60},
        {"[有給取得義務警告日数]\n30\n", 30},
        {"[有給取得義務警告日数]\n０\n", 0},  // full-width digits are narrowed
        {"[有給取得義務警告日数]\n三十\n", 60},
        {"[有給取得義務警告日数]\n-5\n", 60},
        {"{ｼﾌﾄ}\nA\n[有給取得義務警告日数]\n45\n", 60},  // a shift block cannot set it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DutyWarningDays(LoadSettings(QByteArray(c.file)).settings), c.days) << c.file;
    }
}

}  // namespace
}  // namespace tq::test
