#include "app/ctl_site.h"

#include <QDir>
#include <QFileInfo>

#include "common/datetime.h"
#include "common/sysinfo.h"
#include "storage/leave_schema.h"
#include "storage/schema.h"
#include "storage/sysfile.h"
#include "timesync/clock.h"

namespace tq::ctl {

QString siteDatabasePath(const Options& opts) {
    QString path = opts.value(QStringLiteral("db"));
    if (path.isEmpty()) {
        const SystemFile sys = ReadSystemFile(QDir::currentPath(), RealSystemInfo().computerName());
        if (!sys.error.isEmpty()) {
            throw DbError(sys.error);
        }
        path = sys.mdbName;
    }
    if (path.isEmpty()) {
        path = DefaultMdbName();
    }
    if (isServerDatabaseName(path)) {
        return path.trimmed();
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

std::optional<QDateTime> operationTime(const Options& opts) {
    if (!opts.has(QStringLiteral("now"))) {
        return SystemClock().now();
    }
    const QString text = opts.value(QStringLiteral("now"));
    const QDateTime t = parseStamp(text);
    if (!t.isValid()) {
        usageError(QStringLiteral("--now wants \"yyyy/mm/dd hh:nn:ss\", not \"%1\"").arg(text));
        return std::nullopt;
    }
    return t;
}

std::optional<LoadedSettings> loadSiteSettings(const Options& opts) {
    const QString named = opts.value(QStringLiteral("ini"));
    if (!named.isEmpty() && !QFileInfo::exists(named)) {
        err(QStringLiteral("cannot read the settings file %1: no such file")
                .arg(QDir::toNativeSeparators(named)));
        return std::nullopt;
    }
    QString error;
    auto loaded = LoadSettingsFile(QDir::currentPath(), named, &error);
    if (!loaded) {
        err(error);
        return std::nullopt;
    }
    if (const auto warning = NoRulesWarning(*loaded)) {
        err(QStringLiteral("warning: ") + *warning);
    }
    return loaded;
}

LogContext toolLogContext() {
    const RealSystemInfo info;
    return LogContext{info.computerName(), info.userName(), QStringLiteral("tq582ctl")};
}

std::unique_ptr<Database> openSiteDatabase(const Options& opts, SiteAccess access) {
    const QString path = siteDatabasePath(opts);
    if (access != SiteAccess::Read) {
        auto db =
            openDatabase(path, QString::fromLatin1(kDatabasePassword), access == SiteAccess::Write);
        const QString broken = EnsureTables(*db);
        if (!broken.isEmpty()) {
            throw DbError(broken + QStringLiteral("が壊れています"));
        }
        return db;
    }
    // Reading opens read-only, so it also works on a read-only disk or folder: the three
    // tables must be there and readable.
    auto db = openDatabaseToRead(path, QString::fromLatin1(kDatabasePassword));
    for (const TableDef& def : {DefineLogTable(), DefineStaffTable(), DefineWorkTable()}) {
        switch (db->probeTable(def.name)) {
            case TableState::Missing:
                throw DbError(QStringLiteral("%1 has no table %2: not a site database")
                                  .arg(redactedDatabaseName(path), def.name));
            case TableState::Broken:
                throw DbError(def.name + QStringLiteral("が壊れています"));
            case TableState::Present:
                break;
        }
    }
    // Tables of later versions (the archives, the leave ledger) that an older site lacks are
    // made as the terminal's next start would make them, where the database may be written;
    // on a read-only disk the reader goes on without them.
    QStringList later{kWorkArchiveTable, kLogArchiveTable};
    for (const TableDef& def : LeaveTableDefs()) {
        later << def.name;
    }
    const QStringList present = db->tableNames();
    for (const QString& name : later) {
        if (!present.contains(name, Qt::CaseInsensitive)) {
            try {
                EnsureTables(*openDatabase(path, QString::fromLatin1(kDatabasePassword), false));
            } catch (const DbError&) {
            }
            break;
        }
    }
    return db;
}

int withSiteDatabase(const Options& opts, const std::function<int(Database&)>& body,
                     SiteAccess access) {
    try {
        auto db = openSiteDatabase(opts, access);
        return body(*db);
    } catch (const DbError& e) {
        err(e.message());
        return access != SiteAccess::Write && e.kind() == DbFailure::NotFound ? kExitUsage
                                                                              : kExitRefused;
    }
}

int printOutcome(const Outcome& outcome) {
    for (const Message& m : outcome.messages) {
        out(m.text);
    }
    if (!outcome.failureAfter.isEmpty()) {
        err(outcome.failureAfter);
    }
    return outcome.accepted ? kExitOk : kExitRefused;
}

std::optional<Options> parseActionOptions(const QStringList& args, const QStringList& valued,
                                          const QStringList& flags, const QStringList& required) {
    Options opts(args, valued, flags);
    if (!opts.ok()) {
        usageError(opts.error());
        return std::nullopt;
    }
    if (!opts.positional().isEmpty()) {
        usageError(QStringLiteral("unexpected argument %1").arg(opts.positional().first()));
        return std::nullopt;
    }
    for (const QString& name : required) {
        if (opts.value(name).trimmed().isEmpty()) {
            usageError(QStringLiteral("option --%1 is required").arg(name));
            return std::nullopt;
        }
    }
    return opts;
}

int dispatchAction(const QStringList& args,
                   const std::vector<std::pair<QString, ActionFn>>& actions) {
    if (!args.isEmpty()) {
        for (const auto& [word, fn] : actions) {
            if (args.first() == word) {
                return fn(args.mid(1));
            }
        }
    }
    return usageError(args.isEmpty() ? QStringLiteral("an action is required")
                                     : QStringLiteral("unknown action %1").arg(args.first()));
}

}  // namespace tq::ctl
