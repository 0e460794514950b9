// tq582ctl export, run as a separate program on the test's site.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "../attendance/punch_fixture.h"
#include "report/xls_reader.h"

namespace tq::test {
namespace {

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

TEST_F(CtlExportTest, PrintsTheLeaveLedgerBeforeTheMonthlyWorkbook) {
    Sql s(
        QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,状態) VALUES "
                       "('0001',#2024/05/07#,'有給休暇')"));
    db->execute(s);
    const QString month =
        QDir::cleanPath(dir.filePath(QStringLiteral("EXCEL/2024年05月度_勤務.xls")));
    const QString ledger =
        QDir::cleanPath(dir.filePath(QStringLiteral("EXCEL/年次有給休暇管理簿.xls")));
    ToolRun t = exportAt(QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(t.exitCode, 0) << t.err.toStdString();
    EXPECT_EQ(nonEmptyLines(t.out), (QStringList{ledger, month}));
    QString error;
    const auto book = xls::ReadXlsFile(readFile(ledger), &error);
    ASSERT_TRUE(book) << error.toStdString();
    EXPECT_EQ(book->sheets.at(0).text(0, 0), QStringLiteral("年次有給休暇管理簿"));

    // The ledger open elsewhere: said so, the month written all the same, exit 1.
    writeFile(dir.filePath(QStringLiteral("EXCEL/.~lock.年次有給休暇管理簿.xls#")),
              QByteArray(",someone,otherhost,2024;"));
    t = exportAt(QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(t.exitCode, 1);
    EXPECT_EQ(nonEmptyLines(t.out), (QStringList{QStringLiteral("Excelブック(") + ledger +
                                                     QStringLiteral(")を閉じてください。"),
                                                 month}));
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
