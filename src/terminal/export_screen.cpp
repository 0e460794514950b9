#include "terminal/export_screen.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <memory>

#include "report/monthly_export.h"
#include "terminal/punch_screen.h"
#include "terminal/terminal_window.h"

namespace tq {

namespace {

const QString kObjectName = QStringLiteral("exportScreen");

/// The desktop file ids that one association list gives the types, [Removed Associations]
/// left out.
QStringList associated(const QString& listPath, const QStringList& types) {
    QFile f(listPath);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QStringList ids;
    bool removed = false;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            removed = line == u"[Removed Associations]";
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (removed || eq < 0 || !types.contains(line.left(eq).trimmed())) {
            continue;
        }
        ids += line.mid(eq + 1).split(u';', Qt::SkipEmptyParts);
    }
    return ids;
}

}  // namespace

bool DesktopOpensWorkbooks() {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) {
        return false;
    }
    // The type of .xls files and its other names.
    const QStringList types{QStringLiteral("application/vnd.ms-excel"),
                            QStringLiteral("application/msexcel"),
                            QStringLiteral("application/x-msexcel")};
    const QStringList appDirs =
        QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    QStringList lists;
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        lists << dir + QStringLiteral("/mimeapps.list");
    }
    for (const QString& dir : appDirs) {
        lists << dir + QStringLiteral("/mimeapps.list") << dir + QStringLiteral("/defaults.list")
              << dir + QStringLiteral("/mimeinfo.cache");
    }
    for (const QString& list : lists) {
        for (const QString& id : associated(list, types)) {
            for (const QString& dir : appDirs) {
                if (QFileInfo::exists(dir + u'/' + id.trimmed())) {
                    return true;
                }
            }
        }
    }
    return false;
}

QString WorkbookWrittenMessage(const QString& path) {
    return QStringLiteral("Excelブック(") + path +
           QStringLiteral(")を作成しました。\nこのコンピュータには開くプログラムがありません。");
}

ExportScreen::ExportScreen(TerminalWindow& window, PunchScreen& punch)
    : QObject(&window), window_(window), punch_(punch) {
    setObjectName(kObjectName);
    openWorkbook = [](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    canOpenWorkbook = DesktopOpensWorkbooks;
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
    // The progress dialog goes before a question is asked: shown over the question it would
    // take the input from it, and the window could never be answered again.
    auto closeProgress = [&] {
        if (progress) {
            // The dialog had the focus: the window takes it back.
            progress.reset();
            window_.activateWindow();
            QCoreApplication::processEvents();
        }
    };
    auto ask = [&](const QString& message) {
        closeProgress();
        return window_.askOkCancel(message, Icon::Exclamation);
    };

    ExportResult result;
    const bool ran = window_.guard([&] {
        result = ExportMonthlyWorkbook(*state.Conn, state.settings, now, folder, report, ask);
    });
    closeProgress();
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
    if (result.status != ExportStatus::Written) {
        return;
    }
    if (canOpenWorkbook && !canOpenWorkbook()) {
        window_.showMessage(Message{WorkbookWrittenMessage(result.path), Icon::Information});
    } else if (openWorkbook) {
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
