// The workbook writer on random sheets, texts, formats and page set-ups. Every workbook it
// accepts is written as an .xls file, read back by the project's record reader and must
// agree with what was written; every workbook it refuses must have had a reason to be.
#include <fuzzer/FuzzedDataProvider.h>

#include <QSet>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

#include "report/compound_file.h"
#include "report/xls_reader.h"
#include "report/xls_writer.h"

namespace {

using tq::xls::CellFormat;
using tq::xls::HAlign;
using tq::xls::VAlign;

[[noreturn]] void fail() {
    std::abort();
}

/// A text from the input: UTF-8 (usually) or raw UTF-16 units, lone surrogates included.
QString text(FuzzedDataProvider& in, size_t maxBytes) {
    const bool raw = in.ConsumeIntegralInRange(0, 3) == 0;
    const std::string bytes = in.ConsumeRandomLengthString(maxBytes);
    if (!raw) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    QString s;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        s.append(QChar(static_cast<char16_t>(static_cast<quint8>(bytes[i]) |
                                             static_cast<quint8>(bytes[i + 1]) << 8)));
    }
    return s;
}

/// Mostly small positions (so cells share rows and runs of blanks form), sometimes anywhere,
/// sometimes outside the sheet.
int position(FuzzedDataProvider& in, int limit) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
            return in.ConsumeIntegralInRange(-3, limit + 3);
        case 1:
            return limit - 1 - in.ConsumeIntegralInRange(0, 3);
        default:
            return in.ConsumeIntegralInRange(0, 40);
    }
}

