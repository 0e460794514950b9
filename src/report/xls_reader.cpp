#include "report/xls_reader.h"

#include <QtEndian>
#include <cstring>

#include "report/compound_file.h"

namespace tq::xls {

namespace {

/// Bounds-checked little-endian reading of one record's data; a read past the end marks
/// the cursor failed and gives 0.
class Cursor {
  public:
    explicit Cursor(const QByteArray& data) : data_(data) {}
    bool ok() const { return ok_; }
    qsizetype left() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    int u8() { return static_cast<int>(take(1) ? static_cast<quint8>(data_[pos_ - 1]) : 0); }
    int u16() {
        if (!take(2)) {
            return 0;
        }
        return qFromLittleEndian<quint16>(data_.constData() + pos_ - 2);
    }
    quint32 u32() {
        if (!take(4)) {
            return 0;
        }
        return qFromLittleEndian<quint32>(data_.constData() + pos_ - 4);
    }
    double f64() {
        if (!take(8)) {
            return 0;
        }
        const quint64 bits = qFromLittleEndian<quint64>(data_.constData() + pos_ - 8);
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    QString chars(int count, bool wide) {
        QString s;
        for (int i = 0; i < count && ok_; ++i) {
            s.append(QChar(static_cast<char16_t>(wide ? u16() : u8())));
        }
        return s;
    }
    void skip(qsizetype n) { take(n); }

  private:
    bool take(qsizetype n) {
        if (!ok_ || n < 0 || left() < n) {
            ok_ = false;
            return false;
        }
        pos_ += n;
        return true;
    }
    const QByteArray& data_;
    qsizetype pos_ = 0;
    bool ok_ = true;
};

QString shortString(Cursor& c) {
    const int n = c.u8();
    const bool wide = (c.u8() & 1) != 0;
    return c.chars(n, wide);
}

QString longString(Cursor& c) {
    const int n = c.u16();
    const bool wide = (c.u8() & 1) != 0;
    return c.chars(n, wide);
}

/// Reads the shared strings from SST data and the data of the CONTINUE records after it.
/// A string's characters may continue in the next segment, which starts with an option byte.
bool readStrings(const std::vector<const QByteArray*>& segments, std::vector<QString>& out,
                 QString* error) {
    if (segments.empty()) {
        return true;
    }
    size_t seg = 0;
    auto cursor = std::make_unique<Cursor>(*segments[0]);
    cursor->skip(4);
    const quint32 unique = cursor->u32();
    auto nextSegment = [&]() -> bool {
        if (++seg >= segments.size()) {
            return false;
        }
        cursor = std::make_unique<Cursor>(*segments[seg]);
        return true;
    };
    for (quint32 i = 0; i < unique; ++i) {
        if (cursor->atEnd() && !nextSegment()) {
            *error = QStringLiteral("the shared strings end after %1 of %2").arg(i).arg(unique);
            return false;
        }
        const int count = cursor->u16();
        const int flags = cursor->u8();
        bool wide = (flags & 0x01) != 0;
        const int runs = (flags & 0x08) ? cursor->u16() : 0;
        const quint32 extra = (flags & 0x04) ? cursor->u32() : 0;
        QString text;
        while (text.size() < count) {
            if (!cursor->ok()) {
                *error = QStringLiteral("shared string %1 is cut short").arg(i);
                return false;
            }
            if (cursor->atEnd()) {
                if (!nextSegment()) {
                    *error = QStringLiteral("shared string %1 runs past the table").arg(i);
                    return false;
                }
                wide = (cursor->u8() & 0x01) != 0;
                continue;
            }
            text.append(QChar(static_cast<char16_t>(wide ? cursor->u16() : cursor->u8())));
        }
        // Formatting runs and extended data are skipped (the writer writes neither).
        qsizetype skip = qsizetype(runs) * 4 + extra;
        while (skip > 0) {
            const qsizetype n = std::min(skip, cursor->left());
            cursor->skip(n);
            skip -= n;
            if (skip > 0 && !nextSegment()) {
                *error = QStringLiteral("shared string %1 runs past the table").arg(i);
                return false;
            }
        }
        if (!cursor->ok()) {
            *error = QStringLiteral("shared string %1 is cut short").arg(i);
            return false;
        }
        out.push_back(text);
    }
    return true;
}

HAlign hAlign(int v) {
    return v >= 0 && v <= 3 ? static_cast<HAlign>(v) : HAlign::General;
}
VAlign vAlign(int v) {
    return v >= 0 && v <= 2 ? static_cast<VAlign>(v) : VAlign::Bottom;
}

}  // namespace

QString ReadSheet::text(int row, int column) const {
    const auto it = cells.find({row, column});
    return it == cells.end() ? QString() : it->second.text;
}

std::vector<Record> ReadRecords(const QByteArray& stream, QString* error) {
    std::vector<Record> records;
    qsizetype pos = 0;
    while (pos < stream.size()) {
        if (stream.size() - pos < 4) {
            *error = QStringLiteral("a record header is cut short at %1").arg(pos);
            break;
        }
        const quint16 type = qFromLittleEndian<quint16>(stream.constData() + pos);
        const quint16 length = qFromLittleEndian<quint16>(stream.constData() + pos + 2);
        if (length > kMaxRecordData) {
            *error = QStringLiteral("record 0x%1 at %2 holds %3 bytes")
                         .arg(type, 4, 16, QLatin1Char('0'))
                         .arg(pos)
                         .arg(length);
            break;
        }
        if (stream.size() - pos - 4 < length) {
            *error = QStringLiteral("record 0x%1 at %2 runs past the end")
                         .arg(type, 4, 16, QLatin1Char('0'))
                         .arg(pos);
            break;
        }
        records.push_back(Record{type, pos, stream.mid(pos + 4, length)});
        pos += 4 + length;
    }
    return records;
}

std::optional<ReadBook> ReadWorkbookStream(const QByteArray& stream, QString* error) {
    QString problem;
    const std::vector<Record> records = ReadRecords(stream, &problem);
    auto fail = [&](const QString& why) -> std::optional<ReadBook> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    if (!problem.isEmpty()) {
        return fail(problem);
    }
    if (records.empty() || records[0].type != 0x0809) {
        return fail(QStringLiteral("the stream does not begin with BOF"));
    }
    {
        Cursor c(records[0].data);
        const int version = c.u16();
        const int kind = c.u16();
        if (!c.ok() || version != 0x0600 || kind != 0x0005) {
            return fail(QStringLiteral("not a BIFF8 workbook"));
        }
    }

    ReadBook book;
    std::map<qsizetype, size_t> recordAt;  // stream position → record index
    for (size_t i = 0; i < records.size(); ++i) {
        recordAt[records[i].offset] = i;
    }

    // The globals, up to their EOF.
    size_t i = 1;
    std::vector<int> xtiSheet;
    for (; i < records.size() && records[i].type != 0x000A; ++i) {
        const Record& r = records[i];
        Cursor c(r.data);
        switch (r.type) {
            case 0x0031:
                ++book.fontRecords;
                break;
            case 0x00E0: {
                ReadFormat f;
                f.font = c.u16();
                c.u16();
                f.style = (c.u16() & 0x0004) != 0;
                const int align = c.u8();
                f.horizontal = hAlign(align & 0x07);
                f.vertical = vAlign((align >> 4) & 0x07);
                c.skip(3);
                const int lines = c.u16();
                f.left = lines & 0x0F;
                f.right = (lines >> 4) & 0x0F;
                f.top = (lines >> 8) & 0x0F;
                f.bottom = (lines >> 12) & 0x0F;
                if (!c.ok()) {
                    return fail(QStringLiteral("an XF record is cut short"));
                }
                book.formats.push_back(f);
                break;
            }
            case 0x0085: {
                ReadSheet s;
                s.offset = c.u32();
                c.skip(2);
                s.name = shortString(c);
                if (!c.ok()) {
                    return fail(QStringLiteral("a BOUNDSHEET record is cut short"));
                }
                book.sheets.push_back(std::move(s));
                break;
            }
            case 0x0017: {
                const int n = c.u16();
                for (int k = 0; k < n && c.ok(); ++k) {
                    c.u16();
                    const int first = c.u16();
                    c.u16();
                    xtiSheet.push_back(first);
                }
                break;
            }
            case 0x0018: {
                const int flags = c.u16();
                c.u8();
                const int nameLength = c.u8();
                const int formulaLength = c.u16();
                c.u16();
                const int itab = c.u16();
                c.skip(4);
                const int nameFlags = c.u8();
                const int builtIn = nameLength > 0 ? c.u8() : -1;
                c.skip(nameLength > 0 ? (nameLength - 1) * ((nameFlags & 1) ? 2 : 1) : 0);
                if ((flags & 0x0020) && builtIn == 0x07 && formulaLength >= 11 && c.u8() == 0x3B) {
                    const int ixti = c.u16();
                    const int firstRow = c.u16();
                    const int lastRow = c.u16();
                    if (c.ok() && ixti >= 0 && ixti < static_cast<int>(xtiSheet.size()) &&
                        xtiSheet[static_cast<size_t>(ixti)] == itab - 1) {
                        book.printTitles[itab - 1] = {firstRow, lastRow};
                    }
                }
                break;
            }
            case 0x00FC: {
                std::vector<const QByteArray*> segments{&r.data};
                for (size_t k = i + 1; k < records.size() && records[k].type == 0x003C; ++k) {
                    segments.push_back(&records[k].data);
                }
                if (!readStrings(segments, book.strings, &problem)) {
                    return fail(problem);
                }
                break;
            }
            default:
                break;
        }
    }
    if (i >= records.size()) {
        return fail(QStringLiteral("the workbook globals have no EOF"));
    }

    for (size_t s = 0; s < book.sheets.size(); ++s) {
        ReadSheet& sheet = book.sheets[s];
        const auto at = recordAt.find(sheet.offset);
        if (at == recordAt.end() || records[at->second].type != 0x0809) {
            return fail(QStringLiteral("sheet \"%1\" does not begin at %2")
                            .arg(sheet.name)
                            .arg(sheet.offset));
        }
        bool frozen = false;
        size_t k = at->second + 1;
        for (; k < records.size() && records[k].type != 0x000A; ++k) {
            const Record& r = records[k];
            Cursor c(r.data);
            auto addCell = [&](int row, int column, ReadCell cell) {
                if (!sheet.cells.emplace(std::make_pair(row, column), std::move(cell)).second) {
                    problem = QStringLiteral("sheet \"%1\" has two cells at row %2 column %3")
                                  .arg(sheet.name)
                                  .arg(row)
                                  .arg(column);
                }
            };
            switch (r.type) {
                case 0x00FD: {
                    const int row = c.u16();
                    const int column = c.u16();
                    const int xf = c.u16();
                    const quint32 isst = c.u32();
                    if (!c.ok() || isst >= book.strings.size()) {
                        return fail(
                            QStringLiteral("a text cell of \"%1\" is broken").arg(sheet.name));
                    }
                    addCell(row, column, ReadCell{false, book.strings[isst], xf});
                    break;
                }
                case 0x0201: {
                    const int row = c.u16();
                    const int column = c.u16();
                    const int xf = c.u16();
                    if (!c.ok()) {
                        return fail(
                            QStringLiteral("a blank cell of \"%1\" is broken").arg(sheet.name));
                    }
                    addCell(row, column, ReadCell{true, QString(), xf});
                    break;
                }
                case 0x00BE: {
                    const int row = c.u16();
                    const int first = c.u16();
                    const qsizetype count = (c.left() - 2) / 2;
                    if (count < 1 || (c.left() - 2) % 2 != 0) {
                        return fail(
                            QStringLiteral("a MULBLANK of \"%1\" is broken").arg(sheet.name));
                    }
                    for (qsizetype n = 0; n < count; ++n) {
                        addCell(row, first + static_cast<int>(n),
                                ReadCell{true, QString(), c.u16()});
                    }
                    if (c.u16() != first + count - 1) {
                        return fail(
                            QStringLiteral("a MULBLANK of \"%1\" names the wrong last column")
                                .arg(sheet.name));
                    }
                    break;
                }
                case 0x007D: {
                    const int first = c.u16();
                    const int last = c.u16();
                    const int width = c.u16();
                    const int xf = c.u16();
                    for (int col = first; c.ok() && col <= last && col < kMaxColumns; ++col) {
                        sheet.columnWidths[col] = width;
                        sheet.columnXfs[col] = xf;
                    }
                    break;
                }
                case 0x0200:
                    c.u32();
                    sheet.dimensionRows = static_cast<int>(c.u32());
                    c.u16();
                    sheet.dimensionColumns = c.u16();
                    break;
                case 0x023E:
                    frozen = (c.u16() & 0x0008) != 0;
                    break;
                case 0x0041:
                    c.u16();
                    sheet.frozenRows = frozen ? c.u16() : 0;
                    break;
                case 0x00A1: {
                    c.u16();
                    sheet.scalePercent = c.u16();
                    c.skip(6);
                    const int flags = c.u16();
                    sheet.landscape = (flags & 0x0002) == 0;
                    sheet.noPrinterSettings = (flags & 0x0004) != 0;
                    c.skip(4);
                    sheet.headerMargin = c.f64();
                    sheet.footerMargin = c.f64();
                    break;
                }
                case 0x0026:
                    sheet.leftMargin = c.f64();
                    break;
                case 0x0027:
                    sheet.rightMargin = c.f64();
                    break;
                case 0x0028:
                    sheet.topMargin = c.f64();
                    break;
                case 0x0029:
                    sheet.bottomMargin = c.f64();
                    break;
                case 0x0014:
                    sheet.header = r.data.isEmpty() ? QString() : longString(c);
                    break;
                case 0x0015:
                    sheet.footer = r.data.isEmpty() ? QString() : longString(c);
                    break;
                default:
                    break;
            }
            if (!problem.isEmpty()) {
                return fail(problem);
            }
            if (!c.ok()) {
                return fail(QStringLiteral("record 0x%1 of \"%2\" is cut short")
                                .arg(r.type, 4, 16, QLatin1Char('0'))
                                .arg(sheet.name));
            }
        }
        if (k >= records.size()) {
            return fail(QStringLiteral("sheet \"%1\" has no EOF").arg(sheet.name));
        }
    }
    return book;
}

std::optional<ReadBook> ReadXlsFile(const QByteArray& file, QString* error) {
    const auto stream = ReadCompoundStream(file, QStringLiteral("Workbook"), error);
    if (!stream) {
        return std::nullopt;
    }
    return ReadWorkbookStream(*stream, error);
}

}  // namespace tq::xls
