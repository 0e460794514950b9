#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>

#include "common/site_file.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "settings/settings_view.h"

namespace tq {

namespace {

// What a key line selects.
struct KeyRef {
    enum Kind { Unknown, Single, List, ClosingDay, CorrectionDay, CommonBlock } kind = Unknown;
    int index = 0;
};

// Keys as they look after the narrow conversion ("[フレックスコア開始時刻]" turns half-width).
const QHash<QString, KeyRef>& keyTable() {
    static const QHash<QString, KeyRef> table = [] {
        QHash<QString, KeyRef> t;
        for (int i = 0; i < kSingleKeyCount; ++i) {
            t.insert(narrow(kSingleKeys[i].name.toString()), {KeyRef::Single, i});
        }
        for (int i = 0; i < kListKeyCount; ++i) {
            t.insert(narrow(kListKeys[i].name.toString()), {KeyRef::List, i});
        }
        t.insert(narrow(k給与締日Key.toString()), {KeyRef::ClosingDay, 0});
        t.insert(narrow(k過日修正可能日Key.toString()), {KeyRef::CorrectionDay, 0});
        for (int i = 0; i < static_cast<int>(kCommonBlockKeys.size()); ++i) {
            t.insert(narrow(kCommonBlockKeys[static_cast<size_t>(i)].toString()),
                     {KeyRef::CommonBlock, i});
        }
        return t;
    }();
    return table;
}

QString quoted(const QString& s) {
    return u'"' + s + u'"';
}

class Loader {
  public:
    explicit Loader(LoadedSettings& out) : out_(out) {}

    /// Reads the file's bytes a piece at a time: the memory used stays the same whatever
    /// the number of lines.
    void run(const QByteArray& bytes) {
        const FileEncoding enc = detectSiteEncoding(bytes);
        out_.encoding = enc;
        qsizetype pos = enc == FileEncoding::Utf8WithBom ? 3 : 0;
        const qsizetype n = bytes.size();
        while (pos < n) {
            // Pieces end after a line feed, which no CP932 or UTF-8 character contains.
            qsizetype end = std::min(n, pos + kPieceBytes);
            if (end < n) {
                const qsizetype lf = bytes.lastIndexOf('\n', end - 1);
                end = lf >= pos ? lf + 1 : n;
            }
            const QString text = decodeSitePiece(bytes.constData() + pos, end - pos, enc);
            qsizetype start = 0;
            const qsizetype len = text.size();
            for (qsizetype i = 0; i < len; ++i) {
                const QChar c = text[i];
                if (c != u'\r' && c != u'\n') {
                    continue;
                }
                line(QStringView(text).mid(start, i - start));
                // A piece ends after a line feed, so CR LF never falls apart between pieces.
                if (c == u'\r' && i + 1 < len && text[i + 1] == u'\n') {
                    ++i;
                }
                start = i + 1;
            }
            if (start < len) {
                line(QStringView(text).mid(start));
            }
            pos = end;
        }
        finish();
    }

  private:
    static constexpr qsizetype kPieceBytes = 1 << 20;
    // Warnings kept in full; past this many they are only counted, so that a file of millions
    // of surplus lines cannot exhaust the memory.
    static constexpr size_t kMaxWarnings = 1000;

    void line(QStringView raw) {
        const int lineNo = ++out_.lineCount;
        if (beyondListLimit(raw)) {
            // A surplus list entry once the warnings are full: counted, nothing kept.
            ++position_;
            ++omittedWarnings_;
            return;
        }
        const QString line = narrow(raw.toString());
        if (pendingBlockLine_ > 0) {
            // The line after "{ｼﾌﾄ}" is the shift code, whatever it holds.
            const int blockLine = pendingBlockLine_;
            pendingBlockLine_ = 0;
            startBlock(blockLine, lineNo, line.trimmed());
            return;
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            return;
        }
        if (trimmed == kShiftBlockLine) {
            pendingBlockLine_ = lineNo;
            return;
        }
        if (ignoringBlock_) {
            return;
        }
        if (line.startsWith(u'[')) {
            keyText_ = trimmed;
            haveKey_ = true;
            key_ = keyTable().value(trimmed);
            keyLine(lineNo);
            return;
        }
        if (line.startsWith(u'#')) {
            return;
        }
        valueLine(lineNo, trimmed);
    }

    // Whether the line is a plain ASCII value line of a list that is already full while no
    // further warning can be kept (the lines that make a settings file of millions of lines).
    bool beyondListLimit(QStringView raw) const {
        if (key_.kind != KeyRef::List || ignoringBlock_ || pendingBlockLine_ > 0 ||
            !warningsFull() || position_ < kListKeys[key_.index].limit) {
            return false;
        }
        for (const QChar c : raw) {
            if (c.unicode() >= 0x80) {
                return false;  // could narrow into a key or block line
            }
        }
        const QStringView t = raw.trimmed();
        return !t.isEmpty() && !raw.startsWith(u'[') && !raw.startsWith(u'#');
    }

