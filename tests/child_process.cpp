#include "child_process.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QProcess>

namespace tq::test {

namespace {

const char kChildVariable[] = "TQ582_CHILD_TEST";

QString currentTestName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return QString::fromUtf8(info->test_suite_name()) + QLatin1Char('.') +
           QString::fromUtf8(info->name());
}

}  // namespace

bool runsInChild(const std::vector<ChildRun>& runs) {
    const QString name = currentTestName();
    if (qEnvironmentVariable(kChildVariable) == name) {
        return true;
    }
    for (const ChildRun& run : runs) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& entry : run.environment) {
            const qsizetype eq = entry.indexOf(QLatin1Char('='));
            env.insert(entry.left(eq), entry.mid(eq + 1));
        }
        env.insert(QString::fromLatin1(kChildVariable), name);
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=") + name});
        const bool finished = child.waitForFinished(120'000);
        const QString output = QString::fromUtf8(child.readAll());
        if (!finished) {
            child.kill();
            child.waitForFinished();
        }
        EXPECT_TRUE(finished) << run.label.toStdString() << ": did not finish\n"
                              << output.toStdString();
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << run.label.toStdString();
        EXPECT_EQ(child.exitCode(), 0) << run.label.toStdString() << "\n" << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test.")))
            << run.label.toStdString() << ": the test did not run\n"
            << output.toStdString();
    }
    return false;
}

std::vector<ChildRun> inThreeTimeZones() {
    return {
        {QStringLiteral("TZ=UTC"), {QStringLiteral("TZ=UTC")}},
        {QStringLiteral("TZ=Asia/Tokyo"), {QStringLiteral("TZ=Asia/Tokyo")}},
        {QStringLiteral("TZ=America/New_York"), {QStringLiteral("TZ=America/New_York")}},
    };
}

void expectTimeZoneInEffect() {
    const QString zone = qEnvironmentVariable("TZ");
    const int offset = QDateTime::currentDateTime().offsetFromUtc();
    if (zone == u"UTC") {
        EXPECT_EQ(offset, 0);
    } else if (zone == u"Asia/Tokyo") {
        EXPECT_EQ(offset, 9 * 3600);
    } else if (zone == u"America/New_York") {
        EXPECT_TRUE(offset == -5 * 3600 || offset == -4 * 3600) << offset;
    } else {
        ADD_FAILURE() << "not a run of inThreeTimeZones: TZ=" << zone.toStdString();
    }
}

}  // namespace tq::test
