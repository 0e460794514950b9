#include "terminal/punch_screen.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "attendance/punch.h"
#include "labour/leave_book.h"
#include "labour/overtime_watch.h"
#include "terminal/focus_rules.h"
#include "terminal/review_screen.h"
#include "terminal/terminal_window.h"

namespace tq {

namespace {

const QString kObjectName = QStringLiteral("punchScreen");

}  // namespace

PunchScreen::PunchScreen(TerminalWindow& window) : QObject(&window), window_(window) {
    setObjectName(kObjectName);
}

void PunchScreen::identify() {
    if (identifying_) {
        return;
    }
    identifying_ = true;
    TerminalControls& k = window_.controls();
    const QString code = k.PassWord->text();
    who_ = Identification{};
    if (code.isEmpty()) {
        k.社員名->clear();
        k.シフトコード->clear();
    } else if (window_.state().Conn) {
        window_.guard([&] {
            const QDateTime now = window_.runClockCheck();
            who_ = Identify(*window_.state().Conn, code, now);
        });
        k.社員名->setText(who_.社員名);
        k.シフトコード->setText(who_.シフトコード);
        if (!who_.identified() && !who_.outcome.messages.empty()) {
            window_.showOutcome(who_.outcome);
            k.PassWord->clear();
            focusCodeBox();
        }
    }
    showPunchButtons();
    identifying_ = false;
}

void PunchScreen::showPunchButtons() {
    TerminalControls& k = window_.controls();
    k.出勤->show();
    k.退勤->show();
    for (QWidget* w :
         std::initializer_list<QWidget*>{k.年月日, k.区分, k.時刻, k.申請登録, k.取消}) {
        w->hide();
    }
}

void PunchScreen::focusCodeBox() {
    // While Enter is being committed the box is briefly disabled; it takes the focus back
    // as soon as it is enabled again.
    QLineEdit* box = window_.controls().PassWord;
    if (box->isEnabled()) {
        box->setFocus(Qt::OtherFocusReason);
    } else {
        refocus_ = true;
    }
}

void PunchScreen::clockIn() {
    punch(true);
}

void PunchScreen::clockOut() {
    punch(false);
}

void PunchScreen::punch(bool in) {
    TerminalControls& k = window_.controls();
    if (k.社員名->text().isEmpty() || !window_.state().Conn) {
        return;
    }
    const bool ran = window_.guard([&] {
        const QDateTime now = window_.runClockCheck();
        Database& db = *window_.state().Conn;
        const Settings& settings = window_.state().settings;
        const Outcome o =
            in ? ClockInWithLeaveReminder(db, window_.logContext(), who_, settings, now)
               : ClockOutWatched(db, window_.logContext(), who_, settings, now);
        window_.showOutcome(o);
        if (!o.failureAfter.isEmpty()) {
            throw DbError(o.failureAfter);  // after the acceptance, as any database failure
        }
    });
    if (ran) {
        clearIdentity();
        k.PassWord->setFocus(Qt::OtherFocusReason);
    }
}

void PunchScreen::clearIdentity() {
    TerminalControls& k = window_.controls();
    who_ = Identification{};
    k.PassWord->clear();
    k.社員名->clear();
    k.シフトコード->clear();
    // The request entry belongs to the one identified: it goes with them.
    showPunchButtons();
}

bool PunchScreen::eventFilter(QObject* watched, QEvent* event) {
    QLineEdit* box = window_.controls().PassWord;
    if (watched != box) {
        return false;
    }
    if (LeavesField(box, event)) {
        identify();
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter commits the code the way leaving the box does: the focus moves on.
            box->setEnabled(false);
            box->setEnabled(true);
            if (refocus_) {
                refocus_ = false;
                box->setFocus(Qt::OtherFocusReason);
            }
            return true;
        }
    }
    return false;
}

void WirePunchScreen(TerminalWindow& window) {
    auto* screen = new PunchScreen(window);
    TerminalControls& k = window.controls();
    k.PassWord->installEventFilter(screen);
    QObject::connect(k.出勤, &QPushButton::clicked, screen, [screen] { screen->clockIn(); });
    QObject::connect(k.退勤, &QPushButton::clicked, screen, [screen] { screen->clockOut(); });
    WireReviewScreen(window, *screen);
}

PunchScreen* FindPunchScreen(TerminalWindow& window) {
    return dynamic_cast<PunchScreen*>(
        window.findChild<QObject*>(kObjectName, Qt::FindDirectChildrenOnly));
}

}  // namespace tq