struct Expected {
    QString text;
    int format = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    tq::xls::Font base;
    if (in.ConsumeBool()) {
        base.name = text(in, 40);
        base.points = in.ConsumeIntegralInRange(1, 72);
        base.bold = in.ConsumeBool();
    }
    tq::xls::Workbook book(base);
    bool refusable = false;  // something the writer is right to refuse
    const int fonts = in.ConsumeIntegralInRange(0, 5);
    for (int i = 0; i < fonts; ++i) {
        tq::xls::Font f;
        f.name = text(in, 32);
        f.points = in.ConsumeIntegralInRange(1, 72);
        f.bold = in.ConsumeBool();
        book.addFont(f);
    }
    const int fontCount = static_cast<int>(book.fonts().size());
    const int formatsToAdd = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < formatsToAdd; ++i) {
        CellFormat f;
        f.horizontal = static_cast<HAlign>(in.ConsumeIntegralInRange(0, 3));
        f.vertical = static_cast<VAlign>(in.ConsumeIntegralInRange(0, 2));
        f.thinBorders = in.ConsumeBool();
        f.font = in.ConsumeIntegralInRange(0, fontCount);  // fontCount: no such font
        refusable |= f.font == fontCount;
        book.addFormat(f);
    }
    const int formatCount = static_cast<int>(book.formats().size());

    std::vector<std::map<std::pair<int, int>, Expected>> expected;
    QSet<QString> names;
    const int sheets = in.ConsumeIntegralInRange(0, 4);
    refusable |= sheets == 0;
    for (int s = 0; s < sheets; ++s) {
        QString name;
        if (in.ConsumeBool()) {
            name = text(in, 40);
        } else {
            name = QStringLiteral("Sheet%1").arg(in.ConsumeIntegralInRange(0, 5));
        }
        refusable |= !tq::xls::IsValidSheetName(name) || names.contains(name.toCaseFolded());
        names.insert(name.toCaseFolded());
        tq::xls::Sheet& sheet = book.addSheet(name);
        auto& cells = expected.emplace_back();
        const int ops = in.ConsumeIntegralInRange(0, 60);
        for (int i = 0; i < ops && in.remaining_bytes() > 0; ++i) {
            const int row = position(in, tq::xls::kMaxRows);
            const int column = position(in, tq::xls::kMaxColumns);
            const int format = in.ConsumeIntegralInRange(0, formatCount);
            const QString t = in.ConsumeBool() ? QString() : text(in, 64);
            sheet.setText(row, column, t, format);
            if (row >= 0 && row < tq::xls::kMaxRows && column >= 0 &&
                column < tq::xls::kMaxColumns) {
                cells[{row, column}] = Expected{t, format};
            }
        }
        for (const auto& [at, cell] : cells) {
            refusable |= cell.format == formatCount;  // the last format given to a cell counts
        }
        if (in.ConsumeBool()) {
            const int column = position(in, tq::xls::kMaxColumns);
            const int format = in.ConsumeIntegralInRange(0, formatCount);
            sheet.setColumnFormat(column, format);
            refusable |= column >= 0 && column < tq::xls::kMaxColumns && format == formatCount;
        }
        sheet.freezeRows(in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegralInRange(0, 8)
                                                              : 0);
        tq::xls::PageSetup& p = sheet.pageSetup();
        p.scalePercent = in.ConsumeIntegralInRange(-10, 500);
        p.landscape = in.ConsumeBool();
        p.leftMargin = in.ConsumeIntegralInRange(0, 400) / 100.0;
        p.headerLeft = text(in, 40);
        p.headerRight = text(in, 40);
        p.footerCentre = text(in, 40);
        if (in.ConsumeBool()) {
            const int first = in.ConsumeIntegralInRange(0, 10);
            p.printTitleRows = std::pair{first, first + in.ConsumeIntegralInRange(0, 3)};
        }
    }

    QString error;
    const std::optional<QByteArray> file = tq::xls::XlsFileBytes(book, &error);
    if (!file) {
        // A refusal needs a reason and says what it is.
        if (!refusable || error.isEmpty()) {
            fail();
        }
        return 0;
    }
    if (refusable) {
        fail();
    }
    const std::optional<tq::xls::ReadBook> read = tq::xls::ReadXlsFile(*file, &error);
    if (!read || read->sheets.size() != static_cast<size_t>(sheets)) {
        fail();
    }
    for (int s = 0; s < sheets; ++s) {
        const tq::xls::Sheet& written = book.sheets()[static_cast<size_t>(s)];
        const tq::xls::ReadSheet& back = read->sheets[static_cast<size_t>(s)];
        if (back.name != written.name() || back.cells.size() != expected[s].size()) {
            fail();
        }
        for (const auto& [at, want] : expected[s]) {
            const auto got = back.cells.find(at);
            if (got == back.cells.end() || got->second.blank != want.text.isEmpty() ||
                got->second.text != want.text.left(32767)) {
                fail();
            }
            // The cell's format as read: its alignment and borders are the ones given.
            const int xf = got->second.xf;
            if (xf < 0 || static_cast<size_t>(xf) >= read->formats.size()) {
                fail();
            }
            const tq::xls::ReadFormat& rf = read->formats[static_cast<size_t>(xf)];
            const CellFormat& wf = book.formats()[static_cast<size_t>(want.format)];
            const int line = wf.thinBorders ? 1 : 0;
            if (rf.style || rf.horizontal != wf.horizontal || rf.vertical != wf.vertical ||
                rf.left != line || rf.right != line || rf.top != line || rf.bottom != line) {
                fail();
            }
        }
        for (int c = 0; c < tq::xls::kMaxColumns; ++c) {
            const std::optional<int> width = written.fittedWidth(c);
            if (width && (!back.columnWidths.contains(c) || back.columnWidths.at(c) != *width)) {
                fail();
            }
        }
        if (back.frozenRows != written.frozenRows() ||
            back.landscape != written.pageSetup().landscape ||
            back.scalePercent != std::clamp(written.pageSetup().scalePercent, 10, 400)) {
            fail();
        }
        const auto titles = read->printTitles.find(s);
        const auto& wantTitles = written.pageSetup().printTitleRows;
        if (wantTitles.has_value() != (titles != read->printTitles.end()) ||
            (wantTitles && titles->second != *wantTitles)) {
            fail();
        }
    }
    return 0;
}
