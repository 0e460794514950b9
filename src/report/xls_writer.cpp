#include "report/xls_writer.h"

#include <unicode/uchar.h>

#include <QHash>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace tq::xls {

namespace {

// Record types written here.
enum : quint16 {
    kBof = 0x0809,
    kEof = 0x000A,
    kCodePage = 0x0042,
    kWindow1 = 0x003D,
    kDate1904 = 0x0022,
    kFont = 0x0031,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kBoundSheet = 0x0085,
    kSupBook = 0x01AE,
    kExternSheet = 0x0017,
    kName = 0x0018,
    kSst = 0x00FC,
    kExtSst = 0x00FF,
    kContinue = 0x003C,
    kWsBool = 0x0081,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kLeftMargin = 0x0026,
    kRightMargin = 0x0027,
    kTopMargin = 0x0028,
    kBottomMargin = 0x0029,
    kSetup = 0x00A1,
    kDefColWidth = 0x0055,
    kColInfo = 0x007D,
    kDimensions = 0x0200,
    kRow = 0x0208,
    kLabelSst = 0x00FD,
    kBlank = 0x0201,
    kMulBlank = 0x00BE,
    kWindow2 = 0x023E,
    kPane = 0x0041,
    kSelection = 0x001D,
};

constexpr int kBuiltInXfs = 16;  ///< 15 style formats and the default cell format
constexpr int kBlackColour = 8;
constexpr quint16 kCodePageUtf16 = 1200;

/// Little-endian data of one record.
class Data {
  public:
    Data& u8(int v) {
        bytes_.append(static_cast<char>(v & 0xFF));
        return *this;
    }
    Data& u16(int v) {
        const quint16 le = qToLittleEndian(static_cast<quint16>(v));
        bytes_.append(reinterpret_cast<const char*>(&le), 2);
        return *this;
    }
    Data& u32(quint32 v) {
        const quint32 le = qToLittleEndian(v);
        bytes_.append(reinterpret_cast<const char*>(&le), 4);
        return *this;
    }
    Data& f64(double v) {
        quint64 bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        const quint64 le = qToLittleEndian(bits);
        bytes_.append(reinterpret_cast<const char*>(&le), 8);
        return *this;
    }
    Data& raw(const QByteArray& b) {
        bytes_.append(b);
        return *this;
    }
    const QByteArray& bytes() const { return bytes_; }
    qsizetype size() const { return bytes_.size(); }

  private:
    QByteArray bytes_;
};

/// True when every character fits one byte (the compressed form of a BIFF8 string).
bool fitsOneByte(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x100; });
}

/// The characters of a string in the form its option byte names: one byte each when they
/// all fit, UTF-16LE otherwise.
QByteArray stringChars(const QString& s, bool wide) {
    QByteArray out;
    out.reserve(s.size() * (wide ? 2 : 1));
    for (QChar c : s) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        if (wide) {
            out.append(static_cast<char>(c.unicode() >> 8));
        }
    }
    return out;
}

/// A string with a one-byte length (sheet and font names).
Data& shortString(Data& d, const QString& s) {
    const bool wide = !fitsOneByte(s);
    return d.u8(static_cast<int>(s.size())).u8(wide ? 1 : 0).raw(stringChars(s, wide));
}

/// A string with a two-byte length (header and footer texts).
Data& longString(Data& d, const QString& s) {
    const bool wide = !fitsOneByte(s);
    return d.u16(static_cast<int>(s.size())).u8(wide ? 1 : 0).raw(stringChars(s, wide));
}

/// A stream of records.
class Stream {
  public:
    void record(quint16 type, const QByteArray& data) {
        Data header;
        header.u16(type).u16(static_cast<int>(data.size()));
        bytes_.append(header.bytes()).append(data);
    }
    void record(quint16 type, const Data& data) { record(type, data.bytes()); }
    qsizetype size() const { return bytes_.size(); }
    QByteArray& bytes() { return bytes_; }

  private:
    QByteArray bytes_;
};

void bof(Stream& s, int substreamType) {
    s.record(kBof, Data().u16(0x0600).u16(substreamType).u16(0x0DBB).u16(0x07CC).u32(0).u32(6));
}

/// The shared string table: unique texts in order of first use.
class StringTable {
  public:
    int index(const QString& text) {
        ++total_;
        const auto it = indexes_.constFind(text);
        if (it != indexes_.constEnd()) {
            return it.value();
        }
        const int i = static_cast<int>(strings_.size());
        indexes_.insert(text, i);
        strings_.push_back(text);
        return i;
    }

