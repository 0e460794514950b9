#pragma once
// The system file: which database file a terminal uses, and which time server it asks.

#include <QString>
#include <QStringList>

namespace tq {

/// The database path used when no system file names one: the DB folder beside the working
/// directory.
QString DefaultMdbName();

struct SystemFile {
    QString mdbName;  ///< the database path (relative paths are relative to the working dir)
    QString ntpHost;  ///< the time server host ("ntp.nict.jp" unless "[NTPServer]" names one)
    int ntpPort = 123;
    QString fileRead;  ///< the system file that was read, empty when none exists
    /// Lines that could not be used, each with the reason (a NUL byte, say), in line order.
    QStringList problems;
};

/// Reads "Sys_" + computerName + ".ini" in `directory` when it exists (in any letter case),
/// otherwise "Sys.ini"; with neither, the defaults stand.
SystemFile ReadSystemFile(const QString& directory, const QString& computerName);

}  // namespace tq
