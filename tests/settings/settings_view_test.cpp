#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "common/text.h"
#include "settings/settings_view.h"
#include "settings_support.h"

using namespace tq;
using namespace tq::test;

TEST(SettingsView, LinesAndViewText) {
    struct Case {
        const char* name;
        QString text;
        QStringList lines;
    };
    const Case cases[] = {
        {"CR LF", QStringLiteral("a\r\nb\r\n"), {QStringLiteral("a"), QStringLiteral("b")}},
        {"LF", QStringLiteral("a\nb"), {QStringLiteral("a"), QStringLiteral("b")}},
        {"lone CR", QStringLiteral("a\rb\r"), {QStringLiteral("a"), QStringLiteral("b")}},
        {"blank lines kept",
         QStringLiteral("a\r\n\r\n\nb\r\n\r\n"),
         {QStringLiteral("a"), QString(), QString(), QStringLiteral("b"), QString()}},
        {"empty", QString(), {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsLines(c.text), c.lines) << c.name;
        FileEncoding enc = FileEncoding::Utf8;
        EXPECT_EQ(SettingsViewText(encodeSiteText(c.text, FileEncoding::Cp932), &enc),
                  c.lines.join(QStringLiteral("\r\n")))
            << c.name;
        EXPECT_EQ(enc, FileEncoding::Cp932) << c.name;
    }
}

TEST(SettingsView, SavedBytesEndInOneCrLf) {
    struct Case {
        const char* name;
        QString view;
        QByteArray file;
    };
    const Case cases[] = {
        {"LF from the editor", QStringLiteral("[A]\n1"), "[A]\r\n1\r\n"},
        {"CR LF kept single", QStringLiteral("[A]\r\n1"), "[A]\r\n1\r\n"},
        {"line end at the end", QStringLiteral("[A]\n1\n"), "[A]\r\n1\r\n\r\n"},
        {"empty text", QString(), "\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsFileBytes(c.view, FileEncoding::Cp932).value_or("<none>"), c.file)
            << c.name;
    }
    EXPECT_EQ(SettingsFileBytes(QStringLiteral("末日"), FileEncoding::Utf8WithBom).value_or(""),
              QByteArray("\xEF\xBB\xBF") + QStringLiteral("末日\r\n").toUtf8());
}

// Open the view, edit nothing or something, save: the reloaded tables are those of the text.
TEST(SettingsView, RoundTripKeepsTablesAndEncoding) {
    const QString original = QStringLiteral(
        "#共通\n[給与締日]\n20\n[休日]\n日曜日\n第２・第４土曜日\n\n{ｼﾌﾄ}\nA\n"
        "[始業時刻]\n08:30\n[勤務時間別休憩時間]\n00:00-06:00 0\n06:01-24:00 60\n");
    for (FileEncoding enc : {FileEncoding::Cp932, FileEncoding::Utf8, FileEncoding::Utf8WithBom}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("TQ582.ini"));
        QString crlf = original;
        crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        writeFile(path, encodeSiteText(crlf, enc));
        const LoadedSettings before = LoadSettings(readFile(path));

        QString error;
        const auto doc = ReadSettingsView(path, &error);
        ASSERT_TRUE(doc.has_value()) << error.toStdString();
        EXPECT_EQ(doc->encoding, enc);
        EXPECT_FALSE(doc->text.endsWith(QStringLiteral("\r\n")));
        QString edited = doc->text;  // what a QPlainTextEdit hands back
        edited.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        ASSERT_TRUE(WriteSettingsView(path, edited, doc->encoding, &error)) << error.toStdString();

        const QByteArray saved = readFile(path);
        EXPECT_EQ(saved, encodeSiteText(crlf, enc)) << "unchanged text gives the same file";
        const LoadedSettings after = LoadSettings(saved);
        EXPECT_EQ(after.encoding, enc);
        expectSameTables(before.settings, after.settings, "unchanged");

        edited.replace(QStringLiteral("08:30"), QStringLiteral("０９：００"));
        ASSERT_TRUE(WriteSettingsView(path, edited, doc->encoding, &error)) << error.toStdString();
        EXPECT_EQ(LoadSettings(readFile(path)).settings.rules(1).始業時刻, QStringLiteral("09:00"));
    }
}

TEST(SettingsView, TextShiftJisCannotHoldLeavesTheFileAlone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("TQ582.ini"));
    const QByteArray old = cp932Lines(QStringLiteral("[始業時刻]\n09:00\n"));
    writeFile(path, old);
    QString error;
    EXPECT_FALSE(WriteSettingsView(path, QStringLiteral("[始業時刻]\n09:00 😀"), FileEncoding::Cp932,
                                   &error));
    EXPECT_TRUE(error.contains(QStringLiteral("😀"))) << error.toStdString();
    EXPECT_EQ(readFile(path), old);

    EXPECT_TRUE(
        WriteSettingsView(path, QStringLiteral("[始業時刻]\n①髙～"), FileEncoding::Cp932, &error))
        << "CP932 extensions fit";
    EXPECT_TRUE(
        WriteSettingsView(path, QStringLiteral("[始業時刻]\n09:00 😀"), FileEncoding::Utf8, &error))
        << "UTF-8 holds everything";

    error.clear();
    EXPECT_FALSE(ReadSettingsView(dir.filePath(QStringLiteral("none.ini")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("none.ini"))) << error.toStdString();
}
