#include "checker.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryFile>

namespace tq::test {

QString CheckerDir() {
    return QStringLiteral(TQ582_XLS_CHECKER);
}

CheckerRun VerifyXls(const QString& xlsPath, const QJsonObject& expectations) {
    CheckerRun run;
    const QString script = CheckerDir() + QStringLiteral("/verify_xls");
    if (!QFileInfo::exists(script)) {
        ADD_FAILURE() << "the workbook checker is missing: " << script.toStdString();
        return run;
    }
    QTemporaryFile json(QStringLiteral("expect-XXXXXX.json"));
    if (!json.open()) {
        ADD_FAILURE() << "cannot write the expectations file";
        return run;
    }
    json.write(QJsonDocument(expectations).toJson());
    json.flush();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // Debian's interpreter, which sees the packaged readers.
    p.start(QStringLiteral("/usr/bin/python3"),
            {script, QStringLiteral("--strict"), xlsPath, json.fileName()});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "the workbook checker did not finish";
        return run;
    }
    run.exitCode = p.exitCode();
    run.output = QString::fromUtf8(p.readAll());
    // All three readers must have read the file: a missing reader is a failure, not a pass.
    if (!run.output.contains(QStringLiteral("readers: raw, xlrd, parseexcel"))) {
        ADD_FAILURE() << "the checker did not run all three readers:\n" << run.output.toStdString();
    }
    return run;
}

QJsonObject PayrollLayout() {
    return QJsonObject{
        {QStringLiteral("columns"), QStringLiteral("A:Q")},
        {QStringLiteral("header_row_centered"), true},
        {QStringLiteral("right_aligned"), QJsonArray{QStringLiteral("D"), QStringLiteral("F:Q")}},
        {QStringLiteral("borders"),
         QJsonObject{{QStringLiteral("range_rows"), QStringLiteral("all")},
                     {QStringLiteral("style"), QStringLiteral("thin")},
                     {QStringLiteral("mode"), QStringLiteral("cell")}}},
        {QStringLiteral("vertical_center"),
         QJsonObject{{QStringLiteral("columns"), QStringLiteral("A:Q")},
                     {QStringLiteral("column_format"), true}}},
        {QStringLiteral("autofit"), QJsonObject{{QStringLiteral("min_ratio"), 0.8},
                                                {QStringLiteral("max_ratio"), 1.6},
                                                {QStringLiteral("max_pad_chars"), 4}}},
        {QStringLiteral("freeze"),
         QJsonObject{{QStringLiteral("rows"), 1}, {QStringLiteral("cols"), 0}}},
        {QStringLiteral("landscape"), true},
        {QStringLiteral("print_scale"), 80},
        {QStringLiteral("margins_cm"), QJsonObject{{QStringLiteral("top"), 0.5},
                                                   {QStringLiteral("bottom"), 0.5},
                                                   {QStringLiteral("left"), 1.0},
                                                   {QStringLiteral("right"), 0},
                                                   {QStringLiteral("header"), 0},
                                                   {QStringLiteral("footer"), 0}}},
        {QStringLiteral("margin_tolerance_in"), 0.01},
        {QStringLiteral("print_title_rows"), QStringLiteral("$1:$1")},
        {QStringLiteral("header"),
         QJsonObject{{QStringLiteral("left"), QStringLiteral("&F          &A")},
                     {QStringLiteral("center"), QString()},
                     {QStringLiteral("right"), QString()}}},
    };
}

QJsonObject ExpectedSheet(const QString& name, const QList<QStringList>& rows) {
    QJsonArray jsonRows;
    for (const QStringList& r : rows) {
        jsonRows.append(QJsonArray::fromStringList(r));
    }
    return QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("rows"), jsonRows}};
}

QJsonObject Expectations(const QJsonObject& layout, const QJsonArray& sheets) {
    return QJsonObject{{QStringLiteral("layout"), layout}, {QStringLiteral("sheets"), sheets}};
}

}  // namespace tq::test
