#include "report/monthly_export.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include "attendance/review.h"
#include "common/datetime.h"
#include "masters/staff.h"
#include "report/compound_file.h"
#include "report/leave_workbook.h"
#include "report/overtime_workbook.h"

namespace tq {

namespace {

/// "Excelブック(<path>)を保存できませんでした。" and the cause.
Message saveFailure(const QString& path, const QString& error) {
    return Message{
        QStringLiteral("Excelブック(") + path + QStringLiteral(")を保存できませんでした。") + error,
        Icon::Exclamation};
}

/// Writes a workbook through ReplaceFile; the error of a failure in `error`.
ReplaceResult writeWorkbook(const QString& path, const xls::Workbook& book, const AskRetry& ask) {
    QString error;
    const auto bytes = xls::XlsFileBytes(book, &error);
    if (!bytes) {
        ReplaceResult failed;
        failed.error = error;
        return failed;
    }
    return ReplaceFile(path, *bytes, ask);
}

constexpr int kLastColumn = kDayFigureColumns - 1;  // column Q

/// Columns D and F..Q are right-aligned below the header.
bool rightAligned(int column) {
    return column == 3 || column >= 5;
}

/// "#0日", empty for zero.
QString dayCount(int n) {
    return n == 0 ? QString() : QString::number(n) + u'日';
}

/// A labelled count such as "有給消化　3日", empty for zero.
QString labelledCount(const QString& label, int n) {
    return n == 0 ? QString() : label + u'　' + QString::number(n) + u'日';
}

/// Hours and minutes "9:05", empty for zero.
QString hoursMinutes(int minutes) {
    return minutes == 0 ? QString() : formatDuration(minutes);
}

/// Cuts a name to `length` UTF-16 units without splitting a surrogate pair.
QString cut(const QString& name, int length) {
    if (name.size() <= length) {
        return name;
    }
    QString s = name.left(length);
    if (!s.isEmpty() && s.back().isHighSurrogate()) {
        s.chop(1);
    }
    return s;
}

/// Replaces what a sheet name cannot carry, after any cut.
QString clean(QString name) {
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    for (QChar& c : name) {
        if (forbidden.contains(c) || c.unicode() < 0x20) {
            c = u'_';
        }
    }
    if (name.startsWith(u'\'')) {
        name[0] = u'_';
    }
    if (name.endsWith(u'\'')) {
        name[name.size() - 1] = u'_';
    }
    return name.isEmpty() ? QStringLiteral("_") : name;
}

void writeRow(xls::Sheet& sheet, int row, const QStringList& texts, int plain, int right) {
    for (int c = 0; c <= kLastColumn; ++c) {
        sheet.setText(row, c, c < texts.size() ? texts[c] : QString(),
                      rightAligned(c) ? right : plain);
    }
}

}  // namespace

QString WorkbookFileName(const QDate& PeriodEnd) {
    return QStringLiteral("%1年%2月度_勤務.xls")
        .arg(PeriodEnd.year(), 4, 10, QLatin1Char('0'))
        .arg(PeriodEnd.month(), 2, 10, QLatin1Char('0'));
}

QStringList SheetNames(const QStringList& staffNames) {
    QStringList names;
    QSet<QString> used;
    for (const QString& staff : staffNames) {
        QString name = clean(cut(staff, xls::kMaxSheetNameLength));
        for (int n = 2; used.contains(name.toCaseFolded()); ++n) {
            const QString suffix = QStringLiteral(" (%1)").arg(n);
            name = clean(cut(staff, xls::kMaxSheetNameLength - static_cast<int>(suffix.size()))) +
                   suffix;
        }
        used.insert(name.toCaseFolded());
        names << name;
    }
    return names;
}

std::array<QStringList, 4> TotalsRows(const MonthTotals& t) {
    std::array<QStringList, 4> rows;
    for (QStringList& r : rows) {
        r = QStringList(kDayFigureColumns, QString());
    }
    const TotalsGroup* groups[3] = {&t.ordinary, &t.rest, &t.all};
    for (int i = 0; i < 3; ++i) {
        QStringList& r = rows[static_cast<size_t>(i)];
        const TotalsGroup& g = *groups[i];
        r[5] = QStringLiteral("勤務");
        r[6] = dayCount(g.days);
        r[7] = hoursMinutes(g.勤務);
        r[9] = hoursMinutes(g.所定);
        r[10] = hoursMinutes(g.残業);
        r[11] = hoursMinutes(g.深夜);
        r[12] = hoursMinutes(g.早出);
        r[13] = hoursMinutes(g.実働);
    }
    rows[0][0] = QStringLiteral("合 計");
    rows[0][14] = labelledCount(QStringLiteral("有給消化"), t.有給休暇);
    rows[0][15] = labelledCount(QStringLiteral("代休消化"), t.代替休暇);
    rows[1][4] = QStringLiteral("休日");
    rows[1][15] = labelledCount(QStringLiteral("代替出勤"), t.代替出勤);
    rows[2][4] = QStringLiteral("計");

    QStringList& a = rows[3];
    a[5] = t.遅早回数 == 0 ? QString() : QStringLiteral("遅早");
    a[6] = dayCount(t.遅早回数);
    a[7] = hoursMinutes(t.遅早時間);
    a[10] = t.欠勤 == 0 ? QString() : QStringLiteral("欠勤");
    a[11] = dayCount(t.欠勤);
    a[14] = labelledCount(QStringLiteral("私傷休暇"), t.私傷休暇);
    a[15] = labelledCount(QStringLiteral("公傷休暇"), t.公傷休暇);
    a[16] = labelledCount(QStringLiteral("特別休暇"), t.特別休暇);
    return rows;
}

QString SheetFooter(const QString& code, const PayrollMonth& month) {
    QString shownCode = code;
    shownCode.replace(u'&', QStringLiteral("&&"));  // "&" starts a code of the footer
    return QStringLiteral("社員コード ") + shownCode + u'　' + formatDate(month.start) + u'～' +
           formatDate(month.end);
}

xls::Workbook MonthlyWorkbook(const std::vector<StaffSheet>& sheets, const PayrollMonth& month) {
    using xls::CellFormat;
    using xls::HAlign;
    using xls::VAlign;
    xls::Font font;
    font.name = QStringLiteral("IPAGothic");
    xls::Workbook book(font);
    const int header = book.addFormat(CellFormat{HAlign::Centre, VAlign::Centre, true, 0});
    const int plain = book.addFormat(CellFormat{HAlign::General, VAlign::Centre, true, 0});
    const int right = book.addFormat(CellFormat{HAlign::Right, VAlign::Centre, true, 0});
    const int column = book.addFormat(CellFormat{HAlign::General, VAlign::Centre, false, 0});

    QStringList captions;
    for (int c = 0; c < kDayFigureColumns; ++c) {
        captions << DayFigures::columnName(c);
    }
    for (const StaffSheet& s : sheets) {
        xls::Sheet& sheet = book.addSheet(s.name);
        for (int c = 0; c <= kLastColumn; ++c) {
            sheet.setText(0, c, captions[c], header);
            sheet.setColumnFormat(c, column);
        }
        int row = 1;
        for (const DayFigures& day : s.days) {
            QStringList texts;
            for (int c = 0; c < kDayFigureColumns; ++c) {
                texts << day.at(c);
            }
            writeRow(sheet, row++, texts, plain, right);
        }
        writeRow(sheet, row++, {QStringLiteral("　")}, plain, right);
        for (const QStringList& totals : TotalsRows(s.totals)) {
            writeRow(sheet, row++, totals, plain, right);
        }

        sheet.freezeRows(1);
        xls::PageSetup& p = sheet.pageSetup();
        p.scalePercent = 80;
        p.landscape = true;
        constexpr double kInchesPerCm = 1 / 2.54;
        p.topMargin = 0.5 * kInchesPerCm;
        p.bottomMargin = 0.5 * kInchesPerCm;
        p.leftMargin = 1.0 * kInchesPerCm;
        p.rightMargin = 0;
        p.headerMargin = 0;
        p.footerMargin = 0;
        p.headerLeft = QStringLiteral("&F          &A");
        p.footerLeft = SheetFooter(s.code, month);
        p.printTitleRows = std::make_pair(0, 0);
    }
    return book;
}

PayrollMonth ExportMonth(const QDateTime& CurrentTime, const Settings& settings) {
    return PayrollMonthOf(ComputePeriod(CurrentTime, settings).PeriodStart, settings);
}

std::vector<StaffSheet> MonthlySheets(Database& db, const Settings& settings,
                                      const PayrollMonth& month, const QDateTime& CurrentTime,
                                      const ExportProgress& progress) {
    struct Member {
        StaffRow staff;
        std::vector<WorkRow> rows;
    };
    std::vector<Member> members;
    {
        // Every sheet shows the same moment, whatever other terminals write meanwhile. Nothing
        // else runs on the connection until it ends: no events are let through while reading.
        ReadTransaction snapshot(db);
        for (StaffRow& staff : ListStaff(db)) {
            // The work rows carry the staff member's password column, as the terminal stores it.
            std::vector<WorkRow> rows = ReadListing(db, staff.password, month.start, month.end);
            if (!rows.empty()) {
                members.push_back(Member{std::move(staff), std::move(rows)});
            }
        }
    }
    QStringList staffNames;
    for (const Member& m : members) {
        staffNames << (m.staff.name.isEmpty() ? m.staff.code : m.staff.name);
    }
    const QStringList names = SheetNames(staffNames);
    std::vector<StaffSheet> sheets;
    for (size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        if (progress) {
            progress(m.staff.name, static_cast<int>(i), static_cast<int>(members.size()));
        }
        StaffSheet sheet;
        sheet.name = names[static_cast<qsizetype>(i)];
        sheet.code = m.staff.code;
        // Each member's own overtime flag decides whether their overtime bands count.
        sheet.days =
            WalkRows(m.rows, month.start, m.staff.overtime, settings, CurrentTime, sheet.totals);
        QDate CalcDay = month.start.addDays(static_cast<qint64>(sheet.days.size()));
        for (; CalcDay <= month.end; CalcDay = CalcDay.addDays(1)) {
            sheet.days.push_back(BlankDay(CalcDay, settings));
        }
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

ExportResult ExportMonthlyWorkbook(Database& db, const Settings& settings,
                                   const QDateTime& CurrentTime, const QString& folder,
                                   const ExportProgress& progress, const AskRetry& ask) {
    return ExportMonthlyWorkbook(db, settings, ExportMonth(CurrentTime, settings), CurrentTime,
                                 folder, progress, ask);
}

ExportResult ExportMonthlyWorkbook(Database& db, const Settings& settings,
                                   const PayrollMonth& month, const QDateTime& CurrentTime,
                                   const QString& folder, const ExportProgress& progress,
                                   const AskRetry& ask) {
    ExportResult result;
    result.PeriodStart = month.start;
    result.PeriodEnd = month.end;
    result.path =
        QDir::cleanPath(QDir(folder).absoluteFilePath(WorkbookFileName(result.PeriodEnd)));

    // The sheets and the 36 agreement's figures show one moment of the database.
    std::vector<StaffSheet> sheets;
    std::vector<StaffOvertimeLine> overtime;
    {
        ReadTransaction snapshot(db);
        sheets = MonthlySheets(db, settings, month, CurrentTime, progress);
        if (!sheets.empty()) {
            overtime =
                OvertimeOfStaff(db, month.end.year(), month.end.month(), settings, CurrentTime);
        }
    }
    if (sheets.empty()) {
        result.status = ExportStatus::NoRows;
        result.outcome.accepted = true;
        return result;
    }
    for (const StaffSheet& sheet : sheets) {
        result.sheetNames << sheet.name;
    }

    const ReplaceResult written = writeWorkbook(result.path, MonthlyWorkbook(sheets, month), ask);
    switch (written.status) {
        case ReplaceStatus::Replaced:
            result.status = ExportStatus::Written;
            result.outcome.accepted = true;
            break;
        case ReplaceStatus::Cancelled:
            result.status = ExportStatus::Cancelled;
            break;
        case ReplaceStatus::Failed:
            result.status = ExportStatus::Failed;
            result.outcome.messages.push_back(saveFailure(result.path, written.error));
            break;
    }
    if (result.status != ExportStatus::Written) {
        return result;
    }
    if (!overtime.empty()) {
        CompanionWorkbook book;
        book.path = QDir::cleanPath(
            QDir(folder).absoluteFilePath(OvertimeWorkbookFileName(result.PeriodEnd)));
        const ReplaceResult companion = writeWorkbook(book.path, OvertimeWorkbook(overtime), ask);
        book.status = companion.status;
        if (companion.status == ReplaceStatus::Failed) {
            result.outcome.messages.push_back(saveFailure(book.path, companion.error));
        }
        result.companions.push_back(book);
    }
    const LeaveLedgerResult ledger =
        WriteLeaveLedgerWorkbook(db, settings, CurrentTime.date(), folder, progress, ask);
    if (ledger.status != ExportStatus::NoRows) {
        CompanionWorkbook book;
        book.path = ledger.path;
        book.status = ledger.status == ExportStatus::Written     ? ReplaceStatus::Replaced
                      : ledger.status == ExportStatus::Cancelled ? ReplaceStatus::Cancelled
                                                                 : ReplaceStatus::Failed;
        if (book.status == ReplaceStatus::Failed) {
            result.outcome.messages.push_back(saveFailure(book.path, ledger.error));
        }
        result.companions.push_back(book);
    }
    return result;
}

}  // namespace tq
