// The rules of the entry that need no database: the kinds of each mode, the value typed into
// `時刻`, and the date lists.

#include <gtest/gtest.h>

#include "../testsupport.h"
#include "common/datetime.h"
#include "requests/request_dates.h"
#include "requests/request_kinds.h"
#include "requests/request_value.h"
#include "settings/settings.h"

namespace tq::test {
namespace {

TEST(RequestKinds, RequestModeOmitsUnannouncedAbsenceAndKeepsTableOrder) {
    const QStringList all = RequestKinds(RequestMode::Correction);
    ASSERT_EQ(all.size(), 16);
    EXPECT_EQ(all.front(), QStringLiteral("出勤打刻"));
    EXPECT_EQ(all.at(3), QStringLiteral("無断欠勤"));
    EXPECT_EQ(all.back(), QStringLiteral("残業指示"));
    QStringList expected = all;
    expected.removeAt(3);
    EXPECT_EQ(RequestKinds(RequestMode::Request), expected);
    EXPECT_FALSE(IsKindOfMode(QStringLiteral("無断欠勤"), RequestMode::Request));
    EXPECT_TRUE(IsKindOfMode(QStringLiteral("無断欠勤"), RequestMode::Correction));
    EXPECT_FALSE(IsKindOfMode(QStringLiteral("勤務"), RequestMode::Correction));
    EXPECT_FALSE(IsKindOfMode(QString(), RequestMode::Request));
}

TEST(RequestKinds, ValueKindsPromptsAndModeWords) {
    for (const char16_t* k : {u"出勤打刻", u"退勤打刻", u"残業指示"}) {
        EXPECT_EQ(ValueKindOf(QString::fromUtf16(k)), ValueKind::Time);
    }
    for (const char16_t* k : {u"代替休暇", u"代替勤務"}) {
        EXPECT_EQ(ValueKindOf(QString::fromUtf16(k)), ValueKind::MonthDay);
    }
    EXPECT_EQ(ValueKindOf(QStringLiteral("有給休暇")), ValueKind::None);
    EXPECT_EQ(ValuePrompt(ValueKind::Time), QStringLiteral("時/分"));
    EXPECT_EQ(ValuePrompt(ValueKind::MonthDay), QStringLiteral("月/日"));
    EXPECT_EQ(RegisterCaption(RequestMode::Request), QStringLiteral("登録"));
    EXPECT_EQ(RegisterCaption(RequestMode::Correction), QStringLiteral("更新"));
    EXPECT_EQ(ModeOfCaption(QStringLiteral("登録")), RequestMode::Request);
    EXPECT_EQ(ModeOfCaption(QStringLiteral("更新")), RequestMode::Correction);
    EXPECT_EQ(ModeOfWord(QStringLiteral("訂正")), RequestMode::Correction);
    EXPECT_FALSE(ModeOfWord(QStringLiteral("登録")).has_value());
}

struct ValueCase {
    QString typed;
    bool timeKind;
    QString shown;
    ValueVerdict verdict;
};

TEST(RequestValue, NormalisesAndChecksAsTheEntryDoes) {
    const auto T = [](const char16_t* typed, const char16_t* shown, ValueVerdict v) {
        return ValueCase{QString::fromUtf16(typed), true, QString::fromUtf16(shown), v};
    };
    const auto D = [](const char16_t* typed, const char16_t* shown, ValueVerdict v) {
        return ValueCase{QString::fromUtf16(typed), false, QString::fromUtf16(shown), v};
    };
    using V = ValueVerdict;
    const ValueCase cases[] = {
        T(u"830", u"08:30", V::Valid),
        T(u"0830", u"08:30", V::Valid),
        T(u"8:30", u"08:30", V::Valid),
        T(u"08:30", u"08:30", V::Valid),
        T(u"８３０", u"08:30", V::Valid),    // full-width digits
        T(u"８：３０", u"08:30", V::Valid),  // full-width colon too
        T(u"2630", u"26:30", V::Valid),      // after midnight
        T(u"3600", u"36:00", V::Valid),
        T(u"0000", u"00:00", V::Valid),
        T(u"3700", u"37:00", V::Invalid),
        T(u"0860", u"08:60", V::Invalid),
        T(u"8/30", u"08/30", V::Invalid),   // a month/day separator in a time
        T(u"-1:00", u"-1:00", V::Invalid),  // a sign is no digit
        T(u"+830", u"+8:30", V::Invalid),
        T(u"8.30", u"8.:30", V::Invalid),
        T(u"1 30", u"1 :30", V::Invalid),     // a space
        T(u"08:305", u"08:305", V::Invalid),  // too long
        T(u"ab:cd", u"ab:cd", V::Invalid),
        T(u"8", u"8", V::TooShort),
        T(u"８３", u"83", V::TooShort),  // narrowed even when too short
        T(u"", u"", V::Empty),
        T(u"   ", u"   ", V::Empty),
        T(u"時/分", u"時/分", V::Empty),  // the prompt is no value
        T(u"月/日", u"月/日", V::Empty),
        D(u"105", u"01/05", V::Valid),
        D(u"1205", u"12/05", V::Valid),
        D(u"1/05", u"01/05", V::Valid),
        D(u"12/05", u"12/05", V::Valid),
        D(u"１２０５", u"12/05", V::Valid),
        D(u"1305", u"13/05", V::Invalid),
        D(u"12/5", u"12//5", V::Invalid),  // not numeric
        D(u"0005", u"00/05", V::Invalid),
        D(u"1200", u"12/00", V::Invalid),
        D(u"1232", u"12/32", V::Invalid),
        D(u"1231", u"12/31", V::Valid),
        D(u"8:30", u"08:30", V::Invalid),  // a time in a month/day field
    };
    for (const ValueCase& c : cases) {
        const NormalizedValue v = NormalizeRequestValue(c.typed, c.timeKind);
        EXPECT_EQ(v.text, c.shown) << c.typed.toStdString();
        EXPECT_EQ(v.verdict, c.verdict) << c.typed.toStdString();
    }
    EXPECT_EQ(BadValueText(true), QStringLiteral("時刻の値が不正です。"));
    EXPECT_EQ(BadValueText(false), QStringLiteral("月日の値が不正です。"));
}

TEST(RequestValue, ArbitraryTextNeverYieldsAnOutOfRangeValue) {
    // Whatever is typed, a value that passes is exactly two digits, a separator and two
    // digits within their bounds.
    const QString alphabet = QStringLiteral("0123456789:/ -+.０１９：／　a時");
    quint32 state = 12345;
    for (int i = 0; i < 20000; ++i) {
        QString typed;
        state = state * 1103515245u + 12345u;
        const int length = static_cast<int>(state >> 16) % 7;
        for (int j = 0; j < length; ++j) {
            state = state * 1103515245u + 12345u;
            typed += alphabet.at(static_cast<int>((state >> 16) % alphabet.size()));
        }
        for (bool timeKind : {true, false}) {
            const NormalizedValue v = NormalizeRequestValue(typed, timeKind);
            if (v.verdict != ValueVerdict::Valid) {
                continue;
            }
            ASSERT_EQ(v.text.size(), 5) << typed.toStdString();
            const int a = v.text.left(2).toInt();
            const int b = v.text.right(2).toInt();
            if (timeKind) {
                EXPECT_EQ(v.text.at(2), u':');
                EXPECT_LE(a, 36);
                EXPECT_LE(b, 59);
            } else {
                EXPECT_EQ(v.text.at(2), u'/');
                EXPECT_TRUE(a >= 1 && a <= 12 && b >= 1 && b <= 31) << v.text.toStdString();
            }
        }
    }
}

Settings periodSettings(const char* closing, const char* correction) {
    return LoadSettings(QStringLiteral("[給与締日]\n%1\n[過日修正可能日]\n%2\n")
                            .arg(QString::fromUtf8(closing), QString::fromUtf8(correction))
                            .toUtf8())
        .settings;
}

QDateTime at(int y, int m, int d) {
    return wallClock(QDate(y, m, d), QTime(10, 15, 30));
}

TEST(RequestDates, RequestModeRunsOneCalendarMonthLessADay) {
    const Settings s = periodSettings("末日", "末日");
    struct Case {
        QDateTime now;
        QDate last;
        qsizetype count;
    };
    const Case cases[] = {
        {at(2025, 1, 15), QDate(2025, 2, 14), 31},
        {at(2025, 1, 31), QDate(2025, 2, 27), 28},  // common year: 28 Feb less a day
        {at(2024, 1, 31), QDate(2024, 2, 28), 29},  // leap year: 29 Feb less a day
        {at(2024, 12, 20), QDate(2025, 1, 19), 31},
        {at(2024, 3, 31), QDate(2024, 4, 29), 30},
    };
    for (const Case& c : cases) {
        const std::vector<QDate> dates = RequestDates(RequestMode::Request, c.now, s);
        ASSERT_EQ(static_cast<qsizetype>(dates.size()), c.count) << c.now.toString().toStdString();
        EXPECT_EQ(dates.front(), c.now.date());
        EXPECT_EQ(dates.back(), c.last);
        for (size_t i = 1; i < dates.size(); ++i) {
            EXPECT_EQ(dates[i - 1].addDays(1), dates[i]);
        }
    }
    EXPECT_EQ(RequestDateTexts(RequestDates(RequestMode::Request, at(2025, 1, 31), s)).front(),
              QStringLiteral("2025/01/31"));
}

TEST(RequestDates, CorrectionModeRunsFromThePeriodStartToToday) {
    // Closing day 20, correction day 25: on 3 May the open period starts on 21 April.
    const std::vector<QDate> dates =
        RequestDates(RequestMode::Correction, at(2024, 5, 3), periodSettings("20", "25"));
    ASSERT_EQ(dates.size(), 13u);
    EXPECT_EQ(dates.front(), QDate(2024, 4, 21));
    EXPECT_EQ(dates.back(), QDate(2024, 5, 3));
    EXPECT_EQ(RequestDateTexts(dates).at(10), QStringLiteral("2024/05/01"));

    // Calendar months: on the first day of a month the list is that day alone.
    const std::vector<QDate> first =
        RequestDates(RequestMode::Correction, at(2024, 6, 1), periodSettings("末日", "末日"));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first.front(), QDate(2024, 6, 1));
}

}  // namespace
}  // namespace tq::test
