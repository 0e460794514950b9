#pragma once
// The system file: which database file a terminal uses, and which time server it asks.

#include <QString>

namespace tq {

/// The database path used when no system file names one: the DB folder beside the working
/// directory.
QString DefaultMdbName();

struct SystemFile {
    QString mdbName;  ///< the database path (relative paths are relative to the working dir)
    QString ntpHost;  ///< the time server host ("ntp.nict.jp" unless "[NTPServer]" names one)
    int ntpPort = 123;
    QString fileRead;  ///< the system file that was read, empty when none exists
    /// Why the system file that exists cannot be used, naming it; empty when it was read or
    /// there is none. The values above are then not to be used: start-up stops, since
    /// falling back to the default database would send punches to another database.
    QString error;
};

/// Reads "Sys_" + computerName + ".ini" in `directory` when it exists (in any letter case),
/// otherwise "Sys.ini"; with neither, the defaults stand. The file must be a regular file of
/// at most 1 MB holding UTF-8 or CP932 text; anything else sets `error`.
SystemFile ReadSystemFile(const QString& directory, const QString& computerName);

}  // namespace tq
