// Identification, clock-in and clock-out against a real site database.

#include <gtest/gtest.h>

#include "../own_server.h"
#include "attendance/punch.h"
#include "punch_fixture.h"

namespace tq::test {
namespace {

QDateTime at(int y, int m, int d, int h, int min, int s = 0) {
    return wallClock(QDate(y, m, d), QTime(h, min, s));
}

const QString kIn = QStringLiteral("出勤");
const QString kOut = QStringLiteral("退勤");

QStringList texts(const Outcome& o) {
    QStringList out;
    for (const Message& m : o.messages) {
        out << m.text;
    }
    return out;
}

TEST_F(PunchTest, ShiftShownIsTheDayRowsShiftElseTheStandardOne) {
    struct Case {
        const char* name;
        std::optional<QString> standard;
        bool dayRow;
        std::optional<QString> dayShift;
        QString shown;
    };
    const Case cases[] = {
        {"no day row", QStringLiteral("A"), false, std::nullopt, QStringLiteral("A")},
        {"day row with an empty shift", QStringLiteral("A"), true, QString(), QStringLiteral("A")},
        {"day row with a null shift", QStringLiteral("A"), true, std::nullopt, QStringLiteral("A")},
        {"day row with B over standard A", QStringLiteral("A"), true, QStringLiteral("B"),
         QStringLiteral("B")},
        {"null standard and no day row", std::nullopt, false, std::nullopt, QString()},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString code = QString::number(++n);
        rows->addStaff(code, QStringLiteral("山田"), c.standard);
        if (c.dayRow) {
            rows->addWork(code, QDate(2024, 5, 8), c.dayShift);
        }
        // A row of another day never counts.
        rows->addWork(code, QDate(2024, 5, 9), QStringLiteral("C"));
        const Identification who = identify(code, at(2024, 5, 8, 7, 55));
        EXPECT_TRUE(who.identified()) << c.name;
        EXPECT_EQ(who.社員名, QStringLiteral("山田")) << c.name;
        EXPECT_EQ(who.シフトコード, c.shown) << c.name;
        EXPECT_TRUE(who.outcome.messages.empty()) << c.name;
    }
}

TEST_F(PunchTest, UnknownOrEmptyCodeIdentifiesNobody) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    const Identification unknown = identify(QStringLiteral("0002"), at(2024, 5, 8, 8, 0));
    EXPECT_FALSE(unknown.identified());
    EXPECT_TRUE(unknown.社員名.isEmpty());
    EXPECT_TRUE(unknown.シフトコード.isEmpty());
    ASSERT_EQ(unknown.outcome.messages.size(), 1u);
    EXPECT_EQ(unknown.outcome.messages[0].text, QStringLiteral("社員名が未登録です。"));
    EXPECT_EQ(unknown.outcome.messages[0].icon, Icon::None);
    EXPECT_TRUE(unknown.outcome.messages[0].defaultTitle);

    const Identification empty = identify(QString(), at(2024, 5, 8, 8, 0));
    EXPECT_FALSE(empty.identified());
    EXPECT_TRUE(empty.outcome.messages.empty());

    // Punches for nobody do nothing at all.
    EXPECT_TRUE(texts(ClockIn(*db, ctx, unknown, settings, at(2024, 5, 8, 8, 0))).isEmpty());
    EXPECT_TRUE(texts(ClockOut(*db, ctx, empty, settings, at(2024, 5, 8, 18, 0))).isEmpty());
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 0);
}

TEST_F(PunchTest, ClockInWithoutRowInsertsTimeStampAndShiftAndLogsIt) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    const QDateTime t = at(2024, 5, 1, 8, 5, 12);
    const Outcome o = ClockIn(*db, ctx, identify(QStringLiteral("0001"), t), settings, t);
    EXPECT_TRUE(o.accepted);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0].text, QStringLiteral("出勤を受け付けました。"));
    EXPECT_EQ(o.messages[0].icon, Icon::Information);
    EXPECT_FALSE(o.messages[0].defaultTitle);

    const StoredWork w = rows->work(QStringLiteral("0001"), QDate(2024, 5, 1));
    ASSERT_TRUE(w.exists);
    EXPECT_EQ(w.in, 805);
    EXPECT_EQ(w.out, 0);
    EXPECT_EQ(w.shift, QStringLiteral("A"));
    EXPECT_EQ(w.inStamp, QStringLiteral("2024/05/01 08:05:12"));
    const auto log = rows->logRows();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].operation, kIn);
    EXPECT_EQ(
        log[0].content,
        QStringLiteral("(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) "
                       "VALUES ('0001',#2024/05/01#,'A',0805,'2024/05/01 08:05:12')"));
}

