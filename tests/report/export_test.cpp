// The monthly export: sheets, day rows and totals rows cell by cell, read back by the
// independent checker; the file name and folder; the workbook in use; failures that must not
// cost the previous workbook.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <optional>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QSysInfo>
#include <cerrno>
#include <csignal>

#include "../attendance/punch_fixture.h"
#include "attendance/review.h"
#include "checker.h"
#include "report/leave_workbook.h"
#include "report/monthly_export.h"
#include "report/xls_reader.h"

namespace tq::test {
namespace {

using namespace Qt::StringLiterals;

const QDateTime kMay25 = wallClock(QDate(2024, 5, 25), QTime(10, 0));

QStringList header() {
    return {QStringLiteral("日付"),     QStringLiteral("曜日"),    QStringLiteral("シフト"),
            QStringLiteral("残業指示"), QStringLiteral("状態"),    QStringLiteral("出勤"),
            QStringLiteral("退勤"),     QStringLiteral("勤務"),    QStringLiteral("休憩"),
            QStringLiteral("所定"),     QStringLiteral("残業"),    QStringLiteral("深夜"),
            QStringLiteral("早出"),     QStringLiteral("実働"),    QStringLiteral("状態打刻"),
            QStringLiteral("出勤打刻"), QStringLiteral("退勤打刻")};
}

/// A row of 17 texts: the given ones by column, the rest empty.
QStringList row(std::initializer_list<std::pair<int, const char16_t*>> cells) {
    QStringList r(17, QString());
    for (const auto& [c, text] : cells) {
        r[c] = QString::fromUtf16(text);
    }
    return r;
}

/// The day text of a day without shift rules but Saturday and Sunday off.
QString dayText(const QDate& d) {
    static const char16_t* letters[] = {u"月", u"火", u"水", u"木", u"金", u"土", u"日"};
    return QString::fromUtf16(letters[d.dayOfWeek() - 1]) +
           (d.dayOfWeek() >= 6 ? QStringLiteral("休") : QString());
}

/// A day after the last stored row: only date and day text.
QStringList blankDay(const QDate& d) {
    QStringList r(17, QString());
    r[0] = d.toString(QStringLiteral("MM/dd"));
    r[1] = dayText(d);
    return r;
}

const QStringList kSeparator = row({{0, u"　"}});

class ExportTest : public PunchTest {
  protected:
    QString folder() const { return dir.filePath(QStringLiteral("EXCEL")); }
    QString target() const { return folder() + QStringLiteral("/2024年05月度_勤務.xls"); }

    ExportResult run(const AskRetry& ask = [](const QString&) { return false; }) {
        return ExportMonthlyWorkbook(*db, settings, kMay25, folder(), {}, ask);
    }

    /// A stored day with a declared state and no punches.
    void addState(const QString& code, const QDate& day, const QString& state) {
        Sql s(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,状態) VALUES ("));
        s.text(code).raw(QStringLiteral(",")).date(day).raw(QStringLiteral(","));
        s.text(state).raw(QStringLiteral(")"));
        db->execute(s);
    }

    /// `footer`: the left footer every sheet must have, when given.
    void expectPasses(const QString& path, const QJsonArray& sheets, const QString& footer = {}) {
        QJsonObject layout = PayrollLayout();
        if (!footer.isEmpty()) {
            layout[QStringLiteral("footer")] = QJsonObject{{QStringLiteral("left"), footer},
                                                           {QStringLiteral("center"), QString()},
                                                           {QStringLiteral("right"), QString()}};
        }
        const CheckerRun r = VerifyXls(path, Expectations(layout, sheets));
        EXPECT_EQ(r.exitCode, 0) << r.output.toStdString();
    }
};

TEST_F(ExportTest, RowsOnTheFirstAndTheTwentiethCellByCell) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田太郎"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 1), QStringLiteral("A"), 830, 1730);
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 20), QStringLiteral("A"), 855, 1937);

    std::vector<QString> progress;
    const ExportResult r = ExportMonthlyWorkbook(
        *db, settings, kMay25, folder(),
        [&](const QString& name, int, int) { progress.push_back(name); },
        [](const QString&) { return false; });
    ASSERT_EQ(r.status, ExportStatus::Written);
    EXPECT_EQ(r.path, target());
    EXPECT_EQ(r.PeriodStart, QDate(2024, 5, 1));
    EXPECT_EQ(r.PeriodEnd, QDate(2024, 5, 31));
    EXPECT_EQ(progress, std::vector<QString>{QStringLiteral("山田太郎")});

