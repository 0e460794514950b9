#include "report/workbook_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tq {

QString LockFilePath(const QString& target) {
    const QFileInfo info(target);
    return info.absoluteDir().filePath(QStringLiteral(".~lock.") + info.fileName() + u'#');
}

bool WorkbookInUse(const QString& target) {
    return QFileInfo::exists(LockFilePath(target));
}

QString WorkbookInUseMessage(const QString& target) {
    return QStringLiteral("Excelブック(") + target + QStringLiteral(")を閉じてください。");
}

ReplaceResult ReplaceFile(const QString& target, const QByteArray& bytes, const AskRetry& ask) {
    ReplaceResult result;
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder)) {
        result.error = QStringLiteral("フォルダ(%1)を作成できません。").arg(folder);
        return result;
    }

    QTemporaryFile temp(folder + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!temp.open()) {
        result.error = temp.errorString();
        return result;
    }
    // The file gets the permissions a newly created file gets, not the temporary file's.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(temp.handle(), 0666 & ~mask);
    if (temp.write(bytes) != bytes.size() || !temp.flush() || ::fsync(temp.handle()) != 0) {
        result.error = temp.errorString();
        if (result.error.isEmpty()) {
            result.error = QString::fromLocal8Bit(std::strerror(errno));
        }
        return result;
    }

    const QByteArray from = QFile::encodeName(temp.fileName());
    const QByteArray to = QFile::encodeName(info.absoluteFilePath());
    for (;;) {
        if (!WorkbookInUse(target) && std::rename(from.constData(), to.constData()) == 0) {
            temp.setAutoRemove(false);
            result.status = ReplaceStatus::Replaced;
            return result;
        }
        if (!ask || !ask(WorkbookInUseMessage(target))) {
            result.status = ReplaceStatus::Cancelled;
            return result;
        }
    }
}

}  // namespace tq
