// The system-file reader on any bytes: Sys.ini is edited by hand on each terminal.
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "storage/sysfile.h"

namespace {

// One folder for the whole run; each input overwrites its Sys.ini.
const QTemporaryDir& folder() {
    static const QTemporaryDir dir;
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!folder().isValid()) {
        std::abort();
    }
    QFile file(folder().filePath(QStringLiteral("Sys.ini")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::abort();
    }
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    const tq::SystemFile sys = tq::ReadSystemFile(folder().path(), QStringLiteral("fuzzhost"));
    // Whatever the file holds, the reader yields an error naming the file (bytes that are no
    // text), or a database path, a host and a valid port.
    if (!sys.error.isEmpty()) {
        if (!sys.error.contains(QStringLiteral("Sys.ini")) || !sys.fileRead.isEmpty()) {
            std::abort();
        }
        return 0;
    }
    if (sys.fileRead.isEmpty() || sys.mdbName.isEmpty() || sys.ntpHost.isEmpty() ||
        sys.ntpPort < 1 || sys.ntpPort > 65535) {
        std::abort();
    }
    return 0;
}