    QList<QStringList> expected{header()};
    expected.append(row({{0, u"05/01"},
                         {1, u"水"},
                         {2, u"A"},
                         {4, u"勤務"},
                         {5, u"8:30"},
                         {6, u"17:30"},
                         {7, u"9:00"},
                         {9, u"9:00"},
                         {13, u"9:00"}}));
    // Days 2 to 19 are calculated as days without a record: past working days are missing
    // ("？？"), Saturdays and Sundays are not.
    for (int d = 2; d <= 19; ++d) {
        QStringList day = blankDay(QDate(2024, 5, d));
        if (QDate(2024, 5, d).dayOfWeek() < 6) {
            day[4] = QStringLiteral("？？");
        }
        expected.append(day);
    }
    expected.append(row({{0, u"05/20"},
                         {1, u"月"},
                         {2, u"A"},
                         {4, u"勤務"},
                         {5, u"8:55"},
                         {6, u"19:37"},
                         {7, u"10:42"},
                         {9, u"8:35"},
                         {13, u"8:35"}}));
    for (int d = 21; d <= 31; ++d) {
        expected.append(blankDay(QDate(2024, 5, d)));  // even past working days: no calculation
    }
    expected.append(kSeparator);
    expected.append(row(
        {{0, u"合 計"}, {5, u"勤務"}, {6, u"2日"}, {7, u"19:42"}, {9, u"17:35"}, {13, u"17:35"}}));
    expected.append(row({{4, u"休日"}, {5, u"勤務"}}));
    expected.append(
        row({{4, u"計"}, {5, u"勤務"}, {6, u"2日"}, {7, u"19:42"}, {9, u"17:35"}, {13, u"17:35"}}));
    expected.append(QStringList(17, QString()));
    ASSERT_EQ(expected.size(), 1 + 31 + 1 + 4);
    expectPasses(r.path, QJsonArray{ExpectedSheet(QStringLiteral("山田太郎"), expected)},
                 QStringLiteral("社員コード 0001　2024/05/01～2024/05/31"));
}

TEST_F(ExportTest, StaffWithoutRowsGetNoSheetAndNamesFollowTheRules) {
    // In code order: rows, none in May, rows, the same name again, a name with an apostrophe
    // and brackets.
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("鈴木"));
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("佐藤"));
    rows->addStaff(QStringLiteral("0003"), QStringLiteral("田中"));
    rows->addStaff(QStringLiteral("0004"), QStringLiteral("鈴木"));
    rows->addStaff(QStringLiteral("0005"), QStringLiteral("O'Brien [営業]"));
    for (const char16_t* code : {u"0001", u"0003", u"0004", u"0005"}) {
        rows->addWork(QString::fromUtf16(code), QDate(2024, 5, 31), QStringLiteral("A"), 830, 0);
    }
    rows->addWork(QStringLiteral("0002"), QDate(2024, 4, 30), QStringLiteral("A"), 830, 1730);

    const ExportResult r = run();
    ASSERT_EQ(r.status, ExportStatus::Written);
    const QStringList names{QStringLiteral("鈴木"), QStringLiteral("田中"),
                            QStringLiteral("鈴木 (2)"), QStringLiteral("O'Brien _営業_")};
    EXPECT_EQ(r.sheetNames, names);

    // Each sheet: 30 days calculated without a record, the 31st with only a clock-in on a
    // day not yet over, so no state.
    QList<QStringList> expected{header()};
    for (int d = 1; d <= 30; ++d) {
        QStringList day = blankDay(QDate(2024, 5, d));
        if (QDate(2024, 5, d).dayOfWeek() < 6 && d < 25) {
            day[4] = QStringLiteral("？？");
        }
        expected.append(day);
    }
    expected.append(row({{0, u"05/31"}, {1, u"金"}, {2, u"A"}, {5, u"8:30"}}));
    expected.append(kSeparator);
    expected.append(row({{0, u"合 計"}, {5, u"勤務"}}));
    expected.append(row({{4, u"休日"}, {5, u"勤務"}}));
    expected.append(row({{4, u"計"}, {5, u"勤務"}}));
    expected.append(QStringList(17, QString()));
    QJsonArray sheets;
    for (const QString& name : names) {
        sheets.append(ExpectedSheet(name, expected));
    }
    expectPasses(r.path, sheets);
}

