#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "settings/settings_check.h"
#include "settings_support.h"

using namespace tq;
using namespace tq::test;

namespace {

// A block with every value well formed; tests change single lines of it.
QString cleanBlock() {
    return QStringLiteral(
        "[始業時刻]\n09:00\n[終業時刻]\n18:00\n[所定勤務時間]\n480\n[残業対象時間]\n480\n"
        "[普通残業開始時刻]\n18:00\n[普通残業終了時刻]\n22:00\n"
        "[深夜残業開始時刻]\n22:00\n[深夜残業終了時刻]\n29:00\n"
        "[早出残業開始時刻]\n07:00\n[早出残業終了時刻]\n09:00\n"
        "[所定勤務時間丸め]\n15\n[普通残業時間丸め]\n15\n[深夜残業時間丸め]\n15\n"
        "[早出残業時間丸め]\n15\n");
}

struct Expected {
    int line;
    const char16_t* key;
    const char16_t* part;
};

void expectWarnings(const QString& text, std::initializer_list<Expected> expected) {
    const auto loaded = loadText(text);
    const auto warnings = SettingsCheckWarnings(loaded);
    for (const Expected& e : expected) {
        EXPECT_EQ(
            countWarnings(warnings, e.line, QString::fromUtf16(e.key), QString::fromUtf16(e.part)),
            1)
            << "line " << e.line << " " << QString::fromUtf16(e.part).toStdString() << "\n"
            << describe(warnings);
    }
    EXPECT_EQ(warnings.size(), expected.size()) << describe(warnings);
}

}  // namespace

TEST(CheckSettings, TimeReading) {
    struct Case {
        const char* text;
        std::optional<int> minutes;
    };
    const Case cases[] = {{"08:30", 510},         {"8:30", 510},         {"29:00", 1740},
                          {"00:00", 0},           {"8:3", std::nullopt}, {"08:60", std::nullopt},
                          {"0830", std::nullopt}, {"", std::nullopt}};
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsTimeMinutes(QString::fromUtf8(c.text)), c.minutes) << c.text;
    }
}

TEST(CheckSettings, CleanFileHasNoWarnings) {
    // A night shift: times past midnight written past 24:00, no late-night band of its own.
    QString night = cleanBlock();
    for (const auto& [from, to] :
         {std::pair{u"09:00\n[終業時刻]\n18:00", u"22:00\n[終業時刻]\n31:00"},
          std::pair{u"18:00\n[普通残業終了時刻]\n22:00", u"31:00\n[普通残業終了時刻]\n34:00"},
          std::pair{u"22:00\n[深夜残業終了時刻]\n29:00", u"29:00\n[深夜残業終了時刻]\n29:00"},
          std::pair{u"07:00\n[早出残業終了時刻]\n09:00", u"20:00\n[早出残業終了時刻]\n22:00"}}) {
        ASSERT_TRUE(night.contains(QString::fromUtf16(from)));
        night.replace(QString::fromUtf16(from), QString::fromUtf16(to));
    }
    const QString text = QStringLiteral("[給与締日]\n20\n[過日修正可能日]\n末日\n") + cleanBlock() +
                         QStringLiteral(
                             "[休日]\n日曜日\n第2・第4土曜日\n祝祭日\n12/29\n02/29\n"
                             "[例外出勤日]\n05/05\n[勤務時間別休憩時間]\n"
                             "00:00-06:00 0\n06:01-08:00 45\n08:01-24:00 60\n"
                             "{ｼﾌﾄ}\nN\n") +
                         night + QStringLiteral("[休憩時刻]\n26:00-27:00\n");
    const auto loaded = loadText(text);
    ASSERT_EQ(loaded.settings.rules(1).終業時刻, QStringLiteral("31:00"));
    const auto warnings = SettingsCheckWarnings(loaded);
    EXPECT_TRUE(warnings.empty()) << describe(warnings);
}

