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
#include "settings/settings.h"

namespace tq::ctl {

namespace {

const QString kPunchUsage =
    QStringLiteral("punch in|out --code CODE [--db P] [--ini F] [--now \"yyyy/mm/dd hh:nn:ss\"]");
const QString kReviewUsage =
    QStringLiteral("review --code CODE [--db P] [--ini F] [--now \"yyyy/mm/dd hh:nn:ss\"]");

/// Everything a punch or review needs before the database is opened.
struct Inputs {
    Options opts;
    QString code;
    QDateTime now;
    Settings settings;
};

/// Parses the options and loads the working rules; prints the problem and gives the exit code
/// when something is wrong.
std::variant<Inputs, int> prepare(const QStringList& args, const QString& usage) {
    Options opts(args,
                 {QStringLiteral("code"), QStringLiteral("db"), QStringLiteral("ini"),
                  QStringLiteral("now")},
                 {});
    if (!opts.ok()) {
        return usageError(opts.error(), usage);
    }
    if (!opts.positional().isEmpty()) {
        return usageError(QStringLiteral("unexpected argument %1").arg(opts.positional().first()),
                          usage);
    }
    const QString code = opts.value(QStringLiteral("code"));
    if (code.isEmpty()) {
        return usageError(QStringLiteral("option --code is required"), usage);
    }
    QString error;
    const auto now = operationTime(opts, &error);
    if (!now) {
        return usageError(error, usage);
    }
    // A file named with --ini is used itself: a mistyped name must not quietly fall back to
    // the working directory's TQ582.ini.
    const QString named = opts.value(QStringLiteral("ini"));
    if (!named.isEmpty() && !QFileInfo::exists(named)) {
        err(QStringLiteral("cannot read the settings file %1: no such file")
                .arg(QDir::toNativeSeparators(named)));
        return kExitUsage;
    }
    auto loaded = LoadSettingsFile(QDir::currentPath(), named, &error);
    if (!loaded) {
        err(error);
        return kExitUsage;
    }
    if (const auto warning = NoRulesWarning(*loaded)) {
        err(QStringLiteral("warning: ") + *warning);
    }
    return Inputs{opts, code, *now, std::move(loaded->settings)};
}

int punch(const QStringList& args) {
    const QString action = args.value(0);
    if (action != QStringLiteral("in") && action != QStringLiteral("out")) {
        return usageError(action.isEmpty() ? QStringLiteral("in or out is required")
                                           : QStringLiteral("unknown action %1").arg(action),
                          kPunchUsage);
    }
    auto prepared = prepare(args.mid(1), kPunchUsage);
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
        const Outcome o = action == QStringLiteral("in")
                              ? ClockIn(db, toolLogContext(), who, in.settings, in.now)
                              : ClockOut(db, toolLogContext(), who, in.settings, in.now);
        return printOutcome(o);
    });
}

int review(const QStringList& args) {
    auto prepared = prepare(args, kReviewUsage);
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
            return kExitOk;
        },
        SiteAccess::Read);
}

const CtlCommand punchCommand("punch", "punch in|out --code CODE ... (clock-in, clock-out)", punch);
const CtlCommand reviewCommand("review", "review --code CODE ... (the period's days)", review);

}  // namespace

}  // namespace tq::ctl
