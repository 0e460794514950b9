#pragma once
// The keys of the settings file: which table each fills and how the calculation reads it.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>

#include "settings/settings.h"

namespace tq {

/// How the calculation reads a per-shift single value.
enum class SettingValueKind {
    Time,      ///< "hh:mm", read as the number hhmm (hours past 24 for the next morning)
    Minutes,   ///< a number of minutes
    Rounding,  ///< a rounding unit in minutes (a divisor)
    Text,      ///< compared as text
};

/// How the calculation reads the entries of a per-shift list.
enum class SettingListKind {
    DayRules,      ///< "mm/dd", a weekday name (with week digits), "祝祭日"
    BreakTable,    ///< fixed columns "hh:mm-hh:mm minutes"
    BreakPeriods,  ///< fixed columns "hh:mm-hh:mm"
};

struct SingleKey {
    QStringView name;  ///< as written in the file, brackets included
    QString ShiftRules::*member;
    SettingValueKind kind;
};

struct ListKey {
    QStringView name;
    QStringList ShiftRules::*member;
    SettingListKind kind;
    int limit;  ///< entries per shift
};

inline constexpr std::array<SingleKey, kSingleKeyCount> kSingleKeys{{
    {u"[始業時刻]", &ShiftRules::始業時刻, SettingValueKind::Time},
    {u"[終業時刻]", &ShiftRules::終業時刻, SettingValueKind::Time},
    {u"[フレックスコア開始時刻]", &ShiftRules::フレックスコア開始時刻, SettingValueKind::Time},
    {u"[フレックスコア終了時刻]", &ShiftRules::フレックスコア終了時刻, SettingValueKind::Time},
    {u"[所定勤務時間]", &ShiftRules::所定勤務時間, SettingValueKind::Minutes},
    {u"[残業対象時間]", &ShiftRules::残業対象時間, SettingValueKind::Minutes},
    {u"[遅刻早退処理]", &ShiftRules::遅刻早退処理, SettingValueKind::Text},
    {u"[普通残業開始時刻]", &ShiftRules::普通残業開始時刻, SettingValueKind::Time},
    {u"[普通残業終了時刻]", &ShiftRules::普通残業終了時刻, SettingValueKind::Time},
    {u"[深夜残業開始時刻]", &ShiftRules::深夜残業開始時刻, SettingValueKind::Time},
    {u"[深夜残業終了時刻]", &ShiftRules::深夜残業終了時刻, SettingValueKind::Time},
    {u"[早出残業開始時刻]", &ShiftRules::早出残業開始時刻, SettingValueKind::Time},
    {u"[早出残業終了時刻]", &ShiftRules::早出残業終了時刻, SettingValueKind::Time},
    {u"[所定勤務時間丸め]", &ShiftRules::所定勤務時間丸め, SettingValueKind::Rounding},
    {u"[普通残業時間丸め]", &ShiftRules::普通残業時間丸め, SettingValueKind::Rounding},
    {u"[深夜残業時間丸め]", &ShiftRules::深夜残業時間丸め, SettingValueKind::Rounding},
    {u"[早出残業時間丸め]", &ShiftRules::早出残業時間丸め, SettingValueKind::Rounding},
}};

inline constexpr std::array<ListKey, kListKeyCount> kListKeys{{
    {u"[休日]", &ShiftRules::休日, SettingListKind::DayRules, kMaxDayEntries},
    {u"[例外出勤日]", &ShiftRules::例外出勤日, SettingListKind::DayRules, kMaxDayEntries},
    {u"[特別出勤日]", &ShiftRules::特別出勤日, SettingListKind::DayRules, kMaxDayEntries},
    {u"[勤務時間別休憩時間]", &ShiftRules::勤務時間別休憩時間, SettingListKind::BreakTable,
     kMaxBreakEntries},
    {u"[休憩時刻]", &ShiftRules::休憩時刻, SettingListKind::BreakPeriods, kMaxBreakEntries},
}};

/// The two site-wide keys (not per shift; the last value wins).
inline constexpr QStringView k給与締日Key = u"[給与締日]";
inline constexpr QStringView k過日修正可能日Key = u"[過日修正可能日]";
/// Days before a paid-leave duty's deadline from which the terminal and the tool call it out.
inline constexpr QStringView k有給取得義務警告日数Key = u"[有給取得義務警告日数]";

/// Keys of rules for the whole site that are read in the common block only (in a shift block
/// they are ignored with a warning): the working-time law's statutory rest day, week, the
/// limits of the 36 agreement and the paid-leave duty's warning days. The last value line
/// wins; how each is read is the labour rules'.
inline constexpr std::array<QStringView, 12> kCommonBlockKeys{{
    u"[法定休日]",
    u"[週起算曜日]",
    u"[週法定労働時間]",
    u"[36協定起算月]",
    u"[36協定月限度時間]",
    u"[36協定年限度時間]",
    u"[36協定特別条項]",
    u"[特別条項月時間]",
    u"[特別条項年時間]",
    u"[特別条項回数]",
    u"[36協定警告割合]",
    k有給取得義務警告日数Key,
}};

/// The line that starts a shift block (after the narrow conversion).
inline constexpr QStringView kShiftBlockLine = u"{ｼﾌﾄ}";

}  // namespace tq