TEST_F(PunchTest, ClockInCompletesARowOfAShiftRegistrationWithTheShiftShown) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 8), QStringLiteral("B"));
    const QDateTime t = at(2024, 5, 8, 8, 20, 5);
    Identification who = identify(QStringLiteral("0001"), t);
    ASSERT_EQ(who.シフトコード, QStringLiteral("B"));
    // The caption as it stands when the button is pressed is what the row receives.
    who.シフトコード = QStringLiteral("C");
    EXPECT_TRUE(ClockIn(*db, ctx, who, settings, t).accepted);

    const StoredWork w = rows->work(QStringLiteral("0001"), QDate(2024, 5, 8));
    EXPECT_EQ(w.shift, QStringLiteral("C"));
    EXPECT_EQ(w.in, 820);
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 1);
    EXPECT_EQ(rows->logRows().at(0).content,
              QStringLiteral("(SQL)UPDATE T_勤務 SET シフト = 'C',出勤時刻 = 0820,出勤打刻日 = "
                             "'2024/05/08 08:20:05' WHERE 担当者コード = '0001' AND 勤務日 = "
                             "#2024/05/08#"));
}

TEST_F(PunchTest, SecondClockInIsRefusedAndWritesNothing) {
    struct Case {
        const char* name;
        std::optional<int> storedIn;
    };
    const Case cases[] = {{"clocked in at 07:58", 758}, {"clock-in time null", std::nullopt}};
    int n = 0;
    for (const Case& c : cases) {
        const QString code = QString::number(++n);
        rows->addStaff(code, QStringLiteral("山田"));
        rows->addWork(code, QDate(2024, 5, 8), QStringLiteral("A"), c.storedIn);
        const int logBefore = rows->count(QStringLiteral("T_ログ"));
        const QDateTime t = at(2024, 5, 8, 9, 0);
        const Outcome o = ClockIn(*db, ctx, identify(code, t), settings, t);
        EXPECT_FALSE(o.accepted) << c.name;
        ASSERT_EQ(o.messages.size(), 1u) << c.name;
        EXPECT_EQ(o.messages[0].text, QStringLiteral("出勤はすでに受付済みです。")) << c.name;
        EXPECT_EQ(o.messages[0].icon, Icon::Exclamation) << c.name;
        EXPECT_EQ(rows->work(code, QDate(2024, 5, 8)).in, c.storedIn) << c.name;
        EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), logBefore) << c.name;
    }
}

TEST_F(PunchTest, ClockOutDayAndTimeFollowTheNightRule) {
    struct Case {
        const char* name;
        QString start;
        QTime time;
        int dayOffset;
        int hhmm;
    };
    const Case cases[] = {
        {"01:30 before 08:30", QStringLiteral("08:30"), QTime(1, 30), -1, 2530},
        {"exactly at the start", QStringLiteral("08:30"), QTime(8, 30), -1, 3230},
        {"one minute after", QStringLiteral("08:30"), QTime(8, 31), 0, 831},
        {"midnight", QStringLiteral("08:30"), QTime(0, 0), -1, 2400},
        {"start 8:30 at 09:00 is a time, not text", QStringLiteral("8:30"), QTime(9, 0), 0, 900},
        {"start 8:30 at 23:59", QStringLiteral("8:30"), QTime(23, 59), 0, 2359},
        {"start 8:30 at 08:30", QStringLiteral("8:30"), QTime(8, 30), -1, 3230},
        {"empty start never applies", QString(), QTime(0, 10), 0, 10},
        {"start with blanks", QStringLiteral(" 05:00 "), QTime(4, 59), -1, 2859},
    };
    const QDate today(2024, 5, 2);
    for (const Case& c : cases) {
        const ClockOutTarget t = ClockOutTargetFor(wallClock(today, c.time), c.start);
        EXPECT_EQ(t.day, today.addDays(c.dayOffset)) << c.name;
        EXPECT_EQ(t.hhmm, c.hhmm) << c.name;
        EXPECT_EQ(t.night, c.dayOffset == -1) << c.name;
    }
}

