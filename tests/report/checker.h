#pragma once
// The independent reading of the workbooks the tests write: xls_check.py (beside this file)
// reads a file with xlrd and Spreadsheet::ParseExcel, and passes only when both agree with the
// expectations. Where the shared checker verify_xls stands beside the repository
// (../shared/tools/xls) it reads the file as well; without it nothing is skipped.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace tq::test {

struct CheckerRun {
    int exitCode = -1;  ///< 0 pass, 1 mismatches, 2 unreadable; -1 a checker did not run
    QString output;
};

/// Runs the checkers on `xlsPath` with the expectations: the worst exit code of those that
/// ran, and their output. A missing reader fails the test. `shared` false runs xls_check.py
/// alone.
CheckerRun VerifyXls(const QString& xlsPath, const QJsonObject& expectations, bool shared = true);

/// The layout every payroll sheet has: header centred, D and F:Q right-aligned, thin borders
/// on every cell of A1:Q(last row), vertical centre, widths fitted, row 1 frozen, landscape at
/// 80 %, margins 0.5/0.5/1/0/0/0 cm, print titles $1:$1, left header "&F          &A".
QJsonObject PayrollLayout();

/// One expected sheet: its name and its rows of texts ("" for an empty cell).
QJsonObject ExpectedSheet(const QString& name, const QList<QStringList>& rows);
QJsonObject Expectations(const QJsonObject& layout, const QJsonArray& sheets);

}  // namespace tq::test
