#include "common/text.h"

#include <unicode/ucnv.h>

#include <QStringConverter>
#include <algorithm>
#include <iterator>

namespace tq {

namespace {

bool isPlainAscii(const QByteArray& bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Checked byte by byte: decoding a large file only to learn this would double its memory.
bool isValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        int trail = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (c < 0x80) {
            ++p;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            trail = 1, cp = c & 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            trail = 2, cp = c & 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            trail = 3, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (end - p <= trail) {
            return false;
        }
        for (int k = 1; k <= trail; ++k) {
            if ((p[k] & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (p[k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        p += trail + 1;
    }
    return true;
}

// One CP932 converter per call: ICU converters are not thread-safe and cheap to open.
struct Converter {
    UConverter* cnv = nullptr;
    Converter() {
        UErrorCode status = U_ZERO_ERROR;
        cnv = ucnv_open("windows-31j", &status);
        if (U_FAILURE(status)) {
            cnv = nullptr;
        }
    }
    ~Converter() {
        if (cnv) {
            ucnv_close(cnv);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
};

QString fromCp932(const char* data, qsizetype size) {
    if (size == 0) {  // ICU would write its terminator into the shared empty string
        return QString();
    }
    Converter c;
    if (!c.cnv) {
        return QString::fromLatin1(data, size);
    }
    UErrorCode status = U_ZERO_ERROR;
    const int32_t need =
        ucnv_toUChars(c.cnv, nullptr, 0, data, static_cast<int32_t>(size), &status);
    status = U_ZERO_ERROR;
    QString out(need, Qt::Uninitialized);
    ucnv_toUChars(c.cnv, reinterpret_cast<UChar*>(out.data()), need + 1, data,
                  static_cast<int32_t>(size), &status);
    return out;
}

QString fromCp932(const QByteArray& bytes) {
    return fromCp932(bytes.constData(), bytes.size());
}

QByteArray toCp932(const QString& text) {
    if (text.isEmpty()) {
        return QByteArray();
    }
    Converter c;
    if (!c.cnv) {
        return text.toLatin1();
    }
    UErrorCode status = U_ZERO_ERROR;
    const auto* src = reinterpret_cast<const UChar*>(text.utf16());
    const int32_t need =
        ucnv_fromUChars(c.cnv, nullptr, 0, src, static_cast<int32_t>(text.size()), &status);
    status = U_ZERO_ERROR;
    QByteArray out(need, Qt::Uninitialized);
    ucnv_fromUChars(c.cnv, out.data(), need + 1, src, static_cast<int32_t>(text.size()), &status);
    return out;
}

}  // namespace

FileEncoding detectSiteEncoding(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return FileEncoding::Utf8WithBom;
    }
    if (!isPlainAscii(bytes) && isValidUtf8(bytes)) {
        return FileEncoding::Utf8;
    }
    return FileEncoding::Cp932;
}

QString decodeSitePiece(const char* data, qsizetype size, FileEncoding encoding) {
    if (encoding == FileEncoding::Cp932) {
        return fromCp932(data, size);
    }
    return QString::fromUtf8(data, size);
}

bool isSiteText(const QByteArray& bytes) {
    if (bytes.contains('\0')) {
        return false;
    }
    if (isValidUtf8(bytes)) {
        return true;
    }
    Converter c;
    if (!c.cnv) {
        return false;
    }
    // Stopping at the first byte sequence CP932 does not define, instead of substituting it.
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(c.cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) {
        return false;
    }
    const char* source = bytes.constData();
    const char* const end = source + bytes.size();
    UChar buffer[1024];
    for (;;) {
        UChar* target = buffer;
        status = U_ZERO_ERROR;
        ucnv_toUnicode(c.cnv, &target, buffer + std::size(buffer), &source, end, nullptr, true,
                       &status);
        if (status != U_BUFFER_OVERFLOW_ERROR) {
            return U_SUCCESS(status);
        }
    }
}

QString decodeSiteText(const QByteArray& bytes, FileEncoding* detected) {
    static const QByteArray bom("\xEF\xBB\xBF");
    FileEncoding enc = FileEncoding::Cp932;
    QString text;
    if (bytes.startsWith(bom)) {
        enc = FileEncoding::Utf8WithBom;
        text = QString::fromUtf8(bytes.mid(bom.size()));
    } else if (!isPlainAscii(bytes) && isValidUtf8(bytes)) {
        enc = FileEncoding::Utf8;
        text = QString::fromUtf8(bytes);
    } else {
        text = fromCp932(bytes);
    }
    if (detected) {
        *detected = enc;
    }
    return text;
}

QByteArray encodeSiteText(const QString& text, FileEncoding encoding) {
    switch (encoding) {
        case FileEncoding::Utf8WithBom:
            return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        case FileEncoding::Utf8:
            return text.toUtf8();
        case FileEncoding::Cp932:
            break;
    }
    return toCp932(text);
}

int shiftJisLength(const QString& text) {
    Converter c;
    int total = 0;
    for (const QChar* p = text.constBegin(); p != text.constEnd(); ++p) {
        const char32_t cp = p->isHighSurrogate() && (p + 1) != text.constEnd()
                                ? QChar::surrogateToUcs4(*p, *(p + 1))
                                : p->unicode();
        if (cp > 0xFFFF) {
            ++p;
            total += 2;
            continue;
        }
        if (cp < 0x80) {
            total += 1;
            continue;
        }
        char buf[8];
        UErrorCode status = U_ZERO_ERROR;
        const UChar u = static_cast<UChar>(cp);
        const int32_t n = c.cnv ? ucnv_fromUChars(c.cnv, buf, sizeof buf, &u, 1, &status) : 2;
        total += (U_FAILURE(status) || n <= 0) ? 2 : n;
    }
    return total;
}

namespace {

// The full-width to half-width forms, character by character: every rule of ICU's
// "Fullwidth-Halfwidth" transliterator except the full-width ASCII block (a fixed offset).
// Its rules have no context, so this table gives its result without building it (which
// costs a command-line process a sixth of its time). The tests hold it against ICU.
struct NarrowForm {
    char16_t from;
    char16_t to;
    char16_t second;  ///< the sound mark of a voiced katakana, or 0
};
// clang-format off
constexpr NarrowForm kNarrowForms[] = {
    {0x1100, 0xFFA1, 0x0}, {0x1101, 0xFFA2, 0x0}, {0x1102, 0xFFA4, 0x0}, {0x1103, 0xFFA7, 0x0},
    {0x1104, 0xFFA8, 0x0}, {0x1105, 0xFFA9, 0x0}, {0x1106, 0xFFB1, 0x0}, {0x1107, 0xFFB2, 0x0},
    {0x1108, 0xFFB3, 0x0}, {0x1109, 0xFFB5, 0x0}, {0x110A, 0xFFB6, 0x0}, {0x110B, 0xFFB7, 0x0},
    {0x110C, 0xFFB8, 0x0}, {0x110D, 0xFFB9, 0x0}, {0x110E, 0xFFBA, 0x0}, {0x110F, 0xFFBB, 0x0},
    {0x1110, 0xFFBC, 0x0}, {0x1111, 0xFFBD, 0x0}, {0x1112, 0xFFBE, 0x0}, {0x111A, 0xFFB0, 0x0},
    {0x1121, 0xFFB4, 0x0}, {0x1160, 0xFFA0, 0x0}, {0x1161, 0xFFC2, 0x0}, {0x1162, 0xFFC3, 0x0},
    {0x1163, 0xFFC4, 0x0}, {0x1164, 0xFFC5, 0x0}, {0x1165, 0xFFC6, 0x0}, {0x1166, 0xFFC7, 0x0},
    {0x1167, 0xFFCA, 0x0}, {0x1168, 0xFFCB, 0x0}, {0x1169, 0xFFCC, 0x0}, {0x116A, 0xFFCD, 0x0},
    {0x116B, 0xFFCE, 0x0}, {0x116C, 0xFFCF, 0x0}, {0x116D, 0xFFD2, 0x0}, {0x116E, 0xFFD3, 0x0},
    {0x116F, 0xFFD4, 0x0}, {0x1170, 0xFFD5, 0x0}, {0x1171, 0xFFD6, 0x0}, {0x1172, 0xFFD7, 0x0},
    {0x1173, 0xFFDA, 0x0}, {0x1174, 0xFFDB, 0x0}, {0x1175, 0xFFDC, 0x0}, {0x11AA, 0xFFA3, 0x0},
    {0x11AC, 0xFFA5, 0x0}, {0x11AD, 0xFFA6, 0x0}, {0x11B0, 0xFFAA, 0x0}, {0x11B1, 0xFFAB, 0x0},
    {0x11B2, 0xFFAC, 0x0}, {0x11B3, 0xFFAD, 0x0}, {0x11B4, 0xFFAE, 0x0}, {0x11B5, 0xFFAF, 0x0},
    {0x2190, 0xFFE9, 0x0}, {0x2191, 0xFFEA, 0x0}, {0x2192, 0xFFEB, 0x0}, {0x2193, 0xFFEC, 0x0},
    {0x2502, 0xFFE8, 0x0}, {0x25A0, 0xFFED, 0x0}, {0x25CB, 0xFFEE, 0x0}, {0x3000, 0x0020, 0x0},
    {0x3001, 0xFF64, 0x0}, {0x3002, 0xFF61, 0x0}, {0x300C, 0xFF62, 0x0}, {0x300D, 0xFF63, 0x0},
    {0x3099, 0xFF9E, 0x0}, {0x309A, 0xFF9F, 0x0}, {0x30A1, 0xFF67, 0x0}, {0x30A2, 0xFF71, 0x0},
    {0x30A3, 0xFF68, 0x0}, {0x30A4, 0xFF72, 0x0}, {0x30A5, 0xFF69, 0x0}, {0x30A6, 0xFF73, 0x0},
    {0x30A7, 0xFF6A, 0x0}, {0x30A8, 0xFF74, 0x0}, {0x30A9, 0xFF6B, 0x0}, {0x30AA, 0xFF75, 0x0},
    {0x30AB, 0xFF76, 0x0}, {0x30AC, 0xFF76, 0xFF9E}, {0x30AD, 0xFF77, 0x0},
    {0x30AE, 0xFF77, 0xFF9E}, {0x30AF, 0xFF78, 0x0}, {0x30B0, 0xFF78, 0xFF9E},
    {0x30B1, 0xFF79, 0x0}, {0x30B2, 0xFF79, 0xFF9E}, {0x30B3, 0xFF7A, 0x0},
    {0x30B4, 0xFF7A, 0xFF9E}, {0x30B5, 0xFF7B, 0x0}, {0x30B6, 0xFF7B, 0xFF9E},
    {0x30B7, 0xFF7C, 0x0}, {0x30B8, 0xFF7C, 0xFF9E}, {0x30B9, 0xFF7D, 0x0},
    {0x30BA, 0xFF7D, 0xFF9E}, {0x30BB, 0xFF7E, 0x0}, {0x30BC, 0xFF7E, 0xFF9E},
    {0x30BD, 0xFF7F, 0x0}, {0x30BE, 0xFF7F, 0xFF9E}, {0x30BF, 0xFF80, 0x0},
    {0x30C0, 0xFF80, 0xFF9E}, {0x30C1, 0xFF81, 0x0}, {0x30C2, 0xFF81, 0xFF9E},
    {0x30C3, 0xFF6F, 0x0}, {0x30C4, 0xFF82, 0x0}, {0x30C5, 0xFF82, 0xFF9E}, {0x30C6, 0xFF83, 0x0},
    {0x30C7, 0xFF83, 0xFF9E}, {0x30C8, 0xFF84, 0x0}, {0x30C9, 0xFF84, 0xFF9E},
    {0x30CA, 0xFF85, 0x0}, {0x30CB, 0xFF86, 0x0}, {0x30CC, 0xFF87, 0x0}, {0x30CD, 0xFF88, 0x0},
    {0x30CE, 0xFF89, 0x0}, {0x30CF, 0xFF8A, 0x0}, {0x30D0, 0xFF8A, 0xFF9E},
    {0x30D1, 0xFF8A, 0xFF9F}, {0x30D2, 0xFF8B, 0x0}, {0x30D3, 0xFF8B, 0xFF9E},
    {0x30D4, 0xFF8B, 0xFF9F}, {0x30D5, 0xFF8C, 0x0}, {0x30D6, 0xFF8C, 0xFF9E},
    {0x30D7, 0xFF8C, 0xFF9F}, {0x30D8, 0xFF8D, 0x0}, {0x30D9, 0xFF8D, 0xFF9E},
    {0x30DA, 0xFF8D, 0xFF9F}, {0x30DB, 0xFF8E, 0x0}, {0x30DC, 0xFF8E, 0xFF9E},
    {0x30DD, 0xFF8E, 0xFF9F}, {0x30DE, 0xFF8F, 0x0}, {0x30DF, 0xFF90, 0x0}, {0x30E0, 0xFF91, 0x0},
    {0x30E1, 0xFF92, 0x0}, {0x30E2, 0xFF93, 0x0}, {0x30E3, 0xFF6C, 0x0}, {0x30E4, 0xFF94, 0x0},
    {0x30E5, 0xFF6D, 0x0}, {0x30E6, 0xFF95, 0x0}, {0x30E7, 0xFF6E, 0x0}, {0x30E8, 0xFF96, 0x0},
    {0x30E9, 0xFF97, 0x0}, {0x30EA, 0xFF98, 0x0}, {0x30EB, 0xFF99, 0x0}, {0x30EC, 0xFF9A, 0x0},
    {0x30ED, 0xFF9B, 0x0}, {0x30EF, 0xFF9C, 0x0}, {0x30F2, 0xFF66, 0x0}, {0x30F3, 0xFF9D, 0x0},
    {0x30F4, 0xFF73, 0xFF9E}, {0x30F7, 0xFF9C, 0xFF9E}, {0x30FA, 0xFF66, 0xFF9E},
    {0x30FB, 0xFF65, 0x0}, {0x30FC, 0xFF70, 0x0}, {0xFFE0, 0x00A2, 0x0}, {0xFFE1, 0x00A3, 0x0},
    {0xFFE2, 0x00AC, 0x0}, {0xFFE3, 0x00AF, 0x0}, {0xFFE4, 0x00A6, 0x0}, {0xFFE5, 0x00A5, 0x0},
    {0xFFE6, 0x20A9, 0x0}};
// clang-format on

const NarrowForm* narrowFormOf(char16_t u) {
    const NarrowForm* end = std::end(kNarrowForms);
    const NarrowForm* f =
        std::lower_bound(std::begin(kNarrowForms), end, u,
                         [](const NarrowForm& n, char16_t c) { return n.from < c; });
    return f != end && f->from == u ? f : nullptr;
}

}  // namespace

QString narrow(const QString& text) {
    QString out;
    qsizetype kept = 0;  // text before this index is in `out` already
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < kNarrowForms[0].from) {
            continue;  // ASCII, Latin and most other scripts have no narrower form
        }
        const NarrowForm* form = nullptr;
        char16_t to = 0;
        if (u >= 0xFF01 && u <= 0xFF5E) {
            to = static_cast<char16_t>(u - 0xFF01 + 0x21);
        } else if ((form = narrowFormOf(u)) != nullptr) {
            to = form->to;
        } else {
            continue;
        }
        out.append(text.constData() + kept, i - kept);
        out.append(QChar(to));
        if (form && form->second) {
            out.append(QChar(form->second));
        }
        kept = i + 1;
    }
    if (kept == 0) {
        return text;
    }
    out.append(text.constData() + kept, text.size() - kept);
    return out;
}

double numericValue(const QString& text) {
    int i = 0;
    const int n = static_cast<int>(text.size());
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    const int start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    bool digits = false;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        return 0.0;
    }
    return text.mid(start, i - start).toDouble();
}

bool isNumeric(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return false;
    }
    bool ok = false;
    t.toDouble(&ok);
    if (!ok) {
        return false;
    }
    for (QChar c : t) {  // toDouble also takes "1e3", "inf" and "nan": not numbers here
        if (!(c.isDigit() || c == u'.' || c == u'+' || c == u'-')) {
            return false;
        }
    }
    return true;
}

}  // namespace tq
