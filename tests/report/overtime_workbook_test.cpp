// The 36 agreement's workbook the export writes beside the monthly one, read back by the
// independent checker. (In use, it costs the monthly workbook nothing: ctl_export_test.)

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>

#include "../attendance/punch_fixture.h"
#include "checker.h"
#include "report/monthly_export.h"
#include "report/overtime_workbook.h"

namespace tq::test {
namespace {

const QDateTime kMay25 = wallClock(QDate(2024, 5, 25), QTime(10, 0));

QJsonObject OvertimeLayout() {
    return QJsonObject{
        {QStringLiteral("columns"), QStringLiteral("A:I")},
        {QStringLiteral("header_row_centered"), true},
        {QStringLiteral("right_aligned"), QJsonArray{QStringLiteral("C:I")}},
        {QStringLiteral("borders"),
         QJsonObject{{QStringLiteral("range_rows"), QStringLiteral("all")},
                     {QStringLiteral("style"), QStringLiteral("thin")},
                     {QStringLiteral("mode"), QStringLiteral("cell")}}},
        {QStringLiteral("vertical_center"),
         QJsonObject{{QStringLiteral("columns"), QStringLiteral("A:I")}}},
        {QStringLiteral("autofit"), QJsonObject{{QStringLiteral("min_ratio"), 0.8},
                                                {QStringLiteral("max_ratio"), 1.6},
                                                {QStringLiteral("max_pad_chars"), 4}}},
        {QStringLiteral("freeze"),
         QJsonObject{{QStringLiteral("rows"), 1}, {QStringLiteral("cols"), 0}}},
        {QStringLiteral("landscape"), false},
        {QStringLiteral("print_title_rows"), QStringLiteral("$1:$1")},
        {QStringLiteral("header"),
         QJsonObject{{QStringLiteral("left"), QStringLiteral("&F          &A")},
                     {QStringLiteral("center"), QString()},
                     {QStringLiteral("right"), QString()}}},
    };
}

class OvertimeWorkbookTest : public PunchTest {
  protected:
    QString folder() const { return dir.filePath(QStringLiteral("EXCEL")); }
    QString agreement() const { return folder() + QStringLiteral("/2024年05月度_36協定.xls"); }

    ExportResult run() {
        return ExportMonthlyWorkbook(*db, settings, kMay25, folder(), {},
                                     [](const QString&) { return false; });
    }
};

TEST_F(OvertimeWorkbookTest, WrittenBesideTheMonthlyWorkbookCellByCell) {
    // Shift A from 08:30 to 17:30 without a break: 9 hours, 1:00 overtime a day.
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("佐藤"));
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addStaff(QStringLiteral("0003"), QStringLiteral("鈴木"));
    for (int d : {1, 2}) {
        rows->addWork(QStringLiteral("0001"), QDate(2024, 5, d), QStringLiteral("A"), 830, 1730);
    }
    rows->addWork(QStringLiteral("0001"), QDate(2024, 4, 30), QStringLiteral("A"), 830, 1730);
    rows->addWork(QStringLiteral("0002"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    rows->addWork(QStringLiteral("0003"), QDate(2024, 4, 8), QStringLiteral("A"), 830, 1730);

    const ExportResult r = run();
    ASSERT_EQ(r.status, ExportStatus::Written);
    ASSERT_EQ(r.companions.size(), 1u);
    EXPECT_EQ(r.companions[0].path, QDir::cleanPath(agreement()));
    EXPECT_EQ(r.companions[0].status, ReplaceStatus::Replaced);
    EXPECT_EQ(r.sheetNames, (QStringList{QStringLiteral("山田"), QStringLiteral("佐藤")}));

    QList<QStringList> month{OvertimeHeader()};
    month << QStringList{QStringLiteral("0001"), QStringLiteral("山田"), QStringLiteral("2:00"),
                         QStringLiteral("0:00"), QStringLiteral("2:00"), QStringLiteral("3:00"),
                         QStringLiteral("0"),    QStringLiteral("1:30"), QStringLiteral("—")};
    month << QStringList{QStringLiteral("0002"), QStringLiteral("佐藤"), QStringLiteral("1:00"),
                         QStringLiteral("0:00"), QStringLiteral("1:00"), QStringLiteral("1:00"),
                         QStringLiteral("0"),    QStringLiteral("0:30"), QStringLiteral("—")};
    QList<QStringList> year{
        {QStringLiteral("社員コード"), QStringLiteral("氏名"), QStringLiteral("月度"),
         QStringLiteral("時間外"), QStringLiteral("休日労働"), QStringLiteral("合計"),
         QStringLiteral("年時間外"), QStringLiteral("最大平均"), QStringLiteral("判定")}};
    // April and May for each, then the months still to come.
    const QList<QStringList> figures{
        {QStringLiteral("1:00"), QStringLiteral("0:00"), QStringLiteral("1:00"),
         QStringLiteral("1:00"), QStringLiteral("0:30"), QStringLiteral("—")},
        {QStringLiteral("2:00"), QStringLiteral("0:00"), QStringLiteral("2:00"),
         QStringLiteral("3:00"), QStringLiteral("1:30"), QStringLiteral("—")},
        {QStringLiteral("0:00"), QStringLiteral("0:00"), QStringLiteral("0:00"),
         QStringLiteral("0:00"), QStringLiteral("0:00"), QStringLiteral("—")},
        {QStringLiteral("1:00"), QStringLiteral("0:00"), QStringLiteral("1:00"),
         QStringLiteral("1:00"), QStringLiteral("0:30"), QStringLiteral("—")}};
    for (int s = 0; s < 2; ++s) {
        for (int i = 0; i < 12; ++i) {
            QStringList line{
                month[s + 1][0], month[s + 1][1],
                QDate(2024, 4, 1).addMonths(i).toString(QStringLiteral("yyyy年MM月度"))};
            year << (i < 2 ? line + figures[s * 2 + i] : line);
        }
    }
    const CheckerRun check = VerifyXls(
        agreement(), Expectations(OvertimeLayout(),
                                  QJsonArray{ExpectedSheet(QStringLiteral("時間外状況"), month),
                                             ExpectedSheet(QStringLiteral("協定年度"), year)}));
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_EQ(OvertimeWorkbookFileName(QDate(2024, 3, 20)),
              QStringLiteral("2024年03月度_36協定.xls"));
}

}  // namespace
}  // namespace tq::test
