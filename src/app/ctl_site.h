#pragma once
// Site access for the subcommands of tq582ctl: the database named by the system file of the
// working directory (or --db), the time of the operation (--now or the computer's clock), and
// the log context of the tool.

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/ctl_command.h"
#include "common/outcome.h"
#include "settings/settings.h"
#include "storage/database.h"
#include "storage/oplog.h"

namespace tq::ctl {

/// Exit codes shared by the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitRefused = 1;  ///< refused by the operation, or the database failed
inline constexpr int kExitUsage = 2;

/// The database path: --db when given, else the system file's "[MDBName]" (or the default),
/// relative paths taken from the working directory. Throws DbError naming the system file when
/// it exists but cannot be read: the default database is never used in its place.
QString siteDatabasePath(const Options& opts);

/// --now "yyyy/mm/dd hh:nn:ss" when given, else the computer's clock. A malformed --now is
/// reported as a usage error and gives nothing (the command then exits kExitUsage).
std::optional<QDateTime> operationTime(const Options& opts);

/// The settings file named by --ini (default TQ582.ini in the working directory), read as the
/// terminal reads it. A named file is used itself: a mistyped name must not quietly fall back
/// to the working directory's file. Prints the problem and gives nothing when it cannot be
/// read; a file that yields no rules at all is read but warned about on standard error.
std::optional<LoadedSettings> loadSiteSettings(const Options& opts);

/// The tool's log context: this computer, the effective user, program name "tq582ctl".
LogContext toolLogContext();

/// Whether a command writes to the site database. Only writing commands create it; reading
/// ones open it read-only. `Existing` is for commands that mostly read yet record what fell
/// due on the way (the statutory leave grants): the database is written but never created.
enum class SiteAccess { Read, Existing, Write };

/// Opens the site database. For writing, the file, its folder and missing tables are created
/// as the terminal does at start-up; for reading, the database is opened read-only, a missing
/// file is a DbError of kind NotFound naming the path, and nothing is made. Throws DbError
/// when the database cannot be opened or a table is missing (for reading) or broken.
std::unique_ptr<Database> openSiteDatabase(const Options& opts, SiteAccess access);

/// Runs `body` on the opened site database. Database failures are printed to standard error
/// with the engine's message and give kExitRefused; a missing file for a command that does not
/// create it gives kExitUsage.
int withSiteDatabase(const Options& opts, const std::function<int(Database&)>& body,
                     SiteAccess access = SiteAccess::Write);

/// Prints the outcome's messages, one a line, to standard output, then a failure that came
/// after the stored change to standard error; kExitOk when accepted (the change is stored).
int printOutcome(const Outcome& outcome);

/// Parses the options after an action word ("staff set ..."): no positional words, and each
/// of `required` given and not blank. On a usage error prints it and returns nothing.
std::optional<Options> parseActionOptions(const QStringList& args, const QStringList& valued,
                                          const QStringList& flags, const QStringList& required);

/// Runs the action named by the first word of `args` with the words after it.
using ActionFn = int (*)(const QStringList&);
int dispatchAction(const QStringList& args,
                   const std::vector<std::pair<QString, ActionFn>>& actions);

}  // namespace tq::ctl