TEST_F(ExportTest, LabelledCountsReachTheirCells) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    addState(QStringLiteral("0001"), QDate(2024, 5, 1), QStringLiteral("有給休暇"));
    addState(QStringLiteral("0001"), QDate(2024, 5, 2), QStringLiteral("有給休暇"));
    addState(QStringLiteral("0001"), QDate(2024, 5, 7), QStringLiteral("代替休暇(05/04)"));
    addState(QStringLiteral("0001"), QDate(2024, 5, 8), QStringLiteral("私傷休暇"));
    addState(QStringLiteral("0001"), QDate(2024, 5, 9), QStringLiteral("公傷休暇"));
    addState(QStringLiteral("0001"), QDate(2024, 5, 10), QStringLiteral("特別休暇"));
    addState(QStringLiteral("0001"), QDate(2024, 5, 13), QStringLiteral("無断欠勤"));
    addState(QStringLiteral("0001"), QDate(2024, 5, 14), QStringLiteral("申告欠勤"));
    const ExportResult r = run();
    ASSERT_EQ(r.status, ExportStatus::Written);

    QString error;
    const auto book = xls::ReadXlsFile(readFile(r.path), &error);
    ASSERT_TRUE(book) << error.toStdString();
    const xls::ReadSheet& s = book->sheets.at(0);
    const int totals = 1 + 31 + 1;  // header, days, separator
    EXPECT_EQ(s.text(totals, 14), QStringLiteral("有給消化　2日"));
    EXPECT_EQ(s.text(totals, 15), QStringLiteral("代休消化　1日"));
    EXPECT_EQ(s.text(totals + 1, 15), QString());  // no substitute working day
    EXPECT_EQ(s.text(totals + 3, 10), QStringLiteral("欠勤"));
    EXPECT_EQ(s.text(totals + 3, 11), QStringLiteral("2日"));
    EXPECT_EQ(s.text(totals + 3, 5), QString());  // no late arrival: no label, no count
    EXPECT_EQ(s.text(totals + 3, 14), QStringLiteral("私傷休暇　1日"));
    EXPECT_EQ(s.text(totals + 3, 15), QStringLiteral("公傷休暇　1日"));
    EXPECT_EQ(s.text(totals + 3, 16), QStringLiteral("特別休暇　1日"));
    EXPECT_EQ(s.text(8, 4), QStringLiteral("私傷休暇"));  // the day row of 05/08
    EXPECT_EQ(s.dimensionRows, totals + 4);
}

TEST(ExportTotalsTest, ZeroIsEmptyAndMinutesShowAsHoursAndMinutes) {
    const auto empty = TotalsRows(MonthTotals());
    EXPECT_EQ(empty[0], row({{0, u"合 計"}, {5, u"勤務"}}));
    EXPECT_EQ(empty[1], row({{4, u"休日"}, {5, u"勤務"}}));
    EXPECT_EQ(empty[2], row({{4, u"計"}, {5, u"勤務"}}));
    EXPECT_EQ(empty[3], QStringList(17, QString()));

    MonthTotals t;
    t.ordinary = TotalsGroup{3, 0, 545, 60, 5, 600, 1500, 2000};
    t.rest = TotalsGroup{1, 0, 0, 0, 0, 59, 61, 0};
    t.all = TotalsGroup{4, 0, 545, 60, 5, 659, 1561, 2000};
    t.遅早回数 = 2;
    t.遅早時間 = 45;
    t.欠勤 = 1;
    t.有給休暇 = 3;
    t.代替休暇 = 1;
    t.代替出勤 = 2;
    t.私傷休暇 = 4;
    t.公傷休暇 = 5;
    t.特別休暇 = 6;
    const auto rows = TotalsRows(t);
    EXPECT_EQ(rows[0], row({{0, u"合 計"},
                            {5, u"勤務"},
                            {6, u"3日"},
                            {7, u"25:00"},
                            {9, u"9:05"},
                            {10, u"1:00"},
                            {11, u"0:05"},
                            {12, u"10:00"},
                            {13, u"33:20"},
                            {14, u"有給消化　3日"},
                            {15, u"代休消化　1日"}}));
    EXPECT_EQ(rows[1], row({{4, u"休日"},
                            {5, u"勤務"},
                            {6, u"1日"},
                            {7, u"1:01"},
                            {12, u"0:59"},
                            {15, u"代替出勤　2日"}}));
    EXPECT_EQ(rows[2][7], QStringLiteral("26:01"));
    EXPECT_EQ(rows[3], row({{5, u"遅早"},
                            {6, u"2日"},
                            {7, u"0:45"},
                            {10, u"欠勤"},
                            {11, u"1日"},
                            {14, u"私傷休暇　4日"},
                            {15, u"公傷休暇　5日"},
                            {16, u"特別休暇　6日"}}));
}

