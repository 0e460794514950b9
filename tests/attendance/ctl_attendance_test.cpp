// tq582ctl period, daytext and calc, run as a program on a settings file in a temporary site.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "../testsupport.h"

#ifdef TQ582CTL_PATH

namespace tq {
namespace {

using namespace Qt::StringLiterals;

using test::runTool;
using test::ToolRun;

const QString kRules = QStringLiteral(
    "[給与締日]\n20\n[過日修正可能日]\n25\n"
    "[始業時刻]\n09:00\n[終業時刻]\n18:00\n"
    "[所定勤務時間丸め]\n15\n[普通残業時間丸め]\n15\n[深夜残業時間丸め]\n15\n[早出残業時間丸め]"
    "\n15\n"
    "[普通残業開始時刻]\n18:00\n[普通残業終了時刻]\n22:00\n"
    "[深夜残業開始時刻]\n22:00\n[深夜残業終了時刻]\n29:00\n"
    "[早出残業開始時刻]\n07:00\n[早出残業終了時刻]\n09:00\n"
    "[所定勤務時間]\n480\n[残業対象時間]\n480\n"
    "[勤務時間別休憩時間]\n00:00-06:00 0\n06:01-08:00 45\n08:01-24:00 60\n"
    "[休日]\n日曜日\n祝祭日\n"
    "{ｼﾌﾄ}\nN\n[休日]\n月曜日\n");

class AttendanceTool : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        test::writeFile(dir_.filePath(u"TQ582.ini"_s), test::cp932Lines(kRules));
    }
    ToolRun run(const QStringList& args) { return runTool(dir_.path(), args); }
    QTemporaryDir dir_;
};

TEST_F(AttendanceTool, PeriodAndDayText) {
    struct Case {
        QStringList args;
        QString out;
    };
    const Case cases[] = {
        {{u"period"_s, u"--now"_s, u"2025/05/22 10:00:00"_s}, u"2025/04/21 2025/05/25\n"_s},
        {{u"period"_s, u"--now"_s, u"2025/05/28 10:00:00"_s}, u"2025/05/21 2025/06/20\n"_s},
        {{u"daytext"_s, u"--date"_s, u"2024/06/09"_s}, u"日休\n"_s},
        {{u"daytext"_s, u"--date"_s, u"2024/05/03"_s}, u"金休\n"_s},
        {{u"daytext"_s, u"--shift"_s, u"N"_s, u"--date"_s, u"2024/06/10"_s}, u"月休\n"_s},
        {{u"daytext"_s, u"--shift"_s, u"N"_s, u"--date"_s, u"2024/06/09"_s}, u"日\n"_s},
        {{u"daytext"_s, u"--shift"_s, u"Z"_s, u"--date"_s, u"2024/06/09"_s}, u"日休\n"_s},
        {{u"daytext"_s, u"--shift"_s, u""_s, u"--date"_s, u"2024/06/10"_s}, u"月\n"_s},
    };
    for (const Case& c : cases) {
        const ToolRun r = run(c.args);
        const std::string name = c.args.join(u' ').toStdString();
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err.toStdString();
        EXPECT_EQ(r.out, c.out) << name;
    }
}

TEST_F(AttendanceTool, CalcPrintsFiguresThenTotals) {
    ToolRun r =
        run({u"calc"_s, u"--date"_s, u"2024/06/10"_s, u"--in"_s, u"855"_s, u"--out"_s, u"1937"_s,
             u"--in-stamp"_s, u"2024/06/10 08:55:03"_s, u"--now"_s, u"2024/06/30 12:00:00"_s});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n');
    ASSERT_EQ(lines.size(), 1 + 24 + 9 + 1) << r.out.toStdString();  // ends with a line break
    EXPECT_EQ(lines[0],
              u"06/10\t月\t\t\t勤務\t8:55\t19:37\t10:42\t1:00\t8:00\t1:30\t\t\t9:30\t\t"
              u"2024/06/10 08:55:03\t"_s);
    const QStringList totals = lines.mid(1, 33);
    EXPECT_EQ(totals,
              (QStringList{u"all.days=1"_s,        u"all.休憩=60"_s,       u"all.所定=480"_s,
                           u"all.残業=90"_s,       u"all.深夜=0"_s,        u"all.早出=0"_s,
                           u"all.勤務=642"_s,      u"all.実働=570"_s,      u"ordinary.days=1"_s,
                           u"ordinary.休憩=60"_s,  u"ordinary.所定=480"_s, u"ordinary.残業=90"_s,
                           u"ordinary.深夜=0"_s,   u"ordinary.早出=0"_s,   u"ordinary.勤務=642"_s,
                           u"ordinary.実働=570"_s, u"rest.days=0"_s,       u"rest.休憩=0"_s,
                           u"rest.所定=0"_s,       u"rest.残業=0"_s,       u"rest.深夜=0"_s,
                           u"rest.早出=0"_s,       u"rest.勤務=0"_s,       u"rest.実働=0"_s,
                           u"遅早回数=0"_s,        u"遅早時間=0"_s,        u"欠勤=0"_s,
                           u"有給休暇=0"_s,        u"私傷休暇=0"_s,        u"公傷休暇=0"_s,
                           u"特別休暇=0"_s,        u"代替休暇=0"_s,        u"代替出勤=0"_s}));
    EXPECT_EQ(lines.last(), QString());

    // Without overtime calculation, on the night shift's rest day, with a declared state.
    r = run({u"calc"_s, u"--date"_s, u"2024/06/10"_s, u"--shift"_s, u"N"_s, u"--state"_s,
             u"代替勤務(06/16)"_s, u"--in"_s, u"900"_s, u"--out"_s, u"1937"_s, u"--no-overtime"_s,
             u"--now"_s, u"2024/06/30 12:00:00"_s});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList night = r.out.split(u'\n');
    EXPECT_EQ(night.value(0),
              u"06/10\t月休\tN\t\t代替勤務(06/16)\t9:00\t19:37\t10:37"_s + QString(9, u'\t'))
        << "shift N has no working hours of its own: nothing is scheduled";
    EXPECT_TRUE(night.contains(u"rest.days=1"_s)) << r.out.toStdString();
    EXPECT_TRUE(night.contains(u"rest.勤務=637"_s)) << r.out.toStdString();
    EXPECT_TRUE(night.contains(u"代替出勤=1"_s)) << r.out.toStdString();
}