TEST(CheckSettings, RoundingUnitsAndMinutes) {
    // Lines 1-2 closing days, 3.. the block.
    QString text = QStringLiteral("[給与締日]\n末日\n[過日修正可能日]\n25\n") + cleanBlock();
    text.replace(QStringLiteral("[所定勤務時間丸め]\n15"), QStringLiteral("[所定勤務時間丸め]\n0"));
    text.replace(QStringLiteral("[普通残業時間丸め]\n15"),
                 QStringLiteral("[普通残業時間丸め]\n-15"));
    text.replace(QStringLiteral("[深夜残業時間丸め]\n15"),
                 QStringLiteral("[深夜残業時間丸め]\nabc"));
    text.replace(QStringLiteral("[早出残業時間丸め]\n15"),
                 QStringLiteral("[早出残業時間丸め]\n7.5"));
    text.replace(QStringLiteral("[所定勤務時間]\n480"), QStringLiteral("[所定勤務時間]\n8時間"));
    text.replace(QStringLiteral("[残業対象時間]\n480"), QStringLiteral("[残業対象時間]\n480分"));
    expectWarnings(
        text, {
                  {10, u"[所定勤務時間]", u"\"8時間\" is not a number of minutes: it reads as 8"},
                  {12, u"[残業対象時間]", u"it reads as 480"},
                  {26, u"[所定勤務時間丸め]", u"\"0\" is zero: counts as 1 minute"},
                  {28, u"[普通残業時間丸め]", u"is negative: counts as 1 minute"},
                  {30, u"[深夜残業時間丸め]", u"is not a number: counts as 1 minute"},
                  {32, u"[早出残業時間丸め]", u"not a whole number of minutes: it reads as 7"},
              });
}

TEST(CheckSettings, MissingValuesOfABlock) {
    // Shift "X" has only a start time: its end and its four rounding units are missing.
    const QString text = QStringLiteral("[給与締日]\n20\n[過日修正可能日]\n5\n") + cleanBlock() +
                         QStringLiteral("{ｼﾌﾄ}\nX\n[始業時刻]\n09:00\n");
    const int block = 5 + 28;
    expectWarnings(
        text, {
                  {block, u"[終業時刻]", u"shift \"X\": missing: the calculation reads it as 0"},
                  {block, u"[所定勤務時間丸め]", u"missing: counts as 1 minute"},
                  {block, u"[普通残業時間丸め]", u"missing: counts as 1 minute"},
                  {block, u"[深夜残業時間丸め]", u"missing: counts as 1 minute"},
                  {block, u"[早出残業時間丸め]", u"missing: counts as 1 minute"},
              });
}

TEST(CheckSettings, PayrollDays) {
    struct Case {
        const char* closing;
        const char16_t* part;  // nullptr: no warning
    };
    const Case cases[] = {
        {"末日", nullptr},
        {"28", nullptr},
        {"0", u"\"0\" is no day of a month: treated as \"末日\""},
        {"-3", u"is no day of a month: treated as \"末日\""},
        {"月末", u"is neither a day number nor \"末日\": treated as \"末日\""},
        {"20日", u"\"20日\" is not a plain day number: it reads as 20"},
        {"31", u"beyond the end of shorter months"},
        {"45", u"beyond the end of every month"},
    };
    for (const Case& c : cases) {
        const QString text = QStringLiteral("[給与締日]\n%1\n[過日修正可能日]\n末日\n")
                                 .arg(QString::fromUtf8(c.closing)) +
                             cleanBlock();
        const auto warnings = SettingsCheckWarnings(loadText(text));
        if (!c.part) {
            EXPECT_TRUE(warnings.empty()) << c.closing << "\n" << describe(warnings);
            continue;
        }
        ASSERT_EQ(warnings.size(), 1u) << c.closing << "\n" << describe(warnings);
        EXPECT_EQ(warnings[0].line, 2) << c.closing;
        EXPECT_EQ(warnings[0].key, QStringLiteral("[給与締日]")) << c.closing;
        EXPECT_TRUE(warnings[0].message.contains(QString::fromUtf16(c.part)))
            << c.closing << ": " << warnings[0].message.toStdString();
    }
    // Neither site value given: both count as "末日", reported after the lines.
    const auto warnings = SettingsCheckWarnings(loadText(cleanBlock()));
    ASSERT_EQ(warnings.size(), 2u) << describe(warnings);
    EXPECT_EQ(warnings[0].line, 0);
    EXPECT_EQ(warnings[1].key, QStringLiteral("[過日修正可能日]"));
    EXPECT_TRUE(warnings[1].message.contains(QStringLiteral("missing: treated as \"末日\"")));
}