TEST_F(PunchTest, ClockOutAfterMidnightGoesToThePreviousDaysRow) {
    struct Case {
        const char* name;
        QString shift;
        QTime time;
        QDate day;
        qint64 stored;
        QString logged;
    };
    // Shift A starts 08:30, B "8:30", C has no start; an unknown shift uses the common 09:00.
    const Case cases[] = {
        {"A at 01:30", QStringLiteral("A"), QTime(1, 30), QDate(2024, 5, 1), 2530,
         QStringLiteral("2530")},
        {"A at 08:31", QStringLiteral("A"), QTime(8, 31), QDate(2024, 5, 2), 831,
         QStringLiteral("0831")},
        {"B at 08:30", QStringLiteral("B"), QTime(8, 30), QDate(2024, 5, 1), 3230,
         QStringLiteral("3230")},
        {"C at 00:10", QStringLiteral("C"), QTime(0, 10), QDate(2024, 5, 2), 10,
         QStringLiteral("0010")},
        {"unknown Z at 08:45", QStringLiteral("Z"), QTime(8, 45), QDate(2024, 5, 1), 3245,
         QStringLiteral("3245")},
        {"no shift at 09:05", QString(), QTime(9, 5), QDate(2024, 5, 2), 905,
         QStringLiteral("0905")},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString code = QString::number(++n);
        rows->addStaff(code, QStringLiteral("山田"), c.shift);
        const QDateTime t = wallClock(QDate(2024, 5, 2), c.time);
        Identification who = identify(code, t);
        ASSERT_EQ(who.シフトコード, c.shift) << c.name;
        const Outcome o = ClockOut(*db, ctx, who, settings, t);
        EXPECT_EQ(texts(o), QStringList{QStringLiteral("退勤を受け付けました。")}) << c.name;
        EXPECT_EQ(o.messages.at(0).icon, Icon::Information) << c.name;
        const StoredWork w = rows->work(code, c.day);
        ASSERT_TRUE(w.exists) << c.name;
        EXPECT_EQ(w.out, c.stored) << c.name;
        EXPECT_EQ(w.in, 0) << c.name << ": a clock-out without clock-in leaves 0";
        EXPECT_EQ(w.outStamp, formatStamp(t)) << c.name;
        EXPECT_TRUE(rows->logRows().back().content.contains(
            QStringLiteral(",退勤時刻,退勤打刻日) VALUES ('") + code + QStringLiteral("',#") +
            formatDate(c.day) + QStringLiteral("#,'") + c.shift + QStringLiteral("',") + c.logged +
            QStringLiteral(",'")))
            << c.name << ": " << rows->logRows().back().content.toStdString();
    }
}

TEST_F(PunchTest, RepeatedClockOutReplacesTheEarlierOne) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    const QDateTime in = at(2024, 5, 8, 8, 0);
    ASSERT_TRUE(ClockIn(*db, ctx, identify(QStringLiteral("0001"), in), settings, in).accepted);
    for (const QDateTime& t : {at(2024, 5, 8, 17, 40, 1), at(2024, 5, 8, 18, 2, 9)}) {
        EXPECT_TRUE(ClockOut(*db, ctx, identify(QStringLiteral("0001"), t), settings, t).accepted);
    }
    const StoredWork w = rows->work(QStringLiteral("0001"), QDate(2024, 5, 8));
    EXPECT_EQ(w.in, 800);
    EXPECT_EQ(w.out, 1802);
    EXPECT_EQ(w.outStamp, QStringLiteral("2024/05/08 18:02:09"));
    const auto log = rows->logRows();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].operation, kOut);
    EXPECT_EQ(log[2].content,
              QStringLiteral("(SQL)UPDATE T_勤務 SET シフト = 'A',退勤時刻 = 1802,退勤打刻日 = "
                             "'2024/05/08 18:02:09' WHERE 担当者コード = '0001' AND 勤務日 = "
                             "#2024/05/08#"));
}

