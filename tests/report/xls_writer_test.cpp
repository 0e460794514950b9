// The workbook writer on its own: what it writes is read back by the independent checker's
// three readers and by the project's record reader.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include "../test_database.h"
#include "../testsupport.h"
#include "checker.h"
#include "report/compound_file.h"
#include "report/xls_reader.h"
#include "report/xls_writer.h"

namespace tq::test {
namespace {

using xls::CellFormat;
using xls::HAlign;
using xls::VAlign;

/// Writes the workbook to `path`; fails the test when it cannot.
void save(const xls::Workbook& book, const QString& path) {
    QString error;
    const auto bytes = xls::XlsFileBytes(book, &error);
    ASSERT_TRUE(bytes) << error.toStdString();
    writeFile(path, *bytes);
}

xls::ReadBook readBack(const QString& path) {
    QString error;
    const auto book = xls::ReadXlsFile(readFile(path), &error);
    EXPECT_TRUE(book) << error.toStdString();
    return book.value_or(xls::ReadBook());
}

/// A three-column layout in the manner of the payroll sheets.
QJsonObject smallLayout() {
    QJsonObject l = PayrollLayout();
    l[QStringLiteral("columns")] = QStringLiteral("A:C");
    l[QStringLiteral("right_aligned")] = QJsonArray{QStringLiteral("C")};
    l[QStringLiteral("vertical_center")] =
        QJsonObject{{QStringLiteral("columns"), QStringLiteral("A:C")},
                    {QStringLiteral("column_format"), true}};
    return l;
}

/// Fills a sheet as the payroll sheets are filled: header centred, column C right-aligned,
/// every cell bordered and vertically centred, the column format centred too.
void fill(xls::Workbook& book, xls::Sheet& sheet, const QList<QStringList>& rows) {
    const int header = book.addFormat(CellFormat{HAlign::Centre, VAlign::Centre, true, 0});
    const int plain = book.addFormat(CellFormat{HAlign::General, VAlign::Centre, true, 0});
    const int right = book.addFormat(CellFormat{HAlign::Right, VAlign::Centre, true, 0});
    const int column = book.addFormat(CellFormat{HAlign::General, VAlign::Centre, false, 0});
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < 3; ++c) {
            sheet.setText(r, c, rows[r].value(c), r == 0 ? header : (c == 2 ? right : plain));
        }
    }
    for (int c = 0; c < 3; ++c) {
        sheet.setColumnFormat(c, column);
    }
    sheet.freezeRows(1);
    xls::PageSetup& p = sheet.pageSetup();
    p.scalePercent = 80;
    p.landscape = true;
    p.topMargin = p.bottomMargin = 0.5 / 2.54;
    p.leftMargin = 1 / 2.54;
    p.rightMargin = p.headerMargin = p.footerMargin = 0;
    p.headerLeft = QStringLiteral("&F          &A");
    p.printTitleRows = std::make_pair(0, 0);
}

