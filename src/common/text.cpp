#include "common/text.h"

#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <QStringConverter>
#include <iterator>
#include <memory>
#include <mutex>

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

QString narrow(const QString& text) {
    static std::once_flag once;
    static std::unique_ptr<icu::Transliterator> translit;
    static std::mutex lock;
    std::call_once(once, [] {
        UErrorCode status = U_ZERO_ERROR;
        translit.reset(
            icu::Transliterator::createInstance("Fullwidth-Halfwidth", UTRANS_FORWARD, status));
        if (U_FAILURE(status)) {
            translit.reset();
        }
    });
    if (!translit) {
        return text;
    }
    icu::UnicodeString u(reinterpret_cast<const UChar*>(text.utf16()),
                         static_cast<int32_t>(text.size()));
    {
        std::lock_guard<std::mutex> guard(lock);
        translit->transliterate(u);
    }
    return QString(reinterpret_cast<const QChar*>(u.getBuffer()), u.length());
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
