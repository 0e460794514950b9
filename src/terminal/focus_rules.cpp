#include "terminal/focus_rules.h"

#include <QFocusEvent>
#include <QWidget>

#include "terminal/terminal_window.h"

namespace tq {

namespace {

const char kHoldsFocus[] = "tq582HoldsFocus";

bool TakesTabFocus(const QWidget* w) {
    return !w->isWindow() && w->isEnabled() && !w->focusProxy() &&
           (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && SeenByUser(w);
}

}  // namespace

bool SeenByUser(const QWidget* w) {
    if (w == nullptr || !w->isVisible()) {
        return false;
    }
    const QWidget* top = w->window();
    const QPoint centre = w->mapTo(top, w->rect().center());
    if (!top->rect().contains(centre)) {
        return false;
    }
    const QWidget* at = top->childAt(centre);
    return at != nullptr && (at == w || w->isAncestorOf(at));
}

QWidget* NextSeenControl(QWidget* from, bool next) {
    QWidget* w = from;
    // The chain is a ring; the count only guards against one that is broken.
    for (int steps = 0; steps < 100000; ++steps) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w == nullptr || w == from) {
            return nullptr;
        }
        if (w->window() == from->window() && TakesTabFocus(w)) {
            return w;
        }
    }
    return nullptr;
}

bool LeavesField(QObject* field, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        field->setProperty(kHoldsFocus, true);
        return false;
    }
    if (event->type() != QEvent::FocusOut) {
        return false;
    }
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
        return false;
    }
    const bool held = field->property(kHoldsFocus).toBool();
    field->setProperty(kHoldsFocus, false);
    return held;
}

bool TerminalWindow::focusNextPrevChild(bool next) {
    QWidget* from = focusWidget();
    if (from == nullptr) {
        from = this;
    }
    if (QWidget* to = NextSeenControl(from, next)) {
        to->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    if (from != this && !SeenByUser(from)) {
        from->clearFocus();
        return true;
    }
    return false;
}

}  // namespace tq