    /// Writes SST, its CONTINUE records and EXTSST at the end of `s`. A string that does not
    /// fit the rest of a record continues in the next one, whose first byte repeats the
    /// option byte; a string's length, option byte and first character are never split.
    void write(Stream& s) const {
        const int perBucket = std::max(8, static_cast<int>((strings_.size() + 127) / 128));
        struct BucketStart {
            quint32 streamPos;
            int recordOffset;
        };
        std::vector<BucketStart> buckets;

        QByteArray record;
        Data head;
        head.u32(static_cast<quint32>(total_)).u32(static_cast<quint32>(strings_.size()));
        record = head.bytes();
        quint16 type = kSst;
        qsizetype recordStart = s.size();  // stream position of the current record's header
        auto flush = [&] {
            s.record(type, record);
            record.clear();
            type = kContinue;
            recordStart = s.size();
        };

        for (size_t i = 0; i < strings_.size(); ++i) {
            const QString& text = strings_[i];
            const bool wide = !fitsOneByte(text);
            const int charSize = wide ? 2 : 1;
            const int header = 3;
            const int first = text.isEmpty() ? 0 : charSize;
            if (record.size() + header + first > kMaxRecordData) {
                flush();
            }
            if (i % static_cast<size_t>(perBucket) == 0) {
                const int offset = static_cast<int>(record.size()) + 4;
                buckets.push_back({static_cast<quint32>(recordStart + offset), offset});
            }
            Data h;
            h.u16(static_cast<int>(text.size())).u8(wide ? 1 : 0);
            record.append(h.bytes());
            const QByteArray chars = stringChars(text, wide);
            qsizetype done = 0;
            while (done < chars.size()) {
                qsizetype room = kMaxRecordData - record.size();
                room -= room % charSize;
                if (room <= 0) {
                    flush();
                    record.append(static_cast<char>(wide ? 1 : 0));
                    continue;
                }
                const qsizetype n = std::min(room, chars.size() - done);
                record.append(chars.constData() + done, n);
                done += n;
            }
        }
        flush();

        Data ext;
        ext.u16(perBucket);
        for (const BucketStart& b : buckets) {
            ext.u32(b.streamPos).u16(b.recordOffset).u16(0);
        }
        s.record(kExtSst, ext);
    }

  private:
    std::vector<QString> strings_;
    QHash<QString, int> indexes_;
    int total_ = 0;
};

/// One XF record. Style formats (0..14) have no parent; cell formats name style 0.
Data xfRecord(int font, bool style, const CellFormat& f) {
    Data d;
    const int fontIndex = font >= 4 ? font + 1 : font;  // font index 4 does not exist
    d.u16(fontIndex).u16(0);
    d.u16(style ? 0xFFF5 : 0x0001);  // locked; style flag and parent 0xFFF, or parent 0
    d.u8(static_cast<int>(f.horizontal) | (static_cast<int>(f.vertical) << 4));
    d.u8(0);  // rotation
    d.u8(0);  // indent, shrink, reading order
    int used = 0;
    if (style) {
        used = 0;
    } else {
        used = 0x10 | 0x20 | (font != 0 ? 0x08 : 0);  // alignment, border, font differ
    }
    d.u8(used);
    if (f.thinBorders) {
        d.u16(0x1111);                              // thin left, right, top, bottom
        d.u16(kBlackColour | (kBlackColour << 7));  // left and right colours
        d.u32(kBlackColour | (kBlackColour << 7));  // top and bottom colours, no diagonal
    } else {
        d.u16(0).u16(0).u32(0);
    }
    d.u16(0x40 | (0x41 << 7));  // pattern colours: system foreground and background
    return d;
}

Data fontRecord(const Font& f) {
    Data d;
    d.u16(f.points * 20).u16(0).u16(0x7FFF).u16(f.bold ? 700 : 400).u16(0).u8(0).u8(0);
    d.u8(f.charset).u8(0);
    shortString(d, f.name);
    return d;
}

/// The sheet substream of one sheet.
/// The height of a row in twips for the default font: 13.5 pt for 11 pt, as spreadsheet
/// programs size rows of Japanese text.
int rowHeight(const Font& font) {
    return std::clamp((font.points * 270 + 5) / 11, 20, 8179);
}

