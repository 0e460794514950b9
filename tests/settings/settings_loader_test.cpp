#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "common/text.h"
#include "settings_support.h"

using namespace tq;
using namespace tq::test;

TEST(LoadSettings, BlocksKeysAndValues) {
    const auto loaded =
        loadText(QStringLiteral("#common rules\n"
                                "[給与締日]\n"
                                "末日\n"
                                "[始業時刻]\n"
                                "08:00\n"
                                "{ｼﾌﾄ}\n"
                                "A\n"
                                "[始業時刻]\n"
                                "08:30\n"
                                "[終業時刻]\n"
                                "17:30\n"
                                "[休憩時刻]\n"
                                "12:00-13:00\n"));
    const Settings& s = loaded.settings;
    EXPECT_EQ(s.shiftCodes, QStringList({QString(), QStringLiteral("A")}));
    EXPECT_EQ(s.給与締日, QStringLiteral("末日"));
    EXPECT_EQ(s.rules(0).始業時刻, QStringLiteral("08:00"));
    EXPECT_EQ(s.rules(1).始業時刻, QStringLiteral("08:30"));
    EXPECT_EQ(s.rules(1).終業時刻, QStringLiteral("17:30"));
    EXPECT_TRUE(s.rules(0).終業時刻.isEmpty()) << "a block never inherits or lends values";
    EXPECT_EQ(s.rules(1).休憩時刻, QStringList({QStringLiteral("12:00-13:00")}));
    EXPECT_EQ(s.shiftIndex(QStringLiteral("A")), 1);
    EXPECT_TRUE(loaded.warnings.empty()) << describe(loaded.warnings);
    EXPECT_EQ(loaded.origins.shifts[1].blockLine, 6);
    EXPECT_EQ(loaded.origins.shifts[1].codeLine, 7);
    EXPECT_EQ(loaded.origins.shifts[1].singleLines[0], 9);
    EXPECT_EQ(loaded.origins.給与締日Line, 3);

    const auto none = loadText(QStringLiteral("[始業時刻]\n09:00\n"));
    EXPECT_EQ(none.settings.shiftCodes, QStringList({QString()}))
        << "no shift block: only the empty item";

    const auto empty = LoadSettings(QByteArray());
    EXPECT_EQ(empty.settings.shiftCodes, QStringList({QString()})) << "an empty file";
    EXPECT_EQ(empty.lineCount, 0);
}

