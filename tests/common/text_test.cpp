#include <gtest/gtest.h>

#include "../testsupport.h"
#include "common/text.h"

using namespace tq;

TEST(SiteText, EncodingIsDetectedAndWrittenBackTheSameWay) {
    const QString text = QStringLiteral("[始業時刻]\r\n０８：３０ ①髙～");
    for (FileEncoding enc : {FileEncoding::Cp932, FileEncoding::Utf8, FileEncoding::Utf8WithBom}) {
        const QByteArray bytes = encodeSiteText(text, enc);
        FileEncoding seen = FileEncoding::Cp932;
        EXPECT_EQ(decodeSiteText(bytes, &seen), text) << static_cast<int>(enc);
        EXPECT_EQ(seen, enc) << static_cast<int>(enc);
        EXPECT_EQ(encodeSiteText(decodeSiteText(bytes), seen), bytes);
    }
    FileEncoding seen = FileEncoding::Utf8;
    EXPECT_EQ(decodeSiteText("[A]\r\n08:30", &seen), QStringLiteral("[A]\r\n08:30"));
    EXPECT_EQ(seen, FileEncoding::Cp932) << "plain ASCII is read as CP932";
}

TEST(SiteText, ShiftJisLengthCountsBytes) {
    EXPECT_EQ(shiftJisLength(QStringLiteral("山田太郎")), 8);
    EXPECT_EQ(shiftJisLength(QStringLiteral("ﾔﾏﾀﾞ")), 4) << "half-width katakana is one byte";
    EXPECT_EQ(shiftJisLength(QStringLiteral("ab①")), 4);
    EXPECT_EQ(shiftJisLength(QString(15, QChar(0x3042))), 30);
}

TEST(SiteText, NarrowTurnsFullWidthIntoHalfWidth) {
    EXPECT_EQ(narrow(QStringLiteral("｛シフト｝")), QStringLiteral("{ｼﾌﾄ}"));
    EXPECT_EQ(narrow(QStringLiteral("＃０８：３０ＡＢ")), QStringLiteral("#08:30AB"));
    EXPECT_EQ(narrow(QStringLiteral("２０２４／０３／１５")), QStringLiteral("2024/03/15"));
    EXPECT_EQ(narrow(QStringLiteral("[休日]日曜日")), QStringLiteral("[休日]日曜日"))
        << "kanji stay as they are";
}

TEST(SiteText, NumericReading) {
    EXPECT_EQ(numericValue(QStringLiteral("480")), 480);
    EXPECT_EQ(numericValue(QStringLiteral("  15min")), 15);
    EXPECT_EQ(numericValue(QStringLiteral("末日")), 0);
    EXPECT_EQ(numericValue(QStringLiteral("")), 0);
    EXPECT_EQ(numericValue(QStringLiteral("-5")), -5);
    EXPECT_TRUE(isNumeric(QStringLiteral("20240315")));
    EXPECT_FALSE(isNumeric(QStringLiteral("24/03/15")));
    EXPECT_FALSE(isNumeric(QStringLiteral("1e3")));
    EXPECT_FALSE(isNumeric(QStringLiteral("")));
}