QByteArray sheetStream(const Sheet& sheet, bool first, int rowTwips, StringTable& sst) {
    Stream s;
    bof(s, 0x0010);
    s.record(kWsBool, Data().u16(0x04C1));  // fit-to-page off, so the print scale counts

    const PageSetup& p = sheet.pageSetup();
    auto sections = [](const QString& l, const QString& c, const QString& r) {
        QString t;
        if (!l.isEmpty()) {
            t += QStringLiteral("&L") + l;
        }
        if (!c.isEmpty()) {
            t += QStringLiteral("&C") + c;
        }
        if (!r.isEmpty()) {
            t += QStringLiteral("&R") + r;
        }
        return t.left(255);
    };
    const QString header = sections(p.headerLeft, p.headerCentre, p.headerRight);
    const QString footer = sections(p.footerLeft, p.footerCentre, p.footerRight);
    Data h;
    if (!header.isEmpty()) {
        longString(h, header);
    }
    s.record(kHeader, h);
    Data f;
    if (!footer.isEmpty()) {
        longString(f, footer);
    }
    s.record(kFooter, f);
    s.record(kHCenter, Data().u16(0));
    s.record(kVCenter, Data().u16(0));
    s.record(kLeftMargin, Data().f64(p.leftMargin));
    s.record(kRightMargin, Data().f64(p.rightMargin));
    s.record(kTopMargin, Data().f64(p.topMargin));
    s.record(kBottomMargin, Data().f64(p.bottomMargin));
    Data setup;
    setup.u16(p.paperSize).u16(std::clamp(p.scalePercent, 10, 400)).u16(1).u16(1).u16(1);
    setup.u16(p.landscape ? 0x0000 : 0x0002);  // fPortrait; fNoPls clear: the values count
    setup.u16(600).u16(600).f64(p.headerMargin).f64(p.footerMargin).u16(1);
    s.record(kSetup, setup);

    s.record(kDefColWidth, Data().u16(8));
    int lastColumn = -1;
    int lastRow = -1;
    for (const auto& [r, cells] : sheet.rows()) {
        if (!cells.empty()) {
            lastRow = std::max(lastRow, r);
            lastColumn = std::max(lastColumn, cells.rbegin()->first);
        }
    }
    int widthColumns = lastColumn;
    for (const auto& [c, format] : sheet.columnFormats()) {
        widthColumns = std::max(widthColumns, c);
    }
    for (int c = 0; c <= widthColumns; ++c) {
        const std::optional<int> width = sheet.fittedWidth(c);
        const auto fmt = sheet.columnFormats().find(c);
        if (!width && fmt == sheet.columnFormats().end()) {
            continue;
        }
        const int xf = fmt == sheet.columnFormats().end() ? 15 : kBuiltInXfs + fmt->second;
        const int coldx = width.value_or(8 * 256 + 0xB6);
        s.record(kColInfo, Data().u16(c).u16(c).u16(coldx).u16(xf).u16(width ? 0x0006 : 0).u16(0));
    }
    s.record(kDimensions, Data()
                              .u32(lastRow < 0 ? 0 : sheet.rows().begin()->first)
                              .u32(static_cast<quint32>(lastRow + 1))
                              .u16(0)
                              .u16(lastColumn + 1)
                              .u16(0));

    // Rows in blocks of 32: the block's ROW records, then its cells.
    std::vector<std::pair<int, const std::map<int, Sheet::Cell>*>> rows;
    for (const auto& [r, cells] : sheet.rows()) {
        if (!cells.empty()) {
            rows.emplace_back(r, &cells);
        }
    }
    for (size_t block = 0; block < rows.size(); block += 32) {
        const size_t end = std::min(rows.size(), block + 32);
        for (size_t i = block; i < end; ++i) {
            const auto& cells = *rows[i].second;
            s.record(kRow, Data()
                               .u16(rows[i].first)
                               .u16(cells.begin()->first)
                               .u16(cells.rbegin()->first + 1)
                               .u16(rowTwips)
                               .u16(0)
                               .u16(0)
                               .u16(0x0100)
                               .u16(0x000F));
        }
        for (size_t i = block; i < end; ++i) {
            const int r = rows[i].first;
            const auto& cells = *rows[i].second;
            for (auto it = cells.begin(); it != cells.end();) {
                const int xf = kBuiltInXfs + it->second.format;
                if (!it->second.text.isEmpty()) {
                    const int isst = sst.index(it->second.text);
                    s.record(kLabelSst,
                             Data().u16(r).u16(it->first).u16(xf).u32(static_cast<quint32>(isst)));
                    ++it;
                    continue;
                }
                // A run of adjacent blank cells is one MULBLANK.
                auto runEnd = it;
                int column = it->first;
                Data blanks;
                blanks.u16(r).u16(column);
                while (runEnd != cells.end() && runEnd->first == column &&
                       runEnd->second.text.isEmpty()) {
                    blanks.u16(kBuiltInXfs + runEnd->second.format);
                    ++runEnd;
                    ++column;
                }
                if (column - it->first == 1) {
                    s.record(kBlank, Data().u16(r).u16(it->first).u16(xf));
                } else {
                    blanks.u16(column - 1);
                    s.record(kMulBlank, blanks);
                }
                it = runEnd;
            }
        }
    }

    const bool frozen = sheet.frozenRows() > 0;
    int grbit = 0x0002 | 0x0004 | 0x0010 | 0x0020 | 0x0080;
    if (first) {
        grbit |= 0x0200 | 0x0400;  // selected and shown
    }
    if (frozen) {
        grbit |= 0x0008 | 0x0100;
    }
    s.record(kWindow2,
             Data().u16(grbit).u16(0).u16(0).u16(0x40).u16(0).u16(0).u16(0).u16(0).u16(0));
    if (frozen) {
        const int y = sheet.frozenRows();
        s.record(kPane, Data().u16(0).u16(y).u16(y).u16(0).u8(2).u8(0));
        s.record(kSelection, Data().u8(2).u16(y).u16(0).u16(0).u16(1).u16(y).u16(y).u8(0).u8(0));
    }
    s.record(kEof, QByteArray());
    return s.bytes();
}

}  // namespace

