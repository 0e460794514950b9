#include "terminal/masters_screen.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <array>

#include "common/datetime.h"
#include "common/text.h"
#include "masters/shift_calendar.h"
#include "masters/staff.h"
#include "terminal/focus_rules.h"
#include "terminal/terminal_window.h"

namespace tq {

namespace {

const char kDropWidthProperty[] = "tq582DropWidth";
const QString kScreenName = QStringLiteral("staffMasterScreen");

std::array<QRadioButton*, 5> typeButtons(TerminalControls& k) {
    return {k.正社員, k.契約社員, k.パート, k.アルバイト, k.派遣社員};
}

/// Shows a text in an editable combo box: its item when there is one, else the text alone.
void setComboText(QComboBox* box, const QString& text) {
    const int index = box->findText(text, Qt::MatchExactly);
    box->setCurrentIndex(index);
    if (index < 0) {
        box->setEditText(text);
    }
}

void clearComboSelection(QComboBox* box) {
    box->setCurrentIndex(-1);
    if (box->isEditable()) {
        box->clearEditText();
    }
}

/// Moves the focus on to the next control exactly as Tab does, so that the box's lost-focus
/// check runs as when it is left with Tab and a refusal can give the focus straight back.
void commit(QWidget* w) {
    if (!w->hasFocus()) {
        w->setFocus(Qt::OtherFocusReason);
    }
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &tab);
}

bool isEnter(QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

bool opensList(QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        return true;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    return key->key() == Qt::Key_F4 || ((key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) &&
                                        key->modifiers().testFlag(Qt::AltModifier));
}

}  // namespace

void SetComboDropHeight(QComboBox* box, int rows) {
    box->setMaxVisibleItems(rows);
}

void FitComboDropWidth(QComboBox* box) {
    const int count = box->count();
    if (count == 0) {
        return;
    }
    const QString newest = box->itemText(count - 1);
    if (count > 1 && shiftJisLength(newest) <= shiftJisLength(box->itemText(count - 2))) {
        return;
    }
    QString plain = newest;
    plain.remove(u'\t');
    const int wanted = QFontMetrics(box->font()).horizontalAdvance(plain) + 30;
    const QVariant kept = box->property(kDropWidthProperty);
    const int current = kept.isValid() ? kept.toInt() : box->width();
    if (wanted >= current) {
        box->setProperty(kDropWidthProperty, wanted);
        box->view()->setMinimumWidth(wanted);
    }
}

StaffMasterScreen::StaffMasterScreen(TerminalWindow& window) : QObject(&window), window_(window) {
    setObjectName(kScreenName);
}

void StaffMasterScreen::togglePanel() {
    TerminalControls& k = window_.controls();
    if (window_.widthTwips() == TerminalWindow::kPunchWidthTwips && k.PassWord->text().isEmpty()) {
        window_.setWidthTwips(TerminalWindow::kWideWidthTwips);
        // A review may have hidden the panel's controls; the panel always opens whole.
        k.明細->hide();
        window_.showStaffPanelControls();
        k.登録->setEnabled(false);
        k.削除->setEnabled(false);
        k.従業員コード->setFocus(Qt::OtherFocusReason);
    } else {
        window_.setWidthTwips(TerminalWindow::kPunchWidthTwips);
        k.PassWord->setFocus(Qt::OtherFocusReason);
    }
}

void StaffMasterScreen::fillStaffList() {
    QComboBox* box = window_.controls().従業員コード;
    if (!window_.state().Conn) {
        return;
    }
    SetComboDropHeight(box, 40);
    QStringList items;
    if (!window_.guard([&] { items = StaffListItems(*window_.state().Conn); })) {
        return;
    }
    // Refilling an editable box would replace what has been typed; keep it.
    const QString typed = box->currentText();
    const QSignalBlocker block(box);
    box->clear();
    for (const QString& item : items) {
        box->addItem(item);
        FitComboDropWidth(box);
    }
    box->setCurrentIndex(-1);
    box->setEditText(typed);
}

void StaffMasterScreen::clearDayBoxes() {
    for (QComboBox* day : window_.controls().日別シフト) {
        clearComboSelection(day);
    }
}

void StaffMasterScreen::fillDayBoxes(const QString& code) {
    TerminalControls& k = window_.controls();
    const QDate first = MonthStart(k.対象年月->currentText());
    if (!first.isValid() || !window_.state().Conn) {
        return;
    }
    const DayShifts shifts = MonthShifts(*window_.state().Conn, code, first);
    for (int i = 0; i < kCalendarDays; ++i) {
        if (!shifts[static_cast<size_t>(i)].isEmpty()) {
            setComboText(k.日別シフト[static_cast<size_t>(i)], shifts[static_cast<size_t>(i)]);
        }
    }
}

void StaffMasterScreen::lookup() {
    TerminalControls& k = window_.controls();
    if (busy_ || !window_.state().Conn) {
        return;
    }
    busy_ = true;
    StaffLookup found;
    const bool ran = window_.guard([&] {
        found = LookupStaff(*window_.state().Conn, k.従業員コード->currentText());
        if (found.result == LookupResult::Found) {
            // The boxes show the days of the month whose shifts are filled in.
            window_.showDayCellsOfMonth();
            clearDayBoxes();
            fillDayBoxes(found.code);
        }
    });
    if (!ran || found.result == LookupResult::Ignored) {
        busy_ = false;
        return;
    }
    if (k.従業員コード->currentText() != found.code) {
        const QSignalBlocker block(k.従業員コード);
        k.従業員コード->setCurrentIndex(-1);
        k.従業員コード->setEditText(found.code);
    }
    if (found.result == LookupResult::Refused) {
        window_.showOutcome(found.outcome);
        k.従業員コード->setFocus(Qt::OtherFocusReason);
        busy_ = false;
        return;
    }
    if (found.result == LookupResult::NotFound) {
        k.従業員名->clear();
        k.正社員->setChecked(true);
        k.残業計算無し->setChecked(true);
        k.入社年月日->clear();
        k.退社年月日->clear();
        clearComboSelection(k.勤務シフト);
        k.登録->setEnabled(true);
        // Nothing of an earlier staff member stays usable for a new one.
        k.削除->setEnabled(false);
        k.シフト登録->setEnabled(false);
        k.Frame1->setEnabled(false);
        clearDayBoxes();
    } else {
        const StaffRow& row = *found.row;
        k.従業員名->setText(row.name);
        if (row.type >= 0 && row.type < 5) {
            typeButtons(k)[static_cast<size_t>(row.type)]->setChecked(true);
        }
        k.残業計算無し->setChecked(row.overtime == QStringLiteral("無"));
        k.入社年月日->setText(row.joined);
        k.退社年月日->setText(row.left);
        // An empty stored shift clears the box, so no earlier staff member's shift stays.
        if (row.shift.isEmpty()) {
            clearComboSelection(k.勤務シフト);
        } else {
            setComboText(k.勤務シフト, row.shift);
        }
        k.登録->setEnabled(true);
        k.削除->setEnabled(true);
        k.シフト登録->setEnabled(true);
        k.Frame1->setEnabled(true);
    }
    k.従業員名->setFocus(Qt::OtherFocusReason);
    busy_ = false;
}

bool StaffMasterScreen::checkName() {
    TerminalControls& k = window_.controls();
    if (auto m = CheckStaffName(k.従業員名->text())) {
        window_.showMessage(*m);
        k.従業員名->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

bool StaffMasterScreen::checkDate(bool joined) {
    TerminalControls& k = window_.controls();
    QLineEdit* box = joined ? k.入社年月日 : k.退社年月日;
    const DateCheck check =
        NormaliseDate(box->text(), window_.now().date(), joined ? DateBox::Joined : DateBox::Left);
    if (box->text() != check.text) {
        box->setText(check.text);
    }
    if (check.refusal) {
        window_.showMessage(*check.refusal);
        box->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

void StaffMasterScreen::openCalendar(bool joined) {
    TerminalControls& k = window_.controls();
    QLineEdit* box = joined ? k.入社年月日 : k.退社年月日;
    k.MonthView1->setSelectedDate(window_.now().date());
    k.MonthView1->move(box->x(), box->y() + box->height());
    k.MonthView1->show();
    k.MonthView1->raise();
    calendarTarget_ = box->objectName();
    k.MonthView1->setFocus(Qt::OtherFocusReason);
}

void StaffMasterScreen::calendarFocusChanged(QWidget* old, QWidget* now) {
    QCalendarWidget* calendar = window_.controls().MonthView1;
    const auto inside = [calendar](QWidget* w) {
        return w && (w == calendar || calendar->isAncestorOf(w));
    };
    if (inside(now) && !inside(old)) {
        const QDateTime current = window_.state().CurrentTime;
        calendar->setSelectedDate(current.isValid() ? current.date() : window_.now().date());
    } else if (inside(old) && !inside(now)) {
        calendar->hide();
    }
}

void StaffMasterScreen::calendarDateClicked() {
    TerminalControls& k = window_.controls();
    QLineEdit* target = calendarTarget_ == QStringLiteral("入社年月日")   ? k.入社年月日
                        : calendarTarget_ == QStringLiteral("退社年月日") ? k.退社年月日
                                                                          : nullptr;
    if (target) {
        target->setText(formatDate(k.MonthView1->selectedDate()));
        target->setFocus(Qt::OtherFocusReason);
    }
    k.MonthView1->hide();
}

void StaffMasterScreen::setDisabledAfterAction(bool disabled) {
    TerminalControls& k = window_.controls();
    k.登録->setEnabled(!disabled);
    k.削除->setEnabled(!disabled);
    k.シフト登録->setEnabled(!disabled);
}

void StaffMasterScreen::clearAfterChange() {
    TerminalControls& k = window_.controls();
    clearComboSelection(k.従業員コード);
    k.従業員名->clear();
    k.入社年月日->clear();
    k.退社年月日->clear();
    clearComboSelection(k.勤務シフト);
    k.Frame1->setEnabled(false);
    clearDayBoxes();
    k.従業員コード->setFocus(Qt::OtherFocusReason);
}

void StaffMasterScreen::register_() {
    TerminalControls& k = window_.controls();
    if (!window_.state().Conn) {
        return;
    }
    StaffEntry entry;
    entry.code = k.従業員コード->currentText();
    entry.name = k.従業員名->text();
    entry.type = -1;
    const auto buttons = typeButtons(k);
    for (size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i]->isChecked()) {
            entry.type = static_cast<int>(i);
        }
    }
    entry.joined = k.入社年月日->text();
    entry.left = k.退社年月日->text();
    entry.noOvertime = k.残業計算無し->isChecked();
    entry.shift = k.勤務シフト->currentText();

    StaffOutcome o;
    const QDateTime current = window_.state().CurrentTime;
    if (!window_.guard([&] {
            o = RegisterStaff(*window_.state().Conn, window_.logContext(),
                              current.isValid() ? current : window_.now(), entry);
        })) {
        return;
    }
    if (!o.accepted) {
        // A refusal leaves the panel as it was, with the focus on the field at fault.
        window_.showOutcome(o);
        QWidget* field = nullptr;
        switch (o.field) {
            case StaffField::Code:
                field = k.従業員コード;
                break;
            case StaffField::Name:
                field = k.従業員名;
                break;
            case StaffField::Type:
                field = k.正社員;
                break;
            case StaffField::Joined:
                field = k.入社年月日;
                break;
            case StaffField::Left:
                field = k.退社年月日;
                break;
            case StaffField::Shift:
                field = k.勤務シフト;
                break;
            case StaffField::None:
                break;
        }
        if (field) {
            field->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    k.従業員コード->setFocus(Qt::OtherFocusReason);
    setDisabledAfterAction(true);
    window_.showOutcome(o);
    clearAfterChange();
}

void StaffMasterScreen::remove() {
    TerminalControls& k = window_.controls();
    if (!window_.state().Conn) {
        return;
    }
    StaffOutcome o;
    if (!window_.guard([&] {
            o = DeleteStaff(*window_.state().Conn, window_.logContext(), window_.now(),
                            k.従業員コード->currentText());
        })) {
        return;
    }
    if (!o.accepted) {
        window_.showOutcome(o);
        if (o.field == StaffField::Code) {
            k.従業員コード->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    k.従業員コード->setFocus(Qt::OtherFocusReason);
    setDisabledAfterAction(true);
    window_.showOutcome(o);
    clearAfterChange();
}

void StaffMasterScreen::changeMonth() {
    TerminalControls& k = window_.controls();
    if (busy_ || k.従業員名->text().isEmpty() || k.対象年月->currentText().trimmed().isEmpty()) {
        return;
    }
    busy_ = true;
    window_.showDayCellsOfMonth();
    clearDayBoxes();
    const QString code = StaffCodeOf(k.従業員コード->currentText());
    if (code != k.従業員コード->currentText()) {
        const QSignalBlocker block(k.従業員コード);
        k.従業員コード->setCurrentIndex(-1);
        k.従業員コード->setEditText(code);
    }
    if (auto m = CheckStaffCode(code)) {
        window_.showMessage(*m);
        k.従業員コード->setFocus(Qt::OtherFocusReason);
        busy_ = false;
        return;
    }
    if (window_.guard([&] { fillDayBoxes(code); })) {
        k.日別シフト[0]->setFocus(Qt::OtherFocusReason);
    }
    busy_ = false;
}

void StaffMasterScreen::registerShifts() {
    TerminalControls& k = window_.controls();
    if (!window_.state().Conn) {
        return;
    }
    ShiftRegistration entry;
    entry.code = k.従業員コード->currentText();
    entry.staffShown = !k.従業員名->text().isEmpty();
    entry.month = k.対象年月->currentText();
    for (int i = 0; i < kCalendarDays; ++i) {
        entry.days[static_cast<size_t>(i)] = k.日別シフト[static_cast<size_t>(i)]->currentText();
    }
    ShiftOutcome o;
    if (!window_.guard([&] {
            o = RegisterMonthShifts(*window_.state().Conn, window_.logContext(), window_.now(),
                                    entry);
        })) {
        return;
    }
    if (!o.accepted) {
        window_.showOutcome(o);
        if (o.codeRefused) {
            k.従業員コード->setFocus(Qt::OtherFocusReason);
        } else if (o.refusedDay >= 0) {
            k.日別シフト[static_cast<size_t>(o.refusedDay)]->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    k.対象年月->setFocus(Qt::OtherFocusReason);
    window_.showOutcome(o);
    setDisabledAfterAction(false);
}

bool StaffMasterScreen::eventFilter(QObject* watched, QEvent* event) {
    TerminalControls& k = window_.controls();
    const QEvent::Type type = event->type();
    const bool left = LeavesField(watched, event);
    if (watched == k.従業員コード) {
        if (opensList(event)) {
            fillStaffList();
        } else if (isEnter(event)) {
            commit(k.従業員コード);
            return true;
        } else if (left) {
            lookup();
        }
        return false;
    }
    if (watched == k.従業員名) {
        if (type == QEvent::FocusIn) {
            QTimer::singleShot(0, k.従業員名, &QLineEdit::selectAll);
        } else if (isEnter(event)) {
            commit(k.従業員名);
            return true;
        } else if (left) {
            checkName();
        }
        return false;
    }
    if (watched == k.入社年月日 || watched == k.退社年月日) {
        const bool joined = watched == k.入社年月日;
        auto* box = static_cast<QLineEdit*>(watched);
        if (type == QEvent::FocusIn) {
            QTimer::singleShot(0, box, &QLineEdit::selectAll);
        } else if (type == QEvent::MouseButtonDblClick) {
            openCalendar(joined);
            return true;
        } else if (isEnter(event)) {
            (joined ? static_cast<QWidget*>(k.退社年月日) : k.勤務シフト)
                ->setFocus(Qt::TabFocusReason);
            return true;
        } else if (left) {
            checkDate(joined);
        }
        return false;
    }
    if (watched == k.対象年月) {
        if (isEnter(event)) {
            commit(k.対象年月);
            return true;
        }
        if (left) {
            changeMonth();
        }
        return false;
    }
    if (isEnter(event)) {
        // 勤務シフト and the day boxes: Enter moves on; leaving them checks nothing.
        commit(static_cast<QWidget*>(watched));
        return true;
    }
    return false;
}

StaffMasterScreen* FindStaffMasterScreen(TerminalWindow& window) {
    return dynamic_cast<StaffMasterScreen*>(
        window.findChild<QObject*>(kScreenName, Qt::FindDirectChildrenOnly));
}

void WireStaffMaster(TerminalWindow& window) {
    if (FindStaffMasterScreen(window)) {
        return;  // wired already
    }
    auto* screen = new StaffMasterScreen(window);
    TerminalControls& k = window.controls();
    for (QWidget* w : std::initializer_list<QWidget*>{k.従業員コード, k.従業員名, k.入社年月日,
                                                      k.退社年月日, k.勤務シフト, k.対象年月}) {
        w->installEventFilter(screen);
    }
    for (QComboBox* day : k.日別シフト) {
        day->installEventFilter(screen);
    }
    // A chosen list item commits the box as Enter does.
    QObject::connect(k.従業員コード, &QComboBox::activated, screen,
                     [&k](int) { commit(k.従業員コード); });
    QObject::connect(k.対象年月, &QComboBox::activated, screen, [&k](int) { commit(k.対象年月); });
    QObject::connect(k.社員保守, &QPushButton::clicked, screen,
                     [screen] { screen->togglePanel(); });
    QObject::connect(k.登録, &QPushButton::clicked, screen, [screen] { screen->register_(); });
    QObject::connect(k.削除, &QPushButton::clicked, screen, [screen] { screen->remove(); });
    QObject::connect(k.シフト登録, &QPushButton::clicked, screen,
                     [screen] { screen->registerShifts(); });
    QObject::connect(k.MonthView1, &QCalendarWidget::clicked, screen,
                     [screen](QDate) { screen->calendarDateClicked(); });
    QObject::connect(
        qApp, &QApplication::focusChanged, screen,
        [screen](QWidget* old, QWidget* now) { screen->calendarFocusChanged(old, now); });
}

}  // namespace tq