TEST(CheckSettings, LeaveDutyWarningDays) {
    struct Case {
        const char* lines;     // after the site values and a clean common block
        const char16_t* part;  // nullptr: no warning
        int days;              // as the terminal reads it
    };
    const Case cases[] = {
        {"", nullptr, 60},
        {"[有給取得義務警告日数]\n30\n", nullptr, 30},
        {"[有給取得義務警告日数]\n0\n", nullptr, 0},
        {"[有給取得義務警告日数]\n三十\n", u"\"三十\" is not a whole number of days: 60 is used",
         60},
        {"[有給取得義務警告日数]\n-1\n", u"is not a whole number of days", 60},
        {"{ｼﾌﾄ}\nA\n[有給取得義務警告日数]\n45\n", u"read in the common block only: ignored", 60},
    };
    for (const Case& c : cases) {
        QString text = QStringLiteral("[給与締日]\n20\n[過日修正可能日]\n25\n") + cleanBlock() +
                       QString::fromUtf8(c.lines);
        if (text.contains(QStringLiteral("{ｼﾌﾄ}"))) {
            text += cleanBlock();  // a shift block of its own rules
        }
        const LoadedSettings loaded = loadText(text);
        EXPECT_EQ(loaded.settings.dutyWarningDays().value_or(60), c.days) << c.lines;
        const auto warnings = SettingsCheckWarnings(loaded);
        if (!c.part) {
            EXPECT_TRUE(warnings.empty()) << c.lines << "\n" << describe(warnings);
            continue;
        }
        ASSERT_EQ(warnings.size(), 1u) << c.lines << "\n" << describe(warnings);
        EXPECT_EQ(warnings[0].key, QStringLiteral("[有給取得義務警告日数]"));
        EXPECT_GT(warnings[0].line, 0);
        EXPECT_TRUE(warnings[0].message.contains(QString::fromUtf16(c.part)))
            << warnings[0].message.toStdString();
    }
}