int DisplayWidth(const QString& text) {
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        const int eaw = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_EAST_ASIAN_WIDTH);
        width += (eaw == U_EA_WIDE || eaw == U_EA_FULLWIDTH || eaw == U_EA_AMBIGUOUS) ? 2 : 1;
    }
    return width;
}

bool IsValidSheetName(const QString& name) {
    if (name.isEmpty() || name.size() > kMaxSheetNameLength) {
        return false;
    }
    if (name.startsWith(u'\'') || name.endsWith(u'\'')) {
        return false;
    }
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    return std::none_of(name.begin(), name.end(),
                        [](QChar c) { return forbidden.contains(c) || c.unicode() < 0x20; });
}

void Sheet::setText(int row, int column, const QString& text, int format) {
    if (row < 0 || row >= kMaxRows || column < 0 || column >= kMaxColumns) {
        return;
    }
    // A cell holds at most 32767 characters.
    const QString t = text.left(32767);
    rows_[row][column] = Cell{t, format};
    if (!t.isEmpty()) {
        int& widest = widestText_[column];
        widest = std::max(widest, DisplayWidth(t));
    }
}

void Sheet::setBlank(int row, int column, int format) {
    setText(row, column, QString(), format);
}

void Sheet::setColumnFormat(int column, int format) {
    if (column >= 0 && column < kMaxColumns) {
        columnFormats_[column] = format;
    }
}

std::optional<int> Sheet::fittedWidth(int column) const {
    const auto it = widestText_.find(column);
    if (it == widestText_.end() || it->second == 0) {
        return std::nullopt;
    }
    return std::min(255, it->second + 1) * 256;
}

Workbook::Workbook(const Font& defaultFont) : fonts_{defaultFont}, formats_{CellFormat()} {}

int Workbook::addFont(const Font& font) {
    const auto it = std::find(fonts_.begin(), fonts_.end(), font);
    if (it != fonts_.end()) {
        return static_cast<int>(it - fonts_.begin());
    }
    fonts_.push_back(font);
    return static_cast<int>(fonts_.size()) - 1;
}

int Workbook::addFormat(const CellFormat& format) {
    const auto it = std::find(formats_.begin(), formats_.end(), format);
    if (it != formats_.end()) {
        return static_cast<int>(it - formats_.begin());
    }
    formats_.push_back(format);
    return static_cast<int>(formats_.size()) - 1;
}

Sheet& Workbook::addSheet(const QString& name) {
    return sheets_.emplace_back(name);
}

