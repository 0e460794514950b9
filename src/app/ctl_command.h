#pragma once
// The subcommands of tq582ctl. Each area registers its subcommands from its own
// ctl_<area>.cpp file with a static CtlCommand; main() handles the global options, --help and
// --version, and dispatches on the command name.

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

namespace tq::ctl {

/// A subcommand gets its arguments (without the program and subcommand names, the global
/// options appended) and returns the exit code. Output goes to standard output / error in UTF-8.
using CommandFn = std::function<int(const QStringList& args)>;

struct CtlCommand {
    /// `usage` is the one-line synopsis after "tq582ctl " that the command list shows;
    /// `help` what `tq582ctl NAME --help` prints: the full synopsis, what the command does,
    /// each option and its meaning, the output and the exit status.
    CtlCommand(const char* name, const char* usage, CommandFn fn, const char* help = "");
};

/// Prints a line in UTF-8 to standard output or standard error.
void out(const QString& line);
void err(const QString& line);

/// The options every command accepts, before or after the command name.
inline const QStringList kGlobalOptions = {QStringLiteral("db"), QStringLiteral("ini"),
                                           QStringLiteral("now")};

/// Options in any order, as --name VALUE, --name=VALUE or --flag; words that are not options
/// are positional; "--" ends the options. The global options are always accepted. Unknown
/// options and missing values are usage errors.
class Options {
  public:
    /// `valued` lists options that take a value, `flags` those that do not.
    Options(const QStringList& args, const QStringList& valued, const QStringList& flags);
    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    bool has(const QString& name) const;
    QString value(const QString& name, const QString& fallback = QString()) const;
    /// Words that are not options, in order.
    const QStringList& positional() const { return positional_; }

  private:
    QMap<QString, QString> values_;
    QStringList flags_;
    QStringList positional_;
    QString error_;
};

/// Prints a usage problem as one line with a hint to the running command's --help; returns
/// the usage exit status 2.
int usageError(const QString& problem);

}  // namespace tq::ctl