TEST(XlsWriterTest, SmallWorkbookPassesTheCheckerAndReadsBack) {
    QTemporaryDir dir;
    const QList<QStringList> first = {
        {QStringLiteral("名前"), QStringLiteral("note"), QStringLiteral("時間")},
        {QStringLiteral("ＡＢＣＤＥＦ"), QStringLiteral("abcdef"), QStringLiteral("9:05")},
        {QStringLiteral("O'Brien [x]"), QString(), QStringLiteral("1:00")},
    };
    const QList<QStringList> second = {
        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
        {QStringLiteral("ﾊﾝｶｸ"), QStringLiteral("é ü"), QString()},
    };
    xls::Workbook book;
    fill(book, book.addSheet(QStringLiteral("一枚目")), first);
    fill(book, book.addSheet(QStringLiteral("Second")), second);
    const QString path = dir.filePath(QStringLiteral("small.xls"));
    save(book, path);

    const CheckerRun run = VerifyXls(
        path,
        Expectations(smallLayout(), QJsonArray{ExpectedSheet(QStringLiteral("一枚目"), first),
                                               ExpectedSheet(QStringLiteral("Second"), second)}));
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();

    // The stream is small enough for the compound file's mini stream.
    QString error;
    const auto stream = xls::ReadCompoundStream(readFile(path), QStringLiteral("Workbook"), &error);
    ASSERT_TRUE(stream) << error.toStdString();
    EXPECT_LT(stream->size(), 4096);

    const xls::ReadBook read = readBack(path);
    ASSERT_EQ(read.sheets.size(), 2u);
    const xls::ReadSheet& s = read.sheets[0];
    EXPECT_EQ(s.name, QStringLiteral("一枚目"));
    EXPECT_EQ(s.text(2, 0), QStringLiteral("O'Brien [x]"));
    EXPECT_TRUE(s.cells.at({2, 1}).blank);  // an empty text is a bordered blank cell
    // Full-width characters count two: six of them are as wide as twelve half-width ones.
    EXPECT_EQ(s.columnWidths.at(0), (12 + 1) * 256);
    EXPECT_EQ(s.columnWidths.at(1), (6 + 1) * 256);
    EXPECT_EQ(read.sheets[1].columnWidths.at(0), (4 + 1) * 256);  // half-width katakana
    EXPECT_EQ(s.frozenRows, 1);
    EXPECT_EQ(read.sheets[1].frozenRows, 1);
    EXPECT_EQ(s.scalePercent, 80);
    EXPECT_TRUE(s.landscape);
    EXPECT_FALSE(s.noPrinterSettings);
    EXPECT_EQ(s.header, QStringLiteral("&L&F          &A"));
    EXPECT_NEAR(s.leftMargin, 0.3937, 1e-4);
    EXPECT_EQ(read.printTitles.at(0), std::make_pair(0, 0));
    EXPECT_EQ(read.printTitles.at(1), std::make_pair(0, 0));
    const xls::ReadFormat& f = read.formats.at(static_cast<size_t>(s.cells.at({1, 2}).xf));
    EXPECT_EQ(f.horizontal, HAlign::Right);
    EXPECT_EQ(f.vertical, VAlign::Centre);
    EXPECT_EQ((std::array{f.left, f.right, f.top, f.bottom}), (std::array{1, 1, 1, 1}));
}

TEST(XlsWriterTest, CheckerRefusesAWorkbookThatDiffersFromTheExpectations) {
    if (testOnServer()) {
        GTEST_SKIP() << "no database takes part";
    }
    QTemporaryDir dir;
    const QList<QStringList> rows = {
        {QStringLiteral("名前"), QStringLiteral("note"), QStringLiteral("時間")},
        {QStringLiteral("山田"), QString(), QStringLiteral("9:05")},
    };
    xls::Workbook book;
    fill(book, book.addSheet(QStringLiteral("一枚目")), rows);
    const QString path = dir.filePath(QStringLiteral("small.xls"));
    save(book, path);

    // Each expectation differs from the file in one way that one of the readers sees.
    const auto with = [](const char* key, const QJsonValue& value) {
        QJsonObject l = smallLayout();
        l[QString::fromLatin1(key)] = value;
        return l;
    };
    QList<QStringList> otherText = rows;
    otherText[1][1] = QStringLiteral("x");
    const struct {
        const char* name;
        QJsonObject layout;
        QString sheet;
        QList<QStringList> rows;
    } cases[] = {
        {"a text where the cell is empty", smallLayout(), QStringLiteral("一枚目"), otherText},
        {"another sheet name", smallLayout(), QStringLiteral("二枚目"), rows},
        {"column A right-aligned", with("right_aligned", QJsonArray{QStringLiteral("A:C")}),
         QStringLiteral("一枚目"), rows},
        {"two frozen rows",
         with("freeze", QJsonObject{{QStringLiteral("rows"), 2}, {QStringLiteral("cols"), 0}}),
         QStringLiteral("一枚目"), rows},
        {"portrait", with("landscape", false), QStringLiteral("一枚目"), rows},
        {"a print scale of 100 %", with("print_scale", 100), QStringLiteral("一枚目"), rows},
        {"print titles $1:$2", with("print_title_rows", QStringLiteral("$1:$2")),
         QStringLiteral("一枚目"), rows},
        {"the header on the right",
         with("header", QJsonObject{{QStringLiteral("right"), QStringLiteral("&F          &A")}}),
         QStringLiteral("一枚目"), rows},
    };
    for (const auto& c : cases) {
        const CheckerRun run =
            VerifyXls(path, Expectations(c.layout, {ExpectedSheet(c.sheet, c.rows)}), false);
        EXPECT_EQ(run.exitCode, 1) << c.name << "\n" << run.output.toStdString();
    }
}