TEST_F(PunchTest, PunchesOutsideTheEmploymentDatesAreRefused) {
    struct Case {
        const char* name;
        std::optional<QString> joined;
        std::optional<QString> left;
        QString refusal;  ///< empty: accepted
    };
    const Case cases[] = {
        {"joining tomorrow", QStringLiteral("2024/05/09"), std::nullopt,
         QStringLiteral("入社前です。")},
        {"joining today", QStringLiteral("2024/05/08"), std::nullopt, QString()},
        {"leaving today", std::nullopt, QStringLiteral("2024/05/08"), QString()},
        {"left yesterday", std::nullopt, QStringLiteral("2024/05/07"),
         QStringLiteral("退社後です。")},
        {"empty dates", QString(), QString(), QString()},
        {"unreadable leaving date", std::nullopt, QStringLiteral("2024/13/01"), QString()},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString code = QString::number(++n);
        rows->addStaff(code, QStringLiteral("山田"), QStringLiteral("A"), c.joined, c.left);
        for (const bool in : {true, false}) {
            const QDateTime t = at(2024, 5, 8, in ? 8 : 19, 0);
            const Identification who = identify(code, t);
            const Outcome o =
                in ? ClockIn(*db, ctx, who, settings, t) : ClockOut(*db, ctx, who, settings, t);
            const std::string what = std::string(c.name) + (in ? " (in)" : " (out)");
            if (c.refusal.isEmpty()) {
                EXPECT_TRUE(o.accepted) << what;
                continue;
            }
            EXPECT_FALSE(o.accepted) << what;
            EXPECT_EQ(texts(o), QStringList{c.refusal}) << what;
            EXPECT_EQ(o.messages.at(0).icon, Icon::Exclamation) << what;
            EXPECT_FALSE(rows->work(code, QDate(2024, 5, 8)).exists) << what;
        }
    }
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 8);  // four accepted cases, in and out
}

TEST_F(PunchTest, NightClockOutOfTheLeavingDayIsAcceptedAfterMidnight) {
    // Shift A starts at 08:30: a clock-out at 01:30 belongs to the day before.
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"),
                   std::nullopt, QStringLiteral("2024/05/08"));
    const QDateTime night = at(2024, 5, 9, 1, 30);
    const Outcome o = ClockOut(*db, ctx, identify(QStringLiteral("0001"), night), settings, night);
    EXPECT_TRUE(o.accepted);
    EXPECT_EQ(rows->work(QStringLiteral("0001"), QDate(2024, 5, 8)).out, 2530);

    // The same code a day later is past the leaving day whatever the time.
    const QDateTime next = at(2024, 5, 10, 1, 30);
    const Outcome late = ClockOut(*db, ctx, identify(QStringLiteral("0001"), next), settings, next);
    EXPECT_FALSE(late.accepted);
    EXPECT_EQ(texts(late), QStringList{QStringLiteral("退社後です。")});
    EXPECT_FALSE(rows->work(QStringLiteral("0001"), QDate(2024, 5, 9)).exists);
}

TEST_F(PunchTest, NightClockOutOnTheJoiningDayBelongsToTheDayBeforeAndIsRefused) {
    // Shift A starts at 08:30: a clock-out at 01:00 on the joining day belongs to the day
    // before joining; one at 01:00 the next day belongs to the joining day itself.
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("A"),
                   QStringLiteral("2024/05/08"), std::nullopt);
    const QDateTime early = at(2024, 5, 8, 1, 0);
    const Outcome o = ClockOut(*db, ctx, identify(QStringLiteral("0001"), early), settings, early);
    EXPECT_FALSE(o.accepted);
    EXPECT_EQ(texts(o), QStringList{QStringLiteral("入社前です。")});
    EXPECT_FALSE(rows->work(QStringLiteral("0001"), QDate(2024, 5, 7)).exists);
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 0);

    const QDateTime next = at(2024, 5, 9, 1, 0);
    const Outcome ok = ClockOut(*db, ctx, identify(QStringLiteral("0001"), next), settings, next);
    EXPECT_TRUE(ok.accepted);
    EXPECT_EQ(rows->work(QStringLiteral("0001"), QDate(2024, 5, 8)).out, 2500);
}

TEST_F(PunchTest, ClockInWarnsOfEarlierDaysWithoutCompletePunches) {
    // May 2024: the 4th/5th, 11th/12th are a weekend; the 3rd is a working day here.
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 2), QStringLiteral("A"), 830, 1730);
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 0);
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 10), QStringLiteral("A"), 830, 1730);
    const QDateTime t = at(2024, 5, 13, 8, 25);
    const Outcome o = ClockIn(*db, ctx, identify(QStringLiteral("0001"), t), settings, t);
    EXPECT_EQ(texts(o), (QStringList{
                            QStringLiteral("出勤を受け付けました。"),
                            QStringLiteral("05/01の打刻がありません。"),
                            QStringLiteral("05/03の打刻がありません。"),
                            QStringLiteral("05/06の打刻がありません。"),
                            QStringLiteral("05/07の打刻がありません。"),
                            QStringLiteral("05/08の打刻がありません。"),
                            QStringLiteral("05/09の打刻がありません。"),
                        }));
    for (size_t i = 1; i < o.messages.size(); ++i) {
        EXPECT_EQ(o.messages[i].icon, Icon::Exclamation) << i;
    }
}

