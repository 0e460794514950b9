// The settings view: "TQ582.ini" edited in `INI_TEXT`, saved with the End key.
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "settings/settings_view.h"
#include "terminal/terminal_window.h"
#include "terminal/twips.h"

namespace tq {

namespace {

QString settingsFilePath(const QString& directory) {
    return QDir(directory).filePath(QStringLiteral("TQ582.ini"));
}

}  // namespace

QString SettingsUnreadableMessage(const QString& directory) {
    return QStringLiteral("設定ファイル(") + QDir::toNativeSeparators(settingsFilePath(directory)) +
           QStringLiteral(")を読み込めません。");
}

void TerminalWindow::openSettingsView() {
    TerminalControls& k = controls_;
    if (ended_ || !k.社員名->text().isEmpty()) {
        return;
    }
    setWidthTwips(kPunchWidthTwips);
    QString error;
    const std::optional<SettingsViewDocument> document =
        ReadSettingsView(settingsFilePath(state_.workingDirectory), &error);
    if (!document) {
        message(SettingsUnreadableMessage(state_.workingDirectory), Icon::Exclamation);
        return;
    }
    settingsViewEncoding_ = document->encoding;
    k.INI_TEXT->setGeometry(0, 0, centralWidget()->width(), centralWidget()->height());
    k.INI_TEXT->setPlainText(document->text);
    k.INI_TEXT->raise();
    k.INI_TEXT->show();
    setCaption(punchCaption() + QStringLiteral("  (Endキーで書き換えます)"));
    k.INI_TEXT->setFocus();
}

void TerminalWindow::saveSettingsView() {
    TerminalControls& k = controls_;
    // The editor keeps line ends as paragraph breaks; the file gets CR LF.
    const QString text = k.INI_TEXT->toPlainText();
    const QString path = settingsFilePath(state_.workingDirectory);
    // Nothing is written when the file cannot take the text: the view stays open as typed.
    QString bad;
    if (!SettingsFileBytes(text, settingsViewEncoding_, &bad)) {
        message(
            QStringLiteral("「") + bad + QStringLiteral("」は設定ファイルに書き込めない文字です。"),
            Icon::Exclamation);
        return;
    }
    QString error;
    if (!WriteSettingsView(path, text, settingsViewEncoding_, &error)) {
        message(QStringLiteral("設定ファイル(") + QDir::toNativeSeparators(path) +
                    QStringLiteral(")に書き込めません。"),
                Icon::Exclamation);
        return;
    }
    k.INI_TEXT->hide();
    setCaption(punchCaption());
    QString loadError;
    std::optional<LoadedSettings> loaded =
        LoadSettingsFile(state_.workingDirectory, QStringLiteral("TQ582.ini"), &loadError);
    if (loaded) {
        state_.settings = std::move(loaded->settings);
        state_.settingsEncoding = loaded->encoding;
        fillShiftLists();
    } else {
        message(SettingsUnreadableMessage(state_.workingDirectory), Icon::Exclamation);
    }
    k.PassWord->setFocus();
}

bool TerminalWindow::eventFilter(QObject* watched, QEvent* event) {
    TerminalControls& k = controls_;
    if (watched == k.PassWord && event->type() == QEvent::FocusIn) {
        // The punch screen's code box always brings the window back to its own width.
        setWidthTwips(kPunchWidthTwips);
    } else if (watched == k.INI_TEXT && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_End) {
        saveSettingsView();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace tq
