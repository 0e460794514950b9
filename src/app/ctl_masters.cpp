// tq582ctl staff / shift: the staff master and the shift calendar from the command line.

#include <QStringList>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "common/datetime.h"
#include "masters/shift_calendar.h"
#include "masters/staff.h"

namespace tq::ctl {

namespace {

const char kStaffHelp[] =
    "The staff master, as the 社員保守 panel keeps it.\n"
    "\n"
    "  staff set --code C --name N [--type 0-4] [--joined yyyy/mm/dd] [--left yyyy/mm/dd]\n"
    "            [--no-overtime] [--shift X]\n"
    "      registers or updates a staff member; prints the panel's messages\n"
    "  staff delete --code C\n"
    "      deletes a staff member (the attendance rows stay)\n"
    "  staff list\n"
    "      one staff member a line, tab-separated: code, name, type, joined, left, overtime,\n"
    "      shift, retired (True/False)\n"
    "\n"
    "  --code C           the staff code (at most 4 characters)\n"
    "  --name N           the name (at most 30 bytes in Shift_JIS)\n"
    "  --type 0-4         the employment type (default 0)\n"
    "  --joined, --left   the joining and leaving days, as the panel's date boxes take them\n"
    "  --no-overtime      the employee gets no overtime\n"
    "  --shift X          the usual shift code (one character)\n"
    "  --db PATH          the database (default: the system file's [MDBName])\n"
    "  --now T            \"yyyy/mm/dd hh:nn:ss\", Japan time, for the log and the date boxes\n"
    "\n"
    "Exit status: 0 done, 1 refused or a database failure, 2 wrong usage.";
const char kShiftHelp[] =
    "The shift calendar of one employee and month, as the panel's month view keeps it.\n"
    "\n"
    "  shift set --code C --month yyyy/mm --days \"A,A,,B,...\"\n"
    "      sets each day's shift code (one entry a day of the month, empty for none)\n"
    "  shift show --code C --month yyyy/mm\n"
    "      one day a line: yyyy/mm/dd, a tab, the shift code\n"
    "\n"
    "  --db PATH   the database (default: the system file's [MDBName])\n"
    "  --now T     \"yyyy/mm/dd hh:nn:ss\", Japan time, for the log\n"
    "\n"
    "Exit status: 0 done, 1 refused or a database failure, 2 wrong usage.";

int staffSet(const QStringList& args) {
    const auto opts = parseActionOptions(
        args,
        {QStringLiteral("code"), QStringLiteral("name"), QStringLiteral("type"),
         QStringLiteral("joined"), QStringLiteral("left"), QStringLiteral("shift"),
         QStringLiteral("now"), QStringLiteral("db")},
        {QStringLiteral("no-overtime")}, {QStringLiteral("code"), QStringLiteral("name")});
    if (!opts) {
        return kExitUsage;
    }
    const auto now = operationTime(*opts);
    if (!now) {
        return kExitUsage;
    }
    bool typeOk = true;
    const int type = opts->value(QStringLiteral("type"), QStringLiteral("0")).toInt(&typeOk);
    if (!typeOk) {
        return usageError(QStringLiteral("--type wants a number 0-4"));
    }

    StaffEntry entry;
    entry.code = opts->value(QStringLiteral("code"));
    entry.name = opts->value(QStringLiteral("name"));
    entry.type = type;
    entry.noOvertime = opts->has(QStringLiteral("no-overtime"));
    entry.shift = opts->value(QStringLiteral("shift"));
    // The date options go through the same normalisation as the panel's date boxes.
    const std::pair<DateBox, QString*> dates[] = {{DateBox::Joined, &entry.joined},
                                                  {DateBox::Left, &entry.left}};
    for (const auto& [box, target] : dates) {
        const QString option =
            box == DateBox::Joined ? QStringLiteral("joined") : QStringLiteral("left");
        const DateCheck check = NormaliseDate(opts->value(option), now->date(), box);
        if (check.refusal) {
            out(check.refusal->text);
            return kExitRefused;
        }
        *target = check.text;
    }
    return withSiteDatabase(*opts, [&](Database& db) {
        return printOutcome(RegisterStaff(db, toolLogContext(), *now, entry));
    });
}

int staffDelete(const QStringList& args) {
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
    return withSiteDatabase(*opts, [&](Database& db) {
        return printOutcome(
            DeleteStaff(db, toolLogContext(), *now, opts->value(QStringLiteral("code"))));
    });
}

int staffList(const QStringList& args) {
    const auto opts = parseActionOptions(args, {QStringLiteral("db")}, {}, {});
    if (!opts) {
        return kExitUsage;
    }
    return withSiteDatabase(
        *opts,
        [](Database& db) {
            for (const StaffRow& r : ListStaff(db)) {
                out(QStringList{r.code, r.name, QString::number(r.type), r.joined, r.left,
                                r.overtime, r.shift,
                                r.retired ? QStringLiteral("True") : QStringLiteral("False")}
                        .join(u'\t'));
            }
            return kExitOk;
        },
        SiteAccess::Read);
}

/// The month option as its first day; prints a usage error when it names no month.
std::optional<QDate> monthOption(const Options& opts) {
    const QDate first = MonthStart(opts.value(QStringLiteral("month")));
    if (!first.isValid()) {
        usageError(QStringLiteral("--month wants yyyy/mm"));
        return std::nullopt;
    }
    return first;
}

int shiftSet(const QStringList& args) {
    const auto opts =
        parseActionOptions(args,
                           {QStringLiteral("code"), QStringLiteral("month"), QStringLiteral("days"),
                            QStringLiteral("now"), QStringLiteral("db")},
                           {}, {QStringLiteral("code"), QStringLiteral("month")});
    if (!opts) {
        return kExitUsage;
    }
    if (!opts->has(QStringLiteral("days"))) {
        return usageError(QStringLiteral("option --days is required"));
    }
    const auto now = operationTime(*opts);
    if (!now) {
        return kExitUsage;
    }
    const auto first = monthOption(*opts);
    if (!first) {
        return kExitUsage;
    }
    const QStringList days = opts->value(QStringLiteral("days")).split(u',');
    if (days.size() != first->daysInMonth()) {
        return usageError(QStringLiteral("--days has %1 entries; %2 has %3 days")
                              .arg(days.size())
                              .arg(first->toString(QStringLiteral("yyyy/MM")))
                              .arg(first->daysInMonth()));
    }
    ShiftRegistration entry;
    entry.code = opts->value(QStringLiteral("code"));
    entry.month = first->toString(QStringLiteral("yyyy/MM"));
    for (qsizetype i = 0; i < days.size(); ++i) {
        entry.days[static_cast<size_t>(i)] = days[i];
    }
    return withSiteDatabase(*opts, [&](Database& db) {
        // Shifts are kept only for a staff member the master knows, as on the panel.
        const StaffLookup lookup = LookupStaff(db, entry.code);
        if (lookup.result == LookupResult::Refused) {
            return printOutcome(lookup.outcome);
        }
        if (lookup.result != LookupResult::Found) {
            err(QStringLiteral("no staff member with code %1").arg(entry.code));
            return kExitRefused;
        }
        entry.staffShown = true;
        return printOutcome(RegisterMonthShifts(db, toolLogContext(), *now, entry));
    });
}

int shiftShow(const QStringList& args) {
    const auto opts = parseActionOptions(
        args, {QStringLiteral("code"), QStringLiteral("month"), QStringLiteral("db")}, {},
        {QStringLiteral("code"), QStringLiteral("month")});
    if (!opts) {
        return kExitUsage;
    }
    const auto first = monthOption(*opts);
    if (!first) {
        return kExitUsage;
    }
    const QString code = opts->value(QStringLiteral("code"));
    if (auto m = CheckStaffCode(code)) {
        out(m->text);
        return kExitRefused;
    }
    return withSiteDatabase(
        *opts,
        [&](Database& db) {
            const DayShifts shifts = MonthShifts(db, code, *first);
            for (int i = 0; i < first->daysInMonth(); ++i) {
                out(formatDate(first->addDays(i)) + u'\t' + shifts[static_cast<size_t>(i)]);
            }
            return kExitOk;
        },
        SiteAccess::Read);
}

const CtlCommand staffCommand(
    "staff", "staff set|delete|list [--code C] [options]",
    [](const QStringList& args) {
        return dispatchAction(args, {{QStringLiteral("set"), staffSet},
                                     {QStringLiteral("delete"), staffDelete},
                                     {QStringLiteral("list"), staffList}});
    },
    kStaffHelp);

const CtlCommand shiftCommand(
    "shift", "shift set|show --code C --month yyyy/mm [options]",
    [](const QStringList& args) {
        return dispatchAction(
            args, {{QStringLiteral("set"), shiftSet}, {QStringLiteral("show"), shiftShow}});
    },
    kShiftHelp);

}  // namespace

}  // namespace tq::ctl