TEST_F(PunchTest, MissingPunchCheckLooksOnlyAtEarlierDaysOfThePeriodUpToTheLastRow) {
    struct Case {
        const char* name;
        QDate joined;
        QDateTime when;
        QStringList warnings;
    };
    // Rows: 04/29 and 05/02 with only a clock-in, 05/14 complete. The period is the month.
    const Case cases[] = {
        {"first day of the period examines nothing", QDate(2024, 4, 1), at(2024, 5, 1, 8, 0), {}},
        {"days after the last row before today are not examined",
         QDate(2024, 4, 1),
         at(2024, 5, 8, 9, 0),
         {QStringLiteral("05/01の打刻がありません。"),
          QStringLiteral("05/02の打刻がありません。")}},
        {"days before joining are not missing",
         QDate(2024, 5, 2),
         at(2024, 5, 8, 9, 0),
         {QStringLiteral("05/02の打刻がありません。")}},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString code = QString::number(++n);
        rows->addStaff(code, QStringLiteral("山田"), QStringLiteral("A"), formatDate(c.joined));
        rows->addWork(code, QDate(2024, 4, 29), QStringLiteral("A"), 830, 0);
        rows->addWork(code, QDate(2024, 5, 2), QStringLiteral("A"), 830, 0);
        rows->addWork(code, QDate(2024, 5, 14), QStringLiteral("A"), 830, 1730);
        const Outcome o = ClockIn(*db, ctx, identify(code, c.when), settings, c.when);
        EXPECT_EQ(texts(o), QStringList{QStringLiteral("出勤を受け付けました。")} + c.warnings)
            << c.name;
    }
}

TEST_F(PunchTest, CodesAndShiftsWithQuotesBracketsAndHashAreStoredAndLoggedAsTyped) {
    const QString code = QStringLiteral("O'#]");
    rows->addStaff(code, QStringLiteral("O'Hara [#1]"), QStringLiteral("'"));
    const QDateTime in = at(2024, 5, 8, 8, 1);
    const Identification who = identify(code, in);
    ASSERT_TRUE(who.identified());
    EXPECT_EQ(who.社員名, QStringLiteral("O'Hara [#1]"));
    EXPECT_EQ(who.シフトコード, QStringLiteral("'"));
    EXPECT_TRUE(ClockIn(*db, ctx, who, settings, in).accepted);
    const QDateTime out = at(2024, 5, 8, 18, 0);
    EXPECT_TRUE(ClockOut(*db, ctx, identify(code, out), settings, out).accepted);

    const StoredWork w = rows->work(code, QDate(2024, 5, 8));
    ASSERT_TRUE(w.exists);
    EXPECT_EQ(w.shift, QStringLiteral("'"));
    EXPECT_EQ(w.in, 801);
    EXPECT_EQ(w.out, 1800);
    const auto log = rows->logRows();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(
        log[0].content,
        QStringLiteral("(SQL)INSERT INTO T_勤務 (担当者コード,勤務日,シフト,出勤時刻,出勤打刻日) "
                       "VALUES ('O'#]',#2024/05/08#,''',0801,'2024/05/08 08:01:00')"));
    EXPECT_TRUE(log[1].content.endsWith(
        QStringLiteral("WHERE 担当者コード = 'O'#]' AND 勤務日 = #2024/05/08#")));
}

TEST_F(PunchTest, CodeLongerThanAWorkRowHoldsIsRefusedBeforeWriting) {
    TestStaff(QStringLiteral("0009"), QStringLiteral("長い"))
        .password(QStringLiteral("00009"))
        .insert(*db);
    const QDateTime t = at(2024, 5, 8, 8, 0);
    const Identification who = identify(QStringLiteral("00009"), t);
    ASSERT_TRUE(who.identified());
    for (const Outcome& o :
         {ClockIn(*db, ctx, who, settings, t), ClockOut(*db, ctx, who, settings, t)}) {
        EXPECT_FALSE(o.accepted);
        EXPECT_EQ(texts(o), QStringList{QStringLiteral("社員コードの桁数制限を越えています。")});
    }
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
}

