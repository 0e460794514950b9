// tq582ctl check-db: the engine's full check of the site database, for a nightly job. The
// start of the terminal and of every command only probes the first rows of each table.

#include <QDir>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "storage/leave_schema.h"
#include "storage/schema.h"

namespace tq::ctl {

namespace {

const char kHelp[] =
    "Reads every page of the site database with the engine's integrity check and reports\n"
    "damage, for a nightly job (opening a site only probes the first rows of each table).\n"
    "\n"
    "  --db PATH   the database (default: the system file's [MDBName])\n"
    "\n"
    "Output (UTF-8): \"database file: PATH\", one \"damage: WHAT\" line per problem, a\n"
    "\"table: NAME: N rows\" line per paid-leave table (or that the next start creates it),\n"
    "and \"no damage found\" or \"N problems found\".\n"
    "Exit status: 0 when sound, 1 when damaged or unreadable, 2 when the file does not exist or\n"
    "the options are wrong. The file is never created or changed.";

int checkDb(const QStringList& args) {
    const Options opts(args, {QStringLiteral("db")}, {});
    if (!opts.ok() || !opts.positional().isEmpty()) {
        return usageError(
            opts.ok() ? QStringLiteral("unexpected argument %1").arg(opts.positional().first())
                      : opts.error());
    }
    QString path;
    try {
        path = siteDatabasePath(opts);
    } catch (const DbError& e) {
        err(e.message());
        return kExitRefused;
    }
    out(QStringLiteral("database file: ") + redactedDatabaseName(QDir::toNativeSeparators(path)));
    QStringList problems;
    QStringList notes;
    std::unique_ptr<Database> db;
    try {
        db = openDatabaseToRead(path, QString::fromLatin1(kDatabasePassword));
    } catch (const DbError& e) {
        if (e.kind() == DbFailure::NotFound) {
            err(e.message());
            return kExitUsage;
        }
        if (e.kind() != DbFailure::Damaged && e.kind() != DbFailure::NotADatabase) {
            // Not the file's fault (no permission, disk full): no verdict on its pages.
            err(e.message());
            return kExitRefused;
        }
        problems << e.message();
    }
    if (db) {
        // The file opened with its key: a read that fails now fails on a page of the file.
        try {
            problems << db->checkIntegrity();
            for (const TableDef& def : {DefineLogTable(), DefineStaffTable(), DefineWorkTable()}) {
                if (db->probeTable(def.name) == TableState::Missing) {
                    problems << def.name + QStringLiteral(" is missing");
                }
            }
            // Tables of later versions: an older site gets them on its next start.
            for (const TableDef& def : LeaveTableDefs()) {
                switch (db->probeTable(def.name)) {
                    case TableState::Missing:
                        notes << def.name + QStringLiteral(
                                                ": not created yet (the next start "
                                                "of the terminal or a writing "
                                                "command creates it)");
                        break;
                    case TableState::Broken:
                        problems << def.name + QStringLiteral(" cannot be read");
                        break;
                    case TableState::Present: {
                        auto rs = db->query(Sql(QStringLiteral("SELECT count(*) AS n FROM [") +
                                                def.name + QLatin1Char(']')));
                        notes << QStringLiteral("%1: %2 rows")
                                     .arg(def.name)
                                     .arg(rs->next() ? rs->integer(QStringLiteral("n")) : 0);
                        break;
                    }
                }
            }
        } catch (const DbError& e) {
            if (e.kind() == DbFailure::DiskFull || e.kind() == DbFailure::NoPermission ||
                e.kind() == DbFailure::Busy) {
                err(e.message());
                return kExitRefused;
            }
            problems << e.message();
        }
    }
    for (const QString& p : problems) {
        out(QStringLiteral("damage: ") + p);
    }
    for (const QString& n : notes) {
        out(QStringLiteral("table: ") + n);
    }
    if (problems.isEmpty()) {
        out(QStringLiteral("no damage found"));
        return kExitOk;
    }
    out(problems.size() == 1 ? QStringLiteral("1 problem found")
                             : QStringLiteral("%1 problems found").arg(problems.size()));
    return kExitRefused;
}

const CtlCommand kCheckDb("check-db", "check-db [--db P]", checkDb, kHelp);

}  // namespace

}  // namespace tq::ctl
