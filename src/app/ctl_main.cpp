#include <QCoreApplication>
#include <QMap>
#include <cstdio>
#include <map>
#include <string>

#include "app/ctl_command.h"

namespace tq::ctl {

namespace {
struct Entry {
    std::string usage;
    CommandFn fn;
};
std::map<std::string, Entry>& registry() {
    static std::map<std::string, Entry> commands;
    return commands;
}
}  // namespace

CtlCommand::CtlCommand(const char* name, const char* usage, CommandFn fn) {
    registry()[name] = Entry{usage, std::move(fn)};
}

void out(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void err(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

Options::Options(const QStringList& args, const QStringList& valued, const QStringList& flags) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(QStringLiteral("--"))) {
            positional_ << a;
            continue;
        }
        const QString name = a.mid(2);
        if (valued.contains(name)) {
            if (i + 1 >= args.size()) {
                error_ = QStringLiteral("option %1 needs a value").arg(a);
                return;
            }
            values_[name] = args[++i];
        } else if (flags.contains(name)) {
            flags_ << name;
        } else {
            error_ = QStringLiteral("unknown option %1").arg(a);
            return;
        }
    }
}

bool Options::has(const QString& name) const {
    return values_.contains(name) || flags_.contains(name);
}

QString Options::value(const QString& name, const QString& fallback) const {
    return values_.value(name, fallback);
}

}  // namespace tq::ctl

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    auto& commands = tq::ctl::registry();
    if (args.isEmpty() || !commands.count(args.first().toStdString())) {
        tq::ctl::err(QStringLiteral("usage: tq582ctl COMMAND [options]"));
        for (const auto& [name, entry] : commands) {
            tq::ctl::err(QStringLiteral("  ") + QString::fromStdString(entry.usage));
        }
        return 2;
    }
    const auto& entry = commands.at(args.takeFirst().toStdString());
    return entry.fn(args);
}
