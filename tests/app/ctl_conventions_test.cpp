// tq582ctl behaves as a Linux command-line tool: help and version on standard output with
// exit 0 at every level, global options on either side of the command, options in any
// order, and a usage problem as one line on standard error with exit 2.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "../testsupport.h"

using namespace tq::test;

namespace {

struct Site {
    QTemporaryDir dir;
    QString db() const { return dir.filePath(QStringLiteral("DB/DB.mdb")); }
    ToolRun run(const QStringList& args) const { return runTool(dir.path(), args); }
};

}  // namespace

TEST(CtlConventions, HelpAndVersionAtEveryLevel) {
    Site site;
    const QStringList commands = {
        QStringLiteral("check-settings"), QStringLiteral("period"),      QStringLiteral("daytext"),
        QStringLiteral("calc"),           QStringLiteral("staff"),       QStringLiteral("shift"),
        QStringLiteral("punch"),          QStringLiteral("review"),      QStringLiteral("request"),
        QStringLiteral("export"),         QStringLiteral("check-db"),    QStringLiteral("init"),
        QStringLiteral("migrate"),        QStringLiteral("punch-batch"), QStringLiteral("leave")};
    const ToolRun top = site.run({QStringLiteral("--help")});
    EXPECT_EQ(top.exitCode, 0);
    EXPECT_TRUE(top.err.isEmpty()) << top.err.toStdString();
    for (const QString& c : commands) {
        EXPECT_TRUE(top.out.contains(QStringLiteral("\n  ") + c)) << c.toStdString();
    }
    const ToolRun version = site.run({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("tq582ctl "))) << version.out.toStdString();

    for (const QString& c : commands) {
        for (const QStringList& args :
             {QStringList{c, QStringLiteral("--help")}, QStringList{c, QStringLiteral("-h")},
              QStringList{c, QStringLiteral("set"), QStringLiteral("--code"), QStringLiteral("1"),
                          QStringLiteral("--help")}}) {
            const ToolRun r = site.run(args);
            EXPECT_EQ(r.exitCode, 0) << args.join(u' ').toStdString();
            EXPECT_TRUE(r.out.startsWith(QStringLiteral("usage: tq582ctl ") + c))
                << r.out.toStdString();
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        }
        const ToolRun v = site.run({c, QStringLiteral("--version")});
        EXPECT_EQ(v.exitCode, 0);
        EXPECT_EQ(v.out, version.out);
    }
    // Help never touches the site: no database appears.
    EXPECT_FALSE(QFileInfo::exists(site.db()));
}

TEST(CtlConventions, GlobalOptionsOnEitherSideAndAnyOrder) {
    Site site;
    const QString now = QStringLiteral("2024/05/01 09:00:00");
    const ToolRun set =
        site.run({QStringLiteral("--db"), site.db(), QStringLiteral("--now"), now,
                  QStringLiteral("staff"), QStringLiteral("set"), QStringLiteral("--name"),
                  QStringLiteral("山田 太郎"), QStringLiteral("--code=0001")});
    ASSERT_EQ(set.exitCode, 0) << set.err.toStdString();
    const ToolRun list = site.run(
        {QStringLiteral("staff"), QStringLiteral("list"), QStringLiteral("--db=") + site.db()});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.startsWith(QStringLiteral("0001\t山田 太郎\t"))) << list.out.toStdString();

    // A global option before the command reaches commands that do not read a database too.
    const ToolRun period =
        site.run({QStringLiteral("--now=2024/05/01 09:00:00"), QStringLiteral("period"),
                  QStringLiteral("--ini"), QStringLiteral("none.ini")});
    EXPECT_EQ(period.exitCode, 2);
    EXPECT_TRUE(period.err.contains(QStringLiteral("none.ini"))) << period.err.toStdString();
}

TEST(CtlConventions, UsageProblemsAreOneLineWithAHint) {
    Site site;
    struct Case {
        QStringList args;
        const char* names;  // what the line must mention
        const char* hint;
    };
    const Case cases[] = {
        {{}, "a command is required", "tq582ctl --help"},
        {{QStringLiteral("bogus")}, "unknown command bogus", "tq582ctl --help"},
        {{QStringLiteral("--bogus"), QStringLiteral("period")}, "--bogus", "tq582ctl --help"},
        {{QStringLiteral("--db")}, "--db needs a value", "tq582ctl --help"},
        {{QStringLiteral("punch"), QStringLiteral("in"), QStringLiteral("--bogus")},
         "unknown option --bogus",
         "tq582ctl punch --help"},
        {{QStringLiteral("punch"), QStringLiteral("in")},
         "--code is required",
         "tq582ctl punch --help"},
        {{QStringLiteral("staff"), QStringLiteral("fire")},
         "unknown action fire",
         "tq582ctl staff --help"},
        {{QStringLiteral("period"), QStringLiteral("--now")}, "--now", "tq582ctl period --help"},
    };
    for (const Case& c : cases) {
        const ToolRun r = site.run(c.args);
        const std::string what = c.args.join(u' ').toStdString();
        EXPECT_EQ(r.exitCode, 2) << what;
        EXPECT_TRUE(r.out.isEmpty()) << what;
        const QStringList lines = nonEmptyLines(r.err);
        ASSERT_EQ(lines.size(), 1) << what << ": " << r.err.toStdString();
        EXPECT_TRUE(lines[0].contains(QString::fromUtf8(c.names))) << lines[0].toStdString();
        EXPECT_TRUE(lines[0].contains(QString::fromUtf8(c.hint))) << lines[0].toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(site.db()));
}
