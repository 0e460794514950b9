// Two terminals writing one database file at the same moment.

#include <QCoreApplication>
#include <QProcess>

#include "storage_support.h"

namespace tq {
namespace {

using test::StorageTest;

TEST_F(StorageTest, TwoProcessesWritingAtOnceLoseNoRow) {
    const QString writer =
        QCoreApplication::applicationDirPath() + QStringLiteral("/storage_writer");
    constexpr int kRows = 500;
    // Both start before the file exists: creating it and its tables is part of the race.
    QProcess a;
    QProcess b;
    for (auto [proc, code] : {std::pair{&a, "P1"}, std::pair{&b, "P2"}}) {
        proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc->start(writer, {path, QString::fromLatin1(code), QString::number(kRows)});
    }
    for (QProcess* proc : {&a, &b}) {
        ASSERT_TRUE(proc->waitForFinished(120'000)) << "writer did not finish";
        EXPECT_EQ(proc->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(proc->exitCode(), 0);
    }
    reopen();
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 2 * kRows);
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 2 * kRows);
    for (const char* code : {"P1", "P2"}) {
        Sql q(QStringLiteral("SELECT count(*) AS n FROM T_ログ WHERE コンピュータ名 = "));
        q.text(QString::fromLatin1(code));
        EXPECT_EQ(std::get<qint64>(single(q, QStringLiteral("n"))), kRows) << code;
    }
    EXPECT_EQ(db->tableNames().size(), 7);
}

}  // namespace
}  // namespace tq
