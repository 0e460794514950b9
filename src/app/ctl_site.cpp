#include "app/ctl_site.h"

#include <QDir>
#include <QFileInfo>

#include "common/datetime.h"
#include "common/sysinfo.h"
#include "storage/schema.h"
#include "storage/sysfile.h"
#include "timesync/clock.h"

namespace tq::ctl {

QString siteDatabasePath(const Options& opts) {
    QString path = opts.value(QStringLiteral("db"));
    if (path.isEmpty()) {
        path = ReadSystemFile(QDir::currentPath(), RealSystemInfo().computerName()).mdbName;
    }
    if (path.isEmpty()) {
        path = DefaultMdbName();
    }
    if (isServerDatabaseName(path)) {
        return path.trimmed();
    }
    return QDir::current().absoluteFilePath(path);
}

std::optional<QDateTime> operationTime(const Options& opts, QString* error) {
    if (!opts.has(QStringLiteral("now"))) {
        return SystemClock().now();
    }
    const QString text = opts.value(QStringLiteral("now"));
    const QDateTime t = parseStamp(text);
    if (!t.isValid()) {
        if (error) {
            *error = QStringLiteral("--now wants \"yyyy/mm/dd hh:nn:ss\", not \"%1\"").arg(text);
        }
        return std::nullopt;
    }
    return t;
}

LogContext toolLogContext() {
    const RealSystemInfo info;
    return LogContext{info.computerName(), info.userName(), QStringLiteral("tq582ctl")};
}

std::unique_ptr<Database> openSiteDatabase(const Options& opts) {
    const QString path = siteDatabasePath(opts);
    if (!isServerDatabaseName(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
    }
    auto db = openDatabase(path, QString::fromLatin1(kDatabasePassword), true);
    const QString broken = EnsureTables(*db);
    if (!broken.isEmpty()) {
        throw DbError(broken + QStringLiteral("が壊れています"));
    }
    return db;
}

int withSiteDatabase(const Options& opts, const std::function<int(Database&)>& body) {
    try {
        auto db = openSiteDatabase(opts);
        return body(*db);
    } catch (const DbError& e) {
        err(e.message());
        return kExitRefused;
    }
}

int printOutcome(const Outcome& outcome) {
    for (const Message& m : outcome.messages) {
        out(m.text);
    }
    return outcome.accepted ? kExitOk : kExitRefused;
}

int usageError(const QString& problem, const QString& usage) {
    err(problem);
    err(QStringLiteral("usage: tq582ctl ") + usage);
    return kExitUsage;
}

}  // namespace tq::ctl
