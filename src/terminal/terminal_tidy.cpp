// The start-up move of old rows into the archive tables, with the window on the screen and a
// dialog saying what is being tidied while the rows move.
#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QThread>
#include <optional>

#include "storage/schema.h"
#include "terminal/terminal_window.h"

namespace tq {

void TerminalWindow::tidyOldRows(const QDate& cutoff) {
    Database& db = *state_.Conn;
    const auto [work, log] = CountOldRows(db, cutoff);
    if (work == 0 && log == 0) {
        return;
    }
    // A move of many rows takes a while: the window is shown first, never a blank screen.
    show();
    QProgressDialog dialog(this);
    dialog.setObjectName(QStringLiteral("整理中"));
    dialog.setWindowTitle(windowTitle());
    dialog.setCancelButton(nullptr);  // one transaction: stopping half-way would undo it all
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setRange(0, 4);
    const QString heading =
        QStringLiteral("%1より前の記録（勤務 %2件、ログ %3件）を保存用の表へ移しています。\n")
            .arg(cutoff.toString(QStringLiteral("yyyy/MM/dd")))
            .arg(work)
            .arg(log);
    dialog.setLabelText(heading);
    dialog.setValue(0);
    dialog.show();
    QCoreApplication::processEvents();

    tidying_ = true;
    const auto done = qScopeGuard([this] { tidying_ = false; });
    std::optional<DbError> failure;
    int step = 0;
    // The move runs beside the event loop, which keeps the window and the dialog drawn. The
    // connection is used by nothing else meanwhile: the dialog holds the input and a close
    // request waits (see closeEvent).
    QThread* worker = QThread::create([&] {
        try {
            db.beginBulkChange();
            ArchiveOldRows(db, cutoff, [&](const QString& what) {
                const int value = ++step;
                QMetaObject::invokeMethod(
                    &dialog,
                    [&dialog, &heading, what, value] {
                        dialog.setLabelText(heading + what);
                        dialog.setValue(value);
                    },
                    Qt::QueuedConnection);
            });
            db.endBulkChange();
        } catch (const DbError& e) {
            failure = e;
            try {
                db.endBulkChange();
            } catch (const DbError&) {
            }
        }
    });
    QEventLoop loop;
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    dialog.setValue(4);
    if (failure) {
        throw *failure;
    }
    if (closeAfterTidying_) {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

}  // namespace tq
