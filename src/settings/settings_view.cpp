#include "settings/settings_view.h"

#include <QSaveFile>

#include <unicode/ucnv.h>

#include "common/site_file.h"

namespace tq {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString fromCp932(const QByteArray& bytes) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open("windows-31j", &status);
    if (U_FAILURE(status)) {
        return QString();
    }
    const auto size = static_cast<int32_t>(bytes.size());
    status = U_ZERO_ERROR;
    const int32_t need = ucnv_toUChars(cnv, nullptr, 0, bytes.constData(), size, &status);
    QString out(need, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    ucnv_toUChars(cnv, reinterpret_cast<UChar*>(out.data()), need + 1, bytes.constData(), size,
                  &status);
    ucnv_close(cnv);
    return out;
}

bool survivesCp932(const QString& text) {
    return fromCp932(encodeSiteText(text, FileEncoding::Cp932)) == text;
}

// The first character of `text` that Shift_JIS cannot carry, if any (UTF-8 carries all).
std::optional<QString> firstUnencodable(const QString& text, FileEncoding encoding) {
    if (encoding != FileEncoding::Cp932 || survivesCp932(text)) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString ch = text.mid(i, n);
        if (!survivesCp932(ch)) {
            return ch;
        }
        i += n - 1;
    }
    return QString();
}

}  // namespace

QStringList SettingsLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') {
            continue;
        }
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < n) {
        lines << text.mid(start);
    }
    return lines;
}

QString SettingsViewText(const QByteArray& fileBytes, FileEncoding* encoding) {
    return SettingsLines(decodeSiteText(fileBytes, encoding)).join(kCrLf);
}

std::optional<QByteArray> SettingsFileBytes(const QString& viewText, FileEncoding encoding,
                                            QString* badCharacter) {
    // The editor's text may end in a line end of its own; every line end becomes CR LF and
    // exactly one CR LF follows the text, as the file has always been written.
    QString text = viewText;
    text.replace(kCrLf, QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QStringLiteral("\n"), kCrLf);
    text += kCrLf;
    if (const auto bad = firstUnencodable(text, encoding)) {
        if (badCharacter) {
            *badCharacter = *bad;
        }
        return std::nullopt;
    }
    return encodeSiteText(text, encoding);
}

std::optional<SettingsViewDocument> ReadSettingsView(const QString& filePath, QString* error) {
    QString reason;
    const std::optional<QByteArray> bytes = ReadRegularFile(filePath, kSettingsFileLimit, &reason);
    if (!bytes) {
        if (error) {
            *error = QStringLiteral("cannot read the settings file %1: %2").arg(filePath, reason);
        }
        return std::nullopt;
    }
    SettingsViewDocument doc;
    doc.text = SettingsViewText(*bytes, &doc.encoding);
    return doc;
}

bool WriteSettingsView(const QString& filePath, const QString& viewText, FileEncoding encoding,
                       QString* error) {
    QString bad;
    const auto bytes = SettingsFileBytes(viewText, encoding, &bad);
    if (!bytes) {
        if (error) {
            *error = QStringLiteral(
                         "the settings file %1 is Shift_JIS and cannot hold \"%2\"; "
                         "nothing was written")
                         .arg(filePath, bad);
        }
        return false;
    }
    // Written through a temporary file: a full disk never leaves half a settings file.
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() || !file.commit()) {
        if (error) {
            *error = QStringLiteral("cannot write the settings file %1: %2")
                         .arg(filePath, file.errorString());
        }
        return false;
    }
    return true;
}

}  // namespace tq
