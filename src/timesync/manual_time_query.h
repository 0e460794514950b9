#pragma once
// The stand-alone time query behind the button `Command1`: one SNTP request on the socket
// `wscSmtpSock`, whose reply is only shown, never applied to any clock.

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

class QUdpSocket;

namespace tq {

class ManualTimeQuery : public QObject {
    Q_OBJECT
  public:
    explicit ManualTimeQuery(QString host, int port = 123, QObject* parent = nullptr);

    /// Closes the socket and sends a fresh request; a query still waiting is dropped.
    void start();
    /// The socket `wscSmtpSock`; unconnected when no query is waiting.
    QUdpSocket* socket() const { return socket_; }

    /// The request: 48 bytes, the first 11 (version 1, client mode), the rest 0.
    static QByteArray request();
    /// The transmit seconds of a reply (bytes 40..43) as a UTC wall-clock date-time, seconds
    /// with the top bit clear counted from 2036-02-07 06:28:16; invalid when the reply is
    /// shorter than 44 bytes or its transmit time is zero.
    static QDateTime transmitTime(const QByteArray& reply);

  Q_SIGNALS:
    /// A reply came: its time as "yyyy/mm/dd hh:nn:ss" in UTC and in Japan time (+9 h).
    void timeShown(const QString& utcText, const QString& localText);

  private:
    void sendRequest();
    void readReply();

    QString host_;
    int port_;
    QUdpSocket* socket_;
};

}  // namespace tq
