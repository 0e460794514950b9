#pragma once
// The end of the program when it is asked from outside the window: SIGTERM, SIGINT and SIGHUP,
// and the end of the desktop session. Each ends the program as the close request on the
// punch screen does: the time library closed, "終了" logged, the database closed.

#include <QObject>

namespace tq {

class TerminalWindow;

class OrderlyEnd : public QObject {
  public:
    explicit OrderlyEnd(TerminalWindow& window);
    ~OrderlyEnd() override;

    /// Ends the program in order once no handler is waiting on a dialog: an open dialog is
    /// closed first (as with Esc, so a question is answered Cancel) and the end follows as
    /// soon as its handler has finished. Nothing happens when the program has ended already.
    void request();

    /// Routes SIGTERM, SIGINT and SIGHUP of this process to request(); false when the
    /// signals cannot be caught. One OrderlyEnd per process catches them.
    bool catchSignals();

    /// Ends the program in order when the application is told to quit (the session manager
    /// ends the desktop session) or is about to quit for any other reason.
    void watchApplication();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void readSignals();

    TerminalWindow& window_;
    bool retryPending_ = false;
};

}  // namespace tq