TEST(CheckSettings, TimesListsAndShiftCodes) {
    const QString head = QStringLiteral("[給与締日]\n20\n[過日修正可能日]\n25\n") + cleanBlock();
    const int b = 5 + 28;  // the first line after the common block
    const QString text = head + QStringLiteral(
                                    "{ｼﾌﾄ}\n"                 // b
                                    "N\n"                     // b+1
                                    "[始業時刻]\n"            // b+2
                                    "8:30\n"                  // b+3: no leading zero
                                    "[終業時刻]\n"            // b+4
                                    "07:00\n"                 // b+5: before the start
                                    "[深夜残業開始時刻]\n"    // b+6
                                    "22:00\n"                 // b+7
                                    "[深夜残業終了時刻]\n"    // b+8
                                    "05:00\n"                 // b+9: before the band's start
                                    "[早出残業開始時刻]\n"    // b+10
                                    "7時\n"                   // b+11: not a time
                                    "[普通残業開始時刻]\n"    // b+12
                                    "18:75\n"                 // b+13: minutes above 59
                                    "[休日]\n"                // b+14
                                    "日曜\n"                  // b+15: matches nothing
                                    "1/3\n"                   // b+16: not mm/dd
                                    "13/01\n"                 // b+17: no such day
                                    "毎週土曜日\n"            // b+18: weekday with no week digit
                                    "第2土曜日\n"             // b+19: fine
                                    "[例外出勤日]\n"          // b+20
                                    "祝祭日\n"                // b+21: only for [休日]
                                    "[勤務時間別休憩時間]\n"  // b+22
                                    "6:01-8:00 45\n"          // b+23: columns shifted
                                    "08:01-24:00 1時間\n"     // b+24: length not a number
                                    "10:00-09:00 30\n"        // b+25: lower above upper
                                    "[休憩時刻]\n"            // b+26
                                    "13:00-12:00\n"           // b+27: ends before it starts
                                    "12:00\n"                 // b+28: too short
                                    "{ｼﾌﾄ}\n"                 // b+29
                                    "N\n"                     // b+30: code used before
                                    "{ｼﾌﾄ}\n"                 // b+31
                                    "NN\n"                    // b+32: too long
                                    "{ｼﾌﾄ}\n"                 // b+33
                                    "\n");                    // b+34: empty code line
    const auto loaded = loadText(text);
    auto warnings = SettingsCheckWarnings(loaded);
    struct Case {
        int line;
        const char16_t* key;
        const char16_t* part;
    };
    const Case cases[] = {
        {b + 3, u"[始業時刻]",
         u"\"8:30\" lacks the leading zero: it is compared as the time 08:30"},
        {b + 5, u"[終業時刻]", u"is not after [始業時刻] \"8:30\""},
        {b + 9, u"[深夜残業終了時刻]", u"(05:00 the next morning is 29:00)"},
        {b + 11, u"[早出残業開始時刻]", u"\"7時\" is not a time hh:mm: it reads as 7"},
        {b + 13, u"[普通残業開始時刻]", u"\"18:75\" is not a time hh:mm"},
        {b + 15, u"[休日]", u"\"日曜\" matches no day: write mm/dd, a weekday name or 祝祭日"},
        {b + 16, u"[休日]", u"\"1/3\" is not written mm/dd"},
        {b + 17, u"[休日]", u"\"13/01\" is no day of the year"},
        {b + 18, u"[休日]", u"no week digit"},
        {b + 21, u"[例外出勤日]", u"counts only in [休日]"},
        {b + 23, u"[勤務時間別休憩時間]", u"is not in the columns"},
        {b + 24, u"[勤務時間別休憩時間]",
         u"the break length \"1時間\" is not a number: it reads as 1"},
        {b + 25, u"[勤務時間別休憩時間]", u"covers no working length"},
        {b + 27, u"[休憩時刻]", u"ends before it starts"},
        {b + 28, u"[休憩時刻]", u"is not in the columns"},
        {b + 30, u"", u"also the code of the block at line "},
        {b + 32, u"", u"longer than one character"},
        {b + 34, u"", u"the shift code line is empty"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            countWarnings(warnings, c.line, QString::fromUtf16(c.key), QString::fromUtf16(c.part)),
            1)
            << "line " << c.line << ": " << QString::fromUtf16(c.part).toStdString() << "\n"
            << describe(warnings);
    }
    // Block 1 lacks its four rounding units, blocks 2 to 4 also their start and end times.
    EXPECT_EQ(warnings.size(), std::size(cases) + 4 + 3 * 6) << describe(warnings);
    for (size_t i = 1; i < warnings.size(); ++i) {
        if (warnings[i].line != 0) {
            EXPECT_LE(warnings[i - 1].line, warnings[i].line) << "warnings come in line order";
        }
    }
}

// ---------------------------------------------------------------------------------------
// tq582ctl check-settings, run as a program on files in a temporary site.

namespace {

using tq::test::ToolRun;

ToolRun runCheck(const QString& workingDir, const QStringList& args) {
    return tq::test::runTool(workingDir, QStringList{QStringLiteral("check-settings")} + args);
}

}  // namespace