TEST(ExportNamesTest, SheetNamesFollowTheRulesForBadLongAndRepeatedNames) {
    const QString long40 = QString(40, u'長');
    const QStringList names =
        SheetNames({QStringLiteral("a/b\\c:d*e?f[g]h"), long40, long40, QStringLiteral("Yamada"),
                    QStringLiteral("YAMADA"), QStringLiteral("'quoted'"), QString(),
                    QString(30, u'x') + QStringLiteral("𠮷")});
    EXPECT_EQ(names[0], QStringLiteral("a_b_c_d_e_f_g_h"));
    EXPECT_EQ(names[1], QString(31, u'長'));
    EXPECT_EQ(names[2], QString(27, u'長') + QStringLiteral(" (2)"));
    EXPECT_EQ(names[3], QStringLiteral("Yamada"));
    EXPECT_EQ(names[4], QStringLiteral("YAMADA (2)"));  // sheet names ignore case
    EXPECT_EQ(names[5], QStringLiteral("_quoted_"));
    EXPECT_EQ(names[6], QStringLiteral("_"));
    EXPECT_EQ(names[7], QString(30, u'x'));  // never half a surrogate pair
    for (const QString& n : names) {
        EXPECT_TRUE(xls::IsValidSheetName(n)) << n.toStdString();
    }
    EXPECT_EQ(WorkbookFileName(QDate(2024, 3, 20)), QStringLiteral("2024年03月度_勤務.xls"));
}

