// tq582ctl overtime: each staff member's statutory overtime of a payroll month against the
// limits of the 36 agreement, for a monthly job's mail.

#include <QRegularExpression>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "attendance/calendar.h"
#include "labour/overtime_watch.h"

namespace tq::ctl {

namespace {

const char kOvertimeUsage[] = "overtime [--month yyyy/mm] [--code C] [--days] [--now T]";
const char kOvertimeHelp[] =
    "Prints each staff member's statutory overtime (work beyond 8 hours a day and the week's\n"
    "statutory hours) and work on the statutory rest day for a payroll month, with the\n"
    "agreement year's total, against the limits of the 36 agreement in the settings' common\n"
    "block. A header line, then one line per staff member with rows in the month, in code\n"
    "order, tab-separated:\n"
    "  社員コード 氏名 時間外 休日労働 合計 年時間外 限度超過月数 最大平均 判定\n"
    "durations as h:mm; 最大平均 is the highest average of 時間外 + 休日労働 over 2 to 6 months\n"
    "ending in the month; 判定 is the worst of 注意, 超過 and 違反, or — when none.\n"
    "\n"
    "  --month yyyy/mm  the payroll month whose closing day falls in that calendar month\n"
    "                   (default: the payroll month holding the day of --now)\n"
    "  --code C         only this staff member (printed even without rows in the month)\n"
    "  --days           with --code: instead, a header line and one line per day of the\n"
    "                   month: 日付 実働 日時間外 週時間外 休日労働\n"
    "  --db PATH        the database (default: the system file's [MDBName]); only read\n"
    "  --ini FILE       the settings file (default TQ582.ini)\n"
    "  --now T          \"yyyy/mm/dd hh:nn:ss\", Japan time (default: now)\n"
    "\n"
    "Exit status: 0, 1 when a line is 超過 or 違反 (or the database fails, or --code names\n"
    "nobody), 2 wrong usage or no database.";

/// "yyyy/mm" as a year and month; false when it is not one.
bool readMonth(const QString& text, int* year, int* month) {
    static const QRegularExpression re(QStringLiteral("^([0-9]{4})/([0-9]{1,2})$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) {
        return false;
    }
    *year = m.captured(1).toInt();
    *month = m.captured(2).toInt();
    return *year >= 1900 && *month >= 1 && *month <= 12;
}

int overtime(const QStringList& args) {
    Options opts(args,
                 {QStringLiteral("month"), QStringLiteral("code"), QStringLiteral("db"),
                  QStringLiteral("ini"), QStringLiteral("now")},
                 {QStringLiteral("days")});
    if (!opts.ok()) {
        return usageError(opts.error());
    }
    if (!opts.positional().isEmpty()) {
        return usageError(QStringLiteral("unexpected argument %1").arg(opts.positional().first()));
    }
    const QString code = opts.value(QStringLiteral("code"));
    const bool days = opts.has(QStringLiteral("days"));
    if (days && code.isEmpty()) {
        return usageError(QStringLiteral("--days needs --code"));
    }
    const auto now = operationTime(opts);
    if (!now) {
        return kExitUsage;
    }
    auto loaded = loadSiteSettings(opts);
    if (!loaded) {
        return kExitUsage;
    }
    const Settings& settings = loaded->settings;
    int year = 0;
    int month = 0;
    if (opts.has(QStringLiteral("month"))) {
        if (!readMonth(opts.value(QStringLiteral("month")), &year, &month)) {
            return usageError(QStringLiteral("--month needs yyyy/mm"));
        }
    } else {
        const QDate end = PayrollMonthOf(now->date(), settings).end;
        year = end.year();
        month = end.month();
    }
    return withSiteDatabase(
        opts,
        [&](Database& db) {
            const auto lines = OvertimeOfStaff(db, year, month, settings, *now, code);
            if (!code.isEmpty() && lines.empty()) {
                err(QStringLiteral("no staff member with code %1").arg(code));
                return kExitRefused;
            }
            bool over = false;
            out((days ? OvertimeDayHeader() : OvertimeHeader()).join(u'\t'));
            for (const StaffOvertimeLine& line : lines) {
                over = over || OverLimit(line.year.current().worst().status);
                if (!days) {
                    out(OvertimeLineTexts(line).join(u'\t'));
                    continue;
                }
                for (const OvertimeDay& day : line.year.days) {
                    out(OvertimeDayTexts(day).join(u'\t'));
                }
            }
            return over ? kExitRefused : kExitOk;
        },
        SiteAccess::Read);
}

const CtlCommand overtimeCommand("overtime", kOvertimeUsage, overtime, kOvertimeHelp);

}  // namespace

}  // namespace tq::ctl
