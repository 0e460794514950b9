// tq582ctl leave: annual paid leave — working patterns, manual grants, the ledger of a staff
// member and the staff whose 5-day duty needs attention.

#include <QRegularExpression>
#include <cmath>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "common/datetime.h"
#include "labour/leave_book.h"
#include "masters/staff.h"

namespace tq::ctl {

namespace {

const char kLeaveHelp[] =
    "Annual paid leave. Statutory grants are written by themselves once their 基準日 (the\n"
    "joining day + 6 months, then every year) has come, with the working pattern in force\n"
    "that day; these commands keep the patterns and manual grants and show the ledger.\n"
    "\n"
    "  leave set --code C --weekly-days N [--weekly-hours H] [--from yyyy/mm/dd]\n"
    "      the working days (1-7) and hours a week from a day on (default: the joining day\n"
    "      for a staff member's first pattern, else today); H as 29.5 or 29:30, default 8\n"
    "      hours a working day up to 40. At most 4 days and under 30 hours get the\n"
    "      proportional grants. Automatic grants from that day on are recalculated.\n"
    "  leave grant --code C --date yyyy/mm/dd --days D [--note TEXT]\n"
    "      a manual grant of D days (steps of 0.5): a balance carried over from paper or a\n"
    "      company's own days. On the 基準日 of an automatic grant it takes that grant's place\n"
    "      (--days 0 withholds it, as when the 80 % attendance was not met); given again for\n"
    "      the same day it replaces the earlier one. The note holds up to 64 characters.\n"
    "  leave show --code C\n"
    "      the ledger (年次有給休暇管理簿), tab-separated: a header line, one line per grant\n"
    "      (基準日 付与日数 取得日数 残日数 失効日 義務期限 義務期間取得 取得義務), oldest first,\n"
    "      then \"取得日 yyyy/mm/dd 基準日\" per day taken with the grant it used. 失効日 and\n"
    "      義務期限 are the last days of the two years and of the one year from the 基準日.\n"
    "  leave duty\n"
    "      one line per staff member whose 5-day duty is open with its deadline within\n"
    "      [有給取得義務警告日数] days (default 60), or was missed (until the grant lapses):\n"
    "      社員コード 氏名 基準日 義務期限 取得 残り\n"
    "\n"
    "  --db PATH   the database (default: the system file's [MDBName])\n"
    "  --ini FILE  the settings file, for leave duty (default TQ582.ini)\n"
    "  --now T     \"yyyy/mm/dd hh:nn:ss\", Japan time (default: now)\n"
    "\n"
    "Exit status: 0 done (leave duty: nobody to call out), 1 refused, a database failure, or\n"
    "leave duty printed a line, 2 wrong usage.";

/// A number of days in steps of 0.5 ("10", "10.5", "0.5") as half days.
std::optional<HalfDays> halfDaysOf(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,3})(?:\\.([05])0*)?$"));
    const auto m = form.match(text.trimmed());
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    return m.captured(1).toInt() * kHalvesPerDay + (m.captured(2) == u"5" ? 1 : 0);
}

/// Hours a week ("32", "29.5" or "29:30") as minutes.
std::optional<int> weeklyMinutesOf(const QString& text) {
    static const QRegularExpression clock(QStringLiteral("^([0-9]{1,3}):([0-5][0-9])$"));
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,2})?$"));
    const QString t = text.trimmed();
    if (const auto m = clock.match(t); m.hasMatch()) {
        return m.captured(1).toInt() * 60 + m.captured(2).toInt();
    }
    if (decimal.match(t).hasMatch()) {
        return static_cast<int>(std::lround(t.toDouble() * 60));
    }
    return std::nullopt;
}

/// Runs `body` with the staff member of --code, or reports that there is none.
int withStaff(const Options& opts, SiteAccess access,
              const std::function<int(Database&, const LeaveStaff&)>& body) {
    return withSiteDatabase(
        opts,
        [&](Database& db) {
            const QString code = opts.value(QStringLiteral("code"));
            const StaffLookup lookup = LookupStaff(db, code);
            if (lookup.result == LookupResult::Refused) {
                return printOutcome(lookup.outcome);
            }
            if (lookup.result != LookupResult::Found) {
                err(QStringLiteral("no staff member with code %1").arg(code));
                return kExitRefused;
            }
            return body(db, LeaveStaffOf(*lookup.row));
        },
        access);
}

