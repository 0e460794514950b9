// Start-up, the close request and the end of the program.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

#include "attendance/calendar.h"
#include "common/datetime.h"
#include "storage/oplog.h"
#include "storage/schema.h"
#include "storage/sysfile.h"
#include "terminal/clock_face.h"
#include "terminal/terminal_window.h"
#include "timesync/manual_time_query.h"

namespace tq {

namespace {

// The password every site database is keyed with.
QString databasePassword() {
    return QString::fromLatin1(kDatabasePassword);
}

}  // namespace

bool TerminalWindow::start() {
    TerminalControls& k = controls_;
    try {
        // 1-3: the punch screen at its width, the date drawn, nobody identified.
        setWidthTwips(kPunchWidthTwips);
        const QDateTime now = seams_.clock.now();
        k.DateTime->setText(now.toString(QStringLiteral("MM/dd HH:mm")));
        k.Week->setText(weekdayName(now.date()));
        k.MonthView->setSelectedDate(now.date());
        resetPunchScreen();

        // 4-5: the covering views hidden, the request entry hidden in the punch buttons' places.
        k.INI_TEXT->hide();
        k.明細->hide();
        configureDetailList();
        for (QWidget* w : {static_cast<QWidget*>(k.年月日), static_cast<QWidget*>(k.区分),
                           static_cast<QWidget*>(k.時刻), static_cast<QWidget*>(k.申請登録),
                           static_cast<QWidget*>(k.取消)}) {
            w->hide();
        }
        k.申請登録->move(k.申請登録->x(), k.出勤->y());
        k.取消->move(k.取消->x(), k.退勤->y());

        // 6: the staff master panel empty.
        k.Frame1->setEnabled(false);
        k.従業員コード->setCurrentIndex(-1);
        k.従業員コード->clearEditText();
        k.従業員名->clear();
        k.正社員->setChecked(true);
        k.残業計算無し->setChecked(true);
        k.入社年月日->clear();
        k.退社年月日->clear();
        k.勤務シフト->setCurrentIndex(-1);

        // 7-8: the shift calendar on the current month of three.
        const QDate first(now.date().year(), now.date().month(), 1);
        k.対象年月->clear();
        for (int m = -1; m <= 1; ++m) {
            k.対象年月->addItem(first.addMonths(m).toString(QStringLiteral("yyyy/MM")));
        }
        k.対象年月->setCurrentIndex(1);
        showDayCellsOfMonth();

        // 9: the network time exchange. The time server comes from the system file, which
        // is read here once for steps 9 and 11 alike.
        state_.ComputerName = seams_.systemInfo.computerName();
        state_.UserName = seams_.systemInfo.userName();
        state_.systemFile = ReadSystemFile(state_.workingDirectory, state_.ComputerName);
        if (!state_.systemFile.error.isEmpty()) {
            // Never the default database instead: punches would go where nobody looks.
            endWithError(state_.systemFile.error);
            return false;
        }
        state_.clockCheck = std::make_unique<ClockCheck>(
            seams_.ntp, seams_.clock, state_.systemFile.ntpHost, state_.systemFile.ntpPort);
        createManualTimeQuery();
        if (!seams_.ntp.available() ||
            !seams_.ntp.setNtpServer(state_.systemFile.ntpHost, state_.systemFile.ntpPort)) {
            message(QStringLiteral("初期化に失敗しました。"));
        }

        // 10-12: the database file, created with its folder when missing.
        const QString mdb =
            state_.systemFile.mdbName.isEmpty() ? DefaultMdbName() : state_.systemFile.mdbName;
        // A server URI names a database that exists already; only a file is created here.
        const bool onServer = isServerDatabaseName(mdb);
        state_.MdbName = onServer
                             ? mdb.trimmed()
                             : QDir::cleanPath(QDir(state_.workingDirectory).absoluteFilePath(mdb));
        if (!onServer && !QFileInfo::exists(state_.MdbName)) {
            openEmbeddedDatabase(state_.MdbName, databasePassword(), true);
        }

        // 13-15: the clock drawn once from the computer's clock, the dial, topmost.
        state_.clockCheck->setTimerSwitch(false);
        tick();
        k.clockFace->layoutDial();
        setWindowFlag(Qt::WindowStaysOnTopHint, true);

        // 16-18: the tables, the connection, the start logged.
        state_.Conn = openDatabase(state_.MdbName, databasePassword(), false);
        const QString broken = EnsureTables(*state_.Conn);
        if (!broken.isEmpty()) {
            endWithError(broken + QStringLiteral("が壊れています"), Icon::None);
            return false;
        }
        WriteLog(*state_.Conn, logContext(), this->now(), QStringLiteral("開始"), QString());

        // 19: the working rules.
        if (!loadSettingsFile()) {
            return false;
        }

        // 20: the tick, with the clock synchronisation due.
        k.Timer->setInterval(1000);
        k.Timer->start();
        state_.clockCheck->setTimerSwitch(true);

        // 21: rows older than the previous month, and than any day still open for
        // corrections, move to the archive tables once the window is on the screen.
        tidyOldRows(ArchiveCutoff(this->now(), state_.settings));
        running_ = true;
        return true;
    } catch (const DbError& e) {
        endWithError(e.message());
        return false;
    }
}

QDateTime TerminalWindow::now() const {
    return state_.clockCheck ? state_.clockCheck->clockTime() : seams_.clock.now();
}

void TerminalWindow::resetPunchScreen() {
    controls_.PassWord->clear();
    controls_.社員名->clear();
    controls_.シフトコード->clear();
}

bool TerminalWindow::loadSettingsFile() {
    QString error;
    std::optional<LoadedSettings> loaded =
        LoadSettingsFile(state_.workingDirectory, QStringLiteral("TQ582.ini"), &error);
    if (!loaded) {
        endWithError(SettingsUnreadableMessage(state_.workingDirectory));
        return false;
    }
    if (const auto warning = NoRulesWarning(*loaded)) {
        // The terminal still starts: punches are recorded, only the figures would be 0.
        message(*warning, Icon::Exclamation);
    }
    state_.settings = std::move(loaded->settings);
    state_.settingsEncoding = loaded->encoding;
    fillShiftLists();
    return true;
}

void TerminalWindow::fillShiftLists() {
    const QStringList& codes = state_.settings.shiftCodes;
    auto refill = [&codes](QComboBox* box) {
        box->clear();
        box->addItem(QString());
        for (int i = 1; i < codes.size(); ++i) {
            box->addItem(codes.at(i));
        }
        box->setCurrentIndex(-1);
    };
    refill(controls_.勤務シフト);
    for (QComboBox* box : controls_.日別シフト) {
        refill(box);
    }
}

void TerminalWindow::showDayCellsOfMonth() {
    const QString month = controls_.対象年月->currentText();
    for (int d = 1; d <= 31; ++d) {
        const bool exists = parseDate(month + QStringLiteral("/") +
                                      QStringLiteral("%1").arg(d, 2, 10, QLatin1Char('0')))
                                .isValid();
        controls_.日[static_cast<size_t>(d - 1)]->setVisible(exists);
        controls_.日別シフト[static_cast<size_t>(d - 1)]->setVisible(exists);
    }
}

void TerminalWindow::endWithError(const QString& text, Icon icon) {
    if (ended_) {
        return;
    }
    message(withoutPasswords(text), icon);
    finishProgram();
    state_.Conn.reset();
    Q_EMIT programEnded(1);
    close();
}

void TerminalWindow::finishProgram() {
    ended_ = true;
    stopTidying();
    controls_.Timer->stop();
    if (manualQuery_) {
        manualQuery_->deleteLater();
        manualQuery_ = nullptr;
    }
    seams_.ntp.closeNtpServer();
}

void TerminalWindow::closeEvent(QCloseEvent* event) {
    TerminalControls& k = controls_;
    if (ended_) {
        event->accept();
        return;
    }
    if (k.INI_TEXT->isVisible()) {
        // Leaving the settings view without saving.
        k.INI_TEXT->hide();
        setCaption(punchCaption());
        event->ignore();
        k.PassWord->setFocus();
        return;
    }
    // A listing or the staff master panel (the window is wide without a listing) folds back.
    if (k.明細->isVisible() || widthTwips() != kPunchWidthTwips) {
        setWidthTwips(kPunchWidthTwips);
        showStaffPanelControls();
        k.明細->hide();
        k.MonthView1->hide();
        setCaption(punchCaption());
        event->ignore();
        k.PassWord->setFocus();
        return;
    }
    endInOrder();
    event->accept();
}

void TerminalWindow::showStaffPanelControls() {
    TerminalControls& k = controls_;
    for (QWidget* w :
         std::initializer_list<QWidget*>{k.従業員コード, k.従業員名, k.入社年月日, k.退社年月日,
                                         k.勤務シフト, k.正社員, k.契約社員, k.パート, k.アルバイト,
                                         k.派遣社員, k.残業計算無し, k.登録, k.削除, k.Frame1}) {
        w->show();
    }
}

void TerminalWindow::endInOrder() {
    if (ended_) {
        return;
    }
    finishProgram();
    if (state_.Conn) {
        try {
            WriteLog(*state_.Conn, logContext(), now(), QStringLiteral("終了"), QString());
        } catch (const DbError& e) {
            message(e.message(), Icon::Exclamation);
        }
    }
    state_.Conn.reset();
    Q_EMIT programEnded(0);
}

void TerminalWindow::endProgram() {
    if (ended_) {
        return;
    }
    endInOrder();
    close();
}

}  // namespace tq
