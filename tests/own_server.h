#pragma once
// A PostgreSQL server of a test's own (scripts/pg-test-server.sh), for tests that stop it
// under a terminal's feet: stopping the shared test server would disturb the other tests.

#include <QString>
#include <QStringList>

namespace tq::test {

class OwnServer {
  public:
    /// Starts the server; `uri()` is empty (and the test has failed) when it cannot.
    OwnServer();
    /// Stops the server and removes its folder.
    ~OwnServer();
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    /// The administrative database "postgres" on it, as role "tq582" (trusted).
    const QString& uri() const { return uri_; }
    /// Stops the server (sessions are ended), keeping its data; `resume` starts it again.
    void pause();
    void resume();

  private:
    QString folder_;
    QString uri_;
};

}  // namespace tq::test
