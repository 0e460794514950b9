#include "terminal/export_screen.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>
#include <memory>

#include "report/monthly_export.h"
#include "terminal/punch_screen.h"
#include "terminal/terminal_window.h"

namespace tq {

namespace {

const QString kObjectName = QStringLiteral("exportScreen");

}  // namespace

ExportScreen::ExportScreen(TerminalWindow& window, PunchScreen& punch)
    : QObject(&window), window_(window), punch_(punch) {
    setObjectName(kObjectName);
    openWorkbook = [](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
}

void ExportScreen::run() {
    TerminalState& state = window_.state();
    if (running_ || !state.Conn) {
        return;
    }
    running_ = true;
    const QDateTime now = window_.runClockCheck();
    const QString workDir =
        state.workingDirectory.isEmpty() ? QDir::currentPath() : state.workingDirectory;
    const QString folder = QDir(workDir).absoluteFilePath(QStringLiteral("../EXCEL"));

    std::unique_ptr<QProgressDialog> progress;
    auto report = [&](const QString& name, int index, int count) {
        if (!progress) {
            progress = std::make_unique<QProgressDialog>(&window_);
            progress->setObjectName(QStringLiteral("出力中"));
            progress->setWindowTitle(window_.caption());
            progress->setCancelButton(nullptr);
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(progressDelayMs);
            progress->setRange(0, count);
            progress->setValue(0);
        }
        progress->setLabelText(name + QStringLiteral(" のシートを作成しています…"));
        progress->setValue(index);
        QCoreApplication::processEvents();
    };
    auto ask = [this](const QString& message) {
        return window_.askOkCancel(message, Icon::Exclamation);
    };

    ExportResult result;
    const bool ran = window_.guard([&] {
        result = ExportMonthlyWorkbook(*state.Conn, state.settings, now, folder, report, ask);
    });
    if (progress) {
        // The dialog had the focus: the window takes it back before `PassWord` gets it.
        progress.reset();
        window_.activateWindow();
        QCoreApplication::processEvents();
    }
    running_ = false;
    if (!ran) {
        return;
    }
    if (result.status == ExportStatus::Cancelled) {
        return;
    }
    window_.showOutcome(result.outcome);
    if (result.status == ExportStatus::Failed) {
        return;
    }
    punch_.clearIdentity();
    window_.controls().PassWord->setFocus(Qt::OtherFocusReason);
    if (result.status == ExportStatus::Written && openWorkbook) {
        openWorkbook(result.path);
    }
}

void WireExportScreen(TerminalWindow& window, PunchScreen& punch) {
    auto* screen = new ExportScreen(window, punch);
    QObject::connect(window.controls().出力, &QPushButton::clicked, screen,
                     [screen] { screen->run(); });
}

ExportScreen* FindExportScreen(TerminalWindow& window) {
    return dynamic_cast<ExportScreen*>(
        window.findChild<QObject*>(kObjectName, Qt::FindDirectChildrenOnly));
}

}  // namespace tq
