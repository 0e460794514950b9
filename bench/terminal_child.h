#pragma once
// What the benchmarks that run the terminal's window as a child process give it: a clock that
// refuses every change, messages on standard error, and a silent time-server port.

#include <QHostAddress>
#include <QUdpSocket>
#include <cstdio>

#include "terminal/message_boxes.h"
#include "timesync/clock.h"

namespace tq::bench {

/// The computer's clock, read only: a change is always refused.
class ReadOnlyClock final : public Clock {
  public:
    QDateTime now() const override { return clock_.now(); }
    bool setNow(const QDateTime&) override { return false; }

  private:
    SystemClock clock_;
};

/// Messages go to standard error; a start-up that asks a question gets OK.
class StderrMessages final : public MessageBoxes {
  public:
    void show(const QString& text, Icon, const QString&) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
    bool askOkCancel(const QString& text, Icon icon, const QString& title) override {
        show(text, icon, title);
        return true;
    }
};

/// A UDP port of 127.0.0.1 with nothing behind it.
inline int silentPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

}  // namespace tq::bench
