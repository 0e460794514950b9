#include "sntp_fake.h"

#include <QDir>
#include <QNetworkDatagram>
#include <QTest>
#include <QTimer>
#include <QtEndian>

namespace tq::test {

quint32 ntpSeconds(const QDateTime& utc) {
    const QDateTime era(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC);
    return static_cast<quint32>(era.secsTo(utc));
}

QByteArray sntpReply(quint32 seconds, quint32 fraction, quint8 byte0) {
    QByteArray reply(48, '\0');
    reply[0] = static_cast<char>(byte0);
    reply[1] = 2;    // stratum
    reply[3] = -20;  // precision
    reply.replace(12, 4, QByteArrayLiteral("TEST"));
    qToBigEndian<quint32>(seconds, reply.data() + 40);
    qToBigEndian<quint32>(fraction, reply.data() + 44);
    return reply;
}

FakeSntpServer::FakeSntpServer(Script script, quint16 port) : script_(std::move(script)) {
    socket_.bind(QHostAddress::LocalHost, port);
    elapsed_.start();
    QObject::connect(&socket_, &QUdpSocket::readyRead, &socket_, [this] { readRequests(); });
}

void FakeSntpServer::readRequests() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_.receiveDatagram();
        const int index = static_cast<int>(requests_.size());
        requests_.push_back(datagram.data());
        requestTimes_.push_back(elapsed_.elapsed());
        for (const SntpAnswer& answer : script_(index, datagram.data())) {
            const QHostAddress to = datagram.senderAddress();
            const quint16 toPort = static_cast<quint16>(datagram.senderPort());
            if (answer.delayMs <= 0) {
                socket_.writeDatagram(answer.bytes, to, toPort);
            } else {
                QTimer::singleShot(answer.delayMs, &socket_, [this, answer, to, toPort] {
                    socket_.writeDatagram(answer.bytes, to, toPort);
                });
            }
        }
    }
}

FakeSntpServer::Script answerAlways(const QByteArray& reply) {
    return [reply](int, const QByteArray&) { return std::vector<SntpAnswer>{{reply, 0}}; };
}

FakeSntpServer::Script neverAnswer() {
    return [](int, const QByteArray&) { return std::vector<SntpAnswer>{}; };
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

int openDescriptors() {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

quint16 unusedPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

}  // namespace tq::test
