#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringDecoder>
#include <cstdio>
#include <map>
#include <string>

#include "app/ctl_command.h"
#include "storage/database.h"

namespace tq::ctl {

namespace {

constexpr int kExitUsage = 2;

struct Entry {
    std::string usage;
    std::string help;
    CommandFn fn;
};

std::map<std::string, Entry>& registry() {
    static std::map<std::string, Entry> commands;
    return commands;
}

/// The command being run, for the hint of a usage error.
QString& runningCommand() {
    static QString name;
    return name;
}

const QString kProgramHelp = QStringLiteral(
    "Runs the time-clock terminal's operations on a site from the shell: the same checks,\n"
    "the same writes and the same messages as the terminal, printed in UTF-8.\n"
    "\n"
    "Global options (before or after the command):\n"
    "  --db PATH_OR_URI  the database instead of the system file's [MDBName]\n"
    "  --ini FILE        the settings file instead of TQ582.ini in the working directory\n"
    "  --now \"yyyy/mm/dd hh:nn:ss\"\n"
    "                    the operation's time (Japan time) instead of the clock\n"
    "  -h, --help        this help, or a command's help after the command name\n"
    "  -V, --version     the version\n"
    "\n"
    "Files (in the working directory): Sys_<host>.ini or Sys.ini (the database), TQ582.ini\n"
    "(the working rules). Exit status: 0 done, 1 refused by the operation or the database,\n"
    "2 wrong usage or unreadable input.");

void printVersion() {
    out(QStringLiteral("tq582ctl ") + QCoreApplication::applicationVersion());
}

void printProgramHelp() {
    out(QStringLiteral("usage: tq582ctl [--db P] [--ini F] [--now T] COMMAND [options]"));
    out(QString());
    out(kProgramHelp);
    out(QString());
    out(QStringLiteral("Commands (tq582ctl COMMAND --help for each):"));
    for (const auto& [name, entry] : registry()) {
        out(QStringLiteral("  ") + QString::fromStdString(entry.usage));
    }
}

void printCommandHelp(const Entry& entry) {
    out(QStringLiteral("usage: tq582ctl ") + QString::fromStdString(entry.usage));
    if (!entry.help.empty()) {
        out(QString());
        out(QString::fromStdString(entry.help));
    }
    out(QString());
    out(QStringLiteral("Global options --db, --ini and --now are accepted by every command."));
}

bool isHelp(const QString& a) {
    return a == QLatin1String("--help") || a == QLatin1String("-h");
}

bool isVersion(const QString& a) {
    return a == QLatin1String("--version") || a == QLatin1String("-V");
}

}  // namespace

CtlCommand::CtlCommand(const char* name, const char* usage, CommandFn fn, const char* help) {
    registry()[name] = Entry{usage, help, std::move(fn)};
}

namespace {

// Every line leaves without a server password in it, whatever path it came by (an argument
// echoed in a usage error, a message of the database server).
void write(std::FILE* stream, const QString& line) {
    const QByteArray bytes =
        (line.contains(QStringLiteral("://")) ? withoutPasswords(line) : line).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

}  // namespace

void out(const QString& line) {
    write(stdout, line);
}

void err(const QString& line) {
    write(stderr, line);
}

int usageError(const QString& problem) {
    const QString& command = runningCommand();
    err(QStringLiteral("tq582ctl: ") + problem +
        QStringLiteral(" (try \"tq582ctl %1--help\")")
            .arg(command.isEmpty() ? QString() : command + u' '));
    return kExitUsage;
}

Options::Options(const QStringList& args, const QStringList& valued, const QStringList& flags) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    QStringList withValue = valued;
    for (const QString& g : kGlobalOptions) {
        if (!withValue.contains(g)) {
            withValue << g;
        }
    }
    for (const QString& name : withValue) {
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    }
    for (const QString& name : flags) {
        parser.addOption(QCommandLineOption(name));
    }
    if (!parser.parse(QStringList{QStringLiteral("tq582ctl")} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        error_ = unknown.isEmpty() ? parser.errorText()
                                   : QStringLiteral("unknown option --%1").arg(unknown.first());
        return;
    }
    for (const QString& name : withValue) {
        if (parser.isSet(name)) {
            values_[name] = parser.value(name);
        }
    }
    for (const QString& name : flags) {
        if (parser.isSet(name)) {
            flags_ << name;
        }
    }
    positional_ = parser.positionalArguments();
}

bool Options::has(const QString& name) const {
    return values_.contains(name) || flags_.contains(name);
}

QString Options::value(const QString& name, const QString& fallback) const {
    return values_.value(name, fallback);
}

namespace {

// The argument as a reader can see it: control characters written as \t, \n, \xHH.
QString visible(const QByteArray& raw) {
    QString s;
    for (const char c : raw) {
        const auto u = static_cast<unsigned char>(c);
        if (u == '\t') {
            s += QStringLiteral("\\t");
        } else if (u == '\n') {
            s += QStringLiteral("\\n");
        } else if (u == '\r') {
            s += QStringLiteral("\\r");
        } else if (u < 0x20 || u == 0x7F || u >= 0x80) {
            s += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        } else {
            s += QLatin1Char(c);
        }
    }
    return s;
}

// Whether the text holds a control character: C0, DEL or C1.
bool hasControl(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F)) {
            return true;
        }
    }
    return false;
}

}  // namespace

