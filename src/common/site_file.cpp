#include "common/site_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tq {

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 limit, QString* reason) {
    const auto fail = [reason](const QString& why) -> std::optional<QByteArray> {
        if (reason) {
            *reason = why;
        }
        return std::nullopt;
    };
    // Opened without waiting: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (S_ISDIR(st.st_mode)) {
        return fail(QStringLiteral("it is a folder"));
    }
    if (!S_ISREG(st.st_mode)) {
        return fail(QStringLiteral("it is not a regular file (a FIFO, a device or a socket)"));
    }
    const QString tooLarge = QStringLiteral("it is larger than %1 bytes").arg(limit);
    if (st.st_size > limit) {
        return fail(tooLarge);
    }
    // The size can change while the file is read: at most one byte past the bound is read.
    QByteArray bytes(static_cast<qsizetype>(st.st_size) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > limit) {
                return fail(tooLarge);
            }
            bytes.resize(std::min<qsizetype>(limit + 1, std::max<qsizetype>(2 * used, 4096)));
        }
        const ssize_t n = ::read(fd, bytes.data() + used, static_cast<size_t>(bytes.size() - used));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (n == 0) {
            break;
        }
        used += n;
    }
    if (used > limit) {
        return fail(tooLarge);
    }
    bytes.truncate(used);
    return bytes;
}

}  // namespace tq