TEST(LoadSettings, LineRulesAndTheirPitfalls) {
    const auto loaded =
        loadText(QStringLiteral("stray value\n"                // 1: before any key
                                "[始業時刻]\n"                 // 2
                                "０８：３０\n"                 // 3: full-width digits and colon
                                "[所定勤務時間]\n"             // 4
                                "480\n"                        // 5
                                "  ＃ comment after blanks\n"  // 6: stored as a value
                                "＃ full-width comment\n"      // 7: a comment once narrowed
                                "# plain comment\n"            // 8
                                "[休日]\n"                     // 9
                                "日曜日\n"                     // 10
                                " [例外出勤日]\n"              // 11: a value of [休日]
                                "０１／０１\n"                 // 12
                                "[始業時間]\n"                 // 13: unknown key
                                "09:00\n"                      // 14: ignored
                                "［終業時刻］\n"               // 15: full-width brackets make a key
                                "  18:00  \n"                  // 16: trimmed
                                "[フレックスコア開始時刻]\n"   // 17: full-width katakana in the key
                                "10:00\n"                      // 18
                                "   \t\n"                      // 19: blank
                                "[遅刻早退処理]\n"             // 20
                                "合算\n"));                    // 21
    const ShiftRules& r = loaded.settings.rules(0);
    EXPECT_EQ(r.始業時刻, QStringLiteral("08:30")) << "full-width digits become ASCII";
    EXPECT_EQ(r.所定勤務時間, QStringLiteral("# comment after blanks"))
        << "a comment after blanks is a value; the second value replaces the first";
    EXPECT_EQ(r.休日, QStringList({QStringLiteral("日曜日"), QStringLiteral("[例外出勤日]"),
                                   QStringLiteral("01/01")}))
        << "a key after a blank is a value line";
    EXPECT_TRUE(r.例外出勤日.isEmpty());
    EXPECT_EQ(r.終業時刻, QStringLiteral("18:00"));
    EXPECT_EQ(r.フレックスコア開始時刻, QStringLiteral("10:00"));
    EXPECT_EQ(r.遅刻早退処理, QStringLiteral("合算"));
    for (const QString& v : {QStringLiteral("stray value"), QStringLiteral("09:00")}) {
        for (const SingleKey& key : kSingleKeys) {
            if (key.name != u"[始業時刻]") {
                EXPECT_NE(r.*(key.member), v)
                    << "ignored value stored under " << key.name.toString().toStdString();
            }
        }
    }

    const auto& w = loaded.warnings;
    EXPECT_EQ(countWarnings(w, 1, QString(), QStringLiteral("before any key")), 1) << describe(w);
    EXPECT_EQ(countWarnings(w, 6, QStringLiteral("[所定勤務時間]"),
                            QStringLiteral("not skipped as a comment")),
              1)
        << describe(w);
    EXPECT_EQ(countWarnings(w, 6, QStringLiteral("[所定勤務時間]"),
                            QStringLiteral("replaces \"480\" of line 5")),
              1)
        << describe(w);
    EXPECT_EQ(countWarnings(w, 11, QStringLiteral("[休日]"), QStringLiteral("not read as a key")),
              1)
        << describe(w);
    EXPECT_EQ(countWarnings(w, 13, QStringLiteral("[始業時間]"), QStringLiteral("unknown key")), 1)
        << describe(w);
    EXPECT_EQ(w.size(), 5u) << describe(w);
}

TEST(LoadSettings, ShiftBlocks) {
    const auto loaded =
        loadText(QStringLiteral("[始業時刻]\n"
                                "08:00\n"
                                "[休日]\n"
                                "日曜日\n"
                                "｛シフト｝\n"  // full-width braces and katakana
                                "Ｂ\n"          // narrowed code
                                "09:00\n"       // the key was cleared
                                "[休日]\n"
                                "土曜日\n"
                                "  {ｼﾌﾄ}  \n"
                                "[始業時刻]\n"  // a code line, never a key
                                "10:00\n"
                                "[給与締日]\n"
                                "15\n"));
    const Settings& s = loaded.settings;
    EXPECT_EQ(s.shiftCodes,
              QStringList({QString(), QStringLiteral("B"), QStringLiteral("[始業時刻]")}));
    EXPECT_EQ(s.rules(0).始業時刻, QStringLiteral("08:00"));
    EXPECT_TRUE(s.rules(1).始業時刻.isEmpty());
    EXPECT_TRUE(s.rules(2).始業時刻.isEmpty());
    EXPECT_EQ(s.rules(0).休日, QStringList({QStringLiteral("日曜日")}));
    EXPECT_EQ(s.rules(1).休日, QStringList({QStringLiteral("土曜日")})) << "lists start empty";
    EXPECT_EQ(s.給与締日, QStringLiteral("15")) << "site values are read in any block";
    EXPECT_EQ(countWarnings(loaded.warnings, 7, QString(), QStringLiteral("before any key")), 1)
        << describe(loaded.warnings);
    EXPECT_EQ(countWarnings(loaded.warnings, 12, QString(), QStringLiteral("before any key")), 1)
        << describe(loaded.warnings);
}

