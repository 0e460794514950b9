#pragma once
// The terminal window TQ5821: every screen of the terminal is a set of its controls that is
// shown, hidden, moved or widened. This class builds the controls, runs the start-up and the
// close request, the one-second tick, the settings view and the help line; the screens of
// the other subsystems wire their behaviour onto the controls (see screen_wiring.h).

#include <QColor>
#include <QDateTime>
#include <QLabel>
#include <QMainWindow>
#include <functional>
#include <memory>

#include "common/outcome.h"
#include "common/sysinfo.h"
#include "storage/oplog.h"
#include "terminal/message_boxes.h"
#include "terminal/terminal_controls.h"
#include "terminal/terminal_state.h"
#include "timesync/clock.h"
#include "timesync/ntp.h"

namespace tq {

class OldRowsMove;
class HelpLine;
class ManualTimeQuery;

/// What the window reaches only through interfaces, so that tests can replace it.
struct TerminalSeams {
    Clock& clock;
    MessageBoxes& messages;
    SystemInfo& systemInfo;
    NtpLibrary& ntp;
    /// Where "TQ582.ini" and "Sys.ini" live; empty means the process's current directory.
    QString workingDirectory;
};

class TerminalWindow : public QMainWindow {
    Q_OBJECT

  public:
    /// Window widths of the punch screen and of the wide views, in twips.
    static constexpr int kPunchWidthTwips = 7455;
    static constexpr int kWideWidthTwips = 12480;
    static constexpr int kHeightTwips = 8100;
    /// The caption of the punch screen.
    static QString punchCaption();
    /// The title of boxes shown with the default title instead of the window caption.
    static QString defaultMessageTitle();

    explicit TerminalWindow(const TerminalSeams& seams, QWidget* parent = nullptr);
    ~TerminalWindow() override;

    /// Start-up: brings the window, the database and the working rules into use, in order.
    /// False when the program cannot run (the reason has been shown); the window is then
    /// ended and must not be shown.
    bool start();

    TerminalControls& controls() { return controls_; }
    TerminalState& state() { return state_; }
    Clock& clock() { return seams_.clock; }
    NtpLibrary& ntp() { return seams_.ntp; }

    /// The caption (window title) and the punch-screen caption.
    QString caption() const { return windowTitle(); }
    void setCaption(const QString& caption) { setWindowTitle(caption); }

    /// Window width in twips (the pixel width at this screen's resolution).
    void setWidthTwips(int twips);
    int widthTwips() const;

    /// Message boxes: the window caption as title, or the default title.
    void message(const QString& text, Icon icon = Icon::None);
    void messageWithDefaultTitle(const QString& text, Icon icon = Icon::None);
    void showMessage(const Message& m);
    /// Shows an operation's messages in order.
    void showOutcome(const Outcome& outcome);
    bool askOkCancel(const QString& text, Icon icon);

    /// The clock check (network time until it has set the clock, then the computer's clock);
    /// refreshes and returns `CurrentTime`.
    QDateTime runClockCheck();
    /// The computer's clock as the terminal trusts it (plus the offset kept when the computer
    /// refused to have its clock set); stamps log rows.
    QDateTime now() const;
    /// Who and where for log rows: the program name is the caption at the time of the call.
    LogContext logContext() const;

    /// The one-second tick: refreshes `CurrentTime`; redraws the date, weekday, calendar and
    /// hands only when the time changed.
    void tick();
    /// How often the tick has redrawn the clock (tests).
    int redrawCount() const { return redrawCount_; }
    /// The synchronisation indicator: the background of `MonthView`'s navigation bar.
    QColor indicatorColour() const;

    /// Runs `action`; a database failure shows the engine's text and ends the program.
    /// False when the action failed so.
    bool guard(const std::function<void()>& action);
    /// Shows one message and ends the program (unusable database, unreadable settings).
    void endWithError(const QString& text, Icon icon = Icon::Exclamation);
    bool hasEnded() const { return ended_; }
    /// True once start-up has finished and until the program ends.
    bool isRunning() const { return running_ && !ended_; }
    /// True while the start-up move of old rows into the archive tables runs.
    bool isTidying() const { return oldRowsMove_ != nullptr; }
    /// About how many rows each transaction of that move holds.
    int archiveBatchRows = 2000;
    /// Ends the program as the close request on the punch screen does, whatever view shows:
    /// the time library closed, "終了" logged, the database closed, the window closed.
    void endProgram();
    /// Shows every control of the staff master panel (a review hides them).
    void showStaffPanelControls();

    /// Shows the day cells of the shift calendar that exist in the month of `対象年月`.
    void showDayCellsOfMonth();
    /// Refills the shift lists of `勤務シフト` and the 31 `日別シフト` boxes: an empty item,
    /// then the shift codes of the loaded settings.
    void fillShiftLists();
    /// The settings view: opened by `設定`, saved by End in `INI_TEXT`.
    void openSettingsView();
    void saveSettingsView();

    /// The help line labels `項目` and `説明`.
    void setHelpLine(const QString& title, const QString& text);

  Q_SIGNALS:
    /// The program has ended (closed on the punch screen, or after a failure).
    void programEnded(int exitCode);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Tab, Shift+Tab and a focus that must move on go only to controls the user sees; with
    /// none, a control that can no longer be seen lets go of the focus.
    bool focusNextPrevChild(bool next) override;

  private:
    void buildPunchScreen(QWidget* central);
    void buildRequestEntry(QWidget* central);
    void buildStaffMaster(QWidget* central);
    void buildCoveringViews(QWidget* central);
    void configureDetailList();
    void resetPunchScreen();
    bool loadSettingsFile();
    void redraw(const QDateTime& t);
    void setIndicator(const QColor& colour);
    void createManualTimeQuery();
    void startManualTimeQuery();
    void finishProgram();
    /// Moves rows older than `cutoff` into the archive tables in the background, from the
    /// window's first paint on, with a notice saying what is being tidied while rows move.
    void tidyOldRows(const QDate& cutoff);
    /// The notice of the move, after a batch: the rows moved so far.
    void showTidying(const QDate& cutoff, qint64 work, qint64 log);
    /// Ends the move, waiting at most for the batch under way: every row is in one table.
    void stopTidying();
    /// The end proper: finishProgram, "終了" logged, the connection released, programEnded.
    void endInOrder();

    TerminalSeams seams_;
    TerminalState state_;
    TerminalControls controls_;
    std::unique_ptr<HelpLine> helpLine_;
    ManualTimeQuery* manualQuery_ = nullptr;
    QDateTime lastDrawn_;
    int redrawCount_ = 0;
    int widthTwips_ = kPunchWidthTwips;
    bool ended_ = false;
    std::shared_ptr<OldRowsMove> oldRowsMove_;  ///< the start-up move of old rows, while it runs
    QLabel* archiveNotice_ = nullptr;           ///< says what moves, once rows have moved
    bool running_ = false;
    FileEncoding settingsViewEncoding_ = FileEncoding::Cp932;
};

/// The message shown when "TQ582.ini" in `directory` cannot be read; it names the file.
QString SettingsUnreadableMessage(const QString& directory);

/// Adds one row of texts to the list `明細`, each column aligned as its header.
void AppendDetailRow(QTreeWidget* list, const QStringList& texts);

}  // namespace tq
