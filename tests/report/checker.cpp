#include "checker.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryFile>
#include <algorithm>

namespace tq::test {

namespace {

/// Runs one checker script with Debian's interpreter (which sees the packaged readers); a run
/// whose output does not name every reader it promises fails the test.
CheckerRun runChecker(const QString& script, const QStringList& args, const QString& readers) {
    CheckerRun run;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{script} + args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "the workbook checker " << script.toStdString() << " did not finish";
        return run;
    }
    run.exitCode = p.exitCode();
    run.output = QString::fromUtf8(p.readAll());
    if (!run.output.contains(readers)) {
        ADD_FAILURE() << script.toStdString() << " did not run all its readers:\n"
                      << run.output.toStdString();
    }
    return run;
}

}  // namespace

CheckerRun VerifyXls(const QString& xlsPath, const QJsonObject& expectations, bool shared) {
    QTemporaryFile json(QStringLiteral("expect-XXXXXX.json"));
    if (!json.open()) {
        ADD_FAILURE() << "cannot write the expectations file";
        return {};
    }
    json.write(QJsonDocument(expectations).toJson());
    json.flush();
    CheckerRun run = runChecker(QStringLiteral(TQ582_XLS_CHECK), {xlsPath, json.fileName()},
                                QStringLiteral("readers: xlrd, parseexcel"));
    const QString script = QStringLiteral(TQ582_SHARED_XLS_CHECKER);
    if (shared && QFileInfo::exists(script)) {
        const CheckerRun more =
            runChecker(script, {QStringLiteral("--strict"), xlsPath, json.fileName()},
                       QStringLiteral("readers: raw, xlrd, parseexcel"));
        run.exitCode =
            (run.exitCode < 0 || more.exitCode < 0) ? -1 : std::max(run.exitCode, more.exitCode);
        run.output += more.output;
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
