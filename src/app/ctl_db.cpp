// tq582ctl init / migrate: creating the tables on an empty server database, and moving a
// site's data between the embedded file and a database server.

#include <QCryptographicHash>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "app/ctl_command.h"
#include "app/ctl_site.h"
#include "storage/database.h"
#include "storage/leave_schema.h"
#include "storage/schema.h"

namespace tq::ctl {

namespace {

const char kInitHelp[] =
    "Creates the site tables (and their archive tables) on a new database: an embedded file\n"
    "(created with its folder) or an empty PostgreSQL database named by a connection URI\n"
    "(postgresql://user@host:port/dbname, the password in the URI or in ~/.pgpass). Prints\n"
    "each table with \"created\" or \"present\".\n"
    "\n"
    "  --db PATH_OR_URI   the database (required)\n"
    "\n"
    "Exit status: 0, 1 when the database cannot be opened or a table is damaged, 2 wrong usage.";
const char kMigrateHelp[] =
    "Copies a site database, archives and leave tables included, from an embedded file to a\n"
    "server or back in one transaction, then compares the row count and a checksum of every\n"
    "table on both sides. The target must hold no rows; the source is never changed. Prints\n"
    "one line per table (name, rows, checksum) and a summary.\n"
    "\n"
    "  --from PATH_OR_URI   the site's database now\n"
    "  --to PATH_OR_URI     the new database (created when a file)\n"
    "\n"
    "Exit status: 0 copied and verified, 1 refused (target not empty, a difference, a database\n"
    "failure; nothing is left half-copied), 2 wrong usage.";

// Rows per INSERT while copying: a statement stays within the embedded engine's limit of
// 999 values for the widest table (13 columns).
constexpr int kRowsPerInsert = 50;

/// The tables of a site, in the order they are copied.
QStringList siteTables() {
    QStringList tables{QStringLiteral("T_担当者"), QStringLiteral("T_勤務"),
                       QStringLiteral("T_ログ"), kWorkArchiveTable, kLogArchiveTable};
    for (const TableDef& def : LeaveTableDefs()) {
        tables << def.name;
    }
    return tables;
}

QString bracketed(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

/// A value in a form both engines read alike: the kind, then the value, length-prefixed so
/// that no two rows run together.
void appendCanonical(QByteArray& out, const SqlValue& v) {
    QByteArray body;
    char tag = 'N';
    if (const auto* n = std::get_if<qint64>(&v)) {
        tag = 'I';
        body = QByteArray::number(*n);
    } else if (const auto* d = std::get_if<SqlDecimal>(&v)) {
        tag = 'I';
        body = QByteArray::number(d->value);
    } else if (const auto* b = std::get_if<bool>(&v)) {
        tag = 'B';
        body = *b ? "1" : "0";
    } else if (const auto* day = std::get_if<QDate>(&v)) {
        tag = 'D';
        body = day->toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toUtf8();
    } else if (const auto* t = std::get_if<QDateTime>(&v)) {
        tag = 'D';
        body = t->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    } else if (const auto* s = std::get_if<QString>(&v)) {
        tag = 'T';
        body = s->toUtf8();
    } else if (const auto* l = std::get_if<SqlLongText>(&v)) {
        tag = 'T';
        body = l->value.toUtf8();
    }
    out += tag;
    out += QByteArray::number(body.size());
    out += ':';
    out += body;
}

struct TableSum {
    qint64 rows = 0;
    QByteArray checksum;  ///< SHA-256 over the sorted hashes of the rows, in hex
};

/// Counts the rows of `columns` of a table and sums them up independently of row order (the
/// engines sort text differently).
TableSum summarise(Database& db, const QString& table, const QStringList& columns) {
    QStringList cols;
    for (const QString& c : columns) {
        cols << bracketed(c);
    }
    auto rs = db.query(Sql(QStringLiteral("SELECT ") + cols.join(QLatin1Char(',')) +
                           QStringLiteral(" FROM ") + bracketed(table)));
    std::vector<QByteArray> hashes;
    while (rs->next()) {
        QByteArray row;
        for (const QString& c : columns) {
            appendCanonical(row, rs->value(c));
        }
        hashes.push_back(QCryptographicHash::hash(row, QCryptographicHash::Sha256));
    }
    std::sort(hashes.begin(), hashes.end());
    QCryptographicHash all(QCryptographicHash::Sha256);
    for (const QByteArray& h : hashes) {
        all.addData(h);
    }
    return TableSum{static_cast<qint64>(hashes.size()), all.result().toHex()};
}

void appendValue(Sql& s, const SqlValue& v) {
    if (const auto* n = std::get_if<qint64>(&v)) {
        s.integer(*n);
    } else if (const auto* d = std::get_if<SqlDecimal>(&v)) {
        s.integer(d->value);
    } else if (const auto* b = std::get_if<bool>(&v)) {
        s.boolean(*b);
    } else if (const auto* day = std::get_if<QDate>(&v)) {
        s.date(*day);
    } else if (const auto* t = std::get_if<QDateTime>(&v)) {
        s.dateTime(*t);
    } else if (const auto* str = std::get_if<QString>(&v)) {
        s.text(*str);
    } else if (const auto* l = std::get_if<SqlLongText>(&v)) {
        s.text(l->value);
    } else {
        s.raw(QStringLiteral("Null"));
    }
}

/// Copies every row of `columns` of a table; returns the number of rows copied.
qint64 copyTable(Database& from, Database& to, const QString& table, const QStringList& columns) {
    QStringList cols;
    for (const QString& c : columns) {
        cols << bracketed(c);
    }
    const QString list = cols.join(QLatin1Char(','));
    auto rs = from.query(
        Sql(QStringLiteral("SELECT ") + list + QStringLiteral(" FROM ") + bracketed(table)));
    const QString head = QStringLiteral("INSERT INTO ") + bracketed(table) + QStringLiteral(" (") +
                         list + QStringLiteral(") VALUES ");
    qint64 copied = 0;
    Sql batch;
    int inBatch = 0;
    const auto flush = [&] {
        if (inBatch > 0) {
            to.execute(batch);
            batch = Sql();
            inBatch = 0;
        }
    };
    while (rs->next()) {
        batch.raw(inBatch == 0 ? head + QLatin1Char('(') : QStringLiteral(",("));
        for (qsizetype i = 0; i < columns.size(); ++i) {
            if (i > 0) {
                batch.raw(QStringLiteral(","));
            }
            appendValue(batch, rs->value(columns[i]));
        }
        batch.raw(QStringLiteral(")"));
        ++copied;
        if (++inBatch == kRowsPerInsert) {
            flush();
        }
    }
    flush();
    return copied;
}

qint64 rowCount(Database& db, const QString& table) {
    auto rs = db.query(Sql(QStringLiteral("SELECT count(*) AS n FROM ") + bracketed(table)));
    return rs->next() ? rs->integer(QStringLiteral("n")) : 0;
}

/// Opens the database to copy from without creating anything in it.
std::unique_ptr<Database> openSource(const QString& name) {
    if (!isServerDatabaseName(name) && !QFileInfo::exists(name)) {
        throw DbError(QStringLiteral("database file not found: ") + name, DbFailure::NotFound);
    }
    auto db = openDatabaseToRead(name, QString::fromLatin1(kDatabasePassword));
    for (const QString& t :
         {QStringLiteral("T_ログ"), QStringLiteral("T_担当者"), QStringLiteral("T_勤務")}) {
        switch (db->probeTable(t)) {
            case TableState::Missing:
                throw DbError(QStringLiteral("%1 has no table %2: not a site database")
                                  .arg(redactedDatabaseName(name), t));
            case TableState::Broken:
                throw DbError(t + QStringLiteral("が壊れています"));
            case TableState::Present:
                break;
        }
    }
    return db;
}

QString resolved(const QString& name) {
    return isServerDatabaseName(name) ? name.trimmed() : QFileInfo(name).absoluteFilePath();
}

int init(const QStringList& args) {
    Options opts(args, {QStringLiteral("db")}, {});
    if (!opts.ok()) {
        return usageError(opts.error());
    }
    if (!opts.positional().isEmpty() || opts.value(QStringLiteral("db")).isEmpty()) {
        return usageError(QStringLiteral("option --db is required"));
    }
    try {
        const QString name = resolved(opts.value(QStringLiteral("db")));
        auto db = openDatabase(name, QString::fromLatin1(kDatabasePassword), true);
        const QStringList before = db->tableNames();
        const QString broken = EnsureTables(*db);
        if (!broken.isEmpty()) {
            err(broken + QStringLiteral("が壊れています"));
            return kExitRefused;
        }
        for (const QString& t : siteTables()) {
            out(t + (before.contains(t, Qt::CaseInsensitive) ? QStringLiteral("\tpresent")
                                                             : QStringLiteral("\tcreated")));
        }
        return kExitOk;
    } catch (const DbError& e) {
        err(e.message());
        return kExitRefused;
    }
}

int migrate(const QStringList& args) {
    Options opts(args, {QStringLiteral("from"), QStringLiteral("to")}, {});
    if (!opts.ok()) {
        return usageError(opts.error());
    }
    const QString fromName = opts.value(QStringLiteral("from"));
    const QString toName = opts.value(QStringLiteral("to"));
    if (!opts.positional().isEmpty() || fromName.isEmpty() || toName.isEmpty()) {
        return usageError(QStringLiteral("options --from and --to are required"));
    }
    const QString from = resolved(fromName);
    const QString to = resolved(toName);
    if (from == to) {
        return usageError(QStringLiteral("--from and --to name the same database"));
    }
    try {
        auto source = openSource(from);
        auto target = openDatabase(to, QString::fromLatin1(kDatabasePassword), true);
        // The copy's one transaction waits while each table of the source is read.
        target->allowLongPauses();
        const QString broken = EnsureTables(*target);
        if (!broken.isEmpty()) {
            err(broken + QStringLiteral("が壊れています"));
            return kExitRefused;
        }
        // Only an empty site database is filled: merging two sites' rows is not a copy.
        for (const QString& t : siteTables()) {
            const qint64 n = rowCount(*target, t);
            if (n > 0) {
                err(QStringLiteral("the target %1 already holds rows (%2: %3); migrate copies "
                                   "only into an empty site database")
                        .arg(redactedDatabaseName(to), t)
                        .arg(n));
                return kExitRefused;
            }
        }
        const QStringList present = source->tableNames();
        WriteTransaction tx(*target);
        qint64 total = 0;
        for (const QString& t : siteTables()) {
            if (!present.contains(t, Qt::CaseInsensitive)) {
                out(t + QStringLiteral("\t0 rows\t(no such table in the source)"));
                continue;
            }
            // The columns both have; an older table may lack some (tables are never altered).
            const QStringList sourceColumns = source->columnNames(t);
            QStringList columns;
            for (const QString& c : target->columnNames(t)) {
                if (sourceColumns.contains(c)) {
                    columns << c;
                }
            }
            std::fprintf(stderr, "copying %s ...\n", t.toUtf8().constData());
            const qint64 copied = copyTable(*source, *target, t, columns);
            const TableSum a = summarise(*source, t, columns);
            const TableSum b = summarise(*target, t, columns);
            if (a.rows != copied || b.rows != a.rows || a.checksum != b.checksum) {
                throw DbError(QStringLiteral("%1 does not match after copying (source %2 rows, "
                                             "target %3 rows, checksums %4 / %5); nothing was "
                                             "migrated")
                                  .arg(t)
                                  .arg(a.rows)
                                  .arg(b.rows)
                                  .arg(QString::fromLatin1(a.checksum.left(16)),
                                       QString::fromLatin1(b.checksum.left(16))));
            }
            out(QStringLiteral("%1\t%2 rows\tsha256 %3")
                    .arg(t)
                    .arg(copied)
                    .arg(QString::fromLatin1(a.checksum)));
            total += copied;
        }
        target->syncAutoNumber(QStringLiteral("T_ログ"));
        tx.commit();
        out(QStringLiteral("migrated %1 rows from %2 to %3")
                .arg(total)
                .arg(redactedDatabaseName(from), redactedDatabaseName(to)));
        return kExitOk;
    } catch (const DbError& e) {
        err(e.message());
        return kExitRefused;
    }
}

const CtlCommand initCommand("init", "init --db PATH_OR_URI", init, kInitHelp);
const CtlCommand migrateCommand("migrate", "migrate --from PATH_OR_URI --to PATH_OR_URI", migrate,
                                kMigrateHelp);

}  // namespace

}  // namespace tq::ctl
