#include "own_server.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

namespace tq::test {

namespace {

/// Runs scripts/pg-test-server.sh; returns its standard output, trimmed.
QString serverScript(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("bash"), QStringList{QStringLiteral(TQ582_PG_SERVER_SCRIPT)} + args);
    if (!p.waitForFinished(120'000) || p.exitCode() != 0) {
        ADD_FAILURE() << "pg-test-server.sh " << args.join(u' ').toStdString() << ": "
                      << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace

OwnServer::OwnServer() {
    folder_ = serverScript({QStringLiteral("start")});
    if (folder_.isEmpty()) {
        return;
    }
    QFile f(folder_ + QStringLiteral("/uri"));
    if (f.open(QIODevice::ReadOnly)) {
        uri_ = QString::fromUtf8(f.readAll()).trimmed();
    }
}

OwnServer::~OwnServer() {
    if (!folder_.isEmpty()) {
        serverScript({QStringLiteral("stop"), folder_});
    }
}

void OwnServer::pause() {
    serverScript({QStringLiteral("pause"), folder_});
}

void OwnServer::resume() {
    serverScript({QStringLiteral("resume"), folder_});
}

}  // namespace tq::test
