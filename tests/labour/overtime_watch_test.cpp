// The 36 agreement's figures read from a site database (both engines give the same): the
// notice after a clock-out, the review's line, and tq582ctl overtime run as a program.

#include <gtest/gtest.h>

#include "../attendance/punch_fixture.h"
#include "attendance/calendar.h"
#include "labour/overtime_watch.h"

namespace tq::test {
namespace {

/// 09:00 to 18:00 with an hour's break, ordinary overtime to 22:00 and late-night to 29:00,
/// minutes counted without rounding; the night shift N from 22:00 to 07:00, overtime to 10:00.
QString LabourRulesText() {
    return QStringLiteral(
        "[給与締日]\n末日\n[過日修正可能日]\n末日\n"
        "[始業時刻]\n09:00\n[終業時刻]\n18:00\n[所定勤務時間]\n480\n[残業対象時間]\n480\n"
        "[普通残業開始時刻]\n18:00\n[普通残業終了時刻]\n22:00\n"
        "[深夜残業開始時刻]\n22:00\n[深夜残業終了時刻]\n29:00\n"
        "[勤務時間別休憩時間]\n00:00-24:00 60\n[休日]\n土曜日\n日曜日\n"
        "{ｼﾌﾄ}\nN\n[始業時刻]\n22:00\n[終業時刻]\n31:00\n[普通残業開始時刻]\n31:00\n"
        "[普通残業終了時刻]\n34:00\n[勤務時間別休憩時間]\n00:00-24:00 60\n");
}

class OvertimeWatchTest : public PunchTest {
  protected:
    void SetUpSite() override {
        settings = LoadSettings(LabourRulesText().toUtf8()).settings;
        work = dir.filePath(QStringLiteral("TQ582"));
        writeFile(work + QStringLiteral("/TQ582.ini"), LabourRulesText().toUtf8());
    }

    /// Weekdays from `first` to `last` from 09:00, `overtime` minutes past 18:00 among them.
    void addWeekdays(const QString& code, const QDate& first, const QDate& last, int overtime) {
        std::vector<QDate> days;
        for (QDate d = first; d <= last; d = d.addDays(1)) {
            if (d.dayOfWeek() <= Qt::Friday) {
                days.push_back(d);
            }
        }
        for (size_t i = 0; i < days.size(); ++i) {
            const int left = static_cast<int>(days.size() - i);
            const int extra = (overtime + left - 1) / left;
            overtime -= extra;
            const int end = 18 * 60 + extra;
            rows->addWork(code, days[i], std::nullopt, 900, end / 60 * 100 + end % 60);
        }
    }

    Outcome clockOut(const QString& code, const QDateTime& at) {
        return ClockOutWatched(*db, ctx, Identify(*db, code, at), settings, at);
    }

    ToolRun overtime(const QStringList& args) {
        return runTool(
            work, QStringList{QStringLiteral("overtime"), QStringLiteral("--db"), path} + args);
    }

