// tq582ctl export: the monthly workbook of every staff member, written as the terminal's
// `出力` button writes it, without opening it.

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "report/monthly_export.h"
#include "report/workbook_file.h"
#include "settings/settings.h"

namespace tq::ctl {

namespace {

const char kExportHelp[] =
    "Writes the month's workbook as the terminal's 出力 button does, without opening it: one\n"
    "sheet per employee with rows in the payroll month, from the day after one closing day\n"
    "([給与締日]) to the next, named yyyy年mm月度_勤務.xls after the month of its closing day.\n"
    "The month is the one that holds the first open day of --now, or the one --month names.\n"
    "Beside it go the month's 36 agreement workbook yyyy年mm月度_36協定.xls (the lines of\n"
    "tq582ctl overtime, and each employee's months of the agreement year) and the paid-leave\n"
    "ledger 年次有給休暇管理簿.xls (one sheet per staff member with a grant or a day taken).\n"
    "Prints the 36 agreement workbook's and the ledger's absolute paths, then the monthly\n"
    "workbook's as the last line; prints and writes nothing when nobody has rows in the month.\n"
    "\n"
    "  --month yyyy/mm  the payroll month whose closing day falls in that calendar month\n"
    "                   (for monthly jobs: --month of the month before exports it whole)\n"
    "  --out DIR        the folder (default ../EXCEL, created when missing)\n"
    "  --db PATH        the database (default: the system file's [MDBName]); never created\n"
    "  --ini FILE       the settings file (default TQ582.ini)\n"
    "  --now T          \"yyyy/mm/dd hh:nn:ss\", Japan time (default: now); days after it\n"
    "                   are not yet missing\n"
    "\n"
    "Exit status: 0 written or nothing to write, 1 when a workbook is open in a spreadsheet\n"
    "program (the message on standard output), cannot be written or the database fails,\n"
    "2 wrong usage. The monthly workbook is written even when the 36 agreement workbook or\n"
    "the ledger cannot be.";

/// "yyyy/mm" (one or two digits of month) as the first day of that month.
std::optional<QDate> parseMonth(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{4})/([0-9]{1,2})$"));
    const auto m = form.match(text);
    const QDate first =
        m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), 1) : QDate();
    return first.isValid() ? std::optional<QDate>(first) : std::nullopt;
}

int exportWorkbook(const QStringList& args) {
    Options opts(args,
                 {QStringLiteral("db"), QStringLiteral("ini"), QStringLiteral("now"),
                  QStringLiteral("out"), QStringLiteral("month")},
                 {});
    if (!opts.ok()) {
        return usageError(opts.error());
    }
    if (!opts.positional().isEmpty()) {
        return usageError(QStringLiteral("unexpected argument %1").arg(opts.positional().first()));
    }
    const auto now = operationTime(opts);
    if (!now) {
        return kExitUsage;
    }
    std::optional<QDate> named;
    if (opts.has(QStringLiteral("month"))) {
        named = parseMonth(opts.value(QStringLiteral("month")));
        if (!named) {
            return usageError(QStringLiteral("--month needs yyyy/mm, not %1")
                                  .arg(opts.value(QStringLiteral("month"))));
        }
    }
    auto loaded = loadSiteSettings(opts);
    if (!loaded) {
        return kExitUsage;
    }
    const PayrollMonth month =
        named ? PayrollMonthEnding(named->year(), named->month(), loaded->settings)
              : ExportMonth(*now, loaded->settings);
    const QString folder = QDir::current().absoluteFilePath(
        opts.value(QStringLiteral("out"), QStringLiteral("../EXCEL")));

    try {
        // The export only reads the database: a missing file is reported, never created.
        auto db = openSiteDatabase(opts, SiteAccess::Read);
        // The tool cannot ask: a workbook in use is reported and nothing is written.
        QString inUse;
        const ExportResult r = ExportMonthlyWorkbook(*db, loaded->settings, month, *now, folder, {},
                                                     [&inUse](const QString& message) {
                                                         inUse = message;
                                                         return false;
                                                     });
        switch (r.status) {
            case ExportStatus::Written: {
                bool complete = true;
                for (const CompanionWorkbook& book : r.companions) {
                    complete = complete && book.status == ReplaceStatus::Replaced;
                    if (book.status == ReplaceStatus::Replaced) {
                        out(book.path);
                    } else if (book.status == ReplaceStatus::Cancelled) {
                        out(WorkbookInUseMessage(book.path));
                    }
                }
                for (const Message& m : r.outcome.messages) {
                    err(m.text);
                }
                out(r.path);
                return complete ? kExitOk : kExitRefused;
            }
            case ExportStatus::NoRows:
                return kExitOk;
            case ExportStatus::Cancelled:
                out(inUse);
                return kExitRefused;
            case ExportStatus::Failed:
                break;
        }
        for (const Message& m : r.outcome.messages) {
            err(m.text);
        }
        return kExitRefused;
    } catch (const DbError& e) {
        err(e.message());
        return e.kind() == DbFailure::NotFound ? kExitUsage : kExitRefused;
    }
}

const CtlCommand exportCommand("export", "export [--month yyyy/mm] [--out DIR] [--now T]",
                               exportWorkbook, kExportHelp);

}  // namespace

}  // namespace tq::ctl