std::optional<QByteArray> Workbook::build(QString* error) const {
    auto fail = [error](const QString& why) -> std::optional<QByteArray> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    if (sheets_.empty()) {
        return fail(QStringLiteral("a workbook needs at least one sheet"));
    }
    QSet<QString> seen;
    for (const Sheet& sheet : sheets_) {
        if (!IsValidSheetName(sheet.name())) {
            return fail(QStringLiteral("a sheet cannot be named \"%1\"").arg(sheet.name()));
        }
        const QString key = sheet.name().toCaseFolded();
        if (seen.contains(key)) {
            return fail(QStringLiteral("two sheets are named \"%1\"").arg(sheet.name()));
        }
        seen.insert(key);
    }
    const int formatCount = static_cast<int>(formats_.size());
    const int fontCount = static_cast<int>(fonts_.size());
    for (const Sheet& sheet : sheets_) {
        for (const auto& [r, cells] : sheet.rows()) {
            for (const auto& [c, cell] : cells) {
                if (cell.format < 0 || cell.format >= formatCount) {
                    return fail(QStringLiteral("a cell of \"%1\" has no format %2")
                                    .arg(sheet.name())
                                    .arg(cell.format));
                }
            }
        }
        for (const auto& [c, format] : sheet.columnFormats()) {
            if (format < 0 || format >= formatCount) {
                return fail(QStringLiteral("a column of \"%1\" has no format %2")
                                .arg(sheet.name())
                                .arg(format));
            }
        }
    }
    for (const CellFormat& f : formats_) {
        if (f.font < 0 || f.font >= fontCount) {
            return fail(QStringLiteral("a format names font %1, which does not exist").arg(f.font));
        }
    }

    // Sheets first: their strings fill the table and their sizes place them.
    StringTable sst;
    std::vector<QByteArray> sheetData;
    for (size_t i = 0; i < sheets_.size(); ++i) {
        sheetData.push_back(sheetStream(sheets_[i], i == 0, rowHeight(fonts_[0]), sst));
    }

    auto globals = [&](const std::vector<quint32>& offsets) {
        Stream s;
        bof(s, 0x0005);
        s.record(kCodePage, Data().u16(kCodePageUtf16));
        s.record(kWindow1,
                 Data().u16(0).u16(0).u16(0x3A5C).u16(0x23BE).u16(0x0038).u16(0).u16(0).u16(1).u16(
                     0x0258));
        s.record(kDate1904, Data().u16(0));
        // Fonts 0..3 are the default font; index 4 is never used, so the fonts added
        // after the default take the indexes from 5 on.
        for (int i = 0; i < 4; ++i) {
            s.record(kFont, fontRecord(fonts_[0]));
        }
        for (size_t i = 1; i < fonts_.size(); ++i) {
            s.record(kFont, fontRecord(fonts_[i]));
        }
        for (int i = 0; i < kBuiltInXfs - 1; ++i) {
            s.record(kXf, xfRecord(0, true, CellFormat()));
        }
        s.record(kXf, xfRecord(0, false, CellFormat()));
        for (const CellFormat& f : formats_) {
            // Added fonts follow the four copies of the default: font i is record 3 + i.
            s.record(kXf, xfRecord(f.font == 0 ? 0 : 3 + f.font, false, f));
        }
        s.record(kStyle, Data().u16(0x8000).u8(0).u8(0xFF));
        for (size_t i = 0; i < sheets_.size(); ++i) {
            Data d;
            d.u32(offsets[i]).u8(0).u8(0);
            shortString(d, sheets_[i].name());
            s.record(kBoundSheet, d);
        }
        const int n = static_cast<int>(sheets_.size());
        s.record(kSupBook, Data().u16(n).u16(0x0401));
        Data xti;
        xti.u16(n);
        for (int i = 0; i < n; ++i) {
            xti.u16(0).u16(i).u16(i);
        }
        s.record(kExternSheet, xti);
        for (int i = 0; i < n; ++i) {
            const auto& titles = sheets_[static_cast<size_t>(i)].pageSetup().printTitleRows;
            if (!titles) {
                continue;
            }
            Data name;
            name.u16(0x0020).u8(0).u8(1).u16(11).u16(0).u16(i + 1).u8(0).u8(0).u8(0).u8(0);
            name.u8(0).u8(0x07);  // the built-in name Print_Titles
            name.u8(0x3B).u16(i).u16(titles->first).u16(titles->second).u16(0).u16(0xFF);
            s.record(kName, name);
        }
        sst.write(s);
        s.record(kEof, QByteArray());
        return s.bytes();
    };

    std::vector<quint32> offsets(sheets_.size(), 0);
    const qsizetype globalsSize = globals(offsets).size();
    quint32 at = static_cast<quint32>(globalsSize);
    for (size_t i = 0; i < sheets_.size(); ++i) {
        offsets[i] = at;
        at += static_cast<quint32>(sheetData[i].size());
    }
    QByteArray stream = globals(offsets);
    for (const QByteArray& d : sheetData) {
        stream.append(d);
    }
    return stream;
}

}  // namespace tq::xls