TEST_F(AttendanceTool, CalcWithoutRecord) {
    struct Case {
        const char* name;
        QStringList extra;
        QString state;
    };
    const Case cases[] = {
        {"past working day", {}, u"？？"_s},
        {"before joining", {u"--joined"_s, u"2024/06/11"_s}, QString()},
        {"after leaving", {u"--left"_s, u"2024/06/09"_s}, QString()},
        {"on the leaving day", {u"--left"_s, u"2024/06/10"_s}, u"？？"_s},
    };
    for (const Case& c : cases) {
        const ToolRun r =
            run(QStringList{u"calc"_s, u"--date"_s, u"2024/06/10"_s, u"--no-record"_s, u"--in"_s,
                            u"900"_s, u"--now"_s, u"2024/06/30 12:00:00"_s} +
                c.extra);
        ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.err.toStdString();
        const QString expected = u"06/10\t月\t\t\t"_s + c.state + QString(12, u'\t');
        EXPECT_EQ(r.out.split(u'\n').value(0), expected) << c.name;
        EXPECT_TRUE(r.out.contains(u"all.days=0\n"_s)) << c.name;
    }
}

TEST_F(AttendanceTool, BadArgumentsExitWithUsage) {
    const QStringList cases[] = {
        {u"calc"_s},
        {u"calc"_s, u"--date"_s, u"2024/13/01"_s},
        {u"calc"_s, u"--date"_s, u"2024/06/10"_s, u"--in"_s, u"9:00"_s},
        {u"calc"_s, u"--date"_s, u"2024/06/10"_s, u"--joined"_s, u"soon"_s},
        {u"calc"_s, u"--date"_s, u"2024/06/10"_s, u"--now"_s, u"yesterday"_s},
        {u"calc"_s, u"--date"_s, u"2024/06/10"_s, u"--colour"_s},
        {u"period"_s, u"--now"_s},
        {u"period"_s, u"extra"_s},
        {u"daytext"_s},
    };
    for (const QStringList& args : cases) {
        const ToolRun r = run(args);
        const std::string name = args.join(u' ').toStdString();
        EXPECT_EQ(r.exitCode, 2) << name;
        EXPECT_TRUE(r.out.isEmpty()) << name << ": " << r.out.toStdString();
        EXPECT_FALSE(r.err.isEmpty()) << name;
    }
}

TEST_F(AttendanceTool, MissingSettingsFile) {
    ASSERT_TRUE(QFile::remove(dir_.filePath(u"TQ582.ini"_s)));
    const ToolRun r = run({u"daytext"_s, u"--date"_s, u"2024/06/10"_s});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains(u"TQ582.ini"_s)) << r.err.toStdString();
}

TEST_F(AttendanceTool, IniOptionNamesTheSettingsFile) {
    test::writeFile(dir_.filePath(u"other.ini"_s),
                    test::cp932Lines(u"[給与締日]\n末日\n[過日修正可能日]\n5\n"_s));
    const ToolRun r =
        run({u"period"_s, u"--ini"_s, u"other.ini"_s, u"--now"_s, u"2025/05/03 08:00:00"_s});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, u"2025/04/01 2025/05/05\n"_s);
}

}  // namespace
}  // namespace tq

#endif  // TQ582CTL_PATH
