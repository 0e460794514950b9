// Two terminals writing one database file at the same moment; the server engine asking a
// statement again when the server ends it to resolve a conflict.

#include <libpq-fe.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <csignal>
#include <functional>
#include <thread>

#include "storage/writer_queue.h"
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

/// Runs statements on the test's server database past the engine. Gives the first value of
/// the last result, or the failure's text in `error`.
QString onServer(const QString& uri, const QString& statements, QString* error) {
    PGconn* conn = PQconnectdb(uri.toUtf8().constData());
    PGresult* r = PQexec(conn, statements.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(r);
    *error = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK
                 ? QString()
                 : QString::fromUtf8(PQerrorMessage(conn));
    const QString value = status == PGRES_TUPLES_OK && PQntuples(r) > 0
                              ? QString::fromUtf8(PQgetvalue(r, 0, 0))
                              : QString();
    PQclear(r);
    PQfinish(conn);
    return value;
}

TEST_F(StorageTest, ServerConflictsAreAskedAgainOutsideATransactionOnly) {
    if (!test::testOnServer()) {
        GTEST_SKIP() << "conflicts between sessions are the server's";
    }
    Database& d = openSite();
    QString error;
    // The server refuses the first `n` inserts into T_勤務 and reads of T_Conflict with a
    // serialization failure, as it does to one side of a conflict between two sessions.
    onServer(path,
             QStringLiteral(
                 "CREATE SEQUENCE tq_tries; CREATE TABLE tq_refusals (n integer); "
                 "INSERT INTO tq_refusals VALUES (0); "
                 "CREATE FUNCTION tq_conflict() RETURNS integer LANGUAGE plpgsql AS $$ BEGIN "
                 "IF nextval('tq_tries') <= (SELECT n FROM tq_refusals) THEN RAISE EXCEPTION "
                 "'conflict' USING ERRCODE = '40001'; END IF; RETURN 1; END $$; "
                 "CREATE FUNCTION tq_conflict_row() RETURNS trigger LANGUAGE plpgsql AS $$ "
                 "BEGIN PERFORM tq_conflict(); RETURN NEW; END $$; "
                 "CREATE TRIGGER tq_conflict BEFORE INSERT ON \"T_勤務\" FOR EACH ROW EXECUTE "
                 "FUNCTION tq_conflict_row(); "
                 "CREATE VIEW \"T_Conflict\" AS SELECT tq_conflict() AS n"),
             &error);
    ASSERT_EQ(error, QString());
    int day = 0;
    const auto insert = [&] {
        Sql s(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日) VALUES ('0001',"));
        s.date(QDate(2024, 5, 1).addDays(day++)).raw(QStringLiteral(")"));
        d.execute(s);
    };
    const auto read = [&] { d.query(Sql(QStringLiteral("SELECT n FROM T_Conflict")))->next(); };
    const auto inTransaction = [&] {
        WriteTransaction tx(d);
        insert();
        tx.commit();
    };
    const struct {
        const char* name;
        std::function<void()> statement;
        int refusals;
        int tries;    ///< how often the server saw the statement
        int newRows;  ///< 0 when the caller hears of the conflict
        bool lands;
    } cases[] = {
        {"a change refused once", insert, 1, 2, 1, true},
        {"a read refused once", read, 1, 2, 0, true},
        {"a change refused every time", insert, 100, 8, 0, false},
        {"a read refused every time", read, 100, 8, 0, false},
        // Only the whole transaction could be tried again: the caller hears of the conflict.
        {"a change in a transaction", inTransaction, 1, 1, 0, false},
    };
    for (const auto& c : cases) {
        onServer(path,
                 QStringLiteral("ALTER SEQUENCE tq_tries RESTART; UPDATE tq_refusals SET n = %1")
                     .arg(c.refusals),
                 &error);
        ASSERT_EQ(error, QString());
        const qint64 rowsBefore = count(QStringLiteral("T_勤務"));
        try {
            c.statement();
            EXPECT_TRUE(c.lands) << c.name;
        } catch (const DbError& e) {
            EXPECT_FALSE(c.lands) << c.name << ": " << e.what();
            EXPECT_EQ(e.kind(), DbFailure::Busy) << c.name << ": " << e.what();
        }
        EXPECT_EQ(onServer(path, QStringLiteral("SELECT last_value FROM tq_tries"), &error),
                  QString::number(c.tries))
            << c.name;
        // The session is sound after the refusal: it reads (and below, writes) as before.
        EXPECT_EQ(count(QStringLiteral("T_勤務")), rowsBefore + c.newRows) << c.name;
    }
    onServer(path, QStringLiteral("UPDATE tq_refusals SET n = 0"), &error);
    EXPECT_NO_THROW(inTransaction());
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 2);
}

TEST_F(StorageTest, ServerWritersWaitOnlyForTheSameStaffMemberOrTheWholeSite) {
    if (!test::testOnServer()) {
        GTEST_SKIP() << "the embedded file has one writer lock for every scope";
    }
    Database& writer = openSite();
    // A lock not had within this time counts as busy: the cases that must wait fail fast.
    writer.query(Sql(QStringLiteral("SET lock_timeout = '300ms'")));
    auto holder = site->open(false);
    const WriteScope site;
    const WriteScope a = WriteScope::staffMember(QStringLiteral("A001"));
    const struct {
        const char* name;
        WriteScope held;
        WriteScope wanted;
        bool waits;
    } cases[] = {
        {"punches of two staff members", a, WriteScope::staffMember(QStringLiteral("B002")), false},
        {"the same member, the code in other letter case", a,
         WriteScope::staffMember(QStringLiteral("a001")), true},
        // A staff deletion (or a shift month) waits for the member's punch, and the reverse.
        {"the whole site behind a member", a, site, true},
        {"a member behind the whole site", site, a, true},
        {"the whole site behind the whole site", site, site, true},
    };
    for (const auto& c : cases) {
        holder->beginWrite(c.held);
        try {
            writer.beginWrite(c.wanted);
            writer.rollback();
            EXPECT_FALSE(c.waits) << c.name << ": took a lock the other terminal holds";
        } catch (const DbError& e) {
            EXPECT_TRUE(c.waits) << c.name << ": " << e.what();
            EXPECT_EQ(e.kind(), DbFailure::Busy) << c.name << ": " << e.what();
        }
        holder->rollback();
    }
}

TEST_F(StorageTest, WritersOfOneFileQueueAFrozenOneHoldsTheTurnAKilledOneGivesItUp) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "the queue orders the writers of one file";
    }
    openSite();
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/storage_writer"),
                 {path, QStringLiteral("W1"), QStringLiteral("hold")});
    ASSERT_TRUE(writer.waitForReadyRead(30'000)) << "the writer never held its transaction";
    ::kill(static_cast<pid_t>(writer.processId()), SIGSTOP);
    engine::WriterQueue queue(path);
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(queue.take(300), engine::WriterQueue::Turn::TimedOut)
        << "a frozen writer's turn was taken";
    EXPECT_GE(waited.elapsed(), 300);

    ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
    ASSERT_TRUE(writer.waitForFinished(30'000));
    waited.restart();
    EXPECT_EQ(queue.take(5'000), engine::WriterQueue::Turn::Taken);
    EXPECT_LT(waited.elapsed(), 1'000) << "the killed writer's turn was not passed on";
    queue.leave();
    // The killed writer's transaction is gone, and the next one writes at once.
    QElapsedTimer wrote;
    wrote.start();
    EXPECT_NO_THROW({
        WriteTransaction t(*db);
        t.commit();
    });
    EXPECT_LT(wrote.elapsed(), 1'000);
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 0);
}

TEST_F(StorageTest, AWritersQueueThatNobodyHoldsIsMadeAnewWhateverItsFileSays) {
    if (test::testOnServer()) {
        GTEST_SKIP() << "the queue orders the writers of one file";
    }
    openSite();
    // The file as a power loss leaves it: the turn taken by a thread that no longer exists.
    QByteArray heldImage;
    const QString side = path + QStringLiteral("-writers");
    {
        engine::WriterQueue queue(path);
        std::thread([&] {
            ASSERT_EQ(queue.take(1'000), engine::WriterQueue::Turn::Taken);
            QFile f(side);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            heldImage = f.readAll();
            queue.leave();
        }).join();
    }
    db.reset();
    {
        QFile f(side);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(heldImage);
    }
    engine::WriterQueue queue(path);
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(queue.take(2'000), engine::WriterQueue::Turn::Taken) << "a queue nobody holds";
    EXPECT_LT(waited.elapsed(), 1'000);
    queue.leave();
}

}  // namespace
}  // namespace tq