    void finish() {
        if (pendingBlockLine_ > 0) {
            warn(pendingBlockLine_, QString(),
                 QStringLiteral("\"{ｼﾌﾄ}\" is the last line and has no shift code: "
                                "no shift is added"));
        }
        if (omittedWarnings_ > 0) {
            out_.warnings.push_back(
                {0, QString(),
                 QStringLiteral("%1 more warnings of the same kinds are not listed")
                     .arg(omittedWarnings_)});
        }
    }

    Settings& settings() { return out_.settings; }
    ShiftRules& shift() { return out_.settings.shifts[static_cast<size_t>(k_)]; }
    ShiftOrigins& origins() { return out_.origins.shifts[static_cast<size_t>(k_)]; }

    void warn(int line, const QString& key, const QString& message) {
        if (out_.warnings.size() >= kMaxWarnings) {
            ++omittedWarnings_;
            return;
        }
        out_.warnings.push_back({line, key, message});
    }
    bool warningsFull() const { return out_.warnings.size() >= kMaxWarnings; }
    // A warning about something in the current block, named at the start of the message.
    void warnIn(int line, const QString& key, const QString& message) {
        warn(line, key, blockName() + QStringLiteral(": ") + message);
    }

    QString keyName() const {
        switch (key_.kind) {
            case KeyRef::Single:
                return kSingleKeys[key_.index].name.toString();
            case KeyRef::List:
                return kListKeys[key_.index].name.toString();
            case KeyRef::ClosingDay:
                return k給与締日Key.toString();
            case KeyRef::CorrectionDay:
                return k過日修正可能日Key.toString();
            case KeyRef::CommonBlock:
                return kCommonBlockKeys[static_cast<size_t>(key_.index)].toString();
            case KeyRef::Unknown:
                break;
        }
        return keyText_;
    }

    QString blockName() const {
        return k_ == 0 ? QStringLiteral("common block")
                       : QStringLiteral("shift ") + quoted(out_.settings.shiftCodes[k_]);
    }

    void startBlock(int blockLine, int codeLine, const QString& code) {
        haveKey_ = false;
        key_ = {};
        keyText_.clear();
        if (k_ >= kMaxShiftIndex) {
            // A 28th block has no tables to go to: it is skipped up to the next "{ｼﾌﾄ}".
            ignoringBlock_ = true;
            warn(blockLine, QString(),
                 QStringLiteral("shift block %1 (code %2) is beyond the 27 the file may hold: "
                                "it is ignored with all its lines")
                     .arg(kMaxShiftIndex + ++ignoredBlocks_)
                     .arg(quoted(code)));
            return;
        }
        ++k_;
        settings().shiftCodes << code;
        origins().blockLine = blockLine;
        origins().codeLine = codeLine;
    }

    void keyLine(int lineNo) {
        position_ = 0;
        if (key_.kind == KeyRef::Unknown) {
            warnIn(lineNo, keyText_, QStringLiteral("unknown key: its values are ignored"));
            return;
        }
        if (key_.kind == KeyRef::List) {
            // A list key line starts its list over from the first entry.
            shift().*(kListKeys[key_.index].member) = QStringList();
            origins().listLines[static_cast<size_t>(key_.index)].clear();
        }
    }

    void valueLine(int lineNo, const QString& value) {
        if (!haveKey_) {
            warnIn(lineNo, QString(),
                   QStringLiteral("%1 comes before any key: ignored").arg(quoted(value)));
            return;
        }
        if (key_.kind == KeyRef::Unknown) {
            return;
        }
        // Only the first column makes a key line or a comment.
        if (value.startsWith(u'[')) {
            warnIn(lineNo, keyName(),
                   QStringLiteral("%1 does not begin in the first column: it is stored as a "
                                  "value of %2, not read as a key")
                       .arg(quoted(value), keyName()));
        } else if (value.startsWith(u'#')) {
            warnIn(lineNo, keyName(),
                   QStringLiteral("%1 does not begin in the first column: it is stored as a "
                                  "value of %2, not skipped as a comment")
                       .arg(quoted(value), keyName()));
        }
        switch (key_.kind) {
            case KeyRef::Single:
                storeSingle(lineNo, value);
                break;
            case KeyRef::List:
                storeListEntry(lineNo, value);
                break;
            case KeyRef::ClosingDay:
                storeSite(lineNo, value, settings().給与締日, out_.origins.給与締日Line);
                break;
            case KeyRef::CorrectionDay:
                storeSite(lineNo, value, settings().過日修正可能日,
                          out_.origins.過日修正可能日Line);
                break;
            case KeyRef::CommonBlock:
                storeCommon(lineNo, value);
                break;
            case KeyRef::Unknown:
                break;
        }
    }