TEST_F(ExportTest, TheLeaveLedgerIsWrittenBesideTheMonthlyWorkbook) {
    // Joined 2023/10/01: 10 days on 2024/04/01; March: one day worked, one absent.
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田太郎"), QStringLiteral("A"),
                   QStringLiteral("2023/10/01"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 3, 4), QStringLiteral("A"), 830, 1730);
    addState(QStringLiteral("0001"), QDate(2024, 3, 5), QStringLiteral("欠勤"));
    addState(QStringLiteral("0001"), QDate(2024, 5, 10), QStringLiteral("有給休暇"));
    // No joining day: a day of leave that no grant covers.
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"));
    addState(QStringLiteral("0002"), QDate(2024, 5, 13), QStringLiteral("有給休暇"));
    // Neither grants nor leave: no sheet.
    rows->addStaff(QStringLiteral("0003"), QStringLiteral("佐藤"));
    rows->addWork(QStringLiteral("0003"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);

    const QString ledgerPath = folder() + QStringLiteral("/年次有給休暇管理簿.xls");
    auto ledgerStatus = [&](const ExportResult& r) {
        for (const CompanionWorkbook& book : r.companions) {
            if (book.path == ledgerPath) {
                return std::optional<ReplaceStatus>(book.status);
            }
        }
        return std::optional<ReplaceStatus>();
    };
    const ExportResult r = run();
    ASSERT_EQ(r.status, ExportStatus::Written);
    ASSERT_EQ(ledgerStatus(r), ReplaceStatus::Replaced);
    EXPECT_TRUE(r.outcome.messages.empty());

    const QStringList header{
        QStringLiteral("基準日"),       QStringLiteral("付与日数"), QStringLiteral("取得日数"),
        QStringLiteral("残日数"),       QStringLiteral("失効日"),   QStringLiteral("義務期限"),
        QStringLiteral("義務期間取得"), QStringLiteral("取得義務"), QStringLiteral("区分"),
        QStringLiteral("週所定"),       QStringLiteral("前期間"),   QStringLiteral("出勤日数"),
        QStringLiteral("全労働日"),     QStringLiteral("出勤率"),   QStringLiteral("備考")};
    const QStringList daysHeader{QStringLiteral("取得日"), QStringLiteral("使用した付与(基準日)")};
    auto particulars = [](const char16_t* code, const char16_t* name, const char16_t* joined) {
        return QStringList{QStringLiteral("社員コード"), QString::fromUtf16(code),
                           QStringLiteral("氏名"),       QString::fromUtf16(name),
                           QStringLiteral("入社年月日"), QString::fromUtf16(joined),
                           QStringLiteral("作成日"),     QStringLiteral("2024/05/25")};
    };
    const QStringList title{QStringLiteral("年次有給休暇管理簿")};
    const QList<QStringList> yamada{
        title,
        particulars(u"0001", u"山田太郎", u"2023/10/01"),
        {},
        header,
        {QStringLiteral("2024/04/01"), QStringLiteral("10.0"), QStringLiteral("1.0"),
         QStringLiteral("9.0"), QStringLiteral("2026/03/31"), QStringLiteral("2025/03/31"),
         QStringLiteral("1.0"), QStringLiteral("残り4日"), QStringLiteral("自動"),
         QStringLiteral("週5日 40:00"), QStringLiteral("2023/10/01～2024/03/31"),
         QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("50.0% (80%未満)"), QString()},
        {},
        daysHeader,
        {QStringLiteral("2024/05/10"), QStringLiteral("2024/04/01")}};
    const QList<QStringList> suzuki{
        title,
        particulars(u"0002", u"鈴木", u"未登録"),
        {},
        header,
        {QStringLiteral("未付与"), QStringLiteral("0.0"), QStringLiteral("1.0"),
         QStringLiteral("-1.0"), QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"),
         QStringLiteral("対象外")},
        {QStringLiteral("入社年月日が未登録のため、法定の付与は自動では行われません。")},
        {},
        daysHeader,
        {QStringLiteral("2024/05/13"), QStringLiteral("未付与")}};
    const QJsonObject layout{
        {QStringLiteral("columns"), QStringLiteral("A:O")},
        {QStringLiteral("landscape"), true},
        {QStringLiteral("print_scale"), 80},
        {QStringLiteral("print_title_rows"), QStringLiteral("$4:$4")},
    };
    const CheckerRun check =
        VerifyXls(ledgerPath,
                  Expectations(layout, QJsonArray{ExpectedSheet(QStringLiteral("山田太郎"), yamada),
                                                  ExpectedSheet(QStringLiteral("鈴木"), suzuki)}));
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();

    // A ledger open in a spreadsheet program is asked about; giving up keeps the month.
    writeFile(folder() + QStringLiteral("/.~lock.年次有給休暇管理簿.xls#"),
              QByteArray(",someone,host,2024;"));
    QStringList asked;
    const ExportResult inUse = run([&](const QString& m) {
        asked << m;
        return false;
    });
    EXPECT_EQ(inUse.status, ExportStatus::Written);
    EXPECT_EQ(ledgerStatus(inUse), ReplaceStatus::Cancelled);
    EXPECT_EQ(asked, QStringList{QStringLiteral("Excelブック(") + ledgerPath +
                                 QStringLiteral(")を閉じてください。")});
}

TEST_F(ExportTest, NobodyWithRowsWritesNothing) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 4, 30), QStringLiteral("A"), 830, 1730);
    bool asked = false;
    const ExportResult r = run([&](const QString&) { return asked = true; });
    EXPECT_EQ(r.status, ExportStatus::NoRows);
    EXPECT_TRUE(r.outcome.messages.empty());
    EXPECT_FALSE(asked);
    EXPECT_FALSE(QFileInfo::exists(folder()));
}

TEST_F(ExportTest, WorkbookInUseIsAskedAboutUntilClosedOrGivenUp) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 1), QStringLiteral("A"), 830, 1730);
    writeFile(target(), QByteArray("previous workbook"));
    const QString lock = folder() + QStringLiteral("/.~lock.2024年05月度_勤務.xls#");
    writeFile(lock, QByteArray(",someone,OTHER-PC-TQ582,2024;"));
    const QString message =
        QStringLiteral("Excelブック(") + target() + QStringLiteral(")を閉じてください。");

    // Cancel: nothing written, the previous file kept, no temporary file left.
    QStringList asked;
    ExportResult r = run([&](const QString& m) {
        asked << m;
        return false;
    });
    EXPECT_EQ(r.status, ExportStatus::Cancelled);
    EXPECT_EQ(asked, QStringList{message});
    EXPECT_EQ(readFile(target()), QByteArray("previous workbook"));
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // OK twice while it stays open, then the spreadsheet is closed: written.
    asked.clear();
    r = run([&](const QString& m) {
        asked << m;
        if (asked.size() == 2) {
            QFile::remove(lock);
        }
        return true;
    });
    EXPECT_EQ(r.status, ExportStatus::Written);
    EXPECT_EQ(asked.size(), 2);
    QString error;
    EXPECT_TRUE(xls::ReadXlsFile(readFile(target()), &error)) << error.toStdString();
    EXPECT_EQ(
        QDir(folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
        (QStringList{QStringLiteral("2024年05月度_36協定.xls"), QFileInfo(target()).fileName()}));
}

