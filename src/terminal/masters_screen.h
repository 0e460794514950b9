#pragma once
// The staff master panel and its shift calendar on the terminal window: opening and closing
// the panel, the staff list, the lookup, the field checks, the pop-up calendar, `登録`,
// `削除`, the month change and `シフト登録`.

#include <QObject>
#include <QString>

class QComboBox;
class QWidget;

namespace tq {

class TerminalWindow;

/// Lets the box's opened list show `rows` items.
void SetComboDropHeight(QComboBox* box, int rows);
/// Widens the opened list of `box` to fit its newest item when that item is longer (in
/// Shift_JIS bytes) than the one before it; the list never narrows.
void FitComboDropWidth(QComboBox* box);

class StaffMasterScreen : public QObject {
  public:
    explicit StaffMasterScreen(TerminalWindow& window);

    /// `社員保守`: opens the panel while the punch screen shows and no code is being typed,
    /// otherwise closes it.
    void togglePanel();
    /// The list of `従業員コード` is opened: every staff member, retired ones included.
    void fillStaffList();
    /// `従業員コード` left: shows the staff member, or prepares the panel for a new one.
    void lookup();
    /// `従業員名` left: false (and the focus back) when the name is too long.
    bool checkName();
    /// A date box left: normalises its text; false (and the focus back) when refused.
    bool checkDate(bool joined);
    /// Double-click on a date box: the calendar below it, filling that box.
    void openCalendar(bool joined);
    void register_();
    void remove();
    /// `対象年月` left: the month's day boxes and stored shifts.
    void changeMonth();
    void registerShifts();
    /// The calendar takes its date from `CurrentTime` when it gets the focus and hides when
    /// it loses it.
    void calendarFocusChanged(QWidget* old, QWidget* now);
    /// A date clicked in the calendar fills the box it was opened for.
    void calendarDateClicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void clearAfterChange();
    void clearDayBoxes();
    void fillDayBoxes(const QString& code);
    void setDisabledAfterAction(bool disabled);

    TerminalWindow& window_;
    QString calendarTarget_;
    bool busy_ = false;
};

/// Connects the staff master panel and the shift calendar to the window's controls, after
/// every control exists. A second call changes nothing.
void WireStaffMaster(TerminalWindow& window);
/// The window's staff master screen (nullptr before `WireStaffMaster`).
StaffMasterScreen* FindStaffMasterScreen(TerminalWindow& window);

}  // namespace tq
