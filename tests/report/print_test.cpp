// The monthly workbook as LibreOffice prints it: every sheet of a 31-day month on one
// landscape page, the widest texts each column can hold included. LibreOffice (installed by
// scripts/install-deps.sh) converts the workbook to PDF with a profile of its own.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include "../testsupport.h"
#include "common/datetime.h"
#include "report/compound_file.h"
#include "report/monthly_export.h"

namespace tq::test {
namespace {

const PayrollMonth kOctober{QDate(2026, 10, 1), QDate(2026, 10, 31)};

/// A sheet whose columns hold the widest texts a month can give them: the longest state,
/// request and punch stamps, night times past 24:00, three-digit totals and two-digit counts.
StaffSheet widestSheet(const QString& name, const QString& code) {
    StaffSheet s;
    s.name = name;
    s.code = code;
    static const QString states[] = {QStringLiteral("代替休暇(10/03)"),
                                     QStringLiteral("代替勤務(10/24)"), QStringLiteral("休日勤務"),
                                     QStringLiteral("直行直帰"), QStringLiteral("？？")};
    for (QDate d = kOctober.start; d <= kOctober.end; d = d.addDays(1)) {
        DayFigures f;
        f.日付 = formatMonthDay(d);
        f.曜日 = QStringLiteral("日休");
        f.シフト = QStringLiteral("Ｎ");
        f.残業指示 = QStringLiteral("12:00");
        f.状態 = states[d.day() % 5];
        f.出勤 = QStringLiteral("23:59");
        f.退勤 = QStringLiteral("35:59");
        f.勤務 = f.休憩 = f.所定 = f.残業 = f.深夜 = f.早出 = f.実働 = QStringLiteral("12:00");
        f.状態打刻 = formatDate(d) + QStringLiteral(" 23:59:59");
        f.出勤打刻 = f.状態打刻;
        f.退勤打刻 = f.状態打刻;
        s.days.push_back(f);
    }
    TotalsGroup g{31, 9999, 59999, 59999, 59999, 59999, 59999, 59999};
    s.totals.ordinary = s.totals.rest = s.totals.all = g;
    s.totals.遅早回数 = s.totals.欠勤 = s.totals.有給休暇 = s.totals.代替休暇 = 31;
    s.totals.代替出勤 = s.totals.私傷休暇 = s.totals.公傷休暇 = s.totals.特別休暇 = 31;
    s.totals.遅早時間 = 59999;
    return s;
}

struct Pdf {
    int pages = 0;
    int boxes = 0;  ///< media boxes (of the pages and of the page tree)
    int landscapeBoxes = 0;
};

/// The pages of a PDF as LibreOffice writes it (page objects in plain text).
Pdf readPdf(const QByteArray& pdf) {
    Pdf p;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?!s)"));
    static const QRegularExpression box(
        QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
    const QString text = QString::fromLatin1(pdf);
    p.pages = static_cast<int>(text.count(page));
    for (auto it = box.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        ++p.boxes;
        p.landscapeBoxes += m.captured(1).toDouble() > m.captured(2).toDouble() ? 1 : 0;
    }
    return p;
}

TEST(PrintTest, EverySheetOfAMonthPrintsOnOneLandscapePage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Two staff of the same name and one with a name as long as a sheet name can be.
    const std::vector<StaffSheet> sheets{
        widestSheet(QStringLiteral("山田 太郎"), QStringLiteral("0001")),
        widestSheet(QStringLiteral("山田 太郎 (2)"), QStringLiteral("0002")),
        widestSheet(QString(31, u'長'), QStringLiteral("&&&&"))};
    QString error;
    const auto bytes = xls::XlsFileBytes(MonthlyWorkbook(sheets, kOctober), &error);
    ASSERT_TRUE(bytes) << error.toStdString();
    const QString xls = dir.filePath(QStringLiteral("2026年10月度_勤務.xls"));
    writeFile(xls, *bytes);

    QProcess soffice;
    soffice.setProcessChannelMode(QProcess::MergedChannels);
    soffice.start(QStringLiteral("soffice"),
                  {QStringLiteral("-env:UserInstallation=") +
                       QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
                   QStringLiteral("--headless"), QStringLiteral("--norestore"),
                   QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                   QStringLiteral("--outdir"), dir.path(), xls});
    ASSERT_TRUE(soffice.waitForStarted(10000)) << "soffice is missing: scripts/install-deps.sh";
    if (!soffice.waitForFinished(240000)) {
        soffice.kill();
        soffice.waitForFinished(5000);
        FAIL() << "soffice did not finish in 240 s";
    }
    const QString pdfPath = dir.filePath(QStringLiteral("2026年10月度_勤務.pdf"));
    ASSERT_TRUE(QFile::exists(pdfPath)) << soffice.readAll().toStdString();
    const Pdf pdf = readPdf(readFile(pdfPath));
    EXPECT_EQ(pdf.pages, static_cast<int>(sheets.size())) << "a sheet printed on several pages";
    EXPECT_GE(pdf.boxes, 1);
    EXPECT_EQ(pdf.landscapeBoxes, pdf.boxes);
}

TEST(PrintTest, FooterNamesTheStaffCodeAndThePeriod) {
    const struct {
        const char16_t* code;
        PayrollMonth month;
        const char16_t* footer;
    } cases[] = {
        {u"0001",
         {QDate(2026, 10, 21), QDate(2026, 11, 20)},
         u"社員コード 0001　2026/10/21～2026/11/20"},
        {u"A&B",
         {QDate(2026, 3, 31), QDate(2026, 4, 30)},
         u"社員コード A&&B　2026/03/31～2026/04/30"},  // "&" would start a footer code
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SheetFooter(QString::fromUtf16(c.code), c.month), QString::fromUtf16(c.footer));
    }
}

}  // namespace
}  // namespace tq::test
