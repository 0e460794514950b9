#pragma once
// The site's working rules as loaded from the settings file "TQ582.ini".
//
// The file holds a common block (shift index 0) and up to 27 shift blocks (1..27). Every
// value is kept as the trimmed text of its line; the calculation reads numbers and times
// from these texts itself. A shift block never inherits a value of the common block.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

#include "common/text.h"

namespace tq {

/// Highest shift index: the common block is 0, the shift blocks are 1..27.
inline constexpr int kMaxShiftIndex = 27;
/// Entry limits of the per-shift lists.
inline constexpr int kMaxDayEntries = 366;
inline constexpr int kMaxBreakEntries = 24;

/// The working rules of one shift block. Lists hold their entries in file order, without
/// the empty end marker (a walk over a list ends after its last entry).
struct ShiftRules {
    QString 始業時刻;
    QString 終業時刻;
    QString フレックスコア開始時刻;
    QString フレックスコア終了時刻;
    QString 所定勤務時間;
    QString 残業対象時間;
    QString 遅刻早退処理;
    QString 普通残業開始時刻;
    QString 普通残業終了時刻;
    QString 深夜残業開始時刻;
    QString 深夜残業終了時刻;
    QString 早出残業開始時刻;
    QString 早出残業終了時刻;
    QString 所定勤務時間丸め;
    QString 普通残業時間丸め;
    QString 深夜残業時間丸め;
    QString 早出残業時間丸め;

    QStringList 休日;
    QStringList 例外出勤日;
    QStringList 特別出勤日;
    QStringList 勤務時間別休憩時間;
    QStringList 休憩時刻;
};

/// Days before a paid-leave duty's deadline from which it is called out, when the settings
/// give no usable [有給取得義務警告日数].
inline constexpr int kDefaultLeaveDutyWarningDays = 60;

/// Everything `LoadSettings` fills.
struct Settings {
    /// Rules per shift index 0..27 (index 0 is the common block).
    std::array<ShiftRules, kMaxShiftIndex + 1> shifts;
    /// The item list of `勤務シフト` and of each `日別シフト` box: item 0 is empty, item k is
    /// the code of the k-th shift block.
    QStringList shiftCodes{QString()};
    QString 給与締日;
    QString 過日修正可能日;
    /// The values of the keys read in the common block only (kCommonBlockKeys), by key as
    /// written in the file, brackets included; a key not given is absent.
    QHash<QString, QString> commonValues;

    /// The value of a common-block key, empty when it is not given.
    QString commonValue(QStringView key) const { return commonValues.value(key.toString()); }

    /// The shift index of a day's shift code: the first item of `shiftCodes` equal to the
    /// code; a code that is not listed means the common block (index 0).
    int shiftIndex(const QString& code) const;
    const ShiftRules& rules(int shiftIndex) const;
    /// [有給取得義務警告日数] when it is a whole number of days (0 to 9999); nothing otherwise
    /// (then kDefaultLeaveDutyWarningDays holds).
    std::optional<int> dutyWarningDays() const;
};

/// Something in the file that the loader skipped or that the calculation will read in a
/// special way. The terminal ignores these; the settings check of the command-line tool
/// prints them.
struct SettingsWarning {
    int line = 0;     ///< 1-based line number in the file (0 when not tied to a line)
    QString key;      ///< the key concerned, brackets included, or empty
    QString message;  ///< what happens, in plain words
};

/// Number of per-shift single keys and of per-shift lists (the order of `kSingleKeys` and
/// `kListKeys` in settings_keys.h).
inline constexpr int kSingleKeyCount = 17;
inline constexpr int kListKeyCount = 5;

/// Where each loaded value came from (1-based line numbers; 0 = not given), so that a check
/// can name the line of a value it questions.
struct ShiftOrigins {
    int blockLine = 0;  ///< the "{ｼﾌﾄ}" line (0 for the common block)
    int codeLine = 0;   ///< the shift code line (0 for the common block)
    std::array<int, kSingleKeyCount> singleLines{};
    std::array<std::vector<int>, kListKeyCount> listLines;  ///< one line per list entry
};

struct SettingsOrigins {
    std::array<ShiftOrigins, kMaxShiftIndex + 1> shifts;
    int 給与締日Line = 0;
    int 過日修正可能日Line = 0;
    QHash<QString, int> commonValueLines;  ///< by key, like Settings::commonValues
};

struct LoadedSettings {
    Settings settings;
    std::vector<SettingsWarning> warnings;
    FileEncoding encoding = FileEncoding::Cp932;
    SettingsOrigins origins;
    QString filePath;  ///< the file read by `LoadSettingsFile` (empty for `LoadSettings`)
    int lineCount = 0;
};

/// Loads the settings from the bytes of a settings file. Pure: no file or widget access.
LoadedSettings LoadSettings(const QByteArray& fileBytes);

/// The warning for a settings file that yields no rules at all (empty, binary, or in an
/// encoding the loader does not read, such as UTF-16): every time and unit would count as 0
/// and pay would be wrong without a sign. Names the file; nothing when any rule was read.
std::optional<QString> NoRulesWarning(const LoadedSettings& loaded);

/// Chooses and reads the settings file: `fileName` (empty means "TQ582.ini"), or
/// "TQ582.ini" in `directory` when no file of that name exists. Returns nothing and sets
/// `error` to a message naming the file when it cannot be read: only a regular file of at
/// most 64 MB is (a FIFO or a device would hang or exhaust the terminal).
std::optional<LoadedSettings> LoadSettingsFile(const QString& directory, const QString& fileName,
                                               QString* error);

}  // namespace tq
