// tq582ctl export, run as a separate program on the test's site.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "../attendance/punch_fixture.h"
#include "report/xls_reader.h"

namespace tq::test {
namespace {

using namespace Qt::StringLiterals;

class CtlExportTest : public PunchTest {
  protected:
    void SetUpSite() override {
        work = dir.filePath(QStringLiteral("TQ582"));
        writeFile(work + QStringLiteral("/TQ582.ini"), PunchRulesText().toUtf8());
        rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    }

    ToolRun exportAt(const QString& now, const QStringList& more = {}) {
        return runTool(work, QStringList{QStringLiteral("export"), QStringLiteral("--now"), now,
                                         QStringLiteral("--db"), path} +
                                 more);
    }
    ToolRun tool(QStringList args, const QString& now) {
        args << QStringLiteral("--now") << now << QStringLiteral("--db") << path;
        return runTool(work, args);
    }
    /// The workbook's rows of the first sheet from `first` on, 17 texts each.
    static QList<QStringList> sheetRows(const QString& file, int first, int count) {
        QString error;
        const auto book = xls::ReadXlsFile(readFile(file), &error);
        EXPECT_TRUE(book) << error.toStdString();
        QList<QStringList> out;
        for (int r = first; book && r < first + count; ++r) {
            QStringList texts;
            for (int c = 0; c < 17; ++c) {
                texts << book->sheets.at(0).text(r, c);
            }
            out << texts;
        }
        return out;
    }