    QString work;
};

QDateTime at(int y, int m, int d, int h, int min) {
    return wallClock(QDate(y, m, d), QTime(h, min));
}

TEST_F(OvertimeWatchTest, ClockOutTellsTheMonthOnceItIsNearOrOverALimit) {
    struct Case {
        const char* name;
        int before;  // overtime of 1 to 30 May
        QStringList texts;
        Icon icon;
    };
    const std::vector<Case> cases = {
        {"below 80 %: the acceptance alone",
         20 * 60,
         {QStringLiteral("退勤を受け付けました。")},
         Icon::Information},
        {"38:30 with this day",
         36 * 60 + 45,
         {QStringLiteral("退勤を受け付けました。"),
          QStringLiteral("今月の時間外労働は38:30です。(限度 45:00)")},
         Icon::Information},
        {"over the limit: a warning",
         44 * 60,
         {QStringLiteral("退勤を受け付けました。"),
          QStringLiteral("今月の時間外労働は45:45です。(限度 45:00)")},
         Icon::Exclamation},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString code = QStringLiteral("%1").arg(++n, 4, 10, QLatin1Char('0'));
        rows->addStaff(code, QStringLiteral("社員"), std::nullopt);
        addWeekdays(code, QDate(2024, 5, 1), QDate(2024, 5, 30), c.before);
        rows->addWork(code, QDate(2024, 5, 31), std::nullopt, 900, 0);
        const Outcome o = clockOut(code, at(2024, 5, 31, 19, 45));  // 1:45 more
        EXPECT_TRUE(o.accepted);
        QStringList texts;
        for (const Message& m : o.messages) {
            texts << m.text;
        }
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(o.messages.back().icon, c.icon);
    }
}

TEST_F(OvertimeWatchTest, ANightShiftIntoTheNextMonthBelongsToTheDayItStarted) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("夜勤"), QStringLiteral("N"));
    addWeekdays(QStringLiteral("0001"), QDate(2024, 5, 1), QDate(2024, 5, 30), 35 * 60);
    // Friday 31 May 22:00 to Saturday 1 June 09:00: 10 hours after the break, 2:00 overtime.
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 31), QStringLiteral("N"), 2200, 0);
    const Outcome o = clockOut(QStringLiteral("0001"), at(2024, 6, 1, 9, 0));
    EXPECT_EQ(rows->work(QStringLiteral("0001"), QDate(2024, 5, 31)).out, 3300);
    ASSERT_EQ(o.messages.size(), 2u);
    EXPECT_EQ(o.messages[1].text, QStringLiteral("今月の時間外労働は37:00です。(限度 45:00)"));

    const auto lines = OvertimeOfStaff(*db, 2024, 6, settings, at(2024, 6, 1, 9, 0));
    ASSERT_EQ(lines.size(), 0u) << "no row in June: the shift is May's";
}

TEST_F(OvertimeWatchTest, AFailedLookAfterTheClockOutLeavesItAccepted) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), std::nullopt);
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 31), std::nullopt, 900, 0);
    // Every read of the listing fails, as a server gone after the punch's commit.
    FailingDatabase failing(
        *db, [](const Sql&) { return false; },
        [](const Sql& s) { return s.logText().contains(QStringLiteral("LEFT JOIN")); });
    const QDateTime t = at(2024, 5, 31, 19, 45);
    const Outcome o =
        ClockOutWatched(failing, ctx, Identify(*db, QStringLiteral("0001"), t), settings, t);
    EXPECT_TRUE(o.accepted);
    ASSERT_EQ(o.messages.size(), 2u);
    EXPECT_EQ(o.messages[0].text, QStringLiteral("退勤を受け付けました。"));
    EXPECT_EQ(o.messages[1].text, QStringLiteral("disk I/O error"));
    EXPECT_EQ(rows->work(QStringLiteral("0001"), QDate(2024, 5, 31)).out, 1945);
}

TEST_F(OvertimeWatchTest, TheReviewLineIsAboutTheMonthTheListShows) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), std::nullopt);
    addWeekdays(QStringLiteral("0001"), QDate(2024, 4, 1), QDate(2024, 4, 30), 10 * 60);
    addWeekdays(QStringLiteral("0001"), QDate(2024, 5, 1), QDate(2024, 5, 31), 38 * 60 + 30);
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 12), std::nullopt, 900, 1900);
    const Identification who = Identify(*db, QStringLiteral("0001"), at(2024, 5, 31, 20, 0));
    const Period may{QDate(2024, 5, 1), QDate(2024, 5, 31)};
    EXPECT_EQ(
        ReviewOvertimeLine(*db, who, may, settings, at(2024, 5, 31, 20, 0)),
        QStringLiteral("2024年05月度  時間外 38:30  休日労働 9:00  年時間外 48:30  判定 注意"));
    // Early in May the list still holds April (closing day 末日, corrections until the 5th).
    const Period open{QDate(2024, 4, 1), QDate(2024, 5, 5)};
    EXPECT_EQ(ReviewOvertimeLine(*db, who, open, settings, at(2024, 5, 3, 12, 0)),
              QStringLiteral("2024年04月度  時間外 10:00  休日労働 0:00  年時間外 10:00  判定 —"));
}

