#pragma once
// Text helpers shared by every subsystem: the site's Shift_JIS (CP932) files and column
// limits, the narrow (full-width to half-width) conversion, and numeric reading of settings.

#include <QByteArray>
#include <QString>

namespace tq {

/// Which encoding a text file was read in, so it can be written back the same way.
enum class FileEncoding { Cp932, Utf8, Utf8WithBom };

/// Decodes a text file's bytes: UTF-8 when the bytes are valid UTF-8 and not plain ASCII (or
/// start with a UTF-8 byte-order mark), CP932 otherwise.
QString decodeSiteText(const QByteArray& bytes, FileEncoding* detected = nullptr);
/// The encoding `decodeSiteText` reads these bytes in, without decoding them.
FileEncoding detectSiteEncoding(const QByteArray& bytes);
/// Decodes a piece of a file in a known encoding (a byte-order mark is not expected here).
/// Pieces cut after a line feed decode exactly as the whole file would.
QString decodeSitePiece(const char* data, qsizetype size, FileEncoding encoding);
/// True when the bytes are text in one of the encodings the site's files are read in: valid
/// UTF-8 (a byte-order mark allowed) or valid CP932, without NUL bytes (a UTF-16 file has them).
bool isSiteText(const QByteArray& bytes);
/// Encodes text in the given encoding (the BOM is written back for Utf8WithBom).
QByteArray encodeSiteText(const QString& text, FileEncoding encoding);

/// The length of the text in Shift_JIS (CP932) bytes; a character CP932 cannot hold counts
/// as two bytes.
int shiftJisLength(const QString& text);

/// Full-width Latin letters, digits, symbols and katakana to their half-width forms.
QString narrow(const QString& text);

/// Reads a number the way the settings are read: leading blanks skipped, an optional sign,
/// digits with an optional decimal part; reading stops at the first other character. Text
/// that does not begin with a number reads as 0.
double numericValue(const QString& text);

/// True when the whole text (trimmed, non-empty) is a number: optional sign, digits, an
/// optional decimal part.
bool isNumeric(const QString& text);

}  // namespace tq
