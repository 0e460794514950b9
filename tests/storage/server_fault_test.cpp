// The server engine under faults chosen by the test: a client frozen inside its write
// transaction, a session ended by the administrator, a role that may no longer log in.

#include <libpq-fe.h>
#include <signal.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include "common/datetime.h"
#include "storage/oplog.h"
#include "storage_support.h"

namespace tq::test {
namespace {

/// Runs one statement on the test server's administrative database; the first column of the
/// first row, or the error.
QString admin(const QString& statement) {
    const QByteArray uri = qEnvironmentVariable("TQ582_TEST_PG_URI").toUtf8();
    PGconn* conn = PQconnectdb(uri.constData());
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    QString result;
    PGresult* r = PQexec(conn, statement.toUtf8().constData());
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0) {
        result = QString::fromUtf8(PQgetvalue(r, 0, 0));
    } else if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) {
        result = QString::fromUtf8(PQerrorMessage(conn));
    }
    PQclear(r);
    PQfinish(conn);
    return result;
}

class ServerFaultTest : public StorageTest {
  protected:
    void SetUp() override {
        if (!testOnServer()) {
            GTEST_SKIP() << "faults of the database server";
        }
        StorageTest::SetUp();
    }

    qint64 backendPid(Database& d) {
        auto rs = d.query(Sql(QStringLiteral("SELECT pg_backend_pid() AS p")));
        EXPECT_TRUE(rs->next());
        return rs->integer(QStringLiteral("p"));
    }

    /// Ends a session as an administrator would, and waits until it is gone.
    void terminate(qint64 pid) {
        admin(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid));
        QElapsedTimer t;
        t.start();
        while (admin(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = %1")
                         .arg(pid)) != u"0") {
            ASSERT_LT(t.elapsed(), 10'000) << "session " << pid << " still there";
            QThread::msleep(20);
        }
    }
};

