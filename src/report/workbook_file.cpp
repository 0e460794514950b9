#include "report/workbook_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tq {

namespace {

/// The first fields of a lock file: "author,user,host,time,profile;" with "\" escaping
/// the separators inside a field. Nothing when it has fewer than three fields.
std::optional<QStringList> lockFields(const QString& lockPath) {
    QFile f(lockPath);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(f.read(4096));
    QStringList fields{QString()};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            fields.back() += text[++i];
        } else if (c == u',') {
            fields << QString();
        } else if (c == u';') {
            break;
        } else {
            fields.back() += c;
        }
    }
    if (fields.size() < 3) {
        return std::nullopt;
    }
    return fields;
}

/// Host names compared without their domain and letter case, as either may be written.
bool sameHost(const QString& a, const QString& b) {
    const auto shortName = [](const QString& h) { return h.section(u'.', 0, 0).toCaseFolded(); };
    return !a.isEmpty() && shortName(a) == shortName(b);
}

/// True when /proc/locks holds a lock on the file, by any process of any user.
std::optional<bool> lockedInProc(const struct stat& st) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // Each line names the file as major:minor:inode (hexadecimal device numbers).
    const QByteArray id = QByteArray::number(major(st.st_dev), 16).rightJustified(2, '0') + ':' +
                          QByteArray::number(minor(st.st_dev), 16).rightJustified(2, '0') + ':' +
                          QByteArray::number(static_cast<qulonglong>(st.st_ino));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        for (const QByteArray& field : line.simplified().split(' ')) {
            if (field == id) {
                return true;
            }
        }
    }
    return false;
}

/// The names in a folder of /proc (nothing when it cannot be read).
std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] != '.') {
                names.emplace_back(e->d_name);
            }
        }
        ::closedir(d);
    }
    return names;
}

/// True when a process that this one may look at has the file open.
bool openInProc(const struct stat& st) {
    for (const std::string& pid : entries("/proc")) {
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string fdDir = "/proc/" + pid + "/fd/";
        for (const std::string& fd : entries(fdDir)) {
            struct stat open {};
            if (::stat((fdDir + fd).c_str(), &open) == 0 && open.st_dev == st.st_dev &&
                open.st_ino == st.st_ino) {
                return true;
            }
        }
    }
    return false;
}

/// Makes the folder and its missing parents; the error number of the step that failed, or 0.
int makeFolder(const QString& folder) {
    const QStringList parts = QDir::cleanPath(folder).split(u'/');
    QString path;
    for (const QString& part : parts) {
        if (part.isEmpty()) {
            continue;
        }
        path += u'/' + part;
        const QByteArray name = QFile::encodeName(path);
        struct stat st {};
        if (::stat(name.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                return ENOTDIR;
            }
            continue;
        }
        if (::mkdir(name.constData(), 0777) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    return 0;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

QString LockFilePath(const QString& target) {
    const QFileInfo info(target);
    return info.absoluteDir().filePath(QStringLiteral(".~lock.") + info.fileName() + u'#');
}

bool StaleLock(const QString& target) {
    const auto fields = lockFields(LockFilePath(target));
    if (!fields || !sameHost(fields->at(2), QSysInfo::machineHostName())) {
        return false;
    }
    struct stat st {};
    if (::stat(QFile::encodeName(target).constData(), &st) != 0) {
        return errno == ENOENT;  // nothing there for anybody to have open
    }
    const std::optional<bool> locked = lockedInProc(st);
    if (!locked) {
        return false;  // no way to look: keep asking
    }
    return !*locked && !openInProc(st);
}

bool WorkbookInUse(const QString& target) {
    return QFileInfo::exists(LockFilePath(target)) && !StaleLock(target);
}

QString WorkbookInUseMessage(const QString& target) {
    return QStringLiteral("Excelブック(") + target + QStringLiteral(")を閉じてください。");
}

QString WriteFailureCause(int errnum) {
    switch (errnum) {
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("ディスクの空き容量が不足しています。");
        case EACCES:
        case EPERM:
            return QStringLiteral("書き込む権限がありません。");
        case EROFS:
            return QStringLiteral("書き込みできないディスクです。");
        case EISDIR:
        case ENOTEMPTY:
        case EEXIST:
            return QStringLiteral("同じ名前のフォルダがあります。");
        case ENOTDIR:
            return QStringLiteral("フォルダの位置に同じ名前のファイルがあります。");
        case EFBIG:
            return QStringLiteral("ファイルが大きすぎます。");
        case ENAMETOOLONG:
            return QStringLiteral("ファイル名が長すぎます。");
        case EIO:
            return QStringLiteral("ディスクの読み書きに失敗しました。");
        default:
            return QStringLiteral("書き込みに失敗しました（エラー番号 %1）。").arg(errnum);
    }
}

ReplaceResult ReplaceFile(const QString& target, const QByteArray& bytes, const AskRetry& ask) {
    ReplaceResult result;
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    if (const int e = makeFolder(folder); e != 0) {
        result.error =
            QStringLiteral("フォルダ(%1)を作成できません。").arg(folder) + WriteFailureCause(e);
        return result;
    }

    QByteArray temp = QFile::encodeName(folder + QStringLiteral("/.") + info.fileName() +
                                        QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        result.error = WriteFailureCause(errno);
        return result;
    }
    auto fail = [&](int e) {
        result.error = WriteFailureCause(e);
        ::unlink(temp.constData());
        return result;
    };
    // The file gets the permissions a newly created file gets, not the temporary file's.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 && written) {
        return fail(errno);
    }
    if (!written) {
        return fail(writeError);
    }

    const QByteArray to = QFile::encodeName(info.absoluteFilePath());
    for (;;) {
        const QString lock = LockFilePath(target);
        if (QFileInfo::exists(lock)) {
            if (StaleLock(target)) {
                QFile::remove(lock);
            } else {
                if (!ask || !ask(WorkbookInUseMessage(target))) {
                    ::unlink(temp.constData());
                    result.status = ReplaceStatus::Cancelled;
                    return result;
                }
                continue;
            }
        }
        if (std::rename(temp.constData(), to.constData()) != 0) {
            return fail(errno);
        }
        result.status = ReplaceStatus::Replaced;
        return result;
    }
}

}  // namespace tq
