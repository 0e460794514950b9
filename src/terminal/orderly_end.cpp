#include "terminal/orderly_end.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cerrno>

#include "terminal/terminal_window.h"

namespace tq {

namespace {

// The signal handler only writes a byte here; the event loop reads it on the window's thread.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

// How soon a deferred end is tried again while a dialog is being closed.
constexpr int kRetryMs = 50;

}  // namespace

OrderlyEnd::OrderlyEnd(TerminalWindow& window) : QObject(&window), window_(window) {}

OrderlyEnd::~OrderlyEnd() {
    if (qApp) {
        qApp->removeEventFilter(this);
    }
}

void OrderlyEnd::request() {
    retryPending_ = false;
    if (window_.hasEnded()) {
        return;
    }
    // A handler waiting on a dialog runs in a nested event loop: close the dialog and let the
    // handler finish before anything it relies on is closed.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal) {
        modal->close();
    }
    if (modal || !window_.isRunning() || QThread::currentThread()->loopLevel() > 1) {
        retryPending_ = true;
        QTimer::singleShot(kRetryMs, this, [this] {
            if (retryPending_) {
                request();
            }
        });
        return;
    }
    window_.endProgram();
}

bool OrderlyEnd::catchSignals() {
    if (signalPipe[0] >= 0) {
        return false;  // another one has them
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        return false;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { readSignals(); });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Once caught, a signal takes its usual effect again: a second one ends a terminal that
    // hangs at once.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    bool caught = true;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        caught = ::sigaction(sig, &action, nullptr) == 0 && caught;
    }
    return caught;
}

void OrderlyEnd::readSignals() {
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    request();
}

void OrderlyEnd::watchApplication() {
    qApp->installEventFilter(this);
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { window_.endProgram(); });
}

bool OrderlyEnd::eventFilter(QObject* watched, QEvent* event) {
    // The session manager ends the desktop session by telling the application to quit; the
    // window would otherwise only fold a secondary view back and keep running.
    if (watched == qApp && event->type() == QEvent::Quit && !window_.hasEnded()) {
        request();
    }
    return false;
}

}  // namespace tq
