// The one-second tick, the clock display and the manual time query behind Command1.
#include <QCalendarWidget>
#include <QLabel>
#include <QTextCharFormat>

#include "common/datetime.h"
#include "terminal/clock_face.h"
#include "terminal/terminal_window.h"
#include "timesync/manual_time_query.h"

namespace tq {

namespace {

// The navigation bar of a calendar: the part of `MonthView` that shows the sync indicator.
QWidget* navigationBar(const QCalendarWidget* calendar) {
    return calendar->findChild<QWidget*>(QStringLiteral("qt_calendar_navigationbar"));
}

}  // namespace

void TerminalWindow::tick() {
    if (!state_.clockCheck) {
        state_.CurrentTime = seams_.clock.now();
    } else {
        state_.CurrentTime = state_.clockCheck->currentTime();
        setIndicator(state_.clockCheck->indicator());
    }
    if (state_.CurrentTime == lastDrawn_) {
        return;
    }
    lastDrawn_ = state_.CurrentTime;
    redraw(state_.CurrentTime);
}

QDateTime TerminalWindow::runClockCheck() {
    state_.CurrentTime = state_.clockCheck ? state_.clockCheck->currentTime() : seams_.clock.now();
    if (state_.clockCheck) {
        setIndicator(state_.clockCheck->indicator());
    }
    return state_.CurrentTime;
}

void TerminalWindow::redraw(const QDateTime& t) {
    TerminalControls& k = controls_;
    ++redrawCount_;
    k.clockFace->showTime(t.time());
    k.MonthView->setSelectedDate(t.date());
    k.MonthView->setCurrentPage(t.date().year(), t.date().month());

    const QString weekday = weekdayName(t.date());
    k.Week->setText(weekday);
    QColor colour(0, 0, 0);
    if (weekday == QStringLiteral("日曜日")) {
        colour = QColor(255, 0, 0);
    } else if (weekday == QStringLiteral("土曜日")) {
        colour = QColor(0, 0, 255);
    }
    QPalette palette = k.Week->palette();
    palette.setColor(QPalette::WindowText, colour);
    k.Week->setPalette(palette);

    k.DateTime->setText(t.toString(QStringLiteral("MM/dd HH:mm")));
}

void TerminalWindow::setIndicator(const QColor& colour) {
    QWidget* bar = navigationBar(controls_.MonthView);
    if (!bar || bar->palette().color(QPalette::Highlight) == colour) {
        return;
    }
    // The bar is painted with the highlight role; its buttons' texts with the highlighted
    // text role, kept dark so that they stay readable on both colours.
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, colour);
    palette.setColor(QPalette::HighlightedText, QColor(20, 20, 20));
    bar->setPalette(palette);
}

QColor TerminalWindow::indicatorColour() const {
    const QWidget* bar = navigationBar(controls_.MonthView);
    return bar ? bar->palette().color(QPalette::Highlight) : QColor();
}

void TerminalWindow::createManualTimeQuery() {
    manualQuery_ = new ManualTimeQuery(state_.systemFile.ntpHost, state_.systemFile.ntpPort, this);
    connect(manualQuery_, &ManualTimeQuery::timeShown, this,
            [this](const QString& utcText, const QString& localText) {
                // The server's time, then Japan time; the next tick redraws the clock.
                controls_.DateTime->setText(utcText);
                controls_.DateTime->setText(localText);
            });
}

void TerminalWindow::startManualTimeQuery() {
    if (!ended_ && manualQuery_) {
        manualQuery_->start();
    }
}

}  // namespace tq
