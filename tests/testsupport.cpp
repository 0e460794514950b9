#include "testsupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "common/text.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

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

ToolRun runToolRaw(const QString& workingDir, const QList<QByteArray>& args) {
    ToolRun r;
    QTemporaryDir outputs;
    const QByteArray program =
        QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/tq582ctl"));
    const QByteArray outPath = QFile::encodeName(outputs.filePath(QStringLiteral("out")));
    const QByteArray errPath = QFile::encodeName(outputs.filePath(QStringLiteral("err")));
    const QByteArray dir = QFile::encodeName(workingDir);
    std::vector<QByteArray> owned(args.begin(), args.end());
    std::vector<char*> argv{const_cast<char*>(program.constData())};
    for (QByteArray& a : owned) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only calls that are safe after fork() in a threaded process.
        const int o = ::open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (o < 0 || e < 0 || ::chdir(dir.constData()) != 0 || ::dup2(o, 1) < 0 ||
            ::dup2(e, 2) < 0) {
            ::_exit(127);
        }
        ::execv(program.constData(), argv.data());
        ::_exit(127);
    }
    if (pid < 0) {
        ADD_FAILURE() << "cannot start tq582ctl";
        return r;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = QString::fromUtf8(readFile(QString::fromUtf8(outPath)));
    r.err = QString::fromUtf8(readFile(QString::fromUtf8(errPath)));
    return r;
}

ScratchMount::ScratchMount(qint64 bytes) {
    if (::geteuid() != 0) {
        return;
    }
    const QByteArray target = QFile::encodeName(dir_.path());
    const QByteArray options = "size=" + QByteArray::number(bytes);
    mounted_ = ::mount("tq582test", target.constData(), "tmpfs", 0, options.constData()) == 0;
}

ScratchMount::~ScratchMount() {
    if (mounted_) {
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
}

bool ScratchMount::makeReadOnly() {
    return mounted_ && ::mount("tq582test", QFile::encodeName(dir_.path()).constData(), "tmpfs",
                               MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

void ScratchMount::fill() {
    QFile filler(dir_.filePath(QStringLiteral(".filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // The last partial block, byte by byte.
    while (filler.write("x", 1) == 1 && filler.flush()) {
    }
}

QStringList nonEmptyLines(const QString& text) {
    return text.split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace tq::test
