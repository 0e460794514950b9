#pragma once
// The independent workbook checker (verify_xls, beside the project in shared/tools/xls): it
// reads a file with its own record parser, xlrd and Spreadsheet::ParseExcel, and passes only
// when all of them agree with the expectations.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace tq::test {

struct CheckerRun {
    int exitCode = -1;  ///< 0 pass, 1 mismatches, 2 unreadable; -1 the checker did not run
    QString output;
};

/// The checker's folder; the test fails when it or its readers are missing.
QString CheckerDir();
/// Runs verify_xls on `xlsPath` with the expectations.
CheckerRun VerifyXls(const QString& xlsPath, const QJsonObject& expectations);

/// The layout every payroll sheet has: header centred, D and F:Q right-aligned, thin borders
/// on every cell of A1:Q(last row), vertical centre, widths fitted, row 1 frozen, landscape at
/// 80 %, margins 0.5/0.5/1/0/0/0 cm, print titles $1:$1, left header "&F          &A".
QJsonObject PayrollLayout();

/// One expected sheet: its name and its rows of texts ("" for an empty cell).
QJsonObject ExpectedSheet(const QString& name, const QList<QStringList>& rows);
QJsonObject Expectations(const QJsonObject& layout, const QJsonArray& sheets);

}  // namespace tq::test
