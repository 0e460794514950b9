// The monthly workbook of 100 staff × 31 days written by our writer, side by side with a
// spreadsheet program converting the very same cells to .xls from a flat text file:
//
// - ours: MonthlyWorkbook + the compound file + the file written, in this process;
// - soffice, 100 sheets: `soffice --headless --convert-to xls` of a flat OpenDocument
//   spreadsheet (.fods) holding the same sheets and texts (no borders or page set-up, which
//   only spares it work);
// - soffice, one sheet: the same of a CSV with all sheets' rows one after another.
//
// Each side's figure is the median wall time of its runs; the first soffice run (a fresh
// profile) is reported apart. Without soffice on the PATH the program says "soffice not
// found" and measures only our side. Usage: bench_export_soffice [runs of soffice, default 3]

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "common/datetime.h"
#include "report/compound_file.h"
#include "report/monthly_export.h"
#include "report/xls_reader.h"

namespace {

constexpr int kStaff = 100;
constexpr int kDays = 31;
const QDate kFirst(2024, 5, 1);

/// The sheets the export makes for 100 staff with a row on each of 31 days.
std::vector<tq::StaffSheet> staffSheets() {
    static const QString weekdays[] = {
        QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"), QStringLiteral("木"),
        QStringLiteral("金"), QStringLiteral("土"), QStringLiteral("日")};
    std::vector<tq::StaffSheet> sheets;
    for (int s = 0; s < kStaff; ++s) {
        tq::StaffSheet sheet;
        sheet.name = QStringLiteral("社員 %1").arg(s + 1);
        for (int d = 0; d < kDays; ++d) {
            const QDate day = kFirst.addDays(d);
            tq::DayFigures f;
            f.日付 = tq::formatMonthDay(day);
            f.曜日 = weekdays[day.dayOfWeek() - 1];
            f.シフト = QStringLiteral("A");
            f.状態 = QStringLiteral("勤務");
            f.出勤 = QStringLiteral("8:%1").arg(25 + d % 9);
            f.退勤 = QStringLiteral("%1:45").arg(17 + (s + d) % 3);
            f.勤務 = QStringLiteral("9:20");
            f.所定 = QStringLiteral("8:00");
            f.実働 = QStringLiteral("8:20");
            f.出勤打刻 = tq::formatDate(day) + QStringLiteral(" 08:25:00");
            f.退勤打刻 = tq::formatDate(day) + QStringLiteral(" 17:45:00");
            sheet.days.push_back(f);
        }
        sheets.push_back(sheet);
    }
    return sheets;
}

QString xmlEscaped(const QString& s) {
    return s.toHtmlEscaped();
}

/// The workbook's cells as a flat OpenDocument spreadsheet: one table per sheet.
QByteArray flatOds(const tq::xls::Workbook& book) {
    QString x = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\" "
        "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">"
        "<office:body><office:spreadsheet>\n");
    for (const tq::xls::Sheet& sheet : book.sheets()) {
        x += QStringLiteral("<table:table table:name=\"%1\">").arg(xmlEscaped(sheet.name()));
        int nextRow = 0;
        for (const auto& [r, cells] : sheet.rows()) {
            if (r > nextRow) {
                x += QStringLiteral("<table:table-row table:number-rows-repeated=\"%1\"/>")
                         .arg(r - nextRow);
            }
            x += QStringLiteral("<table:table-row>");
            int nextColumn = 0;
            for (const auto& [c, cell] : cells) {
                if (c > nextColumn) {
                    x += QStringLiteral(
                             "<table:table-cell "
                             "table:number-columns-repeated=\"%1\"/>")
                             .arg(c - nextColumn);
                }
                if (cell.text.isEmpty()) {
                    x += QStringLiteral("<table:table-cell/>");
                } else {
                    // Texts stay texts, as in our workbook ("8:30" is no time value there).
                    x += QStringLiteral(
                             "<table:table-cell office:value-type=\"string\">"
                             "<text:p>%1</text:p></table:table-cell>")
                             .arg(xmlEscaped(cell.text));
                }
                nextColumn = c + 1;
            }
            x += QStringLiteral("</table:table-row>\n");
            nextRow = r + 1;
        }
        x += QStringLiteral("</table:table>\n");
    }
    x += QStringLiteral("</office:spreadsheet></office:body></office:document>\n");
    return x.toUtf8();
}