TEST_F(ExportTest, LockFileOfThisComputerThatNothingHoldsIsRemovedOthersAreAskedAbout) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 1), QStringLiteral("A"), 830, 1730);
    const QString host = QSysInfo::machineHostName();
    const QString lock = folder() + QStringLiteral("/.~lock.2024年05月度_勤務.xls#");
    enum Holder { Nobody, ThisProcess, AnotherProcess };
    const struct {
        const char* what;
        QString lockText;
        Holder holder;
        bool asked;
    } cases[] = {
        {"crashed here", u",tanaka,%1,08.12.2026 16:38,file:///home/tanaka;"_s.arg(host), Nobody,
         false},
        {"host name in capitals with a domain", u",tanaka,%1.example.jp,x,y;"_s.arg(host.toUpper()),
         Nobody, false},
        {"open here", u",tanaka,%1,x,y;"_s.arg(host), ThisProcess, true},
        {"open in another program here", u",tanaka,%1,x,y;"_s.arg(host), AnotherProcess, true},
        {"another computer", u",tanaka,OTHER-PC-TQ582,x,y;"_s, Nobody, true},
        {"unreadable", u"x"_s, Nobody, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(target(), QByteArray("previous"));
        writeFile(lock, c.lockText.toUtf8());
        QFile open(target());
        QProcess other;
        if (c.holder == ThisProcess) {
            ASSERT_TRUE(open.open(QIODevice::ReadOnly));
        } else if (c.holder == AnotherProcess) {
            other.start(QStringLiteral("/bin/sh"),
                        {QStringLiteral("-c"),
                         QStringLiteral("exec 3<\"$0\"; echo held; exec sleep 60"), target()});
            ASSERT_TRUE(other.waitForReadyRead(10000));
        }
        int asked = 0;
        const ExportResult r = run([&](const QString&) {
            ++asked;
            return false;
        });
        EXPECT_EQ(asked, c.asked ? 1 : 0);
        EXPECT_EQ(r.status, c.asked ? ExportStatus::Cancelled : ExportStatus::Written);
        EXPECT_EQ(QFile::exists(lock), c.asked) << "only a stale lock file is removed";
        EXPECT_EQ(readFile(target()) == QByteArray("previous"), c.asked);
        other.kill();
        other.waitForFinished(5000);
        QFile::remove(lock);
    }
}

TEST_F(ExportTest, WriteThatFailsSaysWhyInJapaneseAndKeepsThePreviousFile) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 1), QStringLiteral("A"), 830, 1730);
    const QString saveFailed =
        QStringLiteral("Excelブック(") + target() + QStringLiteral(")を保存できませんでした。");
    // A folder in the workbook's place: a failed save, not a workbook in use.
    ASSERT_TRUE(QDir().mkpath(target()));
    writeFile(target() + QStringLiteral("/keep"), QByteArray("x"));
    int asked = 0;
    ExportResult r = run([&](const QString&) { return ++asked < 5; });
    EXPECT_EQ(r.status, ExportStatus::Failed);
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(r.outcome.messages.size(), 1u);
    EXPECT_EQ(r.outcome.messages[0].text, saveFailed + u"同じ名前のフォルダがあります。"_s);
    EXPECT_EQ(readFile(target() + QStringLiteral("/keep")), QByteArray("x"));
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden).size(), 0) << "no leftovers";

    // A file where the folder goes.
    QDir(folder()).removeRecursively();
    writeFile(folder(), QByteArray("a file"));
    r = run();
    EXPECT_EQ(r.status, ExportStatus::Failed);
    ASSERT_EQ(r.outcome.messages.size(), 1u);
    EXPECT_EQ(
        r.outcome.messages[0].text,
        saveFailed +
            u"フォルダ(%1)を作成できません。フォルダの位置に同じ名前のファイルがあります。"_s.arg(
                folder()));

    // The causes the system can give, each said in Japanese.
    const std::pair<int, const char16_t*> causes[] = {
        {ENOSPC, u"ディスクの空き容量が不足しています。"},
        {EDQUOT, u"ディスクの空き容量が不足しています。"},
        {EACCES, u"書き込む権限がありません。"},
        {EPERM, u"書き込む権限がありません。"},
        {EROFS, u"書き込みできないディスクです。"},
        {EISDIR, u"同じ名前のフォルダがあります。"},
        {EIO, u"ディスクの読み書きに失敗しました。"},
        {EXDEV, u"書き込みに失敗しました（エラー番号 18）。"},
    };
    for (const auto& [errnum, text] : causes) {
        EXPECT_EQ(WriteFailureCause(errnum), QString::fromUtf16(text)) << errnum;
    }
}