TEST(LoadSettings, RepeatedKeysAndSiteValues) {
    const auto loaded =
        loadText(QStringLiteral("[休日]\n"
                                "日曜日\n"
                                "土曜日\n"
                                "祝祭日\n"
                                "[始業時刻]\n"
                                "08:00\n"
                                "[休日]\n"
                                "12/31\n"
                                "[例外出勤日]\n"
                                "05/05\n"
                                "[例外出勤日]\n"
                                "[始業時刻]\n"
                                "09:00\n"
                                "[給与締日]\n"
                                "20\n"
                                "{ｼﾌﾄ}\n"
                                "A\n"
                                "[給与締日]\n"
                                "末日\n"));
    const ShiftRules& r = loaded.settings.rules(0);
    EXPECT_EQ(r.休日, QStringList({QStringLiteral("12/31")})) << "a repeated key restarts its list";
    EXPECT_TRUE(r.例外出勤日.isEmpty()) << "a repeated key with no entries leaves the list empty";
    EXPECT_EQ(r.始業時刻, QStringLiteral("09:00")) << "the later value replaces the earlier";
    EXPECT_EQ(loaded.settings.給与締日, QStringLiteral("末日")) << "the last site value wins";
    EXPECT_EQ(loaded.origins.shifts[0].listLines[0], std::vector<int>({8}));
    EXPECT_EQ(countWarnings(loaded.warnings, 13, QStringLiteral("[始業時刻]"),
                            QStringLiteral("replaces \"08:00\" of line 6")),
              1)
        << describe(loaded.warnings);
    EXPECT_EQ(countWarnings(loaded.warnings, 19, QStringLiteral("[給与締日]"),
                            QStringLiteral("replaces \"20\" of line 15")),
              1)
        << describe(loaded.warnings);
}

TEST(LoadSettings, LimitsOfBlocksAndLists) {
    QString text = QStringLiteral("[休日]\n");
    for (int i = 1; i <= 368; ++i) {  // lines 2..369
        text += QStringLiteral("d%1\n").arg(i);
    }
    text += QStringLiteral("[休憩時刻]\n");  // line 370
    for (int i = 1; i <= 25; ++i) {          // lines 371..395
        text += QStringLiteral("12:00-12:%1\n").arg(i, 2, 10, QLatin1Char('0'));
    }
    text += QStringLiteral("[休日]\nagain\n");  // 396, 397: a fresh list
    for (int k = 1; k <= 29; ++k) {             // six lines each, from line 398
        const QString site = k < 27 ? QStringLiteral("[終業時刻]") : QStringLiteral("[給与締日]");
        text += QStringLiteral("{ｼﾌﾄ}\n%1\n[始業時刻]\n%2:00\n%3\n%2\n")
                    .arg(QChar(static_cast<char16_t>(u'@' + k)))
                    .arg(k)
                    .arg(site);
    }
    const auto loaded = loadText(text);
    const Settings& s = loaded.settings;
    const auto& w = loaded.warnings;
    EXPECT_EQ(s.rules(0).休日, QStringList({QStringLiteral("again")}));
    EXPECT_EQ(s.rules(0).休憩時刻.size(), 24);
    EXPECT_EQ(s.rules(0).休憩時刻.last(), QStringLiteral("12:00-12:24"));
    EXPECT_EQ(countWarnings(w, 368, QStringLiteral("[休日]"), QStringLiteral("entry 367 ")), 1)
        << describe(w);
    EXPECT_EQ(countWarnings(w, 369, QStringLiteral("[休日]"), QStringLiteral("entry 368 ")), 1);
    EXPECT_EQ(countWarnings(w, 395, QStringLiteral("[休憩時刻]"), QStringLiteral("entry 25 ")), 1)
        << describe(w);

    ASSERT_EQ(s.shiftCodes.size(), 28) << "at most 27 shift blocks";
    EXPECT_EQ(s.shiftCodes[27], QStringLiteral("["));
    EXPECT_EQ(s.rules(27).始業時刻, QStringLiteral("27:00"));
    EXPECT_EQ(s.給与締日, QStringLiteral("27")) << "the lines of an ignored block are ignored";
    const int block28 = 398 + 27 * 6;
    EXPECT_EQ(countWarnings(w, block28, QString(), QStringLiteral("shift block 28 (code \"\\\")")),
              1)
        << describe(w);
    EXPECT_EQ(countWarnings(w, block28 + 6, QString(), QStringLiteral("shift block 29 ")), 1);
    EXPECT_EQ(w.size(), 5u) << describe(w);
}

