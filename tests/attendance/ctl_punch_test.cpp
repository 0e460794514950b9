// tq582ctl punch / review, run as a separate program on the test's site database.

#include <gtest/gtest.h>

#include "punch_fixture.h"

namespace tq::test {
namespace {

struct CtlRun {
    int exitCode = -1;
    QStringList out;
    QStringList err;
};

class CtlPunchTest : public PunchTest {
  protected:
    void SetUpSite() override {
        work = dir.filePath(QStringLiteral("TQ582"));
        writeFile(work + QStringLiteral("/TQ582.ini"), PunchRulesText().toUtf8());
        rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    }

    CtlRun ctl(QStringList args, const QString& now) {
        args << QStringLiteral("--db") << path << QStringLiteral("--now") << now;
        const ToolRun t = runTool(work, args);
        return {t.exitCode, nonEmptyLines(t.out), nonEmptyLines(t.err)};
    }

    CtlRun punch(const char* action, const QString& code, const QString& now) {
        return ctl(
            {QStringLiteral("punch"), QString::fromLatin1(action), QStringLiteral("--code"), code},
            now);
    }

    QString work;
};

TEST_F(CtlPunchTest, PunchPrintsTheTerminalsMessagesAndExitsByOutcome) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 6), QStringLiteral("A"), 830, 0);
    struct Step {
        const char* name;
        const char* action;
        QString code;
        QString now;
        int exitCode;
        QStringList out;
    };
    const Step steps[] = {
        {"clock-in with a warning",
         "in",
         QStringLiteral("0001"),
         QStringLiteral("2024/05/08 08:05:00"),
         0,
         {QStringLiteral("出勤を受け付けました。"), QStringLiteral("05/01の打刻がありません。"),
          QStringLiteral("05/02の打刻がありません。"), QStringLiteral("05/03の打刻がありません。"),
          QStringLiteral("05/06の打刻がありません。")}},
        {"second clock-in",
         "in",
         QStringLiteral("0001"),
         QStringLiteral("2024/05/08 08:06:00"),
         1,
         {QStringLiteral("出勤はすでに受付済みです。")}},
        {"clock-out after midnight",
         "out",
         QStringLiteral("0001"),
         QStringLiteral("2024/05/09 01:30:00"),
         0,
         {QStringLiteral("退勤を受け付けました。")}},
        {"unknown code",
         "in",
         QStringLiteral("0002"),
         QStringLiteral("2024/05/09 08:00:00"),
         1,
         {QStringLiteral("社員名が未登録です。")}},
    };
    for (const Step& s : steps) {
        const CtlRun r = punch(s.action, s.code, s.now);
        EXPECT_EQ(r.exitCode, s.exitCode) << s.name << ": " << r.err.join(u'\n').toStdString();
        EXPECT_EQ(r.out, s.out) << s.name;
    }
    const StoredWork w = rows->work(QStringLiteral("0001"), QDate(2024, 5, 8));
    EXPECT_EQ(w.in, 805);
    EXPECT_EQ(w.out, 2530);
    const auto log = rows->logRows();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].operation, QStringLiteral("出勤"));
    EXPECT_EQ(log[1].operation, QStringLiteral("退勤"));
}

TEST_F(CtlPunchTest, PunchOutsideTheEmploymentDatesExitsOne) {
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("佐藤"), QStringLiteral("A"),
                   QStringLiteral("2024/06/01"));
    rows->addStaff(QStringLiteral("0003"), QStringLiteral("高橋"), QStringLiteral("A"),
                   std::nullopt, QStringLiteral("2024/05/07"));
    const CtlRun before =
        punch("in", QStringLiteral("0002"), QStringLiteral("2024/05/08 08:00:00"));
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_EQ(before.out, QStringList{QStringLiteral("入社前です。")});
    const CtlRun after =
        punch("out", QStringLiteral("0003"), QStringLiteral("2024/05/08 18:00:00"));
    EXPECT_EQ(after.exitCode, 1);
    EXPECT_EQ(after.out, QStringList{QStringLiteral("退社後です。")});
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
}

TEST_F(CtlPunchTest, ReviewPrintsOneTabSeparatedLinePerDayThenTheFourTotalsRows) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 3), QStringLiteral("A"), 830, 1730);
    const CtlRun r =
        ctl({QStringLiteral("review"), QStringLiteral("--code"), QStringLiteral("0001")},
            QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(r.exitCode, 0) << r.err.join(u'\n').toStdString();
    ASSERT_EQ(r.out.size(), 31 + 4);
    for (const QString& line : r.out) {
        EXPECT_EQ(line.split(u'\t').size(), 17) << line.toStdString();
    }
    const QString sp = QStringLiteral(" ");
    EXPECT_EQ(r.out[0].split(u'\t'),
              (QStringList{QStringLiteral("05/01"), QStringLiteral("水"), QString(), sp,
                           QStringLiteral("？？"), sp, sp, sp, sp, sp, sp, sp, sp, sp, QString(),
                           QString(), QString()}));
    EXPECT_EQ(r.out[2].split(u'\t').mid(0, 8),
              (QStringList{QStringLiteral("05/03"), QStringLiteral("金"), QStringLiteral("A"), sp,
                           QStringLiteral("勤務"), QStringLiteral("8:30"), QStringLiteral("17:30"),
                           QStringLiteral("9:00")}));
    EXPECT_EQ(
        r.out[30].split(u'\t').mid(0, 5),
        (QStringList{QStringLiteral("05/31"), QStringLiteral("金"), QString(), sp, QString()}));
    EXPECT_EQ(r.out[31].split(u'\t').mid(0, 8),
              (QStringList{QStringLiteral("合 計"), QString(), QString(), QString(), QString(),
                           QStringLiteral("勤務"), QStringLiteral("1日"), QStringLiteral("9:00")}));
}

TEST_F(CtlPunchTest, ReviewRefusalsGoToStandardError) {
    const CtlRun unknown =
        ctl({QStringLiteral("review"), QStringLiteral("--code"), QStringLiteral("0009")},
            QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.out.isEmpty());
    EXPECT_EQ(unknown.err, QStringList{QStringLiteral("社員名が未登録です。")});

    const CtlRun empty =
        ctl({QStringLiteral("review"), QStringLiteral("--code"), QStringLiteral("0001")},
            QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(empty.out.isEmpty());
    EXPECT_EQ(empty.err, QStringList{QStringLiteral("出退勤情報がありません。")});
}

TEST_F(CtlPunchTest, UsageAndSettingsProblemsExitTwo) {
    const struct {
        const char* name;
        QStringList args;
    } cases[] = {
        {"no action", {QStringLiteral("punch"), QStringLiteral("--code"), QStringLiteral("0001")}},
        {"no code", {QStringLiteral("punch"), QStringLiteral("in")}},
        {"missing settings file",
         {QStringLiteral("review"), QStringLiteral("--code"), QStringLiteral("0001"),
          QStringLiteral("--ini"), QStringLiteral("nowhere.ini")}},
    };
    for (const auto& c : cases) {
        const CtlRun r = ctl(c.args, QStringLiteral("2024/05/20 12:00:00"));
        EXPECT_EQ(r.exitCode, 2) << c.name;
        EXPECT_FALSE(r.err.isEmpty()) << c.name;
    }
    EXPECT_EQ(rows->count(QStringLiteral("T_勤務")), 0);
}

}  // namespace
}  // namespace tq::test
