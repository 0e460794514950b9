#include "terminal/review_screen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "attendance/review.h"
#include "labour/leave_book.h"
#include "labour/overtime_watch.h"
#include "terminal/punch_screen.h"
#include "terminal/terminal_window.h"
#include "terminal/twips.h"

namespace tq {

namespace {

/// The lines under the list, top to bottom: the month's overtime against the 36 agreement's
/// limits, then the paid-leave balance and duty.
const QString kOvertimeLine = QStringLiteral("時間外状況");
const QString kLeaveLine = QStringLiteral("有給状況");

QLabel* lineUnderGrid(TerminalWindow& window, const QString& name) {
    return window.controls().明細->parentWidget()->findChild<QLabel*>(name,
                                                                      Qt::FindDirectChildrenOnly);
}

/// Ends the review on the End key of `明細`; every other key works as usual. The lines under
/// the list go wherever the list goes, whoever hides it.
class ReviewKeys : public QObject {
  public:
    explicit ReviewKeys(TerminalWindow& window) : QObject(&window), window_(window) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_.controls().明細) {
            return false;
        }
        if (event->type() == QEvent::Hide) {
            lineUnderGrid(window_, kOvertimeLine)->hide();
            lineUnderGrid(window_, kLeaveLine)->hide();
        } else if (event->type() == QEvent::KeyPress &&
                   static_cast<QKeyEvent*>(event)->key() == Qt::Key_End) {
            CloseReview(window_);
            return true;
        }
        return false;
    }

  private:
    TerminalWindow& window_;
};

}  // namespace

void ShowReview(TerminalWindow& window, PunchScreen& screen) {
    TerminalControls& k = window.controls();
    window.setWidthTwips(TerminalWindow::kWideWidthTwips);
    for (QWidget* w :
         std::initializer_list<QWidget*>{k.従業員コード, k.従業員名, k.入社年月日, k.退社年月日,
                                         k.勤務シフト, k.正社員, k.契約社員, k.パート, k.アルバイト,
                                         k.派遣社員, k.残業計算無し, k.登録, k.削除, k.Frame1}) {
        w->hide();
    }
    if (k.社員名->text().isEmpty() || !window.state().Conn) {
        return;
    }
    TerminalState& state = window.state();
    if (!state.CurrentTime.isValid()) {
        window.runClockCheck();
    }
    ReviewResult r;
    QString overtime;
    QString leave;
    if (!window.guard([&] {
            r = MonthlyReview(*state.Conn, screen.current(), state.settings, state.CurrentTime);
            if (r.outcome.accepted) {
                overtime = ReviewOvertimeLine(*state.Conn, screen.current(), r.period,
                                              state.settings, state.CurrentTime);
                const LeaveStaff staff = LeaveStaffOf(screen.current());
                leave = LeaveStatusLine(
                    LoadLeaveLedger(*state.Conn, window.logContext(), state.CurrentTime, staff),
                    staff, state.CurrentTime.date());
            }
        })) {
        return;
    }
    if (!r.outcome.accepted) {
        if (r.outcome.messages.empty()) {
            return;
        }
        k.社員名->clear();
        k.シフトコード->clear();
        window.showOutcome(r.outcome);
        screen.clearIdentity();
        k.PassWord->setFocus(Qt::OtherFocusReason);
        return;
    }

    QTreeWidget* list = k.明細;
    // The list leaves room at the bottom for the lines under it that have something to say.
    std::vector<std::pair<QLabel*, QString>> lines;
    for (const auto& [name, text] :
         {std::pair{kOvertimeLine, overtime}, std::pair{kLeaveLine, leave}}) {
        QLabel* line = lineUnderGrid(window, name);
        line->hide();
        if (!text.isEmpty()) {
            lines.emplace_back(line, text);
        }
    }
    const int width = twipsToPixels(TerminalWindow::kWideWidthTwips, &window);
    const int height = list->parentWidget()->height();
    const int lineHeight = list->fontMetrics().height() + 8;
    int top = height - lineHeight * static_cast<int>(lines.size());
    list->setGeometry(0, 0, width, top);
    for (const auto& [line, text] : lines) {
        line->setGeometry(0, top, width, lineHeight);
        line->setText(text);
        top += lineHeight;
    }
    list->clear();
    for (const DayFigures& day : r.days) {
        AppendDetailRow(list, DisplayTexts(day));
    }
    for (int c = 0; c < list->columnCount(); ++c) {
        list->resizeColumnToContents(c);
    }
    list->show();
    list->raise();
    for (const auto& [line, text] : lines) {
        line->show();
        line->raise();
    }
    if (r.firstMissingRow >= 0) {
        list->topLevelItem(0)->setSelected(false);
        QTreeWidgetItem* row = list->topLevelItem(r.firstMissingRow);
        row->setSelected(true);
        list->scrollToItem(row);
    }
    window.setCaption(TerminalWindow::punchCaption() + QStringLiteral("  (") + k.社員名->text() +
                      QStringLiteral(")"));
    screen.clearIdentity();
    list->setFocus(Qt::OtherFocusReason);
}

void CloseReview(TerminalWindow& window) {
    TerminalControls& k = window.controls();
    k.明細->hide();
    window.setCaption(TerminalWindow::punchCaption());
    k.PassWord->setFocus(Qt::OtherFocusReason);
}

void WireReviewScreen(TerminalWindow& window, PunchScreen& screen) {
    TerminalControls& k = window.controls();
    k.明細->installEventFilter(new ReviewKeys(window));
    for (const QString& name : {kOvertimeLine, kLeaveLine}) {
        auto* line = new QLabel(k.明細->parentWidget());
        line->setObjectName(name);
        // Opaque, as the grid is: the punch screen's controls beneath stay covered.
        line->setAutoFillBackground(true);
        line->setIndent(6);
        line->hide();
    }
    QObject::connect(k.確認, &QPushButton::clicked, &window,
                     [&window, &screen] { ShowReview(window, screen); });
}

}  // namespace tq