/// All sheets' rows one after another as CSV (every field quoted).
QByteArray csv(const tq::xls::Workbook& book) {
    QString out;
    for (const tq::xls::Sheet& sheet : book.sheets()) {
        for (const auto& [r, cells] : sheet.rows()) {
            QStringList fields;
            int next = 0;
            for (const auto& [c, cell] : cells) {
                for (; next < c; ++next) {
                    fields << QString();
                }
                QString t = cell.text;
                fields << u'"' + t.replace(u'"', QStringLiteral("\"\"")) + u'"';
                next = c + 1;
            }
            out += fields.join(u',') + u'\n';
        }
    }
    return out.toUtf8();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

/// Wall milliseconds of each of `runs` calls; a call returning false stops with nothing.
std::vector<double> timed(int runs, const std::function<bool()>& body) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        if (!body()) {
            return {};
        }
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    return ms;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

/// Sheets and non-empty cells of an .xls file as our reader sees them; -1 when unreadable.
std::pair<int, int> readBack(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {-1, -1};
    }
    QString error;
    const auto book = tq::xls::ReadXlsFile(f.readAll(), &error);
    if (!book) {
        return {-1, -1};
    }
    int cells = 0;
    for (const auto& s : book->sheets) {
        for (const auto& [at, cell] : s.cells) {
            cells += cell.text.isEmpty() ? 0 : 1;
        }
    }
    return {static_cast<int>(book->sheets.size()), cells};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int sofficeRuns = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir dir;
    const std::vector<tq::StaffSheet> sheets = staffSheets();
    const tq::xls::Workbook book =
        tq::MonthlyWorkbook(sheets, tq::PayrollMonth{kFirst, kFirst.addDays(30)});

    const QString ourPath = dir.filePath(QStringLiteral("ours.xls"));
    const std::vector<double> ours = timed(20, [&] {
        const auto bytes = tq::xls::XlsFileBytes(
            tq::MonthlyWorkbook(sheets, tq::PayrollMonth{kFirst, kFirst.addDays(30)}), nullptr);
        return bytes && writeFile(ourPath, *bytes);
    });
    if (ours.empty()) {
        std::fprintf(stderr, "our writer failed\n");
        return 1;
    }
    const auto [ourSheets, ourCells] = readBack(ourPath);
    const double oursMs = median(ours);
    std::printf("ours: %d sheets, %d text cells, %lld bytes, median %.1f ms of %zu runs\n",
                ourSheets, ourCells, static_cast<long long>(QFile(ourPath).size()), oursMs,
                ours.size());

    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        std::printf("soffice not found: the side-by-side figures are skipped\n");
        return 0;
    }
    // A profile of its own, so that a running office elsewhere is neither used nor disturbed.
    const QString profile =
        QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile"));
    struct Input {
        const char* label;
        QString file;
    };
    const Input inputs[] = {
        {"soffice .fods, 100 sheets", dir.filePath(QStringLiteral("month.fods"))},
        {"soffice .csv, one sheet", dir.filePath(QStringLiteral("month.csv"))},
    };
    if (!writeFile(inputs[0].file, flatOds(book)) || !writeFile(inputs[1].file, csv(book))) {
        std::fprintf(stderr, "cannot write the input files\n");
        return 1;
    }
    bool first = true;
    for (const Input& in : inputs) {
        const QString outDir = dir.filePath(QStringLiteral("out"));
        QStringList args = {profile,
                            QStringLiteral("--headless"),
                            QStringLiteral("--convert-to"),
                            QStringLiteral("xls"),
                            QStringLiteral("--outdir"),
                            outDir,
                            in.file};
        if (in.file.endsWith(QStringLiteral(".csv"))) {
            // Comma separated, quoted, UTF-8 (76), from line 1, every column text (2) so
            // that times and dates stay the texts they are in our workbook.
            QStringList columns;
            for (int c = 1; c <= 17; ++c) {
                columns << QStringLiteral("%1/2").arg(c);
            }
            args.insert(1, QStringLiteral("--infilter=CSV:44,34,76,1,") + columns.join(u'/'));
        }
        const QString result =
            QDir(outDir).filePath(QFileInfo(in.file).completeBaseName() + QStringLiteral(".xls"));
        auto convert = [&] {
            QFile::remove(result);
            QProcess p;
            p.start(soffice, args);
            return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit &&
                   p.exitCode() == 0 && QFile::exists(result);
        };
        if (first) {
            const std::vector<double> cold = timed(1, convert);
            if (cold.empty()) {
                std::fprintf(stderr, "soffice did not convert %s\n", qPrintable(in.file));
                return 1;
            }
            std::printf("soffice first run (new profile): %.1f ms\n", cold[0]);
            first = false;
        }
        const std::vector<double> runs = timed(sofficeRuns, convert);
        if (runs.empty()) {
            std::fprintf(stderr, "soffice did not convert %s\n", qPrintable(in.file));
            return 1;
        }
        const auto [theirSheets, theirCells] = readBack(result);
        const double ms = median(runs);
        std::printf(
            "%s: %d sheets, %d text cells, %lld bytes, median %.1f ms of %zu runs; "
            "ratio soffice/ours %.0f×\n",
            in.label, theirSheets, theirCells, static_cast<long long>(QFile(result).size()), ms,
            runs.size(), ms / oursMs);
    }
    return 0;
}
