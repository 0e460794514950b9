#include "terminal/request_screen.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "common/datetime.h"
#include "requests/request_dates.h"
#include "requests/request_value.h"
#include "terminal/focus_rules.h"
#include "terminal/masters_screen.h"
#include "terminal/punch_screen.h"
#include "terminal/terminal_window.h"

namespace tq {

namespace {

const QString kObjectName = QStringLiteral("requestScreen");

/// Rows the opened lists show.
constexpr int kDateListRows = 29;
constexpr int kKindListRows = 16;

/// Shows a text in an editable combo box: its item when there is one, else the text alone.
/// Setting it so is not a choice from the list.
void setComboText(QComboBox* box, const QString& text) {
    const QSignalBlocker block(box);
    const int index = box->findText(text, Qt::MatchExactly);
    box->setCurrentIndex(index);
    if (index < 0) {
        box->setEditText(text);
    }
}

bool isEnter(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

/// Up or Down on a closed list (without Alt, which opens it): the step to take, else 0.
int listStep(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return 0;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    if (key->modifiers().testFlag(Qt::AltModifier)) {
        return 0;
    }
    return key->key() == Qt::Key_Down ? 1 : key->key() == Qt::Key_Up ? -1 : 0;
}

}  // namespace

RequestScreen::RequestScreen(TerminalWindow& window, PunchScreen& punch)
    : QObject(&window), window_(window), punch_(punch) {
    setObjectName(kObjectName);
}

QString RequestScreen::today() const {
    return formatDate(window_.state().CurrentTime.date());
}

void RequestScreen::open(RequestMode mode) {
    TerminalControls& k = window_.controls();
    TerminalState& state = window_.state();
    if (k.社員名->text().isEmpty() || !state.Conn || !punch_.current().identified()) {
        return;
    }
    if (!state.CurrentTime.isValid()) {
        window_.runClockCheck();
    }
    busy_ = true;
    k.申請登録->setText(RegisterCaption(mode));
    k.出勤->hide();
    k.退勤->hide();
    {
        const QSignalBlocker blockDates(k.年月日);
        const QSignalBlocker blockKinds(k.区分);
        k.年月日->clear();
        k.年月日->addItems(RequestDateTexts(RequestDates(mode, state.CurrentTime, state.settings)));
        k.区分->clear();
        k.区分->addItems(RequestKinds(mode));
        k.区分->setCurrentIndex(-1);
        k.区分->clearEditText();
    }
    SetComboDropHeight(k.年月日, kDateListRows);
    SetComboDropHeight(k.区分, kKindListRows);
    k.時刻->clear();
    k.年月日->show();
    k.区分->show();
    k.時刻->hide();
    // The buttons appear once a kind has been chosen or confirmed.
    k.申請登録->hide();
    k.取消->hide();
    setComboText(k.年月日, today());
    window_.guard([&] {
        workRs_ = LookUpWorkDay(*state.Conn, punch_.current().code, state.CurrentTime.date());
    });
    k.年月日->setFocus(Qt::OtherFocusReason);
    busy_ = false;
}

void RequestScreen::dateChosen() {
    TerminalControls& k = window_.controls();
    presetKind(k.年月日->currentText() == today() ? QStringLiteral("出勤打刻")
                                                  : QStringLiteral("直帰"));
    k.区分->setFocus(Qt::OtherFocusReason);
}

void RequestScreen::presetKind(const QString& kind) {
    TerminalControls& k = window_.controls();
    setComboText(k.区分, kind);
    // Before any kind was chosen the preset is only offered; once the fields of a kind show,
    // they follow the new one, so that no field or button outlives the kind it was shown for.
    if (k.申請登録->isVisible()) {
        showFieldsForKind();
    }
}

void RequestScreen::leaveDate() {
    TerminalControls& k = window_.controls();
    TerminalState& state = window_.state();
    const Identification& who = punch_.current();
    if (!who.identified() || !state.Conn) {
        return;
    }
    // A typed text that is no date has no row; registering it is refused later.
    const QDate day = parseDate(k.年月日->currentText());
    if (!window_.guard([&] {
            workRs_ = day.isValid() ? LookUpWorkDay(*state.Conn, who.code, day) : std::nullopt;
        })) {
        return;
    }
    const DayPrefill p = PrefillForDay(workRs_, *who.StaffRecord);
    if (p.kind) {
        presetKind(*p.kind);
    }
    if (p.value) {
        k.時刻->setText(*p.value);
    }
    k.シフトコード->setText(p.shift);
}

void RequestScreen::kindChosen() {
    TerminalControls& k = window_.controls();
    if (QWidget* next = showFieldsForKind()) {
        next->setFocus(Qt::OtherFocusReason);
    } else if (!k.区分->currentText().trimmed().isEmpty()) {
        window_.message(BadKindText(), Icon::Exclamation);
        k.区分->setFocus(Qt::OtherFocusReason);
    }
}

QWidget* RequestScreen::showFieldsForKind() {
    TerminalControls& k = window_.controls();
    const QString kind = k.区分->currentText();
    const bool listed = IsKindOfMode(kind, ModeOfCaption(k.申請登録->text()));
    const ValueKind valueKind = ValueKindOf(kind);
    if (listed && valueKind != ValueKind::None) {
        k.時刻->setText(ValuePrompt(valueKind));
        k.時刻->show();
    } else {
        k.時刻->hide();
    }
    k.申請登録->setVisible(listed);
    k.取消->setVisible(listed);
    if (!listed) {
        return nullptr;
    }
    return valueKind == ValueKind::None ? static_cast<QWidget*>(k.申請登録) : k.時刻;
}

void RequestScreen::leaveKind() {
    if (auto value = PrefillForKind(window_.controls().区分->currentText(), workRs_)) {
        window_.controls().時刻->setText(*value);
    }
}

bool RequestScreen::leaveValue() {
    TerminalControls& k = window_.controls();
    const bool timeKind = IsTimeKind(k.区分->currentText());
    const NormalizedValue v = NormalizeRequestValue(k.時刻->text(), timeKind);
    if (v.verdict == ValueVerdict::Empty) {
        return true;
    }
    if (k.時刻->text() != v.text) {
        k.時刻->setText(v.text);
    }
    if (v.verdict == ValueVerdict::Valid) {
        return true;
    }
    if (v.verdict == ValueVerdict::Invalid) {
        window_.message(BadValueText(timeKind), Icon::Exclamation);
    }
    k.時刻->setFocus(Qt::OtherFocusReason);
    // Selected, so that typing again replaces it, also when a message box had the focus.
    QTimer::singleShot(0, k.時刻, &QLineEdit::selectAll);
    return false;
}

void RequestScreen::registerEntry() {
    submit(true);
}

void RequestScreen::cancelEntry() {
    submit(false);
}

void RequestScreen::submit(bool registering) {
    TerminalControls& k = window_.controls();
    TerminalState& state = window_.state();
    if (k.社員名->text().isEmpty() || !state.Conn) {
        return;
    }
    if (k.時刻->isVisible()) {
        // Leaving `時刻` for this button has checked it and spoken already; a refused value
        // keeps the focus there and the button does nothing.
        const NormalizedValue v =
            NormalizeRequestValue(k.時刻->text(), IsTimeKind(k.区分->currentText()));
        if (v.verdict == ValueVerdict::TooShort || v.verdict == ValueVerdict::Invalid) {
            k.時刻->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    RequestResult r;
    const bool ran = window_.guard([&] {
        const QDateTime now = window_.runClockCheck();
        RequestEntry entry;
        entry.mode = ModeOfCaption(k.申請登録->text());
        entry.day = k.年月日->currentText();
        entry.kind = k.区分->currentText();
        // A value the screen does not show is no value.
        entry.value = k.時刻->isVisible() ? k.時刻->text() : QString();
        entry.shift = k.シフトコード->text();
        r = registering ? RegisterRequest(*state.Conn, window_.logContext(), punch_.current(),
                                          state.settings, entry, now)
                        : CancelRequest(*state.Conn, window_.logContext(), punch_.current(),
                                        state.settings, entry, now);
    });
    if (!ran) {
        return;
    }
    if (r.after == EntryAfter::Ends) {
        // Past the checks of the entry the buttons go before the answer is shown. The button
        // pressed lets go of the focus first: no other control takes it meanwhile.
        busy_ = true;
        if (QWidget* f = QApplication::focusWidget(); f == k.申請登録 || f == k.取消) {
            f->clearFocus();
        }
        k.申請登録->hide();
        k.取消->hide();
        busy_ = false;
    }
    window_.showOutcome(r.outcome);
    switch (r.after) {
        case EntryAfter::Unchanged:
            break;
        case EntryAfter::Ends:
            backToPunchScreen();
            break;
        case EntryAfter::FocusDate:
            k.年月日->setFocus(Qt::OtherFocusReason);
            break;
        case EntryAfter::FocusKind:
            k.区分->setFocus(Qt::OtherFocusReason);
            break;
        case EntryAfter::FocusValue:
            // A kind typed into `区分` may need the value field that was never shown.
            if (!k.時刻->isVisible()) {
                showFieldsForKind();
            }
            k.時刻->setFocus(Qt::OtherFocusReason);
            break;
    }
}

void RequestScreen::backToPunchScreen() {
    TerminalControls& k = window_.controls();
    busy_ = true;
    workRs_.reset();
    punch_.clearIdentity();
    k.PassWord->setFocus(Qt::OtherFocusReason);
    busy_ = false;
}

bool RequestScreen::eventFilter(QObject* watched, QEvent* event) {
    TerminalControls& k = window_.controls();
    const bool left = LeavesField(watched, event);
    if (watched == k.時刻 && event->type() == QEvent::FocusIn) {
        QTimer::singleShot(0, k.時刻, &QLineEdit::selectAll);
        return false;
    }
    if (busy_) {
        return false;
    }
    if (watched == k.年月日 || watched == k.区分) {
        auto* box = static_cast<QComboBox*>(watched);
        if (const int step = listStep(event)) {
            // Stepping through a closed list only shows the next item; it chooses nothing.
            const int index = std::clamp(box->currentIndex() + step, 0, box->count() - 1);
            setComboText(box, box->itemText(index));
            return true;
        }
        if (isEnter(event)) {
            if (box == k.年月日) {
                k.区分->setFocus(Qt::TabFocusReason);
            } else {
                kindChosen();
            }
            return true;
        }
        if (left && box->isVisible()) {
            if (box == k.年月日) {
                leaveDate();
            } else {
                leaveKind();
            }
        }
        return false;
    }
    if (watched == k.時刻) {
        if (isEnter(event)) {
            // Leaving the field runs its check; a refused value takes the focus back.
            k.申請登録->setFocus(Qt::TabFocusReason);
            return true;
        } else if (left && k.時刻->isVisible()) {
            leaveValue();
        }
    }
    return false;
}

void WireRequestScreen(TerminalWindow& window, PunchScreen& punch) {
    auto* screen = new RequestScreen(window, punch);
    TerminalControls& k = window.controls();
    for (QWidget* w : std::initializer_list<QWidget*>{k.年月日, k.区分, k.時刻}) {
        w->installEventFilter(screen);
    }
    // Enter on a focused button presses it, as on the rest of the desktop.
    k.申請登録->setAutoDefault(true);
    k.取消->setAutoDefault(true);
    QObject::connect(k.申請, &QPushButton::clicked, screen,
                     [screen] { screen->open(RequestMode::Request); });
    QObject::connect(k.訂正, &QPushButton::clicked, screen,
                     [screen] { screen->open(RequestMode::Correction); });
    QObject::connect(k.年月日, &QComboBox::activated, screen,
                     [screen](int) { screen->dateChosen(); });
    QObject::connect(k.区分, &QComboBox::activated, screen,
                     [screen](int) { screen->kindChosen(); });
    QObject::connect(k.申請登録, &QPushButton::clicked, screen,
                     [screen] { screen->registerEntry(); });
    QObject::connect(k.取消, &QPushButton::clicked, screen, [screen] { screen->cancelEntry(); });
}

RequestScreen* FindRequestScreen(TerminalWindow& window) {
    return dynamic_cast<RequestScreen*>(
        window.findChild<QObject*>(kObjectName, Qt::FindDirectChildrenOnly));
}

}  // namespace tq
