#include "timesync/manual_time_query.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtEndian>

#include "common/datetime.h"

namespace tq {

namespace {
constexpr int kRequestSize = 48;
constexpr char kRequestByte0 = 11;
constexpr int kTransmitSecondsAt = 40;
constexpr qint64 kSeconds1900To1970 = 2208988800LL;
constexpr qint64 kSecondsPerDay = 86400;
constexpr qint64 kJapanOffsetSeconds = 9 * 3600;
constexpr quint32 kEraZeroBit = 0x80000000u;
constexpr qint64 kSecondsPerEra = 4294967296LL;
}  // namespace

ManualTimeQuery::ManualTimeQuery(QString host, int port, QObject* parent)
    : QObject(parent), host_(std::move(host)), port_(port), socket_(new QUdpSocket(this)) {
    socket_->setObjectName(QStringLiteral("wscSmtpSock"));
    connect(socket_, &QUdpSocket::connected, this, &ManualTimeQuery::sendRequest);
    connect(socket_, &QUdpSocket::readyRead, this, &ManualTimeQuery::readReply);
    // A failed lookup or a refused port ends the query without showing anything.
    connect(socket_, &QUdpSocket::errorOccurred, socket_, &QUdpSocket::abort);
}

void ManualTimeQuery::start() {
    socket_->abort();
    socket_->connectToHost(host_, static_cast<quint16>(port_));
}

QByteArray ManualTimeQuery::request() {
    QByteArray packet(kRequestSize, '\0');
    packet[0] = kRequestByte0;
    return packet;
}

QDateTime ManualTimeQuery::transmitTime(const QByteArray& reply) {
    if (reply.size() < kTransmitSecondsAt + 4) {
        return {};
    }
    const quint32 seconds = qFromBigEndian<quint32>(reply.constData() + kTransmitSecondsAt);
    const bool noFraction =
        reply.size() < kTransmitSecondsAt + 8 ||
        qFromBigEndian<quint32>(reply.constData() + kTransmitSecondsAt + 4) == 0;
    if (seconds == 0 && noFraction) {
        return {};  // a transmit time of zero: the server has no time to give
    }
    // Seconds with the top bit clear belong to the era that starts 2036-02-07 06:28:16 UTC.
    const qint64 era = (seconds & kEraZeroBit) == 0 ? kSecondsPerEra : 0;
    const qint64 t = static_cast<qint64>(seconds) + era - kSeconds1900To1970;
    qint64 days = t / kSecondsPerDay;
    qint64 rest = t % kSecondsPerDay;
    if (rest < 0) {  // whole days are rounded down, before 1970 too
        rest += kSecondsPerDay;
        days -= 1;
    }
    const QTime time(static_cast<int>(rest / 3600), static_cast<int>(rest % 3600 / 60),
                     static_cast<int>(rest % 60));
    return wallClock(QDate(1970, 1, 1).addDays(days), time);
}

void ManualTimeQuery::sendRequest() {
    socket_->write(request());
}

void ManualTimeQuery::readReply() {
    while (socket_->hasPendingDatagrams()) {
        const QDateTime utc = transmitTime(socket_->receiveDatagram().data());
        if (!utc.isValid()) {
            continue;  // too short to hold a transmit time; a proper reply may follow
        }
        socket_->abort();
        Q_EMIT timeShown(formatStamp(utc), formatStamp(utc.addSecs(kJapanOffsetSeconds)));
        return;
    }
}

}  // namespace tq
