#include "report/overtime_workbook.h"

namespace tq {

namespace {

QString monthName(const QDate& firstOfMonth) {
    return QStringLiteral("%1年%2月度")
        .arg(firstOfMonth.year(), 4, 10, QLatin1Char('0'))
        .arg(firstOfMonth.month(), 2, 10, QLatin1Char('0'));
}

struct Formats {
    int header;
    int text;
    int figure;
};

void writeRow(xls::Sheet& sheet, int row, const QStringList& texts, const Formats& f,
              int firstFigure) {
    for (int c = 0; c < texts.size(); ++c) {
        sheet.setText(row, c, texts[c], c >= firstFigure ? f.figure : f.text);
    }
}

void pageSetup(xls::Sheet& sheet) {
    sheet.freezeRows(1);
    xls::PageSetup& p = sheet.pageSetup();
    p.headerLeft = QStringLiteral("&F          &A");
    p.printTitleRows = std::make_pair(0, 0);
}

}  // namespace

QString OvertimeWorkbookFileName(const QDate& PeriodEnd) {
    return QStringLiteral("%1年%2月度_36協定.xls")
        .arg(PeriodEnd.year(), 4, 10, QLatin1Char('0'))
        .arg(PeriodEnd.month(), 2, 10, QLatin1Char('0'));
}

xls::Workbook OvertimeWorkbook(const std::vector<StaffOvertimeLine>& lines) {
    using xls::CellFormat;
    using xls::HAlign;
    using xls::VAlign;
    xls::Workbook book;
    const Formats f{book.addFormat(CellFormat{HAlign::Centre, VAlign::Centre, true, 0}),
                    book.addFormat(CellFormat{HAlign::General, VAlign::Centre, true, 0}),
                    book.addFormat(CellFormat{HAlign::Right, VAlign::Centre, true, 0})};

    xls::Sheet& month = book.addSheet(QStringLiteral("時間外状況"));
    const QStringList header = OvertimeHeader();
    for (int c = 0; c < header.size(); ++c) {
        month.setText(0, c, header[c], f.header);
    }
    int row = 1;
    for (const StaffOvertimeLine& line : lines) {
        writeRow(month, row++, OvertimeLineTexts(line), f, 2);
    }
    pageSetup(month);

    xls::Sheet& year = book.addSheet(QStringLiteral("協定年度"));
    const QStringList yearHeader{
        QStringLiteral("社員コード"), QStringLiteral("氏名"),     QStringLiteral("月度"),
        QStringLiteral("時間外"),     QStringLiteral("休日労働"), QStringLiteral("合計"),
        QStringLiteral("年時間外"),   QStringLiteral("最大平均"), QStringLiteral("判定")};
    for (int c = 0; c < yearHeader.size(); ++c) {
        year.setText(0, c, yearHeader[c], f.header);
    }
    row = 1;
    for (const StaffOvertimeLine& line : lines) {
        const std::vector<OvertimeMonth>& months = line.year.months;
        const QDate first(months.front().year, months.front().month, 1);
        for (int i = 0; i < 12; ++i) {
            QStringList texts{line.code, line.name, monthName(first.addMonths(i))};
            if (i < static_cast<int>(months.size())) {
                const OvertimeMonth& m = months[static_cast<size_t>(i)];
                texts << formatDuration(m.時間外) << formatDuration(m.休日労働)
                      << formatDuration(m.合計()) << formatDuration(m.年時間外)
                      << formatDuration(m.最大平均) << StatusText(m.worst().status);
            } else {
                // A month still to come: its name only, in a row of the table.
                texts << QStringList(6, QString());
            }
            writeRow(year, row++, texts, f, 2);
        }
    }
    pageSetup(year);
    return book;
}

}  // namespace tq
