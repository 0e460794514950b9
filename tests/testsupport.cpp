#include "testsupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "common/text.h"

namespace tq::test {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

QByteArray cp932Lines(const QString& text) {
    QString crlf = text;
    crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return encodeSiteText(crlf, FileEncoding::Cp932);
}

ToolRun runTool(const QString& workingDir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(workingDir);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tq582ctl"), args);
    ToolRun r;
    if (!p.waitForFinished(30000)) {
        ADD_FAILURE() << "tq582ctl did not finish: " << p.errorString().toStdString();
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QStringList nonEmptyLines(const QString& text) {
    return text.split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace tq::test
