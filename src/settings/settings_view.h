#pragma once
// The file side of the settings view `INI_TEXT`: the text it shows and the file it saves.
// No widgets here; the window calls these and shows the errors they return.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "common/text.h"

namespace tq {

/// Splits decoded file text into lines. CR LF, LF and a lone CR each end a line; a line end
/// at the very end of the text starts no further line.
QStringList SettingsLines(const QString& text);

/// The text the settings view shows for a file's bytes: its lines joined with CR LF, with no
/// line end after the last line.
QString SettingsViewText(const QByteArray& fileBytes, FileEncoding* encoding = nullptr);

/// The bytes the settings view writes: the text with every line end made CR LF, followed by
/// one CR LF, in the given encoding. Empty when the text holds a character that the encoding
/// cannot carry; `badCharacter` then receives the first such character.
std::optional<QByteArray> SettingsFileBytes(const QString& viewText, FileEncoding encoding,
                                            QString* badCharacter = nullptr);

/// A settings file opened for the view: the text to show and the encoding to save it in.
struct SettingsViewDocument {
    QString text;
    FileEncoding encoding = FileEncoding::Cp932;
};

/// Reads the file for the view; sets `error` (naming the file) when it cannot be read.
std::optional<SettingsViewDocument> ReadSettingsView(const QString& filePath, QString* error);

/// Replaces the file's contents with the view's text (see `SettingsFileBytes`). The old file
/// stays untouched when the text cannot be encoded or the write fails; `error` then says why.
bool WriteSettingsView(const QString& filePath, const QString& viewText, FileEncoding encoding,
                       QString* error);

}  // namespace tq