TEST_F(ExportTest, FailureWhileWritingKeepsThePreviousWorkbook) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 1), QStringLiteral("A"), 830, 1730);
    const QByteArray previous(20000, 'p');
    writeFile(target(), previous);

    // Files of this process may not grow past 4 KiB: the new workbook cannot be written.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const ExportResult r = run();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(r.status, ExportStatus::Failed);
    ASSERT_EQ(r.outcome.messages.size(), 1u);
    EXPECT_EQ(r.outcome.messages[0].text, QStringLiteral("Excelブック(") + target() +
                                              QStringLiteral(")を保存できませんでした。") +
                                              QStringLiteral("ファイルが大きすぎます。"));
    EXPECT_EQ(r.outcome.messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(readFile(target()), previous);
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files | QDir::Hidden).size(), 1);  // no leftovers
}

TEST_F(ExportTest, EveryDayIsInExactlyOneMonthsWorkbookAndReviewWhateverTheClosingDay) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    {
        WriteTransaction tx(*db);
        for (QDate d(2026, 11, 1); d <= QDate(2029, 3, 31); d = d.addDays(1)) {
            rows->addWork(QStringLiteral("0001"), d, QStringLiteral("A"), 830, 1730);
        }
        tx.commit();
    }
    settings.過日修正可能日 = QStringLiteral("末日");
    QStringList closings{QStringLiteral("末日")};
    for (int c = 1; c <= 31; ++c) {
        closings << QString::number(c);
    }
    // 26 months from January 2027, February 2028 a leap month: each month's workbook, taken on
    // its closing day, and the review that day hold the days after the previous month's.
    for (const QString& closing : closings) {
        settings.給与締日 = closing;
        QDate next = PayrollMonthEnding(2027, 1, settings).start;
        for (int i = 0; i < 26; ++i) {
            const QDate named = QDate(2027, 1, 1).addMonths(i);
            const PayrollMonth m = PayrollMonthEnding(named.year(), named.month(), settings);
            const QDateTime now = wallClock(m.end, QTime(12, 0));
            const PayrollMonth exported = ExportMonth(now, settings);
            ASSERT_EQ(exported.start, next) << closing.toStdString() << " " << i;
            ASSERT_EQ(exported.end, m.end) << closing.toStdString() << " " << i;
            const auto sheets = MonthlySheets(*db, settings, exported, now, {});
            const ReviewResult review =
                MonthlyReview(*db, identify(QStringLiteral("0001"), now), settings, now);
            ASSERT_EQ(sheets.size(), 1u);
            ASSERT_EQ(review.period.PeriodStart, exported.start) << closing.toStdString();
            ASSERT_EQ(review.period.PeriodEnd, exported.end) << closing.toStdString();
            ASSERT_EQ(sheets[0].days.size(), review.days.size());
            for (size_t j = 0; j < review.days.size(); ++j, next = next.addDays(1)) {
                ASSERT_EQ(sheets[0].days[j].日付, formatMonthDay(next)) << closing.toStdString();
                ASSERT_EQ(review.days[j].日付, formatMonthDay(next)) << closing.toStdString();
            }
            EXPECT_EQ(sheets[0].totals.all.days, static_cast<int>(review.days.size()));
        }
    }
}

/// Every cell text of every sheet of a workbook file, sheet by sheet.
QStringList cellTexts(const QString& path) {
    QString error;
    const auto book = xls::ReadXlsFile(readFile(path), &error);
    EXPECT_TRUE(book) << error.toStdString();
    QStringList out;
    for (const xls::ReadSheet& s : book ? book->sheets : std::vector<xls::ReadSheet>{}) {
        out << s.name;
        for (int r = 0; r < s.dimensionRows; ++r) {
            QStringList row;
            for (int c = 0; c < 17; ++c) {
                row << s.text(r, c);
            }
            out << row.join(u'|');
        }
    }
    return out;
}

