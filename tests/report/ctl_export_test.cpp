// tq582ctl export, run as a separate program on the test's site.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "../attendance/punch_fixture.h"
#include "report/xls_reader.h"

namespace tq::test {
namespace {

using namespace Qt::StringLiterals;

class CtlExportTest : public PunchTest {
  protected:
    void SetUp() override {
        PunchTest::SetUp();
        work = dir.filePath(QStringLiteral("TQ582"));
        writeFile(work + QStringLiteral("/TQ582.ini"), PunchRulesText().toUtf8());
        rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    }

    ToolRun exportAt(const QString& now, const QStringList& more = {}) {
        return runTool(work, QStringList{QStringLiteral("export"), QStringLiteral("--now"), now,
                                         QStringLiteral("--db"), path} +
                                 more);
    }

    QString work;
};

TEST_F(CtlExportTest, WritesIntoExcelBesideTheWorkingDirectoryAndPrintsThePath) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    const ToolRun t = exportAt(QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(t.exitCode, 0) << t.err.toStdString();
    const QString expected =
        QDir::cleanPath(dir.filePath(QStringLiteral("EXCEL/2024年05月度_勤務.xls")));
    EXPECT_EQ(nonEmptyLines(t.out).value(nonEmptyLines(t.out).size() - 1), expected);
    QString error;
    const auto book = xls::ReadXlsFile(readFile(expected), &error);
    ASSERT_TRUE(book) << error.toStdString();
    EXPECT_EQ(book->sheets.at(0).name, QStringLiteral("山田"));
    EXPECT_EQ(book->sheets.at(0).text(7, 5), QStringLiteral("8:30"));

    // --out names another folder, relative to the working directory.
    const ToolRun elsewhere = exportAt(QStringLiteral("2024/05/20 12:00:00"),
                                       {QStringLiteral("--out"), QStringLiteral("out")});
    EXPECT_EQ(elsewhere.exitCode, 0);
    EXPECT_EQ(nonEmptyLines(elsewhere.out),
              QStringList{work + QStringLiteral("/out/2024年05月度_勤務.xls")});
    EXPECT_TRUE(QFileInfo::exists(work + QStringLiteral("/out/2024年05月度_勤務.xls")));
}

TEST_F(CtlExportTest, MonthNamesThePeriodWhoseClosingDayFallsInIt) {
    for (QDate d(2024, 3, 15); d <= QDate(2024, 5, 31); d = d.addDays(7)) {
        rows->addWork(QStringLiteral("0001"), d, QStringLiteral("A"), 830, 1730);
    }
    for (const char16_t* day : {u"20", u"30"}) {
        QString closing = PunchRulesText();
        closing.replace(u"[給与締日]\n末日"_s, u"[給与締日]\n"_s + QString::fromUtf16(day));
        writeFile(work + u"/closing%1.ini"_s.arg(QString::fromUtf16(day)), closing.toUtf8());
    }
    const struct {
        const char16_t* ini;
        const char16_t* month;
        const char16_t* file;
        const char16_t* first;
        const char16_t* last;
    } cases[] = {
        {u"TQ582.ini", u"2024/04", u"2024年04月度_勤務.xls", u"04/01", u"04/30"},
        {u"TQ582.ini", u"2024/3", u"2024年03月度_勤務.xls", u"03/01", u"03/31"},
        {u"closing20.ini", u"2024/05", u"2024年05月度_勤務.xls", u"04/21", u"05/20"},
        // Closing day 30: March's month ends on the 30th, April's keeps the 31st of March.
        {u"closing30.ini", u"2024/03", u"2024年03月度_勤務.xls", u"03/01", u"03/30"},
        {u"closing30.ini", u"2024/04", u"2024年04月度_勤務.xls", u"03/31", u"04/30"},
    };
    for (const auto& c : cases) {
        const ToolRun t = exportAt(QStringLiteral("2024/06/03 12:00:00"),
                                   {QStringLiteral("--month"), QString::fromUtf16(c.month),
                                    QStringLiteral("--ini"), QString::fromUtf16(c.ini)});
        ASSERT_EQ(t.exitCode, 0) << t.err.toStdString();
        const QString path = nonEmptyLines(t.out).value(0);
        EXPECT_EQ(QFileInfo(path).fileName(), QString::fromUtf16(c.file));
        QString error;
        const auto book = xls::ReadXlsFile(readFile(path), &error);
        ASSERT_TRUE(book) << error.toStdString();
        const xls::ReadSheet& s = book->sheets.at(0);
        EXPECT_EQ(s.text(1, 0), QString::fromUtf16(c.first));
        EXPECT_EQ(s.text(s.dimensionRows - 6, 0), QString::fromUtf16(c.last));
    }
    for (const char16_t* bad : {u"2024/13", u"2024-04", u"24/04", u"2024/04/01", u""}) {
        const ToolRun t = exportAt(QStringLiteral("2024/06/03 12:00:00"),
                                   {QStringLiteral("--month"), QString::fromUtf16(bad)});
        EXPECT_EQ(t.exitCode, 2) << QString::fromUtf16(bad).toStdString();
        EXPECT_TRUE(t.out.isEmpty());
    }
}

TEST_F(CtlExportTest, NobodyWithRowsPrintsAndWritesNothing) {
    const ToolRun t = exportAt(QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(t.exitCode, 0);
    EXPECT_TRUE(t.out.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("EXCEL"))));
}

TEST_F(CtlExportTest, WorkbookInUseExitsOneWithTheMessage) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    const QString target =
        QDir::cleanPath(dir.filePath(QStringLiteral("EXCEL/2024年05月度_勤務.xls")));
    writeFile(target, QByteArray("open in a spreadsheet"));
    writeFile(dir.filePath(QStringLiteral("EXCEL/.~lock.2024年05月度_勤務.xls#")), QByteArray("x"));
    const ToolRun t = exportAt(QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(t.exitCode, 1);
    EXPECT_EQ(nonEmptyLines(t.out), QStringList{QStringLiteral("Excelブック(") + target +
                                                QStringLiteral(")を閉じてください。")});
    EXPECT_EQ(readFile(target), QByteArray("open in a spreadsheet"));
}

TEST_F(CtlExportTest, MissingDatabaseIsReportedNotCreated) {
    const QString missing = dir.filePath(QStringLiteral("nowhere/DB.mdb"));
    const ToolRun t =
        exportAt(QStringLiteral("2024/05/20 12:00:00"), {QStringLiteral("--db"), missing});
    EXPECT_EQ(t.exitCode, 2);
    EXPECT_FALSE(t.err.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nowhere"))));
}

}  // namespace
}  // namespace tq::test