TEST_F(PunchTest, PunchAndItsLogRowCommitTogetherOrNotAtAll) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    FailingDatabase failing(*db, [](const Sql& s) {
        return s.logText().startsWith(QStringLiteral("INSERT INTO T_ログ"));
    });
    const QDateTime t = at(2024, 5, 8, 8, 0);
    const Identification who = Identify(failing, QStringLiteral("0001"), t);
    EXPECT_THROW(ClockIn(failing, ctx, who, settings, t), DbError);
    EXPECT_THROW(ClockOut(failing, ctx, who, settings, t), DbError);
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
    EXPECT_EQ(rows->count(QStringLiteral("T_ログ")), 0);
    // The same database still takes the punch once the log can be written.
    EXPECT_TRUE(ClockIn(*db, ctx, who, settings, t).accepted);
}

TEST_F(PunchTest, StoredClockInIsReportedAcceptedWhenTheCheckAfterItFails) {
    // On the server engine the server itself stops at the moment the check reads the period.
    std::unique_ptr<OwnServer> server;
    std::unique_ptr<Database> own;
    Database* target = db.get();
    if (testOnServer()) {
        server = std::make_unique<OwnServer>();
        ASSERT_FALSE(server->uri().isEmpty());
        own = openDatabase(server->uri(), QString(), false);
        ASSERT_EQ(EnsureTables(*own), QString());
        target = own.get();
    }
    SiteRows site(*target);
    site.addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    site.addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 0);
    const QDateTime t = at(2024, 5, 13, 8, 25);
    const Identification who = Identify(*target, QStringLiteral("0001"), t);
    FailingDatabase failing(
        *target, [](const Sql&) { return false; },
        [&server](const Sql& q) {
            if (!q.logText().contains(QStringLiteral("LEFT JOIN"))) {
                return false;
            }
            if (server) {
                server->pause();
                return false;  // the real read meets the stopped server
            }
            return true;
        });
    const Outcome o = ClockIn(failing, ctx, who, settings, t);
    EXPECT_TRUE(o.accepted);
    EXPECT_EQ(texts(o), QStringList{QStringLiteral("出勤を受け付けました。")});
    EXPECT_FALSE(o.failureAfter.isEmpty());
    if (server) {
        EXPECT_TRUE(o.failureAfter.contains(QStringLiteral("database server")))
            << o.failureAfter.toStdString();
        server->resume();
        own = openDatabase(server->uri(), QString(), false);
        target = own.get();
    }
    SiteRows stored(*target);
    EXPECT_EQ(stored.work(QStringLiteral("0001"), QDate(2024, 5, 13)).in, 825);
    const auto log = stored.logRows();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].operation, kIn);
}

TEST_F(PunchTest, StaffChangedSinceIdentificationIsCheckedAgainInsideTheWrite) {
    struct Case {
        const char* what;
        QString change;  ///< done by another terminal between identification and punch
        QString refusal;
    };
    const Case cases[] = {
        {"deleted", QStringLiteral("DELETE FROM T_担当者 WHERE 担当者コード = "),
         QStringLiteral("社員名が未登録です。")},
        {"given a leaving day before today",
         QStringLiteral("UPDATE T_担当者 SET 退社年月日 = '2024/05/07' WHERE 担当者コード = "),
         QStringLiteral("退社後です。")},
    };
    int n = 0;
    for (const Case& c : cases) {
        for (const bool in : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (in ? ", clock-in" : ", clock-out"));
            const QString code = QStringLiteral("%1").arg(++n, 4, 10, QLatin1Char('0'));
            rows->addStaff(code, QStringLiteral("山田"));
            const QDateTime t = at(2024, 5, 8, in ? 8 : 17, 0);
            const Identification who = identify(code, t);
            ASSERT_TRUE(who.identified());
            db->execute(Sql(c.change).text(code));
            const Outcome o =
                in ? ClockIn(*db, ctx, who, settings, t) : ClockOut(*db, ctx, who, settings, t);
            EXPECT_FALSE(o.accepted);
            EXPECT_EQ(texts(o), QStringList{c.refusal});
            EXPECT_FALSE(rows->work(code, t.date()).exists);
        }
    }
    EXPECT_TRUE(rows->logRows().empty());
}

}  // namespace
}  // namespace tq::test