TEST_F(ExportTest, MonthIsTheSameWorkbookAfterItsRowsWereMovedToTheArchive) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"));
    int worked = 0;
    for (QDate d(2024, 4, 1); d <= QDate(2024, 4, 30); d = d.addDays(1)) {
        if (d.dayOfWeek() < 6 && d.day() != 10) {
            rows->addWork(QStringLiteral("0001"), d, QStringLiteral("A"), 830, 1730 + d.day());
            ++worked;
        }
    }
    addState(QStringLiteral("0002"), QDate(2024, 4, 12), QStringLiteral("有給休暇"));
    rows->addWork(QStringLiteral("0002"), QDate(2024, 5, 7), QStringLiteral("A"), 830, 1730);
    // In June the start-up moves April's rows; April is exported again by name.
    const QDateTime june = wallClock(QDate(2024, 6, 10), QTime(9, 0));
    const PayrollMonth april = PayrollMonthEnding(2024, 4, settings);
    ExportResult r = ExportMonthlyWorkbook(*db, settings, april, june, folder(), {}, {});
    ASSERT_EQ(r.status, ExportStatus::Written);
    const QStringList before = cellTexts(r.path);
    ASSERT_TRUE(before.join(u'\n').contains(u"合 計|||||勤務|%1日|"_s.arg(worked)));

    ASSERT_EQ(ArchiveOldRows(*db, QDate(2024, 5, 1)).first, worked + 1);
    r = ExportMonthlyWorkbook(*db, settings, april, june, folder(), {}, {});
    ASSERT_EQ(r.status, ExportStatus::Written);
    EXPECT_EQ(cellTexts(r.path), before);
    EXPECT_EQ(r.sheetNames, (QStringList{QStringLiteral("山田"), QStringLiteral("鈴木")}));
}

/// Passes everything on, running `beforeQuery` first: another terminal's write can come
/// between two reads of the export.
class HookedDatabase : public FailingDatabase {
  public:
    explicit HookedDatabase(Database& inner)
        : FailingDatabase(inner, [](const Sql&) { return false; }) {}
    std::unique_ptr<ResultSet> query(const Sql& statement) override {
        if (beforeQuery) {
            beforeQuery(statement);
        }
        return FailingDatabase::query(statement);
    }
    std::function<void(const Sql&)> beforeQuery;
};

TEST_F(ExportTest, AllSheetsShowOneMomentWhileAnotherTerminalWrites) {
    rows->addStaff(QStringLiteral("0001"), QStringLiteral("山田"));
    rows->addStaff(QStringLiteral("0002"), QStringLiteral("鈴木"));
    rows->addWork(QStringLiteral("0001"), QDate(2024, 5, 1), QStringLiteral("A"), 830, 1730);
    rows->addWork(QStringLiteral("0002"), QDate(2024, 5, 1), QStringLiteral("A"), 830, 1730);
    const auto other = site->open(false);
    HookedDatabase hooked(*db);
    bool written = false;
    hooked.beforeQuery = [&](const Sql& s) {
        // Once the first sheet's rows are read, the other terminal punches for both.
        if (!written && s.logText().contains(QStringLiteral("'0002'"))) {
            written = true;
            SiteRows punches(*other);
            punches.addWork(QStringLiteral("0002"), QDate(2024, 5, 2), QStringLiteral("A"), 830,
                            1730);
            other->execute(Sql(
                QStringLiteral("UPDATE T_勤務 SET 退勤時刻 = 2000 WHERE 担当者コード = '0001'")));
        }
    };
    const ExportResult r = ExportMonthlyWorkbook(hooked, settings, kMay25, folder(), {}, {});
    ASSERT_TRUE(written);
    ASSERT_EQ(r.status, ExportStatus::Written);
    QString error;
    const auto book = xls::ReadXlsFile(readFile(r.path), &error);
    ASSERT_TRUE(book) << error.toStdString();
    EXPECT_EQ(book->sheets.at(0).text(1, 6), QStringLiteral("17:30"));
    EXPECT_EQ(book->sheets.at(1).text(2, 0), QStringLiteral("05/02"));
    EXPECT_EQ(book->sheets.at(1).text(2, 5), QString()) << "05/02 was punched after the moment";
    EXPECT_EQ(rows->work(QStringLiteral("0002"), QDate(2024, 5, 2)).in, 830) << "stored though";
}

}  // namespace
}  // namespace tq::test