TEST_F(ServerFaultTest, ClientFrozenInsideItsWriteHoldsTheOthersUpOnlyAFewSeconds) {
    openSite();
    QProcess frozen;
    frozen.start(QCoreApplication::applicationDirPath() + QStringLiteral("/storage_writer"),
                 {path, QStringLiteral("F1"), QStringLiteral("hold")});
    ASSERT_TRUE(frozen.waitForStarted());
    while (!frozen.readAllStandardOutput().contains("holding")) {
        ASSERT_TRUE(frozen.waitForReadyRead(30'000)) << frozen.readAllStandardError().toStdString();
    }
    // Stopped inside its transaction, with the site's write lock, as a hung or powered-off
    // terminal would be.
    ASSERT_EQ(::kill(static_cast<pid_t>(frozen.processId()), SIGSTOP), 0);

    QElapsedTimer waited;
    waited.start();
    Sql s(QStringLiteral("INSERT INTO T_勤務 (担当者コード,勤務日,シフト) VALUES ("));
    s.text(QStringLiteral("F2"))
        .raw(QStringLiteral(","))
        .date(QDate(2000, 1, 1))
        .raw(QStringLiteral(",'A')"));
    try {
        ExecuteLogged(*db,
                      LogContext{QStringLiteral("F2"), QStringLiteral("u"), QStringLiteral("p")},
                      wallClock(QDate(2000, 1, 1), QTime(8, 0)), QStringLiteral("出勤"), s);
    } catch (const DbError& e) {
        ADD_FAILURE() << "held up for " << waited.elapsed() << " ms: " << e.what();
    }
    RecordProperty("waited_ms", static_cast<int>(waited.elapsed()));

    // Woken up, the frozen terminal finds its transaction ended: nothing of it is stored, and
    // it says why.
    ASSERT_EQ(::kill(static_cast<pid_t>(frozen.processId()), SIGCONT), 0);
    frozen.write("commit\n");
    ASSERT_TRUE(frozen.waitForFinished(30'000));
    EXPECT_EQ(frozen.exitCode(), 1);
    const QByteArray why = frozen.readAllStandardError();
    EXPECT_TRUE(why.contains("idle-in-transaction")) << why.toStdString();
    Sql frozenRows(QStringLiteral("SELECT count(*) AS n FROM T_勤務 WHERE 担当者コード = "));
    frozenRows.text(QStringLiteral("F1"));
    EXPECT_EQ(std::get<qint64>(single(frozenRows, QStringLiteral("n"))), 0);
    EXPECT_EQ(count(QStringLiteral("T_勤務")), 1);
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 1);
}

TEST_F(ServerFaultTest, SessionEndedByTheAdministratorIsRecoveredSilentlyOrItsCauseIsSaid) {
    openSite();
    // A role of this test's own, so that refusing it its log-in disturbs no other test.
    const QString role = QStringLiteral("tq582_fault_%1").arg(QCoreApplication::applicationPid());
    admin(QStringLiteral("DROP ROLE IF EXISTS ") + role);
    ASSERT_EQ(admin(QStringLiteral("CREATE ROLE ") + role + QStringLiteral(" LOGIN")), QString());
    QUrl url(path);
    url.setUserName(role);
    const QString asRole = url.toString();

    struct Case {
        const char* what;
        bool inWrite;      ///< ended while a write transaction is open
        bool refuseLogIn;  ///< and the role may no longer log in
        QString cause;     ///< what the failure must say; empty: the read recovers
    };
    const Case cases[] = {
        {"an idle session", false, false, QString()},
        {"an idle session whose role may no longer log in", false, true,
         QStringLiteral("not permitted to log in")},
        {"a session inside its write", true, false,
         QStringLiteral("terminating connection due to administrator command")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        admin(QStringLiteral("ALTER ROLE ") + role + QStringLiteral(" LOGIN"));
        auto d = openServerDatabase(c.refuseLogIn ? asRole : path);
        if (c.inWrite) {
            d->beginWrite();
        }
        terminate(backendPid(*d));
        if (c.refuseLogIn) {
            admin(QStringLiteral("ALTER ROLE ") + role + QStringLiteral(" NOLOGIN"));
        }
        testing::internal::CaptureStderr();
        try {
            if (c.inWrite) {
                d->execute(Sql(QStringLiteral("INSERT INTO T_ログ (処理名) VALUES ('x')")));
                d->commit();
                ADD_FAILURE() << "wrote without a connection";
            } else {
                auto rs = d->query(Sql(QStringLiteral("SELECT 1 AS one")));
                EXPECT_TRUE(c.cause.isEmpty()) << "read without a connection";
                EXPECT_TRUE(rs->next());
            }
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().contains(c.cause) && !c.cause.isEmpty()) << e.what();
        }
        d.reset();
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(printed, "") << "the library's notices reach standard error";
    }
    EXPECT_EQ(count(QStringLiteral("T_ログ")), 0);
    admin(QStringLiteral("DROP ROLE IF EXISTS ") + role);
}

TEST_F(ServerFaultTest, ServerMessagesNeverReachStandardErrorOfAClientThatRecovers) {
    openSite();
    const auto stateOf = [](qint64 pid) {
        return admin(QStringLiteral("SELECT state || '/' || coalesce(wait_event_type, '') FROM "
                                    "pg_stat_activity WHERE pid = %1")
                         .arg(pid));
    };
    db->query(Sql(QStringLiteral("SELECT pg_advisory_lock(42) AS locked")));
    QProcess client;
    client.start(QCoreApplication::applicationDirPath() + QStringLiteral("/storage_writer"),
                 {path, QStringLiteral("W1"), QStringLiteral("wait")});
    ASSERT_TRUE(client.waitForStarted());
    // The client's session, once it waits for the lock.
    qint64 pid = 0;
    QElapsedTimer t;
    t.start();
    while (pid == 0 || stateOf(pid) != u"active/Lock") {
        ASSERT_LT(t.elapsed(), 30'000) << "the client never waited for the lock";
        pid = admin(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = '%1' AND "
                                   "query LIKE '%pg_advisory_lock(42)%' AND pid <> %2")
                        .arg(QUrl(path).path().mid(1))
                        .arg(backendPid(*db)))
                  .toLongLong();
        QThread::msleep(20);
    }
    // Stopped before it reads the answer: the answer and the server's last word arrive
    // together, as when a session is ended just after a read.
    ASSERT_EQ(::kill(static_cast<pid_t>(client.processId()), SIGSTOP), 0);
    db->query(Sql(QStringLiteral("SELECT pg_advisory_unlock(42) AS unlocked")));
    while (stateOf(pid) != u"idle/Client") {
        ASSERT_LT(t.elapsed(), 30'000) << "the client's read never finished";
        QThread::msleep(20);
    }
    terminate(pid);
    ASSERT_EQ(::kill(static_cast<pid_t>(client.processId()), SIGCONT), 0);
    ASSERT_TRUE(client.waitForFinished(30'000));
    EXPECT_EQ(client.exitCode(), 0) << "the second read makes the connection again";
    EXPECT_EQ(client.readAllStandardError().toStdString(), "");
}

}  // namespace
}  // namespace tq::test
