// The start-up move of old rows into the archive tables. It starts at the window's first paint
// (nothing is counted before the window shows) and runs beside the event loop on a connection
// of its own, one short transaction a batch: the clock keeps ticking, a punch waits at most
// one batch, and a close stops the move between two batches.
#include <malloc.h>

#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>

#include "storage/schema.h"
#include "terminal/clock_face.h"
#include "terminal/terminal_window.h"

namespace tq {

namespace {

// Runs `begin` once, after the first paint of the watched widget.
class OnFirstPaint final : public QObject {
  public:
    OnFirstPaint(QWidget* watched, std::function<void()> begin)
        : QObject(watched), begin_(std::move(begin)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(
                this,
                [this] {
                    begin_();
                    deleteLater();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

  private:
    std::function<void()> begin_;
};

// A window that is never painted (minimised, no display yet) still gets its rows moved.
constexpr int kStartWithoutPaintMs = 3000;
// The pause between two batches, in milliseconds.
constexpr qint64 kMinPauseMs = 2;
constexpr qint64 kMaxPauseMs = 100;

}  // namespace

/// The move's thread and what it shares with the window.
class OldRowsMove {
  public:
    ~OldRowsMove() {
        stop = true;
        if (thread) {
            thread->wait();  // at most the batch under way
            delete thread;
        }
    }
    QThread* thread = nullptr;
    std::atomic<bool> stop{false};
};

void TerminalWindow::tidyOldRows(const QDate& cutoff) {
    auto move = std::make_shared<OldRowsMove>();
    oldRowsMove_ = move;
    const QString name = state_.MdbName;
    const int batchRows = archiveBatchRows;
    // The window outlives the thread: stopTidying, which waits for it, runs before its end.
    TerminalWindow* window = this;
    move->thread = QThread::create([move = move.get(), name, cutoff, batchRows, window] {
        QString failure;
        try {
            auto db = openDatabase(name, QString::fromLatin1(kDatabasePassword), false);
            ArchiveMove batches(cutoff, batchRows);
            QElapsedTimer batch;
            batch.start();
            while (!move->stop && batches.step(*db)) {
                // A pause as long as the batch (within bounds) before the next: a writer that
                // came during the batch retries within that time, so it finds the lock free.
                QThread::msleep(static_cast<unsigned long>(
                    std::clamp<qint64>(batch.elapsed(), kMinPauseMs, kMaxPauseMs)));
                batch.restart();
                const qint64 work = batches.workMoved();
                const qint64 log = batches.logMoved();
                QMetaObject::invokeMethod(
                    window, [window, cutoff, work, log] { window->showTidying(cutoff, work, log); },
                    Qt::QueuedConnection);
            }
            if (batches.workMoved() + batches.logMoved() > 0) {
                // The log the move wrote shrinks back.
                db->endBulkChange();
            }
        } catch (const DbError& e) {
            failure = e.message();
        }
        ::malloc_trim(0);  // the freed pages of the move go back to the system
        QMetaObject::invokeMethod(
            window,
            [window, failure] {
                window->stopTidying();
                if (!failure.isEmpty()) {
                    window->message(failure, Icon::Exclamation);
                }
            },
            Qt::QueuedConnection);
    });
    auto begin = [move = std::weak_ptr<OldRowsMove>(move)] {
        const auto m = move.lock();
        if (m && !m->thread->isRunning() && !m->thread->isFinished()) {
            m->thread->start(QThread::LowPriority);
        }
    };
    new OnFirstPaint(controls_.clockFace, begin);
    QTimer::singleShot(kStartWithoutPaintMs, this, begin);
}

void TerminalWindow::showTidying(const QDate& cutoff, qint64 work, qint64 log) {
    if (!oldRowsMove_) {
        return;
    }
    if (!archiveNotice_) {
        // A line beside the bottom button, not a window of its own: the keyboard stays with the
        // punch screen, and nothing the user may press is covered.
        archiveNotice_ = new QLabel(centralWidget());
        archiveNotice_->setObjectName(QStringLiteral("整理中"));
        archiveNotice_->setFocusPolicy(Qt::NoFocus);
    }
    const QString text = QStringLiteral("%1より前の記録を保存用の表へ移動中（%L2件）")
                             .arg(cutoff.toString(QStringLiteral("yyyy/MM/dd")))
                             .arg(work + log);
    const QPushButton* beside = controls_.Command1;
    const int left = controls_.PassWord->x();
    const QRect box(left, beside->y(), std::max(0, beside->x() - 8 - left), beside->height());
    archiveNotice_->setToolTip(text + QStringLiteral("。打刻はこのまま行えます。"));
    archiveNotice_->setText(
        archiveNotice_->fontMetrics().elidedText(text, Qt::ElideRight, box.width()));
    archiveNotice_->setGeometry(box);
    archiveNotice_->raise();
    archiveNotice_->show();
}

void TerminalWindow::stopTidying() {
    oldRowsMove_.reset();
    if (archiveNotice_) {
        archiveNotice_->hide();
        archiveNotice_->deleteLater();
        archiveNotice_ = nullptr;
    }
}

}  // namespace tq
