#pragma once
// The request entry on the window: `申請` and `訂正` put the date list `年月日`, the kind list
// `区分` and the value field `時刻` in the place of the punch buttons; `申請登録` and `取消`
// register or cancel, then the punch screen returns with nobody identified.

#include <QObject>
#include <optional>

#include "requests/request_kinds.h"
#include "requests/requests.h"

class QWidget;

namespace tq {

class PunchScreen;
class TerminalWindow;

class RequestScreen : public QObject {
  public:
    RequestScreen(TerminalWindow& window, PunchScreen& punch);

    /// `申請` / `訂正`: opens the entry in the mode, today chosen and looked up, the focus in
    /// `年月日`. Nothing happens while nobody is identified.
    void open(RequestMode mode);
    /// A date chosen from the list: today presets "出勤打刻", any other day "直帰".
    void dateChosen();
    /// `年月日` left: the day looked up; its stored state, value and shift prefilled.
    void leaveDate();
    /// A kind chosen from the list, or Enter in `区分`: `時刻` with its prompt for the kinds
    /// that take a value, else straight to `申請登録`. `申請登録` and `取消` appear; a text
    /// that is no kind of the list shows none of them ("区分の値が不正です。" unless empty).
    void kindChosen();
    /// `区分` left: the stored time or linked day of the kind prefilled into `時刻`.
    void leaveKind();
    /// `時刻` left: the value normalised and checked; false (the focus back) when refused.
    bool leaveValue();
    /// `申請登録` / `取消`.
    void registerEntry();
    void cancelEntry();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void submit(bool registering);
    /// Shows the fields the kind in `区分` needs (`時刻` with its prompt only for a kind
    /// that takes a value) and returns the one the focus goes to; for a text that is no kind
    /// of the list, hides them all and returns nullptr.
    QWidget* showFieldsForKind();
    /// The program sets `区分` (a day chosen or looked up): the fields follow the new kind
    /// as if it had been chosen, once a kind has been.
    void presetKind(const QString& kind);
    void backToPunchScreen();
    QString today() const;

    TerminalWindow& window_;
    PunchScreen& punch_;
    /// The stored row of the day last looked up (`WorkRs`); nothing when the day has none.
    std::optional<WorkDay> workRs_;
    /// Set while the screen itself shows, hides and moves the focus: the focus changes that
    /// causes are not the user leaving a field.
    bool busy_ = false;
};

/// Connects `申請`, `訂正`, the entry's fields and its two buttons.
void WireRequestScreen(TerminalWindow& window, PunchScreen& punch);
/// The window's request screen (nullptr before `WireRequestScreen`).
RequestScreen* FindRequestScreen(TerminalWindow& window);

}  // namespace tq