TEST(CheckSettingsTool, ExitCodesAndWarningLines) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // No settings file: exit 2 with the file named on standard error.
    ToolRun r = runCheck(dir.path(), {});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("TQ582.ini"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();

    // A clean file: every value printed, exit 0.
    const QString clean = QStringLiteral("[給与締日]\n20\n[過日修正可能日]\n25\n") + cleanBlock() +
                          QStringLiteral("[休日]\n日曜日\n祝祭日\n{ｼﾌﾄ}\nA\n") + cleanBlock();
    writeFile(dir.filePath(QStringLiteral("TQ582.ini")), cp932Lines(clean));
    r = runCheck(dir.path(), {});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.value(0).startsWith(QStringLiteral("settings file: ")));
    EXPECT_TRUE(lines.value(0).endsWith(QStringLiteral("TQ582.ini (Shift_JIS)")))
        << lines.value(0).toStdString();
    for (const QString& expected :
         {QStringLiteral("shift codes: \"A\""), QStringLiteral("common block:"),
          QStringLiteral("  [始業時刻] = 09:00"), QStringLiteral("  [休日](2) = 祝祭日"),
          QStringLiteral("shift 1 \"A\" (line 36):"), QStringLiteral("site:"),
          QStringLiteral("  [給与締日] = 20"), QStringLiteral("  [過日修正可能日] = 25"),
          QStringLiteral("  [有給取得義務警告日数] = 60 (default)"),
          QStringLiteral("no warnings")}) {
        EXPECT_TRUE(lines.contains(expected)) << expected.toStdString() << "\n"
                                              << r.out.toStdString();
    }
    EXPECT_EQ(lines.count(QStringLiteral("  [深夜残業終了時刻] = 29:00")), 2);

    // Problems: one warning line each, exit 1.
    const QString faulty = QStringLiteral("[給与締日]\n0\n[過日修正可能日]\n25\n") + cleanBlock() +
                           QStringLiteral("[休日]\n") + QStringLiteral("日曜日\n").repeated(367) +
                           QStringLiteral("{ｼﾌﾄ}\n");
    writeFile(dir.filePath(QStringLiteral("bad.ini")), cp932Lines(faulty));
    r = runCheck(dir.path(), {QStringLiteral("--ini"), QStringLiteral("bad.ini")});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    const QStringList warningLines =
        r.out.split(u'\n').filter(QRegularExpression(QStringLiteral("^warning: ")));
    EXPECT_EQ(warningLines.size(), 3) << r.out.toStdString();
    EXPECT_EQ(warningLines.value(0),
              QStringLiteral("warning: line 2: [給与締日]: \"0\" is no day of a month: treated "
                             "as \"末日\" (the month's last day)"));
    EXPECT_TRUE(warningLines.contains(
        QStringLiteral("warning: line 400: [休日]: common block: entry 367 is beyond the 366 "
                       "entries the list may hold: ignored")))
        << r.out.toStdString();
    EXPECT_TRUE(warningLines.last().startsWith(
        QStringLiteral("warning: line 401: \"{ｼﾌﾄ}\" is the last line")))
        << warningLines.last().toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("3 warnings\n")));

    // A file named with --ini that does not exist is an error, not the working directory's.
    r = runCheck(dir.path(), {QStringLiteral("--ini"), QStringLiteral("typo.ini")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("typo.ini"))) << r.err.toStdString();

    r = runCheck(dir.path(), {QStringLiteral("--bogus")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--bogus"))) << r.err.toStdString();
}

TEST(CheckSettingsTool, DemoSiteIsClean) {
    const ToolRun r = runCheck(QStringLiteral(TQ582_SOURCE_DIR "/site/TQ582"), {});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("shift codes: \"A\" \"B\" \"C\"")))
        << r.out.toStdString();
}
