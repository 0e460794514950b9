// tq582ctl request: the dates the request entry offers, and registering or cancelling a
// request, through the operations the entry's buttons run.

#include <QDir>
#include <QFileInfo>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "attendance/identify.h"
#include "common/datetime.h"
#include "requests/request_dates.h"
#include "requests/requests.h"
#include "settings/settings.h"

namespace tq::ctl {

namespace {

const char kHelp[] =
    "Requests and corrections, as the terminal's 申請 and 訂正 entry makes them.\n"
    "\n"
    "  request dates --code C [--mode 申請|訂正]\n"
    "      the dates the entry offers, one yyyy/mm/dd a line\n"
    "  request register --code C --date yyyy/mm/dd --kind KIND [--value V] [--mode M]\n"
    "      registers the kind on the day; prints the entry's messages\n"
    "  request cancel --code C --date yyyy/mm/dd --kind KIND [--value V] [--mode M]\n"
    "      clears the kind's value of the day; 出勤打刻, 退勤打刻, 代替休暇 and 代替勤務\n"
    "      need a valid --value here too, as the entry checks it before it cancels\n"
    "\n"
    "  --code C        the staff code (required)\n"
    "  --mode M        申請 (requests, the default) or 訂正 (corrections)\n"
    "  --date D        the day, one of the dates the mode offers\n"
    "  --kind KIND     the kind, one of the mode's (for example 有給休暇, 残業指示, 出勤打刻)\n"
    "  --value V       the time (hhmm, h:mm, hh:mm) or month/day (mdd, m/dd, mm/dd) the kind\n"
    "                  asks for (register and cancel alike), full-width digits accepted\n"
    "  --db PATH       the database (default: the system file's [MDBName])\n"
    "  --ini FILE      the settings file (default TQ582.ini)\n"
    "  --now T         \"yyyy/mm/dd hh:nn:ss\", Japan time (default: now)\n"
    "\n"
    "Exit status: 0 written (or dates listed), 1 refused (the message on standard output) or\n"
    "a database failure, 2 wrong usage.";

int request(const QStringList& args) {
    const QString action = args.value(0);
    const bool dates = action == QStringLiteral("dates");
    if (!dates && action != QStringLiteral("register") && action != QStringLiteral("cancel")) {
        return usageError(action.isEmpty() ? QStringLiteral("dates, register or cancel is required")
                                           : QStringLiteral("unknown action %1").arg(action));
    }
    QStringList valued = {QStringLiteral("code"), QStringLiteral("mode"), QStringLiteral("now"),
                          QStringLiteral("db"), QStringLiteral("ini")};
    if (!dates) {
        valued << QStringLiteral("date") << QStringLiteral("kind") << QStringLiteral("value");
    }
    const Options opts(args.mid(1), valued, {});
    if (!opts.ok()) {
        return usageError(opts.error());
    }
    if (!opts.positional().isEmpty()) {
        return usageError(QStringLiteral("unexpected argument %1").arg(opts.positional().first()));
    }
    QStringList required = {QStringLiteral("code")};
    if (!dates) {
        required << QStringLiteral("date") << QStringLiteral("kind");
    }
    for (const QString& name : required) {
        if (opts.value(name).isEmpty()) {
            return usageError(QStringLiteral("option --%1 is required").arg(name));
        }
    }
    const std::optional<RequestMode> mode =
        ModeOfWord(opts.value(QStringLiteral("mode"), QStringLiteral("申請")));
    if (!mode) {
        return usageError(QStringLiteral("--mode wants 申請 or 訂正"));
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
    const QString code = opts.value(QStringLiteral("code"));
    // Listing the dates only reads: a missing database is reported, never created.
    return withSiteDatabase(
        opts,
        [&](Database& db) {
            const Identification who = Identify(db, code, *now);
            if (!who.identified()) {
                printOutcome(who.outcome);
                return kExitRefused;
            }
            if (dates) {
                for (const QString& d : RequestDateTexts(RequestDates(*mode, *now, settings))) {
                    out(d);
                }
                return kExitOk;
            }
            RequestEntry entry;
            entry.mode = *mode;
            entry.day = opts.value(QStringLiteral("date"));
            entry.kind = opts.value(QStringLiteral("kind"));
            entry.value = opts.value(QStringLiteral("value"));
            // The shift the entry shows once the date is chosen: the day's, else the standard one.
            const QDate day = parseDate(entry.day);
            if (day.isValid()) {
                entry.shift = PrefillForDay(LookUpWorkDay(db, code, day), *who.StaffRecord).shift;
            }
            const RequestResult r =
                action == QStringLiteral("register")
                    ? RegisterRequest(db, toolLogContext(), who, settings, entry, *now)
                    : CancelRequest(db, toolLogContext(), who, settings, entry, *now);
            return printOutcome(r.outcome);
        },
        dates ? SiteAccess::Read : SiteAccess::Write);
}

const CtlCommand requestCommand("request",
                                "request dates|register|cancel --code C [--date D --kind K]",
                                request, kHelp);

}  // namespace

}  // namespace tq::ctl
