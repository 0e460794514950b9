#pragma once
// The subcommands of tq582ctl. Each area registers its subcommands from its own
// ctl_<area>.cpp file with a static CtlCommand; main() dispatches on the first argument.

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

namespace tq::ctl {

/// A subcommand gets its arguments (without the program and subcommand names) and returns
/// the exit code. Output goes to standard output / error in UTF-8.
using CommandFn = std::function<int(const QStringList& args)>;

struct CtlCommand {
    CtlCommand(const char* name, const char* usage, CommandFn fn);
};

/// Prints a line in UTF-8 to standard output or standard error.
void out(const QString& line);
void err(const QString& line);

/// Options of the form --name VALUE and --flag. Unknown options and missing values are
/// usage errors.
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

}  // namespace tq::ctl
