#pragma once
// Replacing a workbook file safely: the new contents go to a temporary file beside the
// target and are renamed over it, so a failure never leaves half a file and never destroys
// the previous one. A target open in a spreadsheet program is not replaced while it is.

#include <QByteArray>
#include <QString>
#include <functional>

namespace tq {

/// Asked when the target is in use: true to try again, false to give up.
using AskRetry = std::function<bool(const QString& message)>;

/// The lock file a spreadsheet program keeps beside a file it has open.
QString LockFilePath(const QString& target);
/// True when the target's lock file was left behind: it names this computer as the one that
/// wrote it, and no process here has the target open or locked (a spreadsheet program that
/// crashed). A lock of another computer, or one that cannot be read, is never stale.
bool StaleLock(const QString& target);
/// True while the target is open in a spreadsheet program: its lock file exists and is not
/// stale.
bool WorkbookInUse(const QString& target);
/// "Excelブック(<path>)を閉じてください。"
QString WorkbookInUseMessage(const QString& target);
/// Why a file could not be written, said like the terminal's other messages, from the
/// system's error number ("ディスクの空き容量が不足しています。" for a full disk).
QString WriteFailureCause(int errnum);

enum class ReplaceStatus { Replaced, Cancelled, Failed };

struct ReplaceResult {
    ReplaceStatus status = ReplaceStatus::Failed;
    QString error;  ///< why it failed (Failed only), in Japanese
};

/// Writes `bytes` to `target` through a temporary file in the target's folder (created when
/// missing). A stale lock file is removed. While the target is in use, `ask` gets the in-use
/// message; when it says no (or there is nobody to ask), nothing is written and the previous
/// file stays. Any other failure (a folder in the target's place, a full disk, no
/// permission) fails at once with its cause, leaving the previous file as it was.
ReplaceResult ReplaceFile(const QString& target, const QByteArray& bytes, const AskRetry& ask);

}  // namespace tq