int leaveSet(const QStringList& args) {
    const auto opts = parseActionOptions(
        args,
        {QStringLiteral("code"), QStringLiteral("weekly-days"), QStringLiteral("weekly-hours"),
         QStringLiteral("from"), QStringLiteral("now"), QStringLiteral("db")},
        {}, {QStringLiteral("code"), QStringLiteral("weekly-days")});
    if (!opts) {
        return kExitUsage;
    }
    const auto now = operationTime(*opts);
    if (!now) {
        return kExitUsage;
    }
    bool ok = false;
    WorkPattern pattern;
    pattern.weeklyDays = opts->value(QStringLiteral("weekly-days")).trimmed().toInt(&ok);
    if (!ok || pattern.weeklyDays < 1 || pattern.weeklyDays > 7) {
        return usageError(QStringLiteral("--weekly-days wants a number of days 1-7"));
    }
    // Without hours, a working day counts as the statutory 8 hours, within the 40-hour week.
    pattern.weeklyMinutes = std::min(pattern.weeklyDays * 8, 40) * 60;
    if (opts->has(QStringLiteral("weekly-hours"))) {
        const auto minutes = weeklyMinutesOf(opts->value(QStringLiteral("weekly-hours")));
        if (!minutes || *minutes < 1 || *minutes > 7 * 24 * 60) {
            return usageError(
                QStringLiteral("--weekly-hours wants hours a week, as 29.5 or 29:30"));
        }
        pattern.weeklyMinutes = *minutes;
    }
    if (opts->has(QStringLiteral("from"))) {
        pattern.from = parseDate(opts->value(QStringLiteral("from")));
        if (!pattern.from.isValid()) {
            return usageError(QStringLiteral("--from wants yyyy/mm/dd"));
        }
    }
    return withStaff(*opts, SiteAccess::Write, [&](Database& db, const LeaveStaff& staff) {
        return printOutcome(SetWorkPattern(db, toolLogContext(), *now, staff, pattern));
    });
}

int leaveGrant(const QStringList& args) {
    const auto opts = parseActionOptions(
        args,
        {QStringLiteral("code"), QStringLiteral("date"), QStringLiteral("days"),
         QStringLiteral("note"), QStringLiteral("now"), QStringLiteral("db")},
        {}, {QStringLiteral("code"), QStringLiteral("date"), QStringLiteral("days")});
    if (!opts) {
        return kExitUsage;
    }
    const auto now = operationTime(*opts);
    if (!now) {
        return kExitUsage;
    }
    const QDate base = parseDate(opts->value(QStringLiteral("date")));
    if (!base.isValid()) {
        return usageError(QStringLiteral("--date wants yyyy/mm/dd"));
    }
    const auto halves = halfDaysOf(opts->value(QStringLiteral("days")));
    if (!halves) {
        return usageError(QStringLiteral("--days wants a number of days in steps of 0.5"));
    }
    return withStaff(*opts, SiteAccess::Write, [&](Database& db, const LeaveStaff& staff) {
        return printOutcome(GrantLeave(db, toolLogContext(), *now, staff, base, *halves,
                                       opts->value(QStringLiteral("note"))));
    });
}

int leaveShow(const QStringList& args) {
    const auto opts = parseActionOptions(
        args, {QStringLiteral("code"), QStringLiteral("now"), QStringLiteral("db")}, {},
        {QStringLiteral("code")});
    if (!opts) {
        return kExitUsage;
    }
    const auto now = operationTime(*opts);
    if (!now) {
        return kExitUsage;
    }
    return withStaff(*opts, SiteAccess::Existing, [&](Database& db, const LeaveStaff& staff) {
        for (const QString& line :
             LedgerTextLines(LoadLeaveLedger(db, toolLogContext(), *now, staff), staff)) {
            out(line);
        }
        return kExitOk;
    });
}

int leaveDuty(const QStringList& args) {
    const auto opts = parseActionOptions(
        args, {QStringLiteral("now"), QStringLiteral("db"), QStringLiteral("ini")}, {}, {});
    if (!opts) {
        return kExitUsage;
    }
    const auto now = operationTime(*opts);
    if (!now) {
        return kExitUsage;
    }
    const auto loaded = loadSiteSettings(*opts);
    if (!loaded) {
        return kExitUsage;
    }
    return withSiteDatabase(
        *opts,
        [&](Database& db) {
            const auto lines = LeaveDutyList(db, toolLogContext(), loaded->settings, *now);
            for (const DutyListLine& l : lines) {
                out(QStringList{l.staff.code, l.staff.name, formatDate(l.base),
                                formatDate(l.deadline), FormatLeaveDays(l.taken * kHalvesPerDay),
                                FormatLeaveDays(l.left * kHalvesPerDay)}
                        .join(u'\t'));
            }
            return lines.empty() ? kExitOk : kExitRefused;
        },
        SiteAccess::Existing);
}

const CtlCommand leaveCommand(
    "leave", "leave set|grant|show|duty [--code C] [options]",
    [](const QStringList& args) {
        return dispatchAction(args, {{QStringLiteral("set"), leaveSet},
                                     {QStringLiteral("grant"), leaveGrant},
                                     {QStringLiteral("show"), leaveShow},
                                     {QStringLiteral("duty"), leaveDuty}});
    },
    kLeaveHelp);

}  // namespace

}  // namespace tq::ctl