/// Refuses arguments that no box of the window could hold: bytes that are not UTF-8 (they
/// would all become U+FFFD, and two different codes the same one) and control characters in
/// values. Paths (--db, --ini) only need to be UTF-8. Prints the problem; false when refused.
bool argumentsAreText(int argc, char** argv) {
    bool pathFollows = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(raw);
        if (utf8.hasError()) {
            usageError(QStringLiteral("argument %1 \"%2\" is not valid UTF-8 text")
                           .arg(i)
                           .arg(visible(raw)));
            return false;
        }
        if (!pathFollows && hasControl(text)) {
            usageError(QStringLiteral("argument %1 \"%2\" holds a control character (tab, line "
                                      "break, escape or delete): codes, names, shifts and dates "
                                      "must be plain text")
                           .arg(i)
                           .arg(visible(raw)));
            return false;
        }
        pathFollows = text == u"--db" || text == u"--ini" || text == u"--out";
    }
    return true;
}

}  // namespace tq::ctl

int main(int argc, char** argv) {
    using namespace tq::ctl;
    QCoreApplication app(argc, argv);
    if (!argumentsAreText(argc, argv)) {
        return 2;
    }
    QCoreApplication::setApplicationName(QStringLiteral("tq582ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TQ582_VERSION));
    QStringList args = QCoreApplication::arguments().mid(1);

    // Global options and --help/--version before the command name; the globals travel on
    // to the command, which reads them like its own options.
    QStringList globals;
    while (!args.isEmpty() && args.first().startsWith(u'-')) {
        const QString a = args.takeFirst();
        if (isHelp(a)) {
            printProgramHelp();
            return 0;
        }
        if (isVersion(a)) {
            printVersion();
            return 0;
        }
        const QString name = a.mid(2).section(u'=', 0, 0);
        if (!a.startsWith(QLatin1String("--")) || !kGlobalOptions.contains(name)) {
            return usageError(QStringLiteral("unknown option %1 before the command").arg(a));
        }
        globals << a;
        if (!a.contains(u'=')) {
            if (args.isEmpty()) {
                return usageError(QStringLiteral("option %1 needs a value").arg(a));
            }
            globals << args.takeFirst();
        }
    }
    if (args.isEmpty()) {
        return usageError(QStringLiteral("a command is required"));
    }
    auto& commands = registry();
    const QString name = args.takeFirst();
    const auto found = commands.find(name.toStdString());
    if (found == commands.end()) {
        return usageError(QStringLiteral("unknown command %1").arg(name));
    }
    runningCommand() = name;
    // --help and --version after the command (before a "--" that ends the options).
    for (const QString& a : args) {
        if (a == QLatin1String("--")) {
            break;
        }
        if (isHelp(a)) {
            printCommandHelp(found->second);
            return 0;
        }
        if (isVersion(a)) {
            printVersion();
            return 0;
        }
    }
    const qsizetype end = args.indexOf(QStringLiteral("--"));
    for (qsizetype i = 0; i < globals.size(); ++i) {
        args.insert(end < 0 ? args.size() : end + i, globals[i]);
    }
    return found->second.fn(args);
}
