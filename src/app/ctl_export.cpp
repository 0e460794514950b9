// tq582ctl export: the monthly workbook of every staff member, written as the terminal's
// `出力` button writes it, without opening it.

#include <QDir>
#include <QFileInfo>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "report/monthly_export.h"
#include "settings/settings.h"

namespace tq::ctl {

namespace {

const QString kExportUsage =
    QStringLiteral("export [--db P] [--ini F] [--now \"yyyy/mm/dd hh:nn:ss\"] [--out DIR]");

int exportWorkbook(const QStringList& args) {
    Options opts(
        args,
        {QStringLiteral("db"), QStringLiteral("ini"), QStringLiteral("now"), QStringLiteral("out")},
        {});
    if (!opts.ok()) {
        return usageError(opts.error(), kExportUsage);
    }
    if (!opts.positional().isEmpty()) {
        return usageError(QStringLiteral("unexpected argument %1").arg(opts.positional().first()),
                          kExportUsage);
    }
    QString error;
    const auto now = operationTime(opts, &error);
    if (!now) {
        return usageError(error, kExportUsage);
    }
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
    const QString folder = QDir::current().absoluteFilePath(
        opts.value(QStringLiteral("out"), QStringLiteral("../EXCEL")));

    try {
        // The export only reads the database: a missing file is reported, never created.
        auto db = openEmbeddedDatabase(siteDatabasePath(opts),
                                       QString::fromLatin1(kDatabasePassword), false);
        // The tool cannot ask: a workbook in use is reported and nothing is written.
        QString inUse;
        const ExportResult r = ExportMonthlyWorkbook(*db, loaded->settings, *now, folder, {},
                                                     [&inUse](const QString& message) {
                                                         inUse = message;
                                                         return false;
                                                     });
        switch (r.status) {
            case ExportStatus::Written:
                out(r.path);
                return kExitOk;
            case ExportStatus::NoRows:
                return kExitOk;
            case ExportStatus::Cancelled:
                out(inUse);
                return kExitRefused;
            case ExportStatus::Failed:
                break;
        }
        for (const Message& m : r.outcome.messages) {
            err(m.text);
        }
        return kExitRefused;
    } catch (const DbError& e) {
        err(e.message());
        return kExitRefused;
    }
}

const CtlCommand exportCommand("export", kExportUsage.toUtf8().constData(), exportWorkbook);

}  // namespace

}  // namespace tq::ctl