TEST(LoadSettings, ShiftLineAsTheLastLineAddsNoShift) {
    for (const char* tail : {"{ｼﾌﾄ}\n", "{ｼﾌﾄ}", "｛シフト｝\n"}) {
        const auto loaded =
            loadText(QStringLiteral("[始業時刻]\n09:00\n") + QString::fromUtf8(tail));
        EXPECT_EQ(loaded.settings.shiftCodes, QStringList({QString()})) << tail;
        ASSERT_EQ(loaded.warnings.size(), 1u) << tail;
        EXPECT_EQ(loaded.warnings[0].line, 3) << tail;
        EXPECT_TRUE(loaded.warnings[0].message.contains(QStringLiteral("last line"))) << tail;
    }
}

TEST(LoadSettings, EncodingsAndLineEnds) {
    const QString text = QStringLiteral(
        "[始業時刻]\r\n０８：３０\r\n[休日]\r\n第２・第４土曜日\r\n{ｼﾌﾄ}\r\nＡ\r\n"
        "[遅刻早退処理]\r\n合算\r\n");
    struct Case {
        const char* name;
        QByteArray bytes;
        FileEncoding encoding;
    };
    QString lf = text;
    lf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const Case cases[] = {
        {"CP932", encodeSiteText(text, FileEncoding::Cp932), FileEncoding::Cp932},
        {"UTF-8", encodeSiteText(text, FileEncoding::Utf8), FileEncoding::Utf8},
        {"UTF-8 with BOM", encodeSiteText(text, FileEncoding::Utf8WithBom),
         FileEncoding::Utf8WithBom},
        {"CP932 with LF", encodeSiteText(lf, FileEncoding::Cp932), FileEncoding::Cp932},
    };
    for (const Case& c : cases) {
        const auto loaded = LoadSettings(c.bytes);
        EXPECT_EQ(loaded.encoding, c.encoding) << c.name;
        EXPECT_EQ(loaded.settings.rules(0).始業時刻, QStringLiteral("08:30")) << c.name;
        EXPECT_EQ(loaded.settings.rules(0).休日.value(0), QStringLiteral("第2･第4土曜日"))
            << c.name;
        EXPECT_EQ(loaded.settings.shiftCodes.value(1), QStringLiteral("A")) << c.name;
        EXPECT_EQ(loaded.settings.rules(1).遅刻早退処理, QStringLiteral("合算")) << c.name;
        EXPECT_EQ(loaded.lineCount, 8) << c.name;
    }
}

TEST(LoadSettingsFile, ChoosesTheFileAndReportsAMissingOne) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    const auto none = LoadSettingsFile(dir.path(), QString(), &error);
    EXPECT_FALSE(none.has_value());
    EXPECT_TRUE(error.contains(QStringLiteral("TQ582.ini"))) << error.toStdString();

    error.clear();
    EXPECT_FALSE(LoadSettingsFile(dir.path(), QStringLiteral("other.ini"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("other.ini"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("TQ582.ini"))) << error.toStdString();

    writeFile(dir.filePath(QStringLiteral("TQ582.ini")),
              cp932Lines(QStringLiteral("[始業時刻]\n09:00\n[終業時刻]\n18:00\n")));
    writeFile(dir.filePath(QStringLiteral("other.ini")),
              cp932Lines(QStringLiteral("[始業時刻]\n10:00\n")));
    const auto fallback = LoadSettingsFile(dir.path(), QStringLiteral("missing.ini"), nullptr);
    ASSERT_TRUE(fallback.has_value());
    EXPECT_EQ(fallback->settings.rules(0).始業時刻, QStringLiteral("09:00"));
    EXPECT_EQ(fallback->filePath, dir.filePath(QStringLiteral("TQ582.ini")));

    const auto named = LoadSettingsFile(dir.path(), QStringLiteral("other.ini"), nullptr);
    ASSERT_TRUE(named.has_value());
    EXPECT_EQ(named->settings.rules(0).始業時刻, QStringLiteral("10:00"));
    EXPECT_TRUE(named->settings.rules(0).終業時刻.isEmpty())
        << "each load starts from empty tables";
}

TEST(LoadSettingsFile, DemoSiteLoads) {
    const auto loaded =
        LoadSettingsFile(QStringLiteral(TQ582_SOURCE_DIR "/site/TQ582"), QString(), nullptr);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->encoding, FileEncoding::Cp932);
    const Settings& s = loaded->settings;
    EXPECT_EQ(s.shiftCodes, QStringList({QString(), QStringLiteral("A"), QStringLiteral("B"),
                                         QStringLiteral("C")}));
    EXPECT_EQ(s.給与締日, QStringLiteral("20"));
    EXPECT_EQ(s.過日修正可能日, QStringLiteral("25"));
    EXPECT_EQ(s.rules(s.shiftIndex(QStringLiteral("C"))).終業時刻, QStringLiteral("31:00"));
    EXPECT_EQ(s.rules(s.shiftIndex(QStringLiteral("B"))).始業時刻, QStringLiteral("07:00"));
    EXPECT_TRUE(s.rules(0).休日.contains(QStringLiteral("第2･第4土曜日")));
    for (int k = 0; k <= 3; ++k) {
        for (const SingleKey& key : kSingleKeys) {
            EXPECT_FALSE((s.rules(k).*(key.member)).isEmpty())
                << "shift " << k << " " << key.name.toString().toStdString();
        }
    }
}

