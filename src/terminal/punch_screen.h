#pragma once
// The punch screen's own behaviour: identification when `PassWord` is left, the `出勤` and
// `退勤` buttons, and the identity that the review and the requests act on.

#include <QObject>

#include "attendance/identify.h"

namespace tq {

class TerminalWindow;

class PunchScreen : public QObject {
  public:
    explicit PunchScreen(TerminalWindow& window);

    /// The identification of the code last left in `PassWord`.
    const Identification& current() const { return who_; }

    /// Leaving `PassWord`: the clock check, then the identification; in every case the punch
    /// buttons take the place of the request entry.
    void identify();
    /// `出勤` / `退勤`: nothing while nobody is identified; afterwards the screen is cleared.
    void clockIn();
    void clockOut();
    /// Nobody identified: `PassWord`, `社員名` and `シフトコード` emptied, and the punch
    /// buttons back in the place of the request entry.
    void clearIdentity();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void punch(bool in);
    void focusCodeBox();
    /// `出勤` and `退勤` shown, the request entry hidden.
    void showPunchButtons();

    TerminalWindow& window_;
    Identification who_;
    bool identifying_ = false;
    bool refocus_ = false;
};

/// Connects identification, punches and the review to the window's controls.
void WirePunchScreen(TerminalWindow& window);
/// The window's punch screen (nullptr before `WirePunchScreen`).
PunchScreen* FindPunchScreen(TerminalWindow& window);

}  // namespace tq
