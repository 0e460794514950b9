#include "common/text.h"

#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <QStringConverter>
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

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)QString(dec.decode(bytes));
    return !dec.hasError();
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

QString fromCp932(const QByteArray& bytes) {
    if (bytes.isEmpty()) {  // ICU would write its terminator into the shared empty string
        return QString();
    }
    Converter c;
    if (!c.cnv) {
        return QString::fromLatin1(bytes);
    }
    UErrorCode status = U_ZERO_ERROR;
    const int32_t need = ucnv_toUChars(c.cnv, nullptr, 0, bytes.constData(),
                                       static_cast<int32_t>(bytes.size()), &status);
    status = U_ZERO_ERROR;
    QString out(need, Qt::Uninitialized);
    ucnv_toUChars(c.cnv, reinterpret_cast<UChar*>(out.data()), need + 1, bytes.constData(),
                  static_cast<int32_t>(bytes.size()), &status);
    return out;
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
