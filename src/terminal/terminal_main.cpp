#include "terminal/terminal_main.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyleFactory>

#include "common/sysinfo.h"
#include "terminal/message_boxes.h"
#include "terminal/orderly_end.h"
#include "terminal/terminal_window.h"
#include "timesync/clock.h"
#include "timesync/ntp.h"

namespace tq {

int TerminalMain(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TQ582"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    SystemClock clock;
    RealMessageBoxes boxes;
    RealSystemInfo systemInfo;
    HorvexLibrary ntp;
    TerminalWindow window(TerminalSeams{clock, boxes, systemInfo, ntp, QString()});
    boxes.setParent(&window);
    QObject::connect(
        &window, &TerminalWindow::programEnded, &app,
        [](int code) { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    // Asked to stop from outside (a signal, the end of the desktop session), the terminal
    // ends as when it is closed on the punch screen.
    auto* orderlyEnd = new OrderlyEnd(window);
    orderlyEnd->catchSignals();
    orderlyEnd->watchApplication();
    if (!window.start()) {
        return 1;
    }
    window.show();
    // The terminal is the only program on its screen: take the keyboard at once so the first
    // employee can type a code without clicking.
    window.activateWindow();
    window.controls().PassWord->setFocus();
    return app.exec();
}

}  // namespace tq
