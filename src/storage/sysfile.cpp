#include "storage/sysfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "common/site_file.h"
#include "common/text.h"

namespace tq {

namespace {

const QString kDefaultNtpHost = QStringLiteral("ntp.nict.jp");
constexpr int kDefaultNtpPort = 123;

// Blanks around a value: spaces and tabs, never the full-width space a path may contain.
QString trimBlanks(const QString& s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && (s[begin] == u' ' || s[begin] == u'\t')) {
        ++begin;
    }
    while (end > begin && (s[end - 1] == u' ' || s[end - 1] == u'\t')) {
        --end;
    }
    return s.mid(begin, end - begin);
}

// "host" or "host:port". A text with more than one colon is a host alone (an IPv6 address).
// A port that is no number from 1 to 65535 makes the line count for nothing.
bool parseServer(const QString& value, QString* host, int* port) {
    const qsizetype colon = value.indexOf(QLatin1Char(':'));
    if (colon < 0 || value.indexOf(QLatin1Char(':'), colon + 1) >= 0) {
        *host = value;
        *port = kDefaultNtpPort;
        return true;
    }
    const QString h = trimBlanks(value.left(colon));
    bool ok = false;
    const int p = trimBlanks(value.mid(colon + 1)).toInt(&ok);
    if (h.isEmpty() || !ok || p < 1 || p > 65535) {
        return false;
    }
    *host = h;
    *port = p;
    return true;
}

/// True when anything is there under the name: a file, a folder, a FIFO, a link even to nothing.
/// Whatever it is, it was meant as the system file and is read or refused as such.
bool present(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

/// "Sys_" + the computer name + ".ini" in `dir`, whatever the letter case of the name in the
/// file name (Windows writes it in capitals); the exact spelling first. Empty when none.
QString perComputerFile(const QDir& dir, const QString& computerName) {
    const QString wanted = QStringLiteral("Sys_") + computerName + QStringLiteral(".ini");
    if (present(dir.filePath(wanted))) {
        return dir.filePath(wanted);
    }
    const QStringList names = dir.entryList(
        QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            return dir.filePath(name);
        }
    }
    return {};
}

}  // namespace

QString DefaultMdbName() {
    return QStringLiteral("../DB/DB.mdb");
}

SystemFile ReadSystemFile(const QString& directory, const QString& computerName) {
    SystemFile out;
    out.mdbName = DefaultMdbName();
    out.ntpHost = kDefaultNtpHost;
    out.ntpPort = kDefaultNtpPort;

    const QDir dir(directory);
    QString path = perComputerFile(dir, computerName);
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("Sys.ini"));
        if (!present(path)) {
            return out;
        }
    }
    QString reason;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, kSystemFileLimit, &reason);
    if (bytes && !isSiteText(*bytes)) {
        reason = QStringLiteral("it is not text in UTF-8 or Shift_JIS (CP932)");
    }
    if (!bytes || !reason.isEmpty()) {
        out.error = QStringLiteral("cannot read the system file %1: %2")
                        .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), reason);
        return out;
    }
    out.fileRead = path;
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = decodeSiteText(*bytes).split(lineEnd);
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();  // the end of the last line, not a line of its own
    }

    QString section;
    for (const QString& line : lines) {
        if (line == u"[WebCam]" || line == u"[MDBName]" || line.startsWith(QLatin1Char('['))) {
            section = trimBlanks(line);
            continue;
        }
        if (line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const QString value = trimBlanks(line);
        if (value.isEmpty()) {
            continue;  // a blank line never empties a setting
        }
        if (section == u"[MDBName]") {
            out.mdbName = value;
        } else if (section == u"[NTPServer]") {
            QString host;
            int port = kDefaultNtpPort;
            if (parseServer(value, &host, &port)) {
                out.ntpHost = host;
                out.ntpPort = port;
            }
        }
    }
    return out;
}

}  // namespace tq