    QString work;
};

TEST_F(CtlExportTest, WritesIntoExcelBesideTheWorkingDirectoryAndPrintsThePath) {
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    const ToolRun t = exportAt(QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(t.exitCode, 0) << t.err.toStdString();
    const QString expected =
        QDir::cleanPath(dir.filePath(QStringLiteral("EXCEL/2024年05月度_勤務.xls")));
    // The 36 agreement's workbook first, the monthly workbook as the last line.
    EXPECT_EQ(
        nonEmptyLines(t.out),
        (QStringList{QDir::cleanPath(dir.filePath(QStringLiteral("EXCEL/2024年05月度_36協定.xls"))),
                     expected}));
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
              (QStringList{work + QStringLiteral("/out/2024年05月度_36協定.xls"),
                           work + QStringLiteral("/out/2024年05月度_勤務.xls")}));
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
    const QString agreement =
        QDir::cleanPath(dir.filePath(QStringLiteral("EXCEL/2024年05月度_36協定.xls")));
    ToolRun t = exportAt(QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(t.exitCode, 0) << t.err.toStdString();
    EXPECT_EQ(nonEmptyLines(t.out), (QStringList{agreement, ledger, month}));
    QString error;
    const auto book = xls::ReadXlsFile(readFile(ledger), &error);
    ASSERT_TRUE(book) << error.toStdString();
    EXPECT_EQ(book->sheets.at(0).text(0, 0), QStringLiteral("年次有給休暇管理簿"));

    // The ledger open elsewhere: said so, the month written all the same, exit 1.
    writeFile(dir.filePath(QStringLiteral("EXCEL/.~lock.年次有給休暇管理簿.xls#")),
              QByteArray(",someone,otherhost,2024;"));
    t = exportAt(QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(t.exitCode, 1);
    EXPECT_EQ(nonEmptyLines(t.out), (QStringList{agreement,
                                                 QStringLiteral("Excelブック(") + ledger +
                                                     QStringLiteral(")を閉じてください。"),
                                                 month}));
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
        const QString path = nonEmptyLines(t.out).last();
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

    // Only the 36 agreement's workbook open: the month is written and printed last.
    QFile::remove(dir.filePath(QStringLiteral("EXCEL/.~lock.2024年05月度_勤務.xls#")));
    const QString agreement =
        QDir::cleanPath(dir.filePath(QStringLiteral("EXCEL/2024年05月度_36協定.xls")));
    writeFile(dir.filePath(QStringLiteral("EXCEL/.~lock.2024年05月度_36協定.xls#")),
              QByteArray("x"));
    const ToolRun second = exportAt(QStringLiteral("2024/05/20 12:00:00"));
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(nonEmptyLines(second.out), (QStringList{QStringLiteral("Excelブック(") + agreement +
                                                          QStringLiteral(")を閉じてください。"),
                                                      target}));
    EXPECT_FALSE(QFileInfo::exists(agreement));
}

TEST_F(CtlExportTest, MissingDatabaseIsReportedNotCreated) {
    const QString missing = dir.filePath(QStringLiteral("nowhere/DB.mdb"));
    const ToolRun t =
        exportAt(QStringLiteral("2024/05/20 12:00:00"), {QStringLiteral("--db"), missing});
    EXPECT_EQ(t.exitCode, 2);
    EXPECT_FALSE(t.err.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nowhere"))));
}

TEST_F(CtlExportTest, ReviewEndsWithTheWorkbooksFourTotalsRows) {
    const QString now = QStringLiteral("2024/05/20 12:00:00");
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    // A day of the common rules (eight hours scheduled) that is an hour short.
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 8), std::nullopt, 1000, 1700);
    for (const auto& [day, kind] :
         {std::pair{u"2024/05/09", u"有給休暇"}, std::pair{u"2024/05/10", u"申告欠勤"}}) {
        const ToolRun r =
            tool({QStringLiteral("request"), QStringLiteral("register"), QStringLiteral("--mode"),
                  QStringLiteral("訂正"), QStringLiteral("--code"), QStringLiteral("0001"),
                  QStringLiteral("--date"), QString::fromUtf16(day), QStringLiteral("--kind"),
                  QString::fromUtf16(kind)},
                 now);
        ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    }
    const ToolRun review =
        tool({QStringLiteral("review"), QStringLiteral("--code"), QStringLiteral("0001")}, now);
    ASSERT_EQ(review.exitCode, 0) << review.err.toStdString();
    const QStringList lines = nonEmptyLines(review.out);
    ASSERT_EQ(lines.size(), 31 + 4);
    QList<QStringList> totals;
    for (const QString& line : lines.mid(31)) {
        totals << line.split(u'\t');
    }
    EXPECT_EQ(totals[0].mid(0, 8), (QStringList{QStringLiteral("合 計"), QString(), QString(),
                                                QString(), QString(), QStringLiteral("勤務"),
                                                QStringLiteral("2日"), QStringLiteral("16:00")}));
    EXPECT_EQ(totals[0][14], QStringLiteral("有給消化　1日"));
    EXPECT_EQ(totals[1][4], QStringLiteral("休日"));
    EXPECT_EQ(totals[2][4], QStringLiteral("計"));
    EXPECT_EQ(totals[3].mid(5, 7),
              (QStringList{QStringLiteral("遅早"), QStringLiteral("1日"), QStringLiteral("1:00"),
                           QString(), QString(), QStringLiteral("欠勤"), QStringLiteral("1日")}))
        << review.out.toStdString();

    // The same rows as the workbook of the month: after the header, 31 days and the separator.
    const ToolRun exported = exportAt(now);
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    ASSERT_FALSE(exported.out.trimmed().isEmpty()) << "no workbook written";
    EXPECT_EQ(sheetRows(nonEmptyLines(exported.out).last(), 1 + 31 + 1, 4), totals);
}

TEST_F(CtlExportTest, StaffWhoTypeAnotherCodeThanTheirStaffCodeGetTheirRowsEverywhere) {
    // The terminal stores work rows under the typed code (PassWord), not the staff code.
    TestStaff(QStringLiteral("0002"), QStringLiteral("鈴木"))
        .password(QStringLiteral("7002"))
        .shift(QStringLiteral("A"))
        .insert(*db);
    const QString code = QStringLiteral("7002");
    const QString now = QStringLiteral("2024/05/20 12:00:00");
    for (const auto& [action, at] :
         {std::pair{"in", u"2024/05/07 08:25:00"}, std::pair{"out", u"2024/05/07 17:40:00"}}) {
        const ToolRun r = tool(
            {QStringLiteral("punch"), QString::fromLatin1(action), QStringLiteral("--code"), code},
            QString::fromUtf16(at));
        ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    }
    const ToolRun request =
        tool({QStringLiteral("request"), QStringLiteral("register"), QStringLiteral("--code"), code,
              QStringLiteral("--date"), QStringLiteral("2024/05/21"), QStringLiteral("--kind"),
              QStringLiteral("有給休暇")},
             now);
    ASSERT_EQ(request.exitCode, 0) << request.out.toStdString() << request.err.toStdString();
    EXPECT_TRUE(rows->work(code, QDate(2024, 5, 7)).exists);
    EXPECT_TRUE(rows->work(code, QDate(2024, 5, 21)).exists);

    const ToolRun review = tool({QStringLiteral("review"), QStringLiteral("--code"), code}, now);
    ASSERT_EQ(review.exitCode, 0) << review.err.toStdString();
    const QStringList day = nonEmptyLines(review.out).value(6).split(u'\t');
    EXPECT_EQ(day.mid(0, 7),
              (QStringList{QStringLiteral("05/07"), QStringLiteral("火"), QStringLiteral("A"),
                           QStringLiteral(" "), QStringLiteral("勤務"), QStringLiteral("8:25"),
                           QStringLiteral("17:40")}));

    const ToolRun exported = exportAt(now);
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    ASSERT_FALSE(exported.out.trimmed().isEmpty()) << "no workbook written";
    QString error;
    const auto book = xls::ReadXlsFile(readFile(nonEmptyLines(exported.out).last()), &error);
    ASSERT_TRUE(book) << error.toStdString();
    ASSERT_EQ(book->sheets.size(), 1u);  // 山田 (0001) has no rows
    const xls::ReadSheet& sheet = book->sheets[0];
    EXPECT_EQ(sheet.name, QStringLiteral("鈴木"));
    EXPECT_EQ(sheet.text(7, 5), QStringLiteral("8:25"));
    EXPECT_EQ(sheet.text(21, 4), QStringLiteral("有給休暇"));
}

}  // namespace
}  // namespace tq::test
