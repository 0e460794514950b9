#pragma once
// A time server on 127.0.0.1 for the tests, answering each request as its script says, and
// small helpers for tests that need the event loop running.

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QUdpSocket>
#include <functional>
#include <vector>

namespace tq::test {

/// One datagram the server sends back, after a delay.
struct SntpAnswer {
    QByteArray bytes;
    int delayMs = 0;
};

/// Seconds since 1900-01-01 00:00 UTC of a UTC date-time (first NTP era).
quint32 ntpSeconds(const QDateTime& utc);
/// A 48-byte server reply whose transmit timestamp is seconds.fraction.
QByteArray sntpReply(quint32 seconds, quint32 fraction = 0, quint8 byte0 = 0x24);

class FakeSntpServer {
  public:
    /// Gets the index (from 0) and bytes of each request; returns the datagrams to answer.
    using Script = std::function<std::vector<SntpAnswer>(int index, const QByteArray& request)>;

    /// Binds 127.0.0.1:port (0: any free port).
    explicit FakeSntpServer(Script script, quint16 port = 0);

    bool listening() const { return socket_.state() == QAbstractSocket::BoundState; }
    quint16 port() const { return socket_.localPort(); }
    const std::vector<QByteArray>& requests() const { return requests_; }
    /// Milliseconds since the server was created, one per request.
    const std::vector<qint64>& requestTimes() const { return requestTimes_; }
    qint64 elapsedMs() const { return elapsed_.elapsed(); }

  private:
    void readRequests();

    QUdpSocket socket_;
    Script script_;
    QElapsedTimer elapsed_;
    std::vector<QByteArray> requests_;
    std::vector<qint64> requestTimes_;
};

/// A script that answers every request with the same reply.
FakeSntpServer::Script answerAlways(const QByteArray& reply);
/// A script that never answers.
FakeSntpServer::Script neverAnswer();

/// Runs the event loop until `done` holds or `timeoutMs` passed; true when it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);
/// Open file descriptors of this process.
int openDescriptors();
/// A port on 127.0.0.1 that nothing listens on (it was free a moment ago).
quint16 unusedPort();

}  // namespace tq::test