TEST_F(OvertimeWatchTest, ToolLinesDaysAndExitStatus) {
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("佐藤"), std::nullopt);
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"), std::nullopt);
    rows->addStaff(QStringLiteral("0003"), QStringLiteral("鈴木"), std::nullopt);
    addWeekdays(QStringLiteral("0001"), QDate(2024, 5, 1), QDate(2024, 5, 31), 20 * 60);
    addWeekdays(QStringLiteral("0002"), QDate(2024, 4, 1), QDate(2024, 4, 30), 50 * 60);
    addWeekdays(QStringLiteral("0002"), QDate(2024, 5, 1), QDate(2024, 5, 31), 46 * 60);
    // 0003 worked only in April.
    addWeekdays(QStringLiteral("0003"), QDate(2024, 4, 1), QDate(2024, 4, 30), 0);
    const QStringList header{QStringLiteral(
        "社員コード\t氏名\t時間外\t休日労働\t合計\t年時間外\t限度超過月数\t最大平均\t判定")};

    ToolRun r = overtime({QStringLiteral("--month"), QStringLiteral("2024/05")});
    EXPECT_EQ(r.exitCode, 1) << "0002 is over" << r.err.toStdString();
    const QStringList may{QStringLiteral("0001\t山田\t20:00\t0:00\t20:00\t20:00\t0\t10:00\t—"),
                          QStringLiteral("0002\t佐藤\t46:00\t0:00\t46:00\t96:00\t2\t48:00\t超過")};
    EXPECT_EQ(nonEmptyLines(r.out), header + may);

    // The month of --now by default; one staff member by code, even without rows in it.
    r = overtime({QStringLiteral("--now"), QStringLiteral("2024/05/20 12:00:00"),
                  QStringLiteral("--code"), QStringLiteral("0003")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList one{QStringLiteral("0003\t鈴木\t0:00\t0:00\t0:00\t0:00\t0\t0:00\t—")};
    EXPECT_EQ(nonEmptyLines(r.out), header + one);

    r = overtime({QStringLiteral("--month"), QStringLiteral("2024/04"), QStringLiteral("--code"),
                  QStringLiteral("0002"), QStringLiteral("--days")});
    EXPECT_EQ(r.exitCode, 1);
    const QStringList days = nonEmptyLines(r.out);
    ASSERT_EQ(days.size(), 31);
    EXPECT_EQ(days[0], QStringLiteral("日付\t実働\t日時間外\t週時間外\t休日労働"));
    EXPECT_EQ(days[1], QStringLiteral("2024/04/01\t10:17\t2:17\t0:00\t0:00"));
    EXPECT_EQ(days[6], QStringLiteral("2024/04/06\t0:00\t0:00\t0:00\t0:00"));

    struct Usage {
        QStringList args;
        int exit;
        const char* err;
    };
    for (const Usage& u : std::vector<Usage>{
             {{QStringLiteral("--days")}, 2, "--days needs --code"},
             {{QStringLiteral("--month"), QStringLiteral("2024-05")}, 2, "--month needs yyyy/mm"},
             {{QStringLiteral("--month"), QStringLiteral("2024/13")}, 2, "--month needs yyyy/mm"},
             {{QStringLiteral("--code"), QStringLiteral("9999")}, 1, "no staff member with code"},
         }) {
        r = overtime(u.args);
        EXPECT_EQ(r.exitCode, u.exit) << u.args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(u.err))) << r.err.toStdString();
    }
}

}  // namespace
}  // namespace tq::test
