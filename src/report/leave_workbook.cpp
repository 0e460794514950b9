#include "report/leave_workbook.h"

#include <QDir>

#include "attendance/review.h"
#include "common/datetime.h"
#include "masters/staff.h"
#include "report/compound_file.h"

namespace tq {

namespace {

constexpr int kTitleRow = 0;
constexpr int kParticularsRow = 1;
constexpr int kGrantHeaderRow = 3;

QString rateText(const std::optional<AttendanceRate>& rate) {
    if (!rate || rate->working <= 0) {
        return QStringLiteral("-");
    }
    const AttendanceRate& r = *rate;
    const int p = r.permille();
    const QString text = QStringLiteral("%1.%2%").arg(p / 10).arg(p % 10);
    return r.below80() ? text + QStringLiteral(" (80%未満)") : text;
}

QString patternText(const WorkPattern& p) {
    return QStringLiteral("週%1日 %2:%3")
        .arg(p.weeklyDays)
        .arg(p.weeklyMinutes / 60)
        .arg(p.weeklyMinutes % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

std::vector<LeaveSheet> LeaveSheets(Database& db, const Settings& settings, const QDate& today,
                                    const ExportProgress& progress) {
    std::vector<LeaveSheet> sheets;
    const std::vector<StaffRow> staff = ListStaff(db);
    QStringList names;
    for (size_t i = 0; i < staff.size(); ++i) {
        LeaveSheet sheet;
        sheet.staff = LeaveStaffOf(staff[i]);
        sheet.ledger = ReadLeaveLedger(db, sheet.staff, today);
        if (sheet.ledger.grants.empty() && sheet.ledger.days.empty()) {
            continue;
        }
        if (progress) {
            progress(sheet.staff.name, static_cast<int>(i), static_cast<int>(staff.size()));
        }
        QDate from = today;
        QDate to = today;
        for (const GrantLine& g : sheet.ledger.grants) {
            if (g.lapse < today) {
                sheet.rates.push_back(std::nullopt);
                continue;
            }
            sheet.rates.push_back(PrecedingPeriod(g.grant.base, sheet.staff.joined));
            from = std::min(from, sheet.rates.back()->from);
            to = std::max(to, sheet.rates.back()->to);
        }
        const std::vector<WorkRow> rows = ReadListing(db, sheet.staff.workCode, from, to);
        for (std::optional<AttendanceRate>& r : sheet.rates) {
            if (r) {
                CountAttendance(*r, rows, settings);
            }
        }
        names << (sheet.staff.name.isEmpty() ? sheet.staff.code : sheet.staff.name);
        sheets.push_back(std::move(sheet));
    }
    const QStringList sheetNames = SheetNames(names);
    for (size_t i = 0; i < sheets.size(); ++i) {
        sheets[i].name = sheetNames[static_cast<qsizetype>(i)];
    }
    return sheets;
}

xls::Workbook LeaveLedgerWorkbook(const std::vector<LeaveSheet>& sheets, const QDate& today) {
    using xls::CellFormat;
    using xls::HAlign;
    using xls::VAlign;
    xls::Workbook book;
    xls::Font titleFont;
    titleFont.points = 14;
    titleFont.bold = true;
    const int title =
        book.addFormat(CellFormat{HAlign::General, VAlign::Centre, false, book.addFont(titleFont)});
    const int label = book.addFormat(CellFormat{HAlign::General, VAlign::Centre, false, 0});
    const int header = book.addFormat(CellFormat{HAlign::Centre, VAlign::Centre, true, 0});
    const int plain = book.addFormat(CellFormat{HAlign::General, VAlign::Centre, true, 0});
    const int right = book.addFormat(CellFormat{HAlign::Right, VAlign::Centre, true, 0});

    QStringList columns = kLedgerColumns;
    columns << QStringLiteral("区分") << QStringLiteral("週所定") << QStringLiteral("前期間")
            << QStringLiteral("出勤日数") << QStringLiteral("全労働日") << QStringLiteral("出勤率")
            << QStringLiteral("備考");
    // Day counts are right-aligned like figures; dates and words are not.
    const auto figure = [](int column) {
        return (column >= 1 && column <= 3) || column == 6 || (column >= 11 && column <= 13);
    };

    for (const LeaveSheet& s : sheets) {
        xls::Sheet& sheet = book.addSheet(s.name);
        sheet.setText(kTitleRow, 0, QStringLiteral("年次有給休暇管理簿"), title);
        const QStringList particulars{
            QStringLiteral("社員コード"),
            s.staff.code,
            QStringLiteral("氏名"),
            s.staff.name,
            QStringLiteral("入社年月日"),
            s.staff.joined.isValid() ? formatDate(s.staff.joined) : QStringLiteral("未登録"),
            QStringLiteral("作成日"),
            formatDate(today)};
        for (int c = 0; c < particulars.size(); ++c) {
            sheet.setText(kParticularsRow, c, particulars[c], label);
        }
        for (int c = 0; c < columns.size(); ++c) {
            sheet.setText(kGrantHeaderRow, c, columns[c], header);
        }
        int row = kGrantHeaderRow + 1;
        for (size_t i = 0; i < s.ledger.grants.size(); ++i) {
            const GrantLine& g = s.ledger.grants[i];
            const std::optional<AttendanceRate>& r = s.rates[i];
            const QString none = QStringLiteral("-");
            QStringList texts = GrantLineTexts(g);
            texts << (g.grant.kind == GrantKind::Manual ? QStringLiteral("手動")
                                                        : QStringLiteral("自動"))
                  << patternText(g.grant.pattern)
                  << (r ? formatDate(r->from) + QStringLiteral("～") + formatDate(r->to) : none)
                  << (r ? QString::number(r->attended) : none)
                  << (r ? QString::number(r->working) : none) << rateText(r) << g.grant.note;
            for (int c = 0; c < texts.size(); ++c) {
                sheet.setText(row, c, texts[c], figure(c) ? right : plain);
            }
            ++row;
        }
        if (s.ledger.uncovered > 0) {
            const QStringList texts = UncoveredLineTexts(s.ledger);
            for (int c = 0; c < texts.size(); ++c) {
                sheet.setText(row, c, texts[c], figure(c) ? right : plain);
            }
            ++row;
        }
        if (!s.staff.joined.isValid()) {
            sheet.setText(row++, 0, kNoJoiningDayNote, label);
        }
        ++row;
        sheet.setText(row, 0, QStringLiteral("取得日"), header);
        sheet.setText(row, 1, QStringLiteral("使用した付与(基準日)"), header);
        ++row;
        for (const TakenDay& t : s.ledger.days) {
            sheet.setText(row, 0, formatDate(t.day), plain);
            sheet.setText(row, 1, TakenDayBases(t), plain);
            ++row;
        }

        xls::PageSetup& p = sheet.pageSetup();
        p.landscape = true;
        p.scalePercent = 80;
        p.headerLeft = QStringLiteral("&F          &A");
        p.printTitleRows = std::make_pair(kGrantHeaderRow, kGrantHeaderRow);
    }
    return book;
}

LeaveLedgerResult WriteLeaveLedgerWorkbook(Database& db, const Settings& settings,
                                           const QDate& today, const QString& folder,
                                           const ExportProgress& progress, const AskRetry& ask) {
    LeaveLedgerResult result;
    result.path = QDir::cleanPath(QDir(folder).absoluteFilePath(kLeaveLedgerFileName));
    const std::vector<LeaveSheet> sheets = LeaveSheets(db, settings, today, progress);
    if (sheets.empty()) {
        result.status = ExportStatus::NoRows;
        return result;
    }
    QString error;
    const auto bytes = xls::XlsFileBytes(LeaveLedgerWorkbook(sheets, today), &error);
    ReplaceResult written;
    if (bytes) {
        written = ReplaceFile(result.path, *bytes, ask);
    } else {
        written.error = error;
    }
    switch (written.status) {
        case ReplaceStatus::Replaced:
            result.status = ExportStatus::Written;
            break;
        case ReplaceStatus::Cancelled:
            result.status = ExportStatus::Cancelled;
            break;
        case ReplaceStatus::Failed:
            result.status = ExportStatus::Failed;
            result.error = written.error;
            break;
    }
    return result;
}

}  // namespace tq