    void storeSingle(int lineNo, const QString& value) {
        int& from = origins().singleLines[static_cast<size_t>(key_.index)];
        if (from != 0 && warningsFull()) {
            ++omittedWarnings_;
        } else if (from != 0) {
            warnIn(lineNo, keyName(),
                   QStringLiteral("given again: %1 replaces %2 of line %3")
                       .arg(quoted(value), quoted(shift().*(kSingleKeys[key_.index].member)))
                       .arg(from));
        }
        shift().*(kSingleKeys[key_.index].member) = value;
        from = lineNo;
    }

    void storeListEntry(int lineNo, const QString& value) {
        const ListKey& key = kListKeys[key_.index];
        QStringList& list = shift().*(key.member);
        if (++position_ > key.limit) {
            if (warningsFull()) {
                ++omittedWarnings_;
                return;
            }
            warnIn(lineNo, keyName(),
                   QStringLiteral("entry %1 is beyond the %2 entries the list may hold: ignored")
                       .arg(position_)
                       .arg(key.limit));
            return;
        }
        list << value;
        origins().listLines[static_cast<size_t>(key_.index)].push_back(lineNo);
    }

    void storeSite(int lineNo, const QString& value, QString& target, int& from) {
        if (from != 0) {
            warn(lineNo, keyName(),
                 QStringLiteral("given again: %1 replaces %2 of line %3")
                     .arg(quoted(value), quoted(target))
                     .arg(from));
        }
        target = value;
        from = lineNo;
    }

    // A site rule belongs to the common block: a shift block cannot change it for its days.
    void storeCommon(int lineNo, const QString& value) {
        const QString key = keyName();
        if (k_ != 0) {
            warnIn(lineNo, key,
                   QStringLiteral("%1 is read in the common block only: ignored here")
                       .arg(quoted(value)));
            return;
        }
        storeSite(lineNo, value, settings().commonValues[key], out_.origins.commonValueLines[key]);
    }

    LoadedSettings& out_;
    int k_ = 0;
    bool haveKey_ = false;
    KeyRef key_;
    QString keyText_;
    bool ignoringBlock_ = false;
    int ignoredBlocks_ = 0;
    int position_ = 0;          // entries given since the current key line
    int pendingBlockLine_ = 0;  // a "{ｼﾌﾄ}" line waiting for its shift code line
    qint64 omittedWarnings_ = 0;
};

}  // namespace

LoadedSettings LoadSettings(const QByteArray& fileBytes) {
    LoadedSettings out;
    Loader(out).run(fileBytes);
    return out;
}

std::optional<QString> NoRulesWarning(const LoadedSettings& loaded) {
    const SettingsOrigins& o = loaded.origins;
    bool any = o.給与締日Line != 0 || o.過日修正可能日Line != 0 || !o.commonValueLines.isEmpty() ||
               loaded.settings.shiftCodes.size() > 1;
    for (const ShiftOrigins& shift : o.shifts) {
        for (const int line : shift.singleLines) {
            any = any || line != 0;
        }
        for (const std::vector<int>& lines : shift.listLines) {
            any = any || !lines.empty();
        }
    }
    if (any) {
        return std::nullopt;
    }
    const QString name =
        loaded.filePath.isEmpty()
            ? QStringLiteral("TQ582.ini")
            : QDir::toNativeSeparators(QFileInfo(loaded.filePath).absoluteFilePath());
    return QStringLiteral("設定ファイル(") + name +
           QStringLiteral(")から設定値を読み取れません。勤務時間はすべて0として計算されます。");
}

std::optional<LoadedSettings> LoadSettingsFile(const QString& directory, const QString& fileName,
                                               QString* error) {
    const QString fallback = QStringLiteral("TQ582.ini");
    const QDir dir(directory.isEmpty() ? QDir::currentPath() : directory);
    const QString wanted = dir.filePath(fileName.isEmpty() ? fallback : fileName);
    const QString path = QFileInfo::exists(wanted) ? wanted : dir.filePath(fallback);
    QString reason;
    const std::optional<QByteArray> bytes = ReadRegularFile(path, kSettingsFileLimit, &reason);
    if (!bytes) {
        if (error) {
            *error = path == wanted
                         ? QStringLiteral("cannot read the settings file %1: %2")
                               .arg(QDir::toNativeSeparators(path), reason)
                         : QStringLiteral("cannot read the settings file %1 (nor %2): %3")
                               .arg(QDir::toNativeSeparators(wanted),
                                    QDir::toNativeSeparators(path), reason);
        }
        return std::nullopt;
    }
    LoadedSettings loaded = LoadSettings(*bytes);
    loaded.filePath = path;
    return loaded;
}

}  // namespace tq