TEST(LoadSettings, HugeFilesKeepWhatTheLimitsAllowAndOnlyCountTheRest) {
    // Several pieces of the reader: lines of two-byte characters cross every piece boundary.
    QString text = QStringLiteral("[始業時刻]\n09:00\n[休日]\n");
    for (int i = 0; i < 400; ++i) {
        text += QStringLiteral("12/29\n");
    }
    const int repeats = 150'000;
    for (int i = 0; i < repeats; ++i) {
        text += QStringLiteral("[給与締日]\n２０日\n");
    }
    text += QStringLiteral("[給与締日]\n２５\n");
    const QByteArray bytes = cp932Lines(text);
    ASSERT_GT(bytes.size(), 2 * 1024 * 1024);
    const LoadedSettings loaded = LoadSettings(bytes);
    EXPECT_EQ(loaded.lineCount, 3 + 400 + 2 * repeats + 2);
    EXPECT_EQ(loaded.settings.rules(0).始業時刻, QStringLiteral("09:00"));
    EXPECT_EQ(loaded.settings.rules(0).休日.size(), 366);
    EXPECT_EQ(loaded.settings.給与締日, QStringLiteral("25"));
    EXPECT_EQ(loaded.origins.給与締日Line, loaded.lineCount);
    // 34 surplus rest days and 150,000 repeats: the first thousand warnings in full, then one
    // line that counts the rest.
    ASSERT_EQ(loaded.warnings.size(), 1001u);
    EXPECT_EQ(loaded.warnings.back().message,
              QStringLiteral("%1 more warnings of the same kinds are not listed")
                  .arg(34 + repeats - 1000));
    EXPECT_EQ(loaded.warnings[34].line, 3 + 400 + 4);  // the first value given again
}

TEST(LoadSettings, FilesThatYieldNoRulesAtAllAreNamed) {
    const QByteArray utf16(
        "\xff\xfe[\0X\0]\0\r\0\n\0"
        "1\0",
        14);
    for (const QByteArray& bytes : {QByteArray(), QByteArray("\r\n\r\n# only a comment\r\n"), utf16,
                                    QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)}) {
        const auto warning = NoRulesWarning(LoadSettings(bytes));
        ASSERT_TRUE(warning.has_value()) << bytes.toHex().toStdString();
        EXPECT_TRUE(warning->contains(QStringLiteral("TQ582.ini")));
    }
    EXPECT_FALSE(NoRulesWarning(LoadSettings(QByteArray("[給与締日]\r\n20\r\n"))).has_value());
    EXPECT_FALSE(NoRulesWarning(LoadSettings(QByteArray("{\xBC\xCC\xC4}\r\nA\r\n"))).has_value())
        << "a shift block alone is a rule";
}
