#include <QCoreApplication>
#include <QMap>
#include <QStringDecoder>
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
            err(QStringLiteral("argument %1 \"%2\" is not valid UTF-8 text")
                    .arg(i)
                    .arg(visible(raw)));
            return false;
        }
        if (!pathFollows && hasControl(text)) {
            err(QStringLiteral("argument %1 \"%2\" holds a control character (tab, line break, "
                               "escape or delete): codes, names, shifts and dates must be "
                               "plain text")
                    .arg(i)
                    .arg(visible(raw)));
            return false;
        }
        pathFollows = text == u"--db" || text == u"--ini";
    }
    return true;
}

}  // namespace tq::ctl

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!tq::ctl::argumentsAreText(argc, argv)) {
        return 2;
    }
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
