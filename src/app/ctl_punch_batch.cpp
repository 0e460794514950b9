// tq582ctl punch-batch: a list of punches run one after the other through the terminal's
// punch operations, on one connection (punches written down while a terminal was out of
// order, and the load tests of a shared site).

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "attendance/identify.h"
#include "attendance/punch.h"
#include "common/datetime.h"
#include "labour/leave_book.h"
#include "labour/overtime_watch.h"
#include "settings/settings.h"

namespace tq::ctl {

namespace {

const char kHelp[] =
    "Runs a list of punches one after the other, each exactly as punch in/out does, for\n"
    "scripts and load tests. The file holds one punch a line: \"in|out CODE yyyy/mm/dd\n"
    "hh:nn:ss\" (Japan time); blank lines are skipped. Prints one line per punch as soon as it\n"
    "is done: the file's line number, then the terminal's messages, tab-separated.\n"
    "\n"
    "  --file F    the list of punches (required; UTF-8)\n"
    "  --db PATH   the database (default: the system file's [MDBName])\n"
    "  --ini FILE  the settings file (default TQ582.ini)\n"
    "\n"
    "Exit status: 0 when the list was run (refused punches included), 1 a database failure,\n"
    "2 wrong usage or a malformed line (nothing punched).";

struct Punch {
    int line = 0;
    bool in = true;
    QString code;
    QDateTime at;
};

/// Reads the list; every line must be a punch, so a typing error stops nothing half-way.
std::optional<std::vector<Punch>> readList(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    std::vector<Punch> list;
    int lineNo = 0;
    while (!f.atEnd()) {
        ++lineNo;
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty()) {
            continue;
        }
        const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        Punch p;
        p.line = lineNo;
        if (w.size() == 4) {
            p.in = w[0] == u"in";
            p.code = w[1];
            p.at = parseStamp(w[2] + QLatin1Char(' ') + w[3]);
        }
        if (w.size() != 4 || (w[0] != u"in" && w[0] != u"out") || !p.at.isValid()) {
            *error = QStringLiteral(
                         "%1 line %2: want \"in|out CODE yyyy/mm/dd hh:nn:ss\", not "
                         "\"%3\"")
                         .arg(path)
                         .arg(lineNo)
                         .arg(line);
            return std::nullopt;
        }
        list.push_back(p);
    }
    return list;
}

int punchBatch(const QStringList& args) {
    Options opts(args, {QStringLiteral("file"), QStringLiteral("db"), QStringLiteral("ini")}, {});
    if (!opts.ok()) {
        return usageError(opts.error());
    }
    if (!opts.positional().isEmpty() || opts.value(QStringLiteral("file")).isEmpty()) {
        return usageError(QStringLiteral("option --file is required"));
    }
    QString error;
    const auto list = readList(opts.value(QStringLiteral("file")), &error);
    if (!list) {
        err(error);
        return kExitUsage;
    }
    auto loaded = loadSiteSettings(opts);
    if (!loaded) {
        return kExitUsage;
    }
    const Settings settings = std::move(loaded->settings);
    return withSiteDatabase(opts, [&](Database& db) {
        const LogContext ctx = toolLogContext();
        for (const Punch& p : *list) {
            const Identification who = Identify(db, p.code, p.at);
            const Outcome o = !who.identified()
                                  ? who.outcome
                                  : (p.in ? ClockInWithLeaveReminder(db, ctx, who, settings, p.at)
                                          : ClockOutWatched(db, ctx, who, settings, p.at));
            // One line per punch, written out before the next one starts: a caller that
            // stops this program knows exactly which punches were confirmed.
            QString line = QString::number(p.line);
            for (const Message& m : o.messages) {
                line += QLatin1Char('\t') + m.text;
            }
            out(line);
            std::fflush(stdout);
            if (!o.failureAfter.isEmpty()) {
                // The punch is stored; the database failed after it and the rest waits.
                err(o.failureAfter);
                return kExitRefused;
            }
        }
        return kExitOk;
    });
}

const CtlCommand punchBatchCommand("punch-batch", "punch-batch --file F", punchBatch, kHelp);

}  // namespace

}  // namespace tq::ctl
