#include <gtest/gtest.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <QRandomGenerator>
#include <memory>

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
    EXPECT_EQ(narrow(QStringLiteral("ｱｲｳ・ー　日")), QStringLiteral("ｱｲｳ･ｰ 日"));
}

namespace {

// The conversion the narrow forms must reproduce: ICU's own transliterator.
QString transliterated(icu::Transliterator& t, const QString& text) {
    icu::UnicodeString u(reinterpret_cast<const UChar*>(text.utf16()),
                         static_cast<int32_t>(text.size()));
    t.transliterate(u);
    return QString(reinterpret_cast<const QChar*>(u.getBuffer()), u.length());
}

}  // namespace

TEST(SiteText, NarrowGivesWhatTheFullwidthHalfwidthTransliteratorGives) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> icu(
        icu::Transliterator::createInstance("Fullwidth-Halfwidth", UTRANS_FORWARD, status));
    ASSERT_TRUE(U_SUCCESS(status) && icu);
    // Every character alone, lone surrogates included.
    std::vector<QString> singles;
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        const QString one =
            c > 0xFFFF ? QString::fromUcs4(&c, 1) : QString(QChar(static_cast<char16_t>(c)));
        ASSERT_EQ(narrow(one), transliterated(*icu, one)) << std::hex << unsigned(c);
        if (c < 0x10000 && (c < 0x3400 || c > 0x9FFF)) {
            singles.push_back(one);
        }
    }
    // Mixed texts: nothing depends on the neighbours, the ends or a text that changes nowhere.
    QRandomGenerator random(582);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        const int length = random.bounded(12);
        for (int i = 0; i < length; ++i) {
            text += singles[random.bounded(static_cast<quint32>(singles.size()))];
        }
        ASSERT_EQ(narrow(text), transliterated(*icu, text)) << text.toStdString();
    }
    for (const QString& text : {QStringLiteral("ガパヴｶﾞ\u3099"), QStringLiteral("山田😀ｱ"),
                                QStringLiteral("plain"), QString()}) {
        EXPECT_EQ(narrow(text), transliterated(*icu, text)) << text.toStdString();
    }
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
