#pragma once
// `出力` on the window: the monthly workbook of every staff member, with a progress dialog
// when it takes a while, the in-use question, and the finished file opened on the desktop.

#include <QObject>
#include <QString>
#include <functional>

namespace tq {

class PunchScreen;
class TerminalWindow;

class ExportScreen : public QObject {
  public:
    ExportScreen(TerminalWindow& window, PunchScreen& punch);

    /// `出力`: no confirmation; afterwards the identity is cleared unless the user gave up
    /// on a workbook in use or the file could not be written.
    void run();

    /// Opens a finished workbook; by default with the desktop's program for the file type.
    /// Tests replace it.
    std::function<void(const QString& path)> openWorkbook;
    /// True when a program on this computer opens workbooks (by default
    /// DesktopOpensWorkbooks); otherwise the terminal says where the workbook was written.
    std::function<bool()> canOpenWorkbook;
    /// How long the export runs before the progress dialog appears.
    int progressDelayMs = 500;

  private:
    TerminalWindow& window_;
    PunchScreen& punch_;
    bool running_ = false;
};

/// True when the desktop has a program for .xls files: the file opener is installed and an
/// installed application is associated with their type (mimeapps.list, mimeinfo.cache).
bool DesktopOpensWorkbooks();
/// "Excelブック(<path>)を作成しました。" and why it is not opened.
QString WorkbookWrittenMessage(const QString& path);

/// Connects `出力`.
void WireExportScreen(TerminalWindow& window, PunchScreen& punch);
/// The window's export screen (nullptr before `WireExportScreen`).
ExportScreen* FindExportScreen(TerminalWindow& window);

}  // namespace tq
