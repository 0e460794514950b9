#pragma once
// Reading the site's small text files (the working rules and the system file): only a regular
// file is read, and only up to a bound, so that a FIFO, a device or a huge file named by
// mistake can neither hang a terminal nor exhaust its memory.

#include <QByteArray>
#include <QString>
#include <optional>

namespace tq {

/// The largest system file read (it names a database and a time server in a few lines).
inline constexpr qint64 kSystemFileLimit = 1 << 20;
/// The largest settings file read: far beyond any site's rules, still a bounded amount of memory.
inline constexpr qint64 kSettingsFileLimit = 64 << 20;

/// The whole content of `path` when it is a regular file (a link to one is followed) of at
/// most `limit` bytes. Otherwise nothing, and `reason` says why in a few words ("it is a
/// folder", "it is not a regular file (a FIFO or a device)", "it is larger than 1048576
/// bytes", or the system's reason it cannot be opened). Never waits for a writer.
std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 limit, QString* reason);

}  // namespace tq
