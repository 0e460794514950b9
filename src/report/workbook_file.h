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
/// True while the target is open in a spreadsheet program (its lock file exists).
bool WorkbookInUse(const QString& target);
/// "Excelブック(<path>)を閉じてください。"
QString WorkbookInUseMessage(const QString& target);

enum class ReplaceStatus { Replaced, Cancelled, Failed };

struct ReplaceResult {
    ReplaceStatus status = ReplaceStatus::Failed;
    QString error;  ///< why it failed (Failed only)
};

/// Writes `bytes` to `target` through a temporary file in the target's folder (created when
/// missing). While the target is in use or cannot be replaced, `ask` gets the in-use message;
/// when it says no (or there is nobody to ask), nothing is written and the previous file stays.
ReplaceResult ReplaceFile(const QString& target, const QByteArray& bytes, const AskRetry& ask);

}  // namespace tq
