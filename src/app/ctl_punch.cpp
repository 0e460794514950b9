// tq582ctl punch / review: clock-in, clock-out and the monthly review from the command line,
// through the operations the terminal's buttons run.

#include <QDir>
#include <QFileInfo>
#include <variant>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "attendance/identify.h"
#include "attendance/punch.h"
#include "attendance/review.h"
#include "labour/leave_book.h"
#include "labour/overtime_watch.h"
#include "report/monthly_export.h"
#include "settings/settings.h"

namespace tq::ctl {

namespace {

const char kPunchHelp[] =
    "Clocks the employee in or out exactly as the terminal's 出勤 and 退勤 buttons do and\n"
    "prints the terminal's messages, one a line.\n"
    "\n"
    "  in | out       clock-in or clock-out (required)\n"
    "  --code CODE    the staff code (required)\n"
    "  --db PATH      the database (default: the system file's [MDBName])\n"
    "  --ini FILE     the settings file (default TQ582.ini)\n"
    "  --now T        \"yyyy/mm/dd hh:nn:ss\", Japan time (default: now)\n"
    "\n"
    "Exit status: 0 accepted, 1 refused or a database failure, 2 wrong usage. A clock-in is\n"
    "accepted once stored: should the check of earlier days that follows it fail, that\n"
    "failure is printed on standard error after the acceptance, and the status stays 0.";
const char kReviewHelp[] =
    "Prints the employee's payroll period as the terminal's 確認 lists it: one day a line,\n"
    "the 17 columns tab-separated, then the four totals rows of the monthly workbook, 17\n"
    "columns each: 合 計 (ordinary days), 休日 (rest days), 計 (all days), and the counts of\n"
    "lateness, absence and leave.\n"
    "\n"
    "  --code CODE    the staff code (required)\n"
    "  --db PATH      the database (default: the system file's [MDBName]); it is only read,\n"
    "                 a missing file is reported (exit 2), never created\n"
    "  --ini FILE     the settings file (default TQ582.ini)\n"
    "  --now T        \"yyyy/mm/dd hh:nn:ss\", Japan time (default: now)\n"
    "\n"
    "Exit status: 0, 1 when the code is refused (the message on standard error) or the\n"
    "database fails, 2 wrong usage or no database.";

/// Everything a punch or review needs before the database is opened.
struct Inputs {
    Options opts;
    QString code;
    QDateTime now;
    Settings settings;
};

/// Parses the options and loads the working rules; prints the problem and gives the exit code
/// when something is wrong.
std::variant<Inputs, int> prepare(const QStringList& args) {
    Options opts(args,
                 {QStringLiteral("code"), QStringLiteral("db"), QStringLiteral("ini"),
                  QStringLiteral("now")},
                 {});
    if (!opts.ok()) {
        return usageError(opts.error());
    }
    if (!opts.positional().isEmpty()) {
        return usageError(QStringLiteral("unexpected argument %1").arg(opts.positional().first()));
    }
    const QString code = opts.value(QStringLiteral("code"));
    if (code.isEmpty()) {
        return usageError(QStringLiteral("option --code is required"));
    }
    const auto now = operationTime(opts);
    if (!now) {
        return kExitUsage;
    }
    auto loaded = loadSiteSettings(opts);
    if (!loaded) {
        return kExitUsage;
    }
    return Inputs{opts, code, *now, std::move(loaded->settings)};
}

int punch(const QStringList& args) {
    const QString action = args.value(0);
    if (action != QStringLiteral("in") && action != QStringLiteral("out")) {
        return usageError(action.isEmpty() ? QStringLiteral("in or out is required")
                                           : QStringLiteral("unknown action %1").arg(action));
    }
    auto prepared = prepare(args.mid(1));
    if (const int* code = std::get_if<int>(&prepared)) {
        return *code;
    }
    const Inputs& in = std::get<Inputs>(prepared);
    return withSiteDatabase(in.opts, [&](Database& db) {
        const Identification who = Identify(db, in.code, in.now);
        if (!who.identified()) {
            printOutcome(who.outcome);
            return kExitRefused;
        }
        const Outcome o =
            action == QStringLiteral("in")
                ? ClockInWithLeaveReminder(db, toolLogContext(), who, in.settings, in.now)
                : ClockOutWatched(db, toolLogContext(), who, in.settings, in.now);
        return printOutcome(o);
    });
}

int review(const QStringList& args) {
    auto prepared = prepare(args);
    if (const int* code = std::get_if<int>(&prepared)) {
        return *code;
    }
    const Inputs& in = std::get<Inputs>(prepared);
    return withSiteDatabase(
        in.opts,
        [&](Database& db) {
            const Identification who = Identify(db, in.code, in.now);
            const ReviewResult r = who.identified() ? MonthlyReview(db, who, in.settings, in.now)
                                                    : ReviewResult{who.outcome, {}, {}, {}, -1};
            if (!r.outcome.accepted) {
                for (const Message& m : r.outcome.messages) {
                    err(m.text);
                }
                return kExitRefused;
            }
            for (const DayFigures& day : r.days) {
                out(DisplayTexts(day).join(u'\t'));
            }
            for (const QStringList& totals : TotalsRows(r.totals)) {
                out(totals.join(u'\t'));
            }
            return kExitOk;
        },
        SiteAccess::Read);
}

const CtlCommand punchCommand("punch", "punch in|out --code CODE [--now T]", punch, kPunchHelp);
const CtlCommand reviewCommand("review", "review --code CODE [--now T]", review, kReviewHelp);

}  // namespace

}  // namespace tq::ctl
