#pragma once
// A small reader of BIFF8 workbook streams: the records, and what the writer puts in them
// (sheet names, shared strings, cells with their formats, column widths, frozen rows, page
// set-up, print titles). It reads any bytes without harm: malformed input gives an error.

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>
#include <vector>

#include "report/xls_writer.h"

namespace tq::xls {

struct Record {
    quint16 type = 0;
    qsizetype offset = 0;  ///< stream position of the record's header
    QByteArray data;
};

/// Splits a stream into records. `error` is set (and the records so far returned) when a
/// record runs past the end or is longer than the format allows.
std::vector<Record> ReadRecords(const QByteArray& stream, QString* error);

/// The parts of one XF record that cells use.
struct ReadFormat {
    int font = 0;  ///< the font index as stored
    bool style = false;
    HAlign horizontal = HAlign::General;
    VAlign vertical = VAlign::Bottom;
    int left = 0, right = 0, top = 0, bottom = 0;  ///< line styles (1 = thin)
};

struct ReadCell {
    bool blank = false;  ///< a BLANK / MULBLANK cell; otherwise a text cell
    QString text;
    int xf = 0;
};

struct ReadSheet {
    QString name;
    quint32 offset = 0;                             ///< the BOUNDSHEET position
    std::map<std::pair<int, int>, ReadCell> cells;  ///< by (row, column)
    std::map<int, int> columnWidths;                ///< COLINFO widths, 1/256 character
    std::map<int, int> columnXfs;
    int frozenRows = 0;      ///< from WINDOW2 + PANE
    int scalePercent = 0;    ///< SETUP
    bool landscape = false;  ///< SETUP
    bool noPrinterSettings = true;
    double leftMargin = -1, rightMargin = -1, topMargin = -1, bottomMargin = -1;
    double headerMargin = -1, footerMargin = -1;
    QString header, footer;
    int dimensionRows = 0, dimensionColumns = 0;  ///< DIMENSIONS last + 1
    /// The text of a cell, "" when it has none.
    QString text(int row, int column) const;
};

struct ReadBook {
    std::vector<ReadSheet> sheets;
    std::vector<QString> strings;
    std::vector<ReadFormat> formats;
    int fontRecords = 0;
    /// Print titles: sheet index → first and last row.
    std::map<int, std::pair<int, int>> printTitles;
};

/// Reads a Workbook stream; nothing and `error` set when it is malformed.
std::optional<ReadBook> ReadWorkbookStream(const QByteArray& stream, QString* error);
/// Reads an .xls file's bytes (the compound file and its Workbook stream).
std::optional<ReadBook> ReadXlsFile(const QByteArray& file, QString* error);

}  // namespace tq::xls