TEST(XlsWriterTest, SixtySheetsOfSharedStringsContinueAcrossRecords) {
    QTemporaryDir dir;
    xls::Workbook book;
    QJsonArray expected;
    QStringList all;
    for (int n = 0; n < 60; ++n) {
        QList<QStringList> rows{
            {QStringLiteral("日付"), QStringLiteral("名前"), QStringLiteral("時間")}};
        for (int r = 0; r < 30; ++r) {
            rows.append({QStringLiteral("%1/%2").arg(n).arg(r),
                         QStringLiteral("社員%1の%2行目").arg(n).arg(r),
                         QStringLiteral("%1:%2").arg(r).arg(n, 2, 10, QLatin1Char('0'))});
        }
        if (n == 7) {
            // Long texts, wide and narrow, that must be split inside their characters.
            rows.append({QString(3000, u'漢'), QString(9000, u'x'), QStringLiteral("end")});
        }
        const QString name = QStringLiteral("シート%1").arg(n);
        fill(book, book.addSheet(name), rows);
        expected.append(ExpectedSheet(name, rows));
        for (const QStringList& r : rows) {
            all += r;
        }
    }
    const QString path = dir.filePath(QStringLiteral("sixty.xls"));
    save(book, path);

    QJsonObject layout = smallLayout();
    layout.remove(
        QStringLiteral("autofit"));  // a 9000-character text is wider than a column can be
    const CheckerRun run = VerifyXls(path, Expectations(layout, expected));
    EXPECT_EQ(run.exitCode, 0) << run.output.toStdString();

    QString error;
    const auto stream = xls::ReadCompoundStream(readFile(path), QStringLiteral("Workbook"), &error);
    ASSERT_TRUE(stream);
    const std::vector<xls::Record> records = xls::ReadRecords(*stream, &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    const auto continues = std::count_if(records.begin(), records.end(),
                                         [](const xls::Record& r) { return r.type == 0x003C; });
    EXPECT_GE(continues, 4);
    for (const xls::Record& r : records) {
        EXPECT_LE(r.data.size(), xls::kMaxRecordData);
    }
    const xls::ReadBook read = readBack(path);
    ASSERT_EQ(read.sheets.size(), 60u);
    all.removeDuplicates();
    EXPECT_EQ(read.strings.size(), static_cast<size_t>(all.size()));
    EXPECT_EQ(read.sheets[7].text(31, 0), QString(3000, u'漢'));
    EXPECT_EQ(read.sheets[7].text(31, 1), QString(9000, u'x'));
    EXPECT_EQ(read.sheets[59].text(30, 1), QStringLiteral("社員59の29行目"));
}

TEST(XlsWriterTest, LongWideTextsSplitBetweenCharactersAtAnyRecordOffset) {
    if (testOnServer()) {
        GTEST_SKIP() << "no database takes part";
    }
    // A wide text continues at an odd offset of the first SST record after "a" (8 + 4 + 3
    // bytes), and at an odd offset of each CONTINUE record (its option byte) when it spans two.
    const struct {
        const char* name;
        QStringList before;
        QString text;
    } cases[] = {
        {"odd offset in SST", {QStringLiteral("a")}, QString(5000, u'漢')},
        {"odd offsets in CONTINUE", {QStringLiteral("ab")}, QString(9000, u'漢')},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        QList<QStringList> rows{{QStringLiteral("日付"), QStringLiteral("名前"), QString()}};
        for (const QString& t : c.before + QStringList{c.text}) {
            rows.append({t, QString(), QString()});
        }
        xls::Workbook book;
        fill(book, book.addSheet(QStringLiteral("a")), rows);
        const QString path = dir.filePath(QStringLiteral("wide.xls"));
        save(book, path);
        QJsonObject layout = smallLayout();
        layout.remove(QStringLiteral("autofit"));
        const CheckerRun run =
            VerifyXls(path, Expectations(layout, {ExpectedSheet(QStringLiteral("a"), rows)}));
        EXPECT_EQ(run.exitCode, 0) << c.name << "\n" << run.output.toStdString();
        const xls::ReadBook read = readBack(path);
        ASSERT_EQ(read.sheets.size(), 1u) << c.name;
        EXPECT_EQ(read.sheets[0].text(static_cast<int>(rows.size()) - 1, 0), c.text) << c.name;
    }
}

TEST(XlsWriterTest, SheetNamesAreCheckedBeforeAnythingIsWritten) {
    EXPECT_TRUE(xls::IsValidSheetName(QStringLiteral("O'Brien")));
    EXPECT_TRUE(xls::IsValidSheetName(QString(31, u'あ')));
    for (const QString& bad :
         {QString(), QString(32, u'a'), QStringLiteral("a[b"), QStringLiteral("a]"),
          QStringLiteral("a:b"), QStringLiteral("*"), QStringLiteral("?"), QStringLiteral("a/b"),
          QStringLiteral("a\\b"), QStringLiteral("'ab"), QStringLiteral("ab'"),
          QStringLiteral("a\tb")}) {
        EXPECT_FALSE(xls::IsValidSheetName(bad)) << bad.toStdString();
    }
    QString error;
    EXPECT_FALSE(xls::Workbook().build(&error));  // no sheet

    xls::Workbook twice;
    twice.addSheet(QStringLiteral("Staff")).setText(0, 0, QStringLiteral("x"));
    twice.addSheet(QStringLiteral("STAFF"));
    EXPECT_FALSE(twice.build(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("STAFF")));

    xls::Workbook badFormat;
    badFormat.addSheet(QStringLiteral("a")).setText(0, 0, QStringLiteral("x"), 5);
    EXPECT_FALSE(badFormat.build(&error));
}

TEST(XlsWriterTest, FontsBeyondTheDefaultSkipIndexFour) {
    QTemporaryDir dir;
    xls::Workbook book;
    const int bold = book.addFont(xls::Font{QStringLiteral("IPAGothic"), 12, true, 128});
    EXPECT_EQ(book.addFont(xls::Font{QStringLiteral("IPAGothic"), 12, true, 128}), bold);
    const int f = book.addFormat(CellFormat{HAlign::Left, VAlign::Top, false, bold});
    book.addSheet(QStringLiteral("a")).setText(0, 0, QStringLiteral("太字"), f);
    const QString path = dir.filePath(QStringLiteral("font.xls"));
    save(book, path);
    const xls::ReadBook read = readBack(path);
    EXPECT_EQ(read.fontRecords, 5);
    const xls::ReadFormat& rf =
        read.formats.at(static_cast<size_t>(read.sheets[0].cells.at({0, 0}).xf));
    EXPECT_EQ(rf.font, 5);
    EXPECT_EQ(rf.horizontal, HAlign::Left);
    EXPECT_EQ(rf.vertical, VAlign::Top);
}

TEST(XlsReaderTest, DamagedStreamsGiveAnErrorNotACrash) {
    xls::Workbook book;
    xls::Sheet& s = book.addSheet(QStringLiteral("a"));
    for (int r = 0; r < 40; ++r) {
        s.setText(r, 0, QStringLiteral("行%1").arg(r));
        s.setBlank(r, 1, 0);
    }
    const auto stream = book.build();
    ASSERT_TRUE(stream);
    QString error;
    ASSERT_TRUE(xls::ReadWorkbookStream(*stream, &error)) << error.toStdString();

    // Every cut of the stream short of its end is refused.
    for (qsizetype n = 0; n < stream->size(); n += 7) {
        EXPECT_FALSE(xls::ReadWorkbookStream(stream->left(n), &error)) << n;
    }
    // Flipped bytes may read or be refused, but never crash or read out of bounds.
    for (qsizetype i = 0; i < stream->size(); i += 3) {
        QByteArray damaged = *stream;
        damaged[i] = static_cast<char>(damaged[i] ^ 0xA5);
        (void)xls::ReadWorkbookStream(damaged, &error);
    }
    EXPECT_FALSE(xls::ReadXlsFile(QByteArray("not a compound file"), &error));
}

}  // namespace
}  // namespace tq::test
