#include "test_database.h"

#include <libpq-fe.h>

#include <QAtomicInt>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QUrl>

namespace tq::test {

namespace {

QString adminUri() {
    return qEnvironmentVariable("TQ582_TEST_PG_URI").trimmed();
}

// Runs one statement outside a transaction on the server's administrative database.
QString adminStatement(const QString& statement) {
    const QByteArray uri = adminUri().toUtf8();
    PGconn* conn = PQconnectdb(uri.constData());
    QString error;
    if (PQstatus(conn) != CONNECTION_OK) {
        error = QString::fromUtf8(PQerrorMessage(conn));
    } else {
        PGresult* r = PQexec(conn, statement.toUtf8().constData());
        if (PQresultStatus(r) != PGRES_COMMAND_OK) {
            error = QString::fromUtf8(PQresultErrorMessage(r));
        }
        PQclear(r);
    }
    PQfinish(conn);
    return error.trimmed();
}

QString uriWithDatabase(const QString& database) {
    QUrl url(adminUri());
    url.setPath(QLatin1Char('/') + database);
    return url.toString();
}

}  // namespace

bool testOnServer() {
    return qEnvironmentVariable("TQ582_TEST_ENGINE") == u"pg";
}

QString createServerDatabase(QString* error) {
    if (adminUri().isEmpty()) {
        *error = QStringLiteral(
            "no PostgreSQL test server: TQ582_TEST_PG_URI is not set (scripts/test.sh starts "
            "one with scripts/pg-test-server.sh)");
        return {};
    }
    static QAtomicInt counter;
    const QString name = QStringLiteral("tq582_test_%1_%2_%3")
                             .arg(QCoreApplication::applicationPid())
                             .arg(counter.fetchAndAddRelaxed(1))
                             .arg(QRandomGenerator::global()->generate() % 100000);
    const QString failure = adminStatement(QStringLiteral("CREATE DATABASE ") + name +
                                           QStringLiteral(" TEMPLATE template0 ENCODING 'UTF8'"));
    if (!failure.isEmpty()) {
        *error = QStringLiteral("cannot create a test database on the server: ") + failure;
        return {};
    }
    return uriWithDatabase(name);
}

void dropServerDatabase(const QString& uri) {
    const QString name = QUrl(uri).path().mid(1);
    if (!name.isEmpty()) {
        adminStatement(QStringLiteral("DROP DATABASE IF EXISTS ") + name +
                       QStringLiteral(" WITH (FORCE)"));
    }
}

TestDatabase::TestDatabase(const QString& filePath) {
    if (!testOnServer()) {
        name_ = filePath;
        return;
    }
    name_ = createServerDatabase(&skip_);
    serverDatabase_ = name_;
}

TestDatabase::~TestDatabase() {
    if (!serverDatabase_.isEmpty()) {
        dropServerDatabase(serverDatabase_);
    }
}

std::unique_ptr<Database> TestDatabase::open(bool create) const {
    return openDatabase(name_, QString::fromLatin1(kDatabasePassword), create);
}

}  // namespace tq::test
